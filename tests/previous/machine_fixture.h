// Small simulated machines for the cleanup and re-detection tests, and the
// comparison of a machine before and after a step.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/simulated_machine.h"

namespace ide::fixture {

// Key and file lists compared without regard to the order they came in.
inline std::vector<std::string> Sorted(std::vector<std::string> items) {
  std::sort(items.begin(), items.end());
  return items;
}

inline constexpr const char* kClassRoot =
    "System\\CurrentControlSet\\Services\\Class";
inline constexpr const char* kPci = "Enum\\PCI";
inline constexpr const char* kChild0 = "Enum\\MF\\CHILD0000";
inline constexpr const char* kChild1 = "Enum\\MF\\CHILD0001";
inline constexpr const char* kInfDir = "C:\\WINDOWS\\INF";
inline constexpr const char* kOtherInfDir = "C:\\WINDOWS\\INF\\OTHER";
inline constexpr const char* kIosubsysDir = "C:\\WINDOWS\\SYSTEM\\IOSUBSYS";

// Configuration dword 0 of a PCI function: device ID high, vendor ID low.
constexpr std::uint32_t PciId(std::uint16_t vendor, std::uint16_t device) {
  return (static_cast<std::uint32_t>(device) << 16) | vendor;
}
constexpr std::uint16_t kMaker = 0x8C4E;
constexpr std::uint32_t kFirstBridge = PciId(kMaker, 0x7440);
constexpr std::uint32_t kSecondBridge = PciId(kMaker, 0x7450);
constexpr std::uint32_t kMakerHostBridge = PciId(kMaker, 0x7001);
constexpr std::uint32_t kOtherDisplay = PciId(0x1A2B, 0x0300);

inline std::string ClassKey(const std::string& driver) {
  return std::string(kClassRoot) + "\\" + driver;
}

// A device instance key with its Class and Driver values; an empty text
// leaves that value out.
inline void AddInstance(SimulatedMachine& machine, const std::string& path,
                        const std::string& className,
                        const std::string& driver) {
  machine.registry().CreateKey(path);
  if (!className.empty())
    machine.registry().SetString(path, "Class", className);
  if (!driver.empty()) machine.registry().SetString(path, "Driver", driver);
}

// A driver class key that names the INF it was installed from.
inline void AddClassKey(SimulatedMachine& machine, const std::string& driver,
                        const std::string& infName) {
  const std::string path = ClassKey(driver);
  machine.registry().CreateKey(path);
  if (!infName.empty()) machine.registry().SetString(path, "InfPath", infName);
}

// Key names of an earlier installation for the IDE controller whose device
// ID text is `chip` ("7341" or "7351").
struct EarlierKeys {
  std::string pciDevice;
  std::string pciInstance;
  std::string firstChild;
  std::string secondChild;
};

inline EarlierKeys KeysFor(const std::string& chip) {
  EarlierKeys keys;
  keys.pciDevice =
      std::string(kPci) + "\\VEN_8C4E&DEV_" + chip + "&SUBSYS_00000000&REV_01";
  keys.pciInstance = keys.pciDevice + "\\BUS_00&DEV_07&FUNC_01";
  const std::string child =
      "PCI&VEN_8C4E&DEV_" + chip + "&BUS_00&DEV_07&FUNC_01";
  keys.firstChild = std::string(kChild0) + "\\" + child;
  keys.secondChild = std::string(kChild1) + "\\" + child;
  return keys;
}

// A machine on which other devices and drivers live, untouched by the
// cleanup: a display adapter, another maker's IDE card with its two
// channels (listed before anything of ours), the class INF and a standard
// port driver.
inline void AddUnrelated(SimulatedMachine& machine) {
  AddInstance(machine,
              std::string(kPci) +
                  "\\VEN_5A11&DEV_0640&SUBSYS_00000000&REV_07\\BUS_00&DEV_04&"
                  "FUNC_00",
              "hdc", "hdc\\0000");
  AddInstance(machine,
              std::string(kPci) +
                  "\\VEN_1A2B&DEV_0300&SUBSYS_00000000&REV_00\\BUS_00&DEV_08&"
                  "FUNC_00",
              "DISPLAY", "DISPLAY\\0000");
  AddInstance(
      machine,
      std::string(kChild0) + "\\PCI&VEN_5A11&DEV_0640&BUS_00&DEV_04&FUNC_00",
      "hdc", "hdc\\0004");
  AddInstance(
      machine,
      std::string(kChild1) + "\\PCI&VEN_5A11&DEV_0640&BUS_00&DEV_04&FUNC_00",
      "hdc", "hdc\\0005");
  machine.registry().SetString(std::string(kClassRoot) + "\\hdc", "",
                               "Hard disk controllers");
  AddClassKey(machine, "hdc\\0000", "MSHDC.INF");
  AddClassKey(machine, "hdc\\0004", "MSHDC.INF");
  AddClassKey(machine, "hdc\\0005", "MSHDC.INF");
  AddClassKey(machine, "DISPLAY\\0000", "QUORRA.INF");
  machine.registry().SetString("Software\\Zelmont\\IDE Driver", "Version",
                               "1.02");
  machine.PutFile(std::string(kInfDir) + "\\MSHDC.INF",
                  "[Version]\r\nClass=hdc\r\n; esdi_506.pdr k7351.mpd\r\n");
  machine.PutFile(std::string(kOtherInfDir) + "\\QUORRA.INF",
                  "[Version]\r\nClass=DISPLAY\r\n");
  machine.PutFile(std::string(kIosubsysDir) + "\\ESDI_506.PDR", "port driver");
}

// An earlier installation of the driver for `chip` with driver file
// `driverFile`: the PCI key (class key hdc\0001), both channel children
// (hdc\0002, hdc\0003), the old INF `infName` in `infFolder` holding
// `infText`, and the old miniport.
struct EarlierInstall {
  std::string chip = "7351";
  std::string driverFile = "k7351.mpd";
  std::string infName = "OEM3.INF";
  std::string infFolder = kOtherInfDir;
  std::string infText =
      "[Version]\r\nClass=hdc\r\n[ESDI_FIFO_OK_AddReg]\r\n"
      "HKR,,PortDriver,,k7351.mpd\r\n";
};

inline EarlierKeys AddEarlierInstall(SimulatedMachine& machine,
                                     const EarlierInstall& earlier = {}) {
  const EarlierKeys keys = KeysFor(earlier.chip);
  AddInstance(machine, keys.pciInstance, "hdc", "hdc\\0001");
  AddInstance(machine, keys.firstChild, "hdc", "hdc\\0002");
  AddInstance(machine, keys.secondChild, "hdc", "hdc\\0003");
  AddClassKey(machine, "hdc\\0001", earlier.infName);
  AddClassKey(machine, "hdc\\0002", earlier.infName);
  AddClassKey(machine, "hdc\\0003", earlier.infName);
  machine.PutFile(earlier.infFolder + "\\" + earlier.infName, earlier.infText);
  machine.PutFile(std::string(kIosubsysDir) + "\\" + earlier.driverFile,
                  "old miniport");
  return keys;
}

// Keys of `before` missing from `after` whose parent is still there: the
// roots of what was deleted, in the order of `before`.
inline std::vector<std::string> DeletedKeyRoots(const Registry& before,
                                                const Registry& after) {
  std::vector<std::string> roots;
  for (const std::string& path : before.AllKeys()) {
    if (after.KeyExists(path)) continue;
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos || after.KeyExists(path.substr(0, slash))) {
      roots.push_back(path);
    }
  }
  return roots;
}

