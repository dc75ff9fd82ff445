// Whole setup runs on small machines: from the command line to the restart,
// the cleanup of an earlier installation, the driver copy and the
// re-detection reset are compared file by file and key by key.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "previous/machine_fixture.h"
#include "setup/entry.h"

namespace ide {
namespace {

using fixture::ClassKey;
using fixture::Sorted;
using fixture::kChild0;
using fixture::kChild1;
using fixture::kPci;


// The class INF with the maker's model section, closed by an empty line.
const std::string kClassInf =
    "[Version]\r\nSignature=$CHICAGO$\r\nClass=hdc\r\n\r\n"
    "[Manufacturer]\r\n%ZEL%=ZEL_HDC\r\n\r\n"
    "[ZEL_HDC]\r\n%PCI\\VEN_8C4E&DEV_7000.DeviceDesc%=DUAL_IDE,PCI\\VEN_8C4E&"
    "DEV_7000\r\n"
    "\r\n"
    "[ControlFlags]\r\nExcludeFromSelect=*\r\n\r\n"
    "[Strings]\r\nZEL=\"Zelmont\"\r\n; esdi_506.pdr k7351.mpd\r\n";

const std::string kDistributionInf =
    "[Version]\r\nClass=hdc\r\n\r\n"
    "[DUAL_MASTER_IDE.RegHW]\r\nHKR,,HWRevision,,\"2.10\"\r\n\r\n"
    "[DrvArg.Reg]\r\nHKR,,DriverArgs,,\"/dma\"\r\n\r\n";

constexpr const char* kOldInf = "C:\\WINDOWS\\INF\\OTHER\\OEM3.INF";
constexpr const char* kIosubsys = "C:\\WINDOWS\\SYSTEM\\IOSUBSYS";

// A machine with the class INF, the driver diskette in A:, an earlier
// K7351 installation and the other devices of a typical machine.
void BuildMachine(SimulatedMachine& machine) {
  fixture::AddUnrelated(machine);
  fixture::AddEarlierInstall(machine);
  machine.PutFile("C:\\WINDOWS\\INF\\MSHDC.INF", kClassInf);
  for (const char* name : {"ZELHDD.INF", "RBHDD.INF"}) {
    machine.PutFile(std::string("A:\\") + name, kDistributionInf);
  }
  for (const char* name : {"K7341.MPD", "K7351.MPD", "RBIDE.MPD"}) {
    machine.PutFile(std::string("A:\\") + name, std::string("new ") + name);
  }
  fixture::AddInstance(
      machine, std::string(kPci) + "\\VEN_2C04&DEV_0820\\BUS_00&DEV_05&FUNC_00",
      "SCSIAdapter", "SCSIAdapter\\0000");
  fixture::AddClassKey(machine, "SCSIAdapter\\0000", "KS820.INF");
  fixture::AddInstance(machine,
                       "Enum\\SCSI\\NORVALE_CD-ROM\\PCI&VEN_2C04&FUNC_0030",
                       "CDROM", "CDROM\\0000");
  fixture::AddInstance(machine, "Enum\\ESDI\\GENERIC_IDE\\MF&CHILD0000&PCI",
                       "DiskDrive", "DiskDrive\\0000");
  machine.registry().SetString(ClassKey("hdc"), "Installer",
                               "sysclass.dll,HdcClassInstaller");
}

// What every run that reaches the reset deletes from this machine: the
// earlier installation's keys (by the cleanup, or by the reset when no
// bridge was found) and the disk-controller enumeration.
std::vector<std::string> DeletedByEveryRun() {
  const fixture::EarlierKeys earlier = fixture::KeysFor("7351");
  const std::string tessin = "PCI&VEN_5A11&DEV_0640&BUS_00&DEV_04&FUNC_00";
  return {earlier.pciDevice,
          earlier.firstChild,
          earlier.secondChild,
          std::string(kPci) + "\\VEN_5A11&DEV_0640&SUBSYS_00000000&REV_07",
          std::string(kChild0) + "\\" + tessin,
          std::string(kChild1) + "\\" + tessin,
          "Enum\\SCSI",
          ClassKey("hdc\\0000"),
          ClassKey("hdc\\0001"),
          ClassKey("hdc\\0002"),
          ClassKey("hdc\\0003"),
          ClassKey("hdc\\0004"),
          ClassKey("hdc\\0005")};
}

bool HasEvent(const SimulatedMachine& machine, MachineEvent::Kind kind) {
  return std::any_of(machine.events().begin(), machine.events().end(),
                     [kind](const MachineEvent& e) { return e.kind == kind; });
}

std::vector<MachineEvent> MessageBoxes(const SimulatedMachine& machine) {
  std::vector<MachineEvent> boxes;
  for (const MachineEvent& e : machine.events()) {
    if (e.kind == MachineEvent::Kind::MessageBox) boxes.push_back(e);
  }
  return boxes;
}

struct RunCase {
  std::string name;
  std::string commandLine;
  std::map<int, std::uint32_t> pci;
  std::vector<int> clicks;      // in the completion dialog
  std::string notFoundMessage;  // empty: the bridge is found
  std::string placedFile;       // the miniport copied into iosubsys
  bool earlierFilesDeleted;     // the old INF and the old miniport
  bool waits;                   // the 30-second wait before the restart
};

TEST(WholeRun, CleansPlacesAndResets) {
  const std::map<int, std::uint32_t> secondBridge = {
      {0, fixture::kMakerHostBridge},
      {7, fixture::kSecondBridge},
      {8, fixture::kOtherDisplay}};
  const std::map<int, std::uint32_t> noBridge = {
      {0, fixture::PciId(0x4E56, 0x0100)}, {8, fixture::kOtherDisplay}};
  const std::vector<RunCase> cases = {
      {"K7351 on its bridge, restart now",
       "/D:K7351",
       secondBridge,
       {1027},
       "",
       "K7351.MPD",
       true,
       false},
      {"K7351 on its bridge, restart later",
       "/D:K7351",
       secondBridge,
       {1026, 1027},
       "",
       "K7351.MPD",
       true,
       true},
      // The bridge decides what is cleaned; the command line what is placed.
      {"K7341 named on the K7351 bridge",
       "/D:K7341",
       secondBridge,
       {1027},
       "",
       "K7341.MPD",
       true,
       false},
      {"RB Max on the K7351 bridge",
       "/d:rbmax",
       secondBridge,
       {1027},
       "",
       "RBIDE.MPD",
       true,
       false},
      {"no bridge, Zel variant",
       "/D:K7351",
       noBridge,
       {},
       "Zel IDE controller not found!",
       "K7351.MPD",
       false,
       true},
      {"no bridge, RB Max variant",
       "/D:RBMAX",
       noBridge,
       {},
       "RB Max IDE controller not found!",
       "RBIDE.MPD",
       false,
       true},
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.config().pci = c.pci;
    BuildMachine(machine);
    machine.SetDialogClicks([clicks = c.clicks] { return clicks; });
    const MachineSnapshot before = machine.Snapshot();

    EXPECT_EQ(
        machine.RunProcess([&] { return SetupMain(machine, c.commandLine); }),
        0);

    // Registry: exactly the earlier installation and the enumeration keys
    // are gone; the emptied keys and everything else stay as they were.
    const MachineSnapshot after = machine.Snapshot();
    EXPECT_EQ(Sorted(fixture::DeletedKeyRoots(before.registry, after.registry)),
              Sorted(DeletedByEveryRun()));
    fixture::ExpectNothingAddedOrAltered(before.registry, after.registry);
    EXPECT_TRUE(after.registry.KeyExists(ClassKey("hdc")));
    EXPECT_EQ(before.registry.Values(ClassKey("hdc")),
              after.registry.Values(ClassKey("hdc")));
    EXPECT_TRUE(after.registry.Subkeys(ClassKey("hdc")).empty());
    EXPECT_TRUE(after.registry.Subkeys(kChild0).empty());
    EXPECT_TRUE(after.registry.Subkeys(kChild1).empty());

    // Files: the new miniport in iosubsys, the earlier installation's files
    // gone only where its bridge was found, nothing else touched.
    EXPECT_EQ(machine.FileBytes(std::string(kIosubsys) + "\\" + c.placedFile),
              "new " + c.placedFile);
    EXPECT_EQ(machine.FileExists(kOldInf), !c.earlierFilesDeleted);
    if (c.placedFile != "K7351.MPD") {
      EXPECT_EQ(machine.FileExists(std::string(kIosubsys) + "\\k7351.mpd"),
                !c.earlierFilesDeleted);
    }
    EXPECT_EQ(machine.FileBytes(std::string(kIosubsys) + "\\ESDI_506.PDR"),
              "port driver");
    EXPECT_EQ(machine.FileBytes("C:\\WINDOWS\\INF\\OTHER\\QUORRA.INF"),
              before.files.at("c/WINDOWS/INF/OTHER/QUORRA.INF"));
    EXPECT_EQ(machine.FileBytes("C:\\WINDOWS\\INF\\MSHDC.ING"), kClassInf);

    // What the user saw.
    const std::vector<MachineEvent> boxes = MessageBoxes(machine);
    if (c.notFoundMessage.empty()) {
      EXPECT_EQ(boxes.size(), 1u);  // the confirmation only
      EXPECT_TRUE(HasEvent(machine, MachineEvent::Kind::DialogOpened));
    } else {
      ASSERT_EQ(boxes.size(), 2u);
      EXPECT_EQ(boxes[1].text, c.notFoundMessage);
      EXPECT_EQ(boxes[1].caption, "Setup Error");
      EXPECT_TRUE(boxes[1].hasCaption);
      EXPECT_EQ(boxes[1].buttons, MB_OK);
      EXPECT_FALSE(HasEvent(machine, MachineEvent::Kind::DialogOpened));
    }
    EXPECT_EQ(HasEvent(machine, MachineEvent::Kind::Sleep), c.waits);
    ASSERT_GE(machine.events().size(), 2u);
    EXPECT_EQ(machine.events()[machine.events().size() - 2].kind,
              MachineEvent::Kind::RestartRequested);
  }
}

TEST(WholeRun, WithoutAPatchedClassInfNothingIsCopiedButTheResetRuns) {
  // A class INF without the maker's model section is not patched, so no
  // driver file name is known: the copy is left out without a word, the
  // cleanup and the reset still run.
  SimulatedMachine machine;
  machine.config().pci = {{7, fixture::kSecondBridge}};
  BuildMachine(machine);
  machine.PutFile("C:\\WINDOWS\\INF\\MSHDC.INF", "[Version]\r\nClass=hdc\r\n");
  const MachineSnapshot before = machine.Snapshot();

  machine.RunProcess([&] { return SetupMain(machine, "/D:K7351"); });

  const MachineSnapshot after = machine.Snapshot();
  EXPECT_EQ(Sorted(fixture::DeletedKeyRoots(before.registry, after.registry)),
            Sorted(DeletedByEveryRun()));
  EXPECT_FALSE(machine.FileExists(std::string(kIosubsys) + "\\k7351.mpd"));
  EXPECT_FALSE(machine.FileExists(kOldInf));
  EXPECT_EQ(MessageBoxes(machine).size(), 1u);
  EXPECT_TRUE(HasEvent(machine, MachineEvent::Kind::RestartRequested));
}

TEST(WholeRun, OnTheNtFamilyTheBridgeIsNotFoundAndTheRunGoesOn) {
  // The NT family refuses direct port access, so the scan sees no bridge:
  // the not-found message, no cleanup of the earlier installation's files,
  // and the rest of the run as on a machine without the bridge.
  SimulatedMachine machine;
  machine.config().family = WindowsFamily::NT;
  machine.config().pci = {{7, fixture::kSecondBridge}};
  BuildMachine(machine);

  EXPECT_EQ(machine.RunProcess([&] { return SetupMain(machine, "/D:K7351"); }),
            0);

  const std::vector<MachineEvent> boxes = MessageBoxes(machine);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "Zel IDE controller not found!");
  EXPECT_EQ(boxes[1].caption, "Setup Error");
  EXPECT_FALSE(HasEvent(machine, MachineEvent::Kind::DialogOpened));
  EXPECT_TRUE(machine.FileExists(kOldInf));
  EXPECT_EQ(machine.FileBytes(std::string(kIosubsys) + "\\k7351.mpd"),
            "new K7351.MPD");
  EXPECT_TRUE(HasEvent(machine, MachineEvent::Kind::Sleep));
  EXPECT_TRUE(HasEvent(machine, MachineEvent::Kind::RestartRequested));
}

}  // namespace
}  // namespace ide
