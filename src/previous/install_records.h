// What an earlier installation of the driver left behind, as the cleanup
// gathers it before deleting anything.
#pragma once

#include <cstddef>
#include <string>

#include "setup/setup_state.h"

namespace ide {

// One device key of the earlier installation and its driver class key.
struct DeviceKeyRecord {
  // Below HKEY_LOCAL_MACHINE, at most kMaxRegistryPath characters; empty
  // when not found.
  std::string key;
  // The driver class key the device's Driver value names, at most
  // kMaxRegistryPath characters; empty when there is none.
  std::string classKey;
  // 1 when `key` was found, else 0.
  int found = 0;
};

// The old INF file's full path is held in a field as wide as a registry
// path.
constexpr std::size_t kMaxInfPath = 127;

struct PreviousInstall {
  DeviceKeyRecord pci;          // under Enum\PCI
  DeviceKeyRecord firstChild;   // under Enum\MF\CHILD0000
  DeviceKeyRecord secondChild;  // under Enum\MF\CHILD0001
  // Full path of the old INF file, at most kMaxInfPath characters; empty
  // when there is none to consider.
  std::string infPath;
};

}  // namespace ide
