#include "previous/previous_install.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "previous/machine_fixture.h"

namespace ide {
namespace {

using fixture::AddEarlierInstall;
using fixture::AddUnrelated;
using fixture::ClassKey;
using fixture::Sorted;
using fixture::DeletedFiles;
using fixture::DeletedKeyRoots;
using fixture::EarlierInstall;
using fixture::EarlierKeys;
using fixture::kIosubsysDir;
using fixture::kOtherInfDir;


// Every key an earlier installation for `keys` leaves, in deletion roots.
std::vector<std::string> AllEarlierRoots(const EarlierKeys& keys) {
  return {keys.pciDevice,        ClassKey("hdc\\0001"), keys.firstChild,
          ClassKey("hdc\\0002"), keys.secondChild,      ClassKey("hdc\\0003")};
}

SetupState StateFor(SetupVariant variant) {
  SetupState state;
  state.variant = variant;
  state.title = variant == kVariantRbMax ? "RB Max IDE Driver Setup"
                                         : "Zel IDE Driver Setup";
  state.notFoundMessage = variant == kVariantRbMax
                              ? "RB Max IDE controller not found!"
                              : "Zel IDE controller not found!";
  return state;
}

int MessageBoxCount(const SimulatedMachine& machine) {
  return static_cast<int>(
      std::count_if(machine.events().begin(), machine.events().end(),
                    [](const MachineEvent& e) {
                      return e.kind == MachineEvent::Kind::MessageBox;
                    }));
}

TEST(CleanPreviousInstall, RemovesTheEarlierInstallOfTheChipOnTheBus) {
  // The chip on the bus decides what is searched for, not the variant named
  // on the command line.
  struct Case {
    std::string name;
    std::uint32_t bridge;
    std::string chip;
    std::string driverFile;
    SetupVariant variant;
  };
  const std::vector<Case> cases = {
      {"second bridge, variant K7351", fixture::kSecondBridge, "7351",
       "k7351.mpd", kVariantK7351},
      {"second bridge, variant K7341", fixture::kSecondBridge, "7351",
       "k7351.mpd", kVariantK7341},
      {"second bridge, variant RB Max", fixture::kSecondBridge, "7351",
       "k7351.mpd", kVariantRbMax},
      {"first bridge, variant K7351", fixture::kFirstBridge, "7341",
       "k7341.mpd", kVariantK7351},
      {"first bridge, variant K7341", fixture::kFirstBridge, "7341",
       "k7341.mpd", kVariantK7341},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.config().pci = {{0, fixture::kMakerHostBridge},
                            {7, c.bridge},
                            {8, fixture::kOtherDisplay}};
    AddUnrelated(machine);
    EarlierInstall earlier;
    earlier.chip = c.chip;
    earlier.driverFile = c.driverFile;
    earlier.infText = "[Version]\r\nHKR,,PortDriver,," + c.driverFile + "\r\n";
    const EarlierKeys keys = AddEarlierInstall(machine, earlier);
    // The other chip's miniport is not this machine's controller's.
    const std::string otherFile = c.chip == "7351" ? "k7341.mpd" : "k7351.mpd";
    machine.PutFile(std::string(kIosubsysDir) + "\\" + otherFile, "other");
    const MachineSnapshot before = machine.Snapshot();

    EXPECT_EQ(CleanPreviousInstall(machine, StateFor(c.variant)), 1);

    const MachineSnapshot after = machine.Snapshot();
    EXPECT_EQ(Sorted(DeletedKeyRoots(before.registry, after.registry)),
              Sorted(AllEarlierRoots(keys)));
    fixture::ExpectNothingAddedOrAltered(before.registry, after.registry);
    EXPECT_EQ(DeletedFiles(before, after).size(), 2u);
    EXPECT_FALSE(machine.FileExists(std::string(kOtherInfDir) + "\\OEM3.INF"));
    EXPECT_FALSE(
        machine.FileExists(std::string(kIosubsysDir) + "\\" + c.driverFile));
    EXPECT_TRUE(
        machine.FileExists(std::string(kIosubsysDir) + "\\" + otherFile));
    EXPECT_TRUE(fixture::ChangedFiles(before, after).empty());
    EXPECT_EQ(MessageBoxCount(machine), 0);
  }
}

TEST(CleanPreviousInstall, WithoutTheBridgeSaysSoAndTouchesNothing) {
  struct Case {
    std::string name;
    SetupVariant variant;
    WindowsFamily family;
    std::map<int, std::uint32_t> pci;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"Zel variant, other chipset",
       kVariantK7351,
       WindowsFamily::Win95,
       {{0, fixture::PciId(0x4E56, 0x0100)}},
       "Zel IDE controller not found!"},
      {"K7341 variant, empty bus",
       kVariantK7341,
       WindowsFamily::Win95,
       {},
       "Zel IDE controller not found!"},
      {"RB Max variant",
       kVariantRbMax,
       WindowsFamily::Win95,
       {{0, fixture::kMakerHostBridge}},
       "RB Max IDE controller not found!"},
      // Ports cannot be read on the NT family, so the bridge is never seen.
      {"bridge present but ports refused",
       kVariantK7351,
       WindowsFamily::NT,
       {{7, fixture::kSecondBridge}},
       "Zel IDE controller not found!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.config().family = c.family;
    machine.config().pci = c.pci;
    AddUnrelated(machine);
    AddEarlierInstall(machine);
    const MachineSnapshot before = machine.Snapshot();

    EXPECT_EQ(CleanPreviousInstall(machine, StateFor(c.variant)), 0);

    ASSERT_EQ(machine.events().size(), 1u);
    const MachineEvent& shown = machine.events()[0];
    EXPECT_EQ(shown.kind, MachineEvent::Kind::MessageBox);
    EXPECT_EQ(shown.text, c.message);
    EXPECT_TRUE(shown.hasCaption);
    EXPECT_EQ(shown.caption, "Setup Error");
    EXPECT_EQ(shown.buttons, MB_OK);
    const MachineSnapshot after = machine.Snapshot();
    EXPECT_TRUE(before.registry == after.registry);
    EXPECT_EQ(before.files, after.files);
  }
}

TEST(CleanPreviousInstall, BothBridgesCleanForTheHigherDevice) {
  struct Case {
    std::string name;
    std::map<int, std::uint32_t> pci;
    std::string cleanedChip;
    std::string keptChip;
  };
  const std::vector<Case> cases = {
      {"second bridge higher",
       {{3, fixture::kFirstBridge}, {7, fixture::kSecondBridge}},
       "7351",
       "7341"},
      {"first bridge higher",
       {{3, fixture::kSecondBridge}, {7, fixture::kFirstBridge}},
       "7341",
       "7351"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.config().pci = c.pci;
    const EarlierKeys cleaned = fixture::KeysFor(c.cleanedChip);
    const EarlierKeys kept = fixture::KeysFor(c.keptChip);
    fixture::AddInstance(machine, cleaned.pciInstance, "hdc", "hdc\\0001");
    fixture::AddInstance(machine, kept.pciInstance, "hdc", "hdc\\0009");
    fixture::AddClassKey(machine, "hdc\\0001", "");
    fixture::AddClassKey(machine, "hdc\\0009", "");
    const MachineSnapshot before = machine.Snapshot();

    EXPECT_EQ(CleanPreviousInstall(machine, StateFor(kVariantK7341)), 1);

    EXPECT_EQ(
        Sorted(DeletedKeyRoots(before.registry, machine.Snapshot().registry)),
        Sorted({cleaned.pciDevice, ClassKey("hdc\\0001")}));
  }
}

struct OldInfCase {
  std::string name;
  std::string infName;
  std::string infFolder;
  std::string infText;
  bool filesDeleted;  // the old INF and the old miniport
};

TEST(RemovePreviousInstall, OldInfAndMiniportGoOnlyWhenTheInfNamesTheFile) {
  const std::vector<OldInfCase> cases = {
      {"INF in other names the file", "OEM3.INF", kOtherInfDir,
       "[x]\r\nHKR,,PortDriver,,k7351.mpd\r\n", true},
      {"INF in inf names the file", "OEM3.INF", fixture::kInfDir,
       "[x]\r\nHKR,,PortDriver,,k7351.mpd\r\n", true},
      {"file named in capitals", "OEM3.INF", kOtherInfDir,
       "[x]\r\nHKR,,PortDriver,,K7351.MPD\r\n", false},
      {"other chip's file named", "OEM3.INF", kOtherInfDir,
       "[x]\r\nHKR,,PortDriver,,k7341.mpd\r\n", false},
      {"file not named", "OEM3.INF", kOtherInfDir, "[x]\r\nClass=hdc\r\n",
       false},
  };
  for (const OldInfCase& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.config().pci = {{7, fixture::kSecondBridge}};
    AddUnrelated(machine);
    EarlierInstall earlier;
    earlier.infName = c.infName;
    earlier.infFolder = c.infFolder;
    earlier.infText = c.infText;
    const EarlierKeys keys = AddEarlierInstall(machine, earlier);
    const MachineSnapshot before = machine.Snapshot();

    EXPECT_EQ(CleanPreviousInstall(machine, StateFor(kVariantK7351)), 1);

    const std::string inf = c.infFolder + "\\" + c.infName;
    const std::string miniport = std::string(kIosubsysDir) + "\\k7351.mpd";
    EXPECT_EQ(machine.FileExists(inf), !c.filesDeleted);
    EXPECT_EQ(machine.FileExists(miniport), !c.filesDeleted);
    EXPECT_EQ(DeletedFiles(before, machine.Snapshot()).size(),
              c.filesDeleted ? 2u : 0u);
    // The registry traces go in every case.
    EXPECT_EQ(
        Sorted(DeletedKeyRoots(before.registry, machine.Snapshot().registry)),
        Sorted(AllEarlierRoots(keys)));
  }
}

TEST(RemovePreviousInstall, ClassInfIsNeverTakenForTheOldOne) {
  // The fixture's class INF mentions k7351.mpd in a comment. Windows drops
  // the dots and blanks that end a file name, so every one of these InfPath
  // values names the class INF.
  for (const char* infName : {"MSHDC.INF", "mshdc.inf ", "MsHdc.Inf. . "}) {
    SCOPED_TRACE(infName);
    SimulatedMachine machine;
    machine.config().pci = {{7, fixture::kSecondBridge}};
    AddUnrelated(machine);
    EarlierInstall earlier;
    earlier.infName = infName;
    earlier.infFolder = fixture::kInfDir;
    earlier.infText = "[Version]\r\n; k7351.mpd\r\n";
    AddEarlierInstall(machine, earlier);
    const MachineSnapshot before = machine.Snapshot();

    CleanPreviousInstall(machine, StateFor(kVariantK7351));

    EXPECT_TRUE(DeletedFiles(before, machine.Snapshot()).empty());
  }
}

TEST(RemovePreviousInstall, InfPathValuesWithFoldersDeleteNothingOutsideInf) {
  // Each named file exists and names the driver file, so only the check of
  // the InfPath value stands between it and its deletion.
  struct Case {
    std::string infPathValue;
    std::string file;
  };
  const std::vector<Case> cases = {
      {"..\\WIN.INI", "C:\\WINDOWS\\WIN.INI"},
      {"..\\..\\AUTOEXEC.BAT", "C:\\AUTOEXEC.BAT"},
      {"C:\\CONFIG.SYS", "C:\\CONFIG.SYS"},
      {"..\\SYSTEM\\IOSUBSYS\\ESDI_506.PDR",
       "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\ESDI_506.PDR"},
      {"OTHER\\..\\..\\WIN.INI", "C:\\WINDOWS\\WIN.INI"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.infPathValue);
    SimulatedMachine machine;
    machine.config().pci = {{7, fixture::kSecondBridge}};
    AddUnrelated(machine);
    const EarlierKeys keys = AddEarlierInstall(machine);
    machine.PutFile(c.file, "load=k7351.mpd\r\n");
    for (const char* driver : {"hdc\\0001", "hdc\\0002", "hdc\\0003"}) {
      machine.registry().SetString(ClassKey(driver), "InfPath", c.infPathValue);
    }
    const MachineSnapshot before = machine.Snapshot();

    CleanPreviousInstall(machine, StateFor(kVariantK7351));

    EXPECT_EQ(machine.FileBytes(c.file), "load=k7351.mpd\r\n");
    EXPECT_TRUE(DeletedFiles(before, machine.Snapshot()).empty());
    EXPECT_EQ(
        Sorted(DeletedKeyRoots(before.registry, machine.Snapshot().registry)),
        Sorted(AllEarlierRoots(keys)));
  }
}

TEST(RemovePreviousInstall, OldMiniportPathThatWouldNotFitKeepsBothFiles) {
  // The old miniport's path is held in 127 characters. Deleting the INF
  // while its miniport must stay would leave the installation half removed.
  struct Case {
    std::string name;
    std::size_t systemDirLength;
    bool filesDeleted;
  };
  // "\iosubsys\k7351.mpd" adds 19 characters.
  const std::vector<Case> cases = {
      {"path of 127 characters", 108, true},
      {"path of 128 characters", 109, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    const std::string systemDir =
        "C:\\WINDOWS\\" + std::string(c.systemDirLength - 11, 'S');
    machine.config().systemDir = systemDir;
    machine.config().pci = {{7, fixture::kSecondBridge}};
    const EarlierKeys keys = AddEarlierInstall(machine);
    const std::string miniport = systemDir + "\\IOSUBSYS\\k7351.mpd";
    machine.PutFile(miniport, "old miniport");
    const MachineSnapshot before = machine.Snapshot();

    CleanPreviousInstall(machine, StateFor(kVariantK7351));

    EXPECT_EQ(machine.FileExists(miniport), !c.filesDeleted);
    EXPECT_EQ(machine.FileExists(std::string(kOtherInfDir) + "\\OEM3.INF"),
              !c.filesDeleted);
    EXPECT_EQ(
        Sorted(DeletedKeyRoots(before.registry, machine.Snapshot().registry)),
        Sorted(AllEarlierRoots(keys)));
  }
}

// Registry shapes of an earlier installation that the search must cope
// with; each row changes the standard one and says what must be deleted.
struct ShapeCase {
  std::string name;
  std::function<void(SimulatedMachine&, const EarlierKeys&)> change;
  std::function<std::vector<std::string>(const EarlierKeys&)> deletedRoots;
  bool filesDeleted;
};

TEST(FindPreviousInstall, CopesWithTheShapesTheRegistryTakes) {
  using fixture::AddInstance;
  const std::string long128 =
      std::string(fixture::kPci) + "\\" + std::string(128, 'L');
  const std::vector<ShapeCase> cases = {
      {"Driver with trailing blanks",
       [](SimulatedMachine& m, const EarlierKeys& k) {
         m.registry().SetString(k.firstChild, "Driver", "hdc\\0002   ");
         m.registry().SetString(k.pciInstance, "Driver", "hdc\\0001 ");
       },
       AllEarlierRoots, true},
      {"first child without Driver",
       [](SimulatedMachine& m, const EarlierKeys& k) {
         m.registry().DeleteKey(k.firstChild);
         AddInstance(m, k.firstChild, "hdc", "");
       },
       [](const EarlierKeys& k) {
         return std::vector<std::string>{k.pciDevice, ClassKey("hdc\\0001"),
                                         k.firstChild, k.secondChild,
                                         ClassKey("hdc\\0003")};
       },
       // The old INF is found only through the first child's class key.
       false},
      {"second child without Driver",
       [](SimulatedMachine& m, const EarlierKeys& k) {
         m.registry().DeleteKey(k.secondChild);
         AddInstance(m, k.secondChild, "hdc", "");
       },
       [](const EarlierKeys& k) {
         return std::vector<std::string>{k.pciDevice, ClassKey("hdc\\0001"),
                                         k.firstChild, ClassKey("hdc\\0002"),
                                         k.secondChild};
       },
       true},
      {"no match under the first child",
       [](SimulatedMachine& m, const EarlierKeys& k) {
         m.registry().DeleteKey(k.firstChild);
       },
       [](const EarlierKeys& k) {
         return std::vector<std::string>{k.pciDevice, ClassKey("hdc\\0001"),
                                         k.secondChild, ClassKey("hdc\\0003")};
       },
       false},
      {"PCI key without instances",
       [](SimulatedMachine& m, const EarlierKeys& k) {
         m.registry().DeleteKey(k.pciInstance);
       },
       [](const EarlierKeys& k) {
         return std::vector<std::string>{k.pciDevice, k.firstChild,
                                         ClassKey("hdc\\0002"), k.secondChild,
                                         ClassKey("hdc\\0003")};
       },
       true},
      {"only the first PCI instance names the class key",
       [](SimulatedMachine& m, const EarlierKeys& k) {
         m.registry().DeleteKey(k.pciInstance);
         AddInstance(m, k.pciDevice + "\\BUS_00&DEV_06&FUNC_01", "hdc", "");
         AddInstance(m, k.pciInstance, "hdc", "hdc\\0001");
       },
       [](const EarlierKeys& k) {
         return std::vector<std::string>{k.pciDevice, k.firstChild,
                                         ClassKey("hdc\\0002"), k.secondChild,
                                         ClassKey("hdc\\0003")};
       },
       true},
      {"128-character name ends the PCI search",
       [long128](SimulatedMachine& m, const EarlierKeys& k) {
         m.registry().DeleteKey(k.pciDevice);
         m.registry().CreateKey(long128);
         AddInstance(m, k.pciInstance, "hdc", "hdc\\0001");
       },
       [](const EarlierKeys& k) {
         return std::vector<std::string>{k.firstChild, ClassKey("hdc\\0002"),
                                         k.secondChild, ClassKey("hdc\\0003")};
       },
       true},
      // The search goes by the digits alone: another vendor's device whose
      // key holds them and comes first is taken instead.
      {"another vendor's key holding the digits comes first",
       [](SimulatedMachine& m, const EarlierKeys& k) {
         m.registry().DeleteKey(k.pciDevice);
         AddInstance(m,
                     std::string(fixture::kPci) +
                         "\\VEN_7351&DEV_0001\\BUS_00&DEV_03&FUNC_00",
                     "Net", "Net\\0000");
         fixture::AddClassKey(m, "Net\\0000", "");
         AddInstance(m, k.pciInstance, "hdc", "hdc\\0001");
       },
       [](const EarlierKeys& k) {
         return std::vector<std::string>{
             std::string(fixture::kPci) + "\\VEN_7351&DEV_0001",
             ClassKey("Net\\0000"),
             k.firstChild,
             ClassKey("hdc\\0002"),
             k.secondChild,
             ClassKey("hdc\\0003")};
       },
       true},
      // A Driver value that names no driver instance must not take the
      // whole class (every other disk controller's settings) with it.
      {"Driver naming a whole class",
       [](SimulatedMachine& m, const EarlierKeys& k) {
         m.registry().SetString(k.pciInstance, "Driver", "hdc");
         m.registry().SetString(k.secondChild, "Driver", "hdc\\");
       },
       [](const EarlierKeys& k) {
         return std::vector<std::string>{k.pciDevice, k.firstChild,
                                         ClassKey("hdc\\0002"), k.secondChild};
       },
       true},
  };
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.config().pci = {{7, fixture::kSecondBridge}};
    AddUnrelated(machine);
    const EarlierKeys keys = AddEarlierInstall(machine);
    c.change(machine, keys);
    const MachineSnapshot before = machine.Snapshot();

    EXPECT_EQ(CleanPreviousInstall(machine, StateFor(kVariantK7351)), 1);

    const MachineSnapshot after = machine.Snapshot();
    EXPECT_EQ(Sorted(DeletedKeyRoots(before.registry, after.registry)),
              Sorted(c.deletedRoots(keys)));
    fixture::ExpectNothingAddedOrAltered(before.registry, after.registry);
    EXPECT_EQ(DeletedFiles(before, after).size(), c.filesDeleted ? 2u : 0u);
    EXPECT_NE(machine.FileExists(std::string(kIosubsysDir) + "\\k7351.mpd"),
              c.filesDeleted);
  }
}

TEST(FindPreviousInstall, FillsTheRecord) {
  SimulatedMachine machine;
  AddUnrelated(machine);
  const EarlierKeys keys = AddEarlierInstall(machine);
  machine.registry().SetString(keys.firstChild, "Driver", "hdc\\0002  ");
  PreviousInstall record;

  FindPreviousInstall(machine, record, 1);

  EXPECT_EQ(record.pci.key, keys.pciDevice);
  EXPECT_EQ(record.pci.classKey, ClassKey("hdc\\0001"));
  EXPECT_EQ(record.pci.found, 1);
  EXPECT_EQ(record.firstChild.key, keys.firstChild);
  EXPECT_EQ(record.firstChild.classKey, ClassKey("hdc\\0002"));
  EXPECT_EQ(record.firstChild.found, 1);
  EXPECT_EQ(record.secondChild.key, keys.secondChild);
  EXPECT_EQ(record.secondChild.classKey, ClassKey("hdc\\0003"));
  EXPECT_EQ(record.secondChild.found, 1);
  EXPECT_EQ(record.infPath, "C:\\WINDOWS\\inf\\other\\OEM3.INF");
}

TEST(RemovePreviousInstall, PassesOverRecordsNotFound) {
  // A record left not found must not delete anything, even if its fields
  // hold text.
  SimulatedMachine machine;
  AddUnrelated(machine);
  const EarlierKeys keys = AddEarlierInstall(machine);
  PreviousInstall record;
  record.pci.key = keys.pciDevice;
  record.pci.classKey = ClassKey("hdc\\0001");
  record.pci.found = 0;
  record.firstChild.key = keys.firstChild;
  record.firstChild.found = 1;
  const MachineSnapshot before = machine.Snapshot();

  EXPECT_EQ(RemovePreviousInstall(machine, record, 1), 1);

  EXPECT_EQ(DeletedKeyRoots(before.registry, machine.Snapshot().registry),
            std::vector<std::string>{keys.firstChild});
}

}  // namespace
}  // namespace ide
