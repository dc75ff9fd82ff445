#include "refresh/detection_reset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "previous/machine_fixture.h"

namespace ide {
namespace {

using fixture::AddInstance;
using fixture::ClassKey;
using fixture::Sorted;
using fixture::kChild0;
using fixture::kChild1;
using fixture::kPci;


// A machine whose disk controllers Windows remembers in every place the
// reset clears, next to keys it must leave alone.
void BuildMachine(SimulatedMachine& machine) {
  fixture::AddUnrelated(machine);
  fixture::AddEarlierInstall(machine);
  AddInstance(machine,
              std::string(kPci) + "\\VEN_4E56&DEV_0100\\BUS_00&DEV_01&FUNC_01",
              "HDC", "hdc\\0006");
  AddInstance(machine,
              std::string(kPci) + "\\VEN_2C04&DEV_0820\\BUS_00&DEV_05&FUNC_00",
              "SCSIAdapter", "SCSIAdapter\\0000");
  AddInstance(machine, "Enum\\SCSI\\NORVALE_CD-ROM\\PCI&VEN_2C04&FUNC_0030",
              "CDROM", "CDROM\\0000");
  AddInstance(machine, "Enum\\SCSI\\KESTREL_TAPE\\PCI&VEN_2C04&FUNC_0050",
              "Unknown", "");
  AddInstance(machine, "Enum\\ESDI\\GENERIC_IDE\\MF&CHILD0000&PCI", "DiskDrive",
              "DiskDrive\\0000");
  AddInstance(machine, "Enum\\Root\\*PNP0A03\\0000", "System", "System\\0003");
  machine.registry().SetString(ClassKey("hdc"), "Installer",
                               "sysclass.dll,HdcClassInstaller");
  fixture::AddClassKey(machine, "hdc\\0006", "MSHDC.INF");
  fixture::AddClassKey(machine, "SCSIAdapter\\0000", "KS820.INF");
  fixture::AddClassKey(machine, "DiskDrive\\0000", "DISKDRV.INF");
}

TEST(ResetDeviceDetection, ForgetsEveryDiskControllerAndNothingElse) {
  SimulatedMachine machine;
  BuildMachine(machine);
  const fixture::EarlierKeys earlier = fixture::KeysFor("7351");
  const MachineSnapshot before = machine.Snapshot();

  ResetDeviceDetection(machine);

  const MachineSnapshot after = machine.Snapshot();
  EXPECT_EQ(
      Sorted(fixture::DeletedKeyRoots(before.registry, after.registry)),
      Sorted({
          // the channel children of every multifunction device
          std::string(kChild0) +
              "\\PCI&VEN_5A11&DEV_0640&BUS_00&DEV_04&FUNC_00",
          earlier.firstChild,
          std::string(kChild1) +
              "\\PCI&VEN_5A11&DEV_0640&BUS_00&DEV_04&FUNC_00",
          earlier.secondChild,
          // the PCI devices whose first instance is of class hdc
          std::string(kPci) + "\\VEN_5A11&DEV_0640&SUBSYS_00000000&REV_07",
          earlier.pciDevice,
          // every device the SCSI enumerator knows
          "Enum\\SCSI",
          // every driver instance of the disk-controller class
          ClassKey("hdc\\0000"),
          ClassKey("hdc\\0001"),
          ClassKey("hdc\\0002"),
          ClassKey("hdc\\0003"),
          ClassKey("hdc\\0004"),
          ClassKey("hdc\\0005"),
          ClassKey("hdc\\0006"),
      }));
  fixture::ExpectNothingAddedOrAltered(before.registry, after.registry);
  // The keys that were emptied stay, with their own values.
  EXPECT_TRUE(after.registry.KeyExists(kChild0));
  EXPECT_TRUE(after.registry.KeyExists(kChild1));
  EXPECT_TRUE(after.registry.KeyExists(kPci));
  EXPECT_TRUE(after.registry.KeyExists(ClassKey("hdc")));
  EXPECT_EQ(before.registry.Values(ClassKey("hdc")),
            after.registry.Values(ClassKey("hdc")));
  EXPECT_EQ(before.files, after.files);
  EXPECT_TRUE(machine.events().empty());
}

TEST(ResetDeviceDetection, MissingKeysAreNoObstacle) {
  // A machine without multifunction children, SCSI devices or disk
  // controller drivers: each step finds nothing and the next still runs.
  struct Case {
    std::string name;
    std::string missing;
  };
  const std::vector<Case> cases = {
      {"no first child key", kChild0},
      {"no second child key", kChild1},
      {"no PCI key", kPci},
      {"no SCSI key", "Enum\\SCSI"},
      {"no hdc class key", ClassKey("hdc")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    BuildMachine(machine);
    machine.registry().DeleteKey(c.missing);

    ResetDeviceDetection(machine);

    const Registry& registry = machine.registry();
    EXPECT_TRUE(registry.Subkeys(kChild0).empty());
    EXPECT_TRUE(registry.Subkeys(kChild1).empty());
    EXPECT_FALSE(registry.KeyExists(fixture::KeysFor("7351").pciDevice));
    EXPECT_FALSE(registry.KeyExists("Enum\\SCSI"));
    EXPECT_TRUE(registry.Subkeys(ClassKey("hdc")).empty());
    EXPECT_EQ(registry.KeyExists(std::string(kPci) + "\\VEN_4E56&DEV_0100"),
              c.missing != kPci);
    EXPECT_TRUE(registry.KeyExists(ClassKey("SCSIAdapter\\0000")));
  }
}

}  // namespace
}  // namespace ide
