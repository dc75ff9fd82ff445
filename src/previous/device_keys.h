// Finding the device keys of an earlier installation and the driver class
// keys they point to.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform_services.h"
#include "previous/install_records.h"

namespace ide {

// Where Windows 95 enumerates PCI devices and the two channel children of
// each dual-channel controller.
inline constexpr std::string_view kPciEnumPath = "Enum\\PCI";
inline constexpr std::string_view kFirstChildEnumPath = "Enum\\MF\\CHILD0000";
inline constexpr std::string_view kSecondChildEnumPath = "Enum\\MF\\CHILD0001";
// Where Windows keeps the driver instances of every device class.
inline constexpr std::string_view kClassRoot =
    "System\\CurrentControlSet\\Services\\Class";

// Looks through the subkeys of `base`, from index 0, for the first whose
// name contains `text` (exact letters). The search ends at the last subkey
// or at a name too long for a name slot. On a match whose full path fits,
// sets record.key and record.found = 1 and returns 1; otherwise sets
// found = 0, empties key and returns 0.
int FindFirstSubkeyContaining(PlatformServices& os, std::string_view base,
                              std::string_view text, DeviceKeyRecord& record);

// Writes the path of the first subkey of `keyPath` (the device's first
// instance) to `output` and returns 1; returns 0 when the key cannot be
// opened, has no subkey, or the path would not fit.
int ComposeInstancePath(PlatformServices& os, const std::string& keyPath,
                        std::string& output);

// Sets record.classKey from the Driver value of `keyPath` and returns 1.
// Returns 0 with classKey empty when the key or value is missing, the value
// is empty or does not name a driver instance, or the path would not fit.
int ReadDriverClassKey(PlatformServices& os, DeviceKeyRecord& record,
                       const std::string& keyPath);

}  // namespace ide