// Files of `before` missing from `after`, and files present in both whose
// bytes differ, by snapshot name.
inline std::vector<std::string> DeletedFiles(const MachineSnapshot& before,
                                             const MachineSnapshot& after) {
  std::vector<std::string> deleted;
  for (const auto& [name, bytes] : before.files) {
    if (!after.files.count(name)) deleted.push_back(name);
  }
  return deleted;
}

inline std::vector<std::string> ChangedFiles(const MachineSnapshot& before,
                                             const MachineSnapshot& after) {
  std::vector<std::string> changed;
  for (const auto& [name, bytes] : after.files) {
    auto old = before.files.find(name);
    if (old == before.files.end() || old->second != bytes) {
      changed.push_back(name);
    }
  }
  return changed;
}

// Every key of `after` existed before with the same values: a step only
// deletes.
inline void ExpectNothingAddedOrAltered(const Registry& before,
                                        const Registry& after) {
  for (const std::string& path : after.AllKeys()) {
    SCOPED_TRACE(path);
    EXPECT_TRUE(before.KeyExists(path));
    EXPECT_EQ(before.Values(path), after.Values(path));
  }
}

// A simulated machine that notes, in order, every subkey enumeration ("E"
// for a call that found a name, "e" for one that failed) and every key
// deletion ("D"), so a test can see whether a deletion came before the
// enumeration that feeds it had ended.
class EnumDeleteLog : public SimulatedMachine {
 public:
  LONG RegEnumKeyExA(HKEY key, DWORD index, char* name,
                     DWORD* nameSize) override {
    const LONG result =
        SimulatedMachine::RegEnumKeyExA(key, index, name, nameSize);
    calls += result == ERROR_SUCCESS ? 'E' : 'e';
    return result;
  }
  LONG RegDeleteKeyA(HKEY key, const char* subKey) override {
    calls += 'D';
    return SimulatedMachine::RegDeleteKeyA(key, subKey);
  }
  // True when no enumeration call comes after the first deletion.
  bool EveryEnumerationBeforeTheFirstDeletion() const {
    const std::size_t firstDeletion = calls.find('D');
    return firstDeletion == std::string::npos ||
           calls.find_first_of("Ee", firstDeletion) == std::string::npos;
  }
  std::string calls;
};

}  // namespace ide::fixture
