// What a run changed on a machine: files added, changed or removed, and
// registry keys and values added, removed or changed, found by comparing a
// snapshot taken before the run with one taken after it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/simulated_machine.h"

namespace ide {

struct FileChange {
  enum class Kind { Added, Removed, Changed };
  Kind kind;
  // The snapshot path ("c/WINDOWS/INF/MSHDC.INF"): the name after the run,
  // or before it for a removed file.
  std::string path;
  std::string before;  // empty for an added file
  std::string after;   // empty for a removed file
};

// Files are matched by path without regard to case, as Windows names them;
// the result is in path order.
std::vector<FileChange> CompareFiles(const MachineSnapshot& before,
                                     const MachineSnapshot& after);

struct RegistryChange {
  enum class Kind { KeyAdded, KeyRemoved, ValueAdded, ValueRemoved, ValueChanged };
  Kind kind;
  std::string key;  // path below HKEY_LOCAL_MACHINE
  // KeyAdded / KeyRemoved: how many keys below it came or went with it.
  std::size_t keysBelow = 0;
  std::optional<RegistryValue> before;  // ValueRemoved, ValueChanged
  std::optional<RegistryValue> after;   // ValueAdded, ValueChanged
};

// Keys and value names are matched without regard to case. A removed or
// added key is reported once, at the top of its tree; the values of keys
// that came or went are not listed one by one. Removals and changes come in
// the old registry's key order, additions after them in the new one's.
std::vector<RegistryChange> CompareRegistries(const Registry& before,
                                              const Registry& after);

// "c/WINDOWS/INF/MSHDC.INF" -> "C:\WINDOWS\INF\MSHDC.INF".
std::string WindowsPathOf(const std::string& snapshotPath);

// A value's data as REGEDIT4 writes it: "text", dword:00000001, hex:01,02,
// hex(7):... for other types.
std::string DescribeRegistryValue(const RegistryValue& value);

// The report idesetup prints after the transcript: a summary line per
// changed file, the unified diffs of changed text files, then the registry
// changes. Says so when nothing changed.
std::string FormatChanges(const MachineSnapshot& before,
                          const MachineSnapshot& after);

}  // namespace ide
