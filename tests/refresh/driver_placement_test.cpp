#include "refresh/driver_placement.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "previous/machine_fixture.h"

namespace ide {
namespace {

const std::string kNewMiniport = "new miniport 2.10";

SetupState StateWithDriver(const std::string& name) {
  SetupState state;
  state.variant = kVariantK7351;
  state.driverFileName = name;
  return state;
}

TEST(PlaceDriverFile, CopiesTheMiniportIntoIosubsys) {
  struct Case {
    std::string name;
    std::string currentDir;
    std::string systemDir;
    std::string driverFile;
    std::optional<std::string> existingTarget;
  };
  const std::vector<Case> cases = {
      // From a drive's root the joining backslash makes two in a row, which
      // Windows reads as one.
      {"from the root of the diskette", "A:\\", "C:\\WINDOWS\\SYSTEM",
       "k7351.mpd", std::nullopt},
      {"from a folder", "C:\\ZELIDE\\DISK1", "C:\\WINDOWS\\SYSTEM", "k7341.mpd",
       std::nullopt},
      {"older copy overwritten", "A:\\", "C:\\WINDOWS\\SYSTEM", "k7351.mpd",
       std::string("old miniport 1.02")},
      {"RB Max file", "A:\\", "D:\\WIN95\\SYSTEM", "rbide.mpd", std::nullopt},
      // Source path of 259 characters, the longest Windows accepts.
      {"longest source path", "C:\\" + std::string(246, 'D'),
       "C:\\WINDOWS\\SYSTEM", "k7351.mpd", std::nullopt},
      {"longest target path", "A:\\", "C:\\" + std::string(237, 'S'),
       "k7351.mpd", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.config().currentDir = c.currentDir;
    machine.config().systemDir = c.systemDir;
    const std::string source =
        c.currentDir + (c.currentDir.back() == '\\' ? "" : "\\") + c.driverFile;
    machine.PutFile(source, kNewMiniport);
    const std::string target = c.systemDir + "\\IOSUBSYS\\" + c.driverFile;
    if (c.existingTarget)
      machine.PutFile(target, *c.existingTarget);
    else
      machine.MakeFolder(c.systemDir + "\\IOSUBSYS");

    EXPECT_EQ(PlaceDriverFile(machine, StateWithDriver(c.driverFile)), 1);

    EXPECT_EQ(machine.FileBytes(target), kNewMiniport);
    EXPECT_EQ(machine.FileBytes(source), kNewMiniport);
    EXPECT_TRUE(machine.events().empty());
  }
}

TEST(PlaceDriverFile, FailsSilentlyWhenNothingCanBeCopied) {
  struct Case {
    std::string name;
    std::string currentDir;
    std::string systemDir;
    std::string driverFile;
    bool sourcePresent;
    bool copyRefused;
  };
  const std::vector<Case> cases = {
      // The class INF was not patched in this run, so no name is known.
      {"no driver name", "A:\\", "C:\\WINDOWS\\SYSTEM", "", true, false},
      {"miniport missing from the diskette", "A:\\", "C:\\WINDOWS\\SYSTEM",
       "k7351.mpd", false, false},
      {"copy refused", "A:\\", "C:\\WINDOWS\\SYSTEM", "k7351.mpd", true, true},
      // A path too long for Windows is not shortened into another file.
      {"source path of 260 characters", "C:\\" + std::string(247, 'D'),
       "C:\\WINDOWS\\SYSTEM", "k7351.mpd", true, false},
      {"target path of 260 characters", "A:\\", "C:\\" + std::string(238, 'S'),
       "k7351.mpd", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.config().currentDir = c.currentDir;
    machine.config().systemDir = c.systemDir;
    const std::string folder =
        c.currentDir + (c.currentDir.back() == '\\' ? "" : "\\");
    if (c.sourcePresent) {
      machine.PutFile(
          folder + (c.driverFile.empty() ? "k7351.mpd" : c.driverFile),
          kNewMiniport);
    }
    machine.MakeFolder(c.systemDir + "\\IOSUBSYS");
    if (c.copyRefused) {
      Fault fault;
      fault.operation = "CopyFileA";
      machine.InjectFault(fault);
    }
    const MachineSnapshot before = machine.Snapshot();

    EXPECT_EQ(PlaceDriverFile(machine, StateWithDriver(c.driverFile)), 1);

    EXPECT_EQ(before.files, machine.Snapshot().files);
    for (const MachineEvent& event : machine.events()) {
      EXPECT_NE(event.kind, MachineEvent::Kind::MessageBox);
    }
  }
}

}  // namespace
}  // namespace ide
