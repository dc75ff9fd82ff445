#include "setup/run_setup.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/simulated_machine.h"
#include "resources/dialog_ids.h"
#include "setup/entry.h"
#include "setup/setup_state.h"
#include "setup_test_support.h"

namespace ide {
namespace {

using setup_test::ExpectSameMachine;
using setup_test::LoadSample;
using setup_test::Transcript;

const std::string kConfirm =
    "Are you sure to set up the BUS MASTER IDE driver?";

// Runs RunSetup alone (no restart) for `tail`; returns its result, or
// nullopt when the process ended inside it.
std::optional<int> RunSteps(SimulatedMachine& machine,
                            const std::string& tail) {
  std::optional<int> result;
  machine.RunProcess([&] {
    SetupState state;
    KeepCommandLine(state, tail);
    result = RunSetup(machine, state);
    return 0;
  });
  return result;
}

// Stands for "the message box could not be shown": MessageBoxA answers 0.
constexpr int kBoxFails = -1;

struct DeclineCase {
  const char* name;
  const char* sample;
  const char* tail;
  int answer;
  std::vector<std::string> transcript;
};

TEST(RunSetupTest, AnyAnswerButYesEndsTheRunWithNothingTouched) {
  const DeclineCase cases[] = {
      {"No, maker's title", "k7351-upgrade", "/D:K7351", IDNO,
       {"box[Zel IDE Driver Setup|YESNO] " + kConfirm, "exit 0"}},
      {"No, first chip", "k7341-fresh", "/D:K7341", IDNO,
       {"box[Zel IDE Driver Setup|YESNO] " + kConfirm, "exit 0"}},
      {"No, brand's title", "no-bridge", "/D:RBMAX", IDNO,
       {"box[RB Max IDE Driver Setup|YESNO] " + kConfirm, "exit 0"}},
      {"the question could not be asked", "k7351-upgrade", "/D:K7351",
       kBoxFails, {"exit 0"}},
      {"after a format error the question still comes, with the variant "
       "read so far",
       "k7351-upgrade", "/D:RBMAX K7351", IDNO,
       {"box[SET UP ERROR!|OK] Command line parameter format error! ",
        "box[RB Max IDE Driver Setup|YESNO] " + kConfirm, "exit 0"}},
  };
  for (const DeclineCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto machine = LoadSample(c.sample);
    const int answer = c.answer;
    if (answer == kBoxFails) {
      Fault fault = setup_test::FailCall("MessageBoxA");
      fault.argument = kConfirm;
      machine->InjectFault(fault);
    } else {
      machine->SetMessageBoxAnswerer(
          [answer](const MessageBoxRequest& request) {
            return request.type == MB_YESNO ? answer : IDOK;
          });
    }
    const MachineSnapshot before = machine->Snapshot();
    EXPECT_EQ(RunSteps(*machine, c.tail), std::nullopt);
    EXPECT_EQ(Transcript(*machine), c.transcript);
    ExpectSameMachine(before, machine->Snapshot());
  }
}

TEST(RunSetupTest, NoDriverOptionEndsTheRunBeforeTheQuestion) {
  auto machine = LoadSample("k7351-upgrade");
  const MachineSnapshot before = machine->Snapshot();
  EXPECT_EQ(machine->RunProcess([&] { return SetupMain(*machine, ""); }), 0);
  EXPECT_EQ(Transcript(*machine),
            (std::vector<std::string>{
                "box[SET UP ERROR!|OK] Driver Name Not Found! ", "exit 0"}));
  ExpectSameMachine(before, machine->Snapshot());
}

// Paths on the sample machines.
const char kClassInf[] = "C:\\WINDOWS\\INF\\MSHDC.INF";
const char kClassInfBackup[] = "C:\\WINDOWS\\INF\\mshdc.ing";
const char kClassInfCopy[] = "C:\\WINDOWS\\INF\\mshdc.1";

TEST(RunSetupTest, RunsEveryStepAndAsksHowToRestartWhenTheChipsetIsKnown) {
  auto machine = LoadSample("k7351-upgrade");
  const std::string originalInf = *machine->FileBytes(kClassInf);
  const MachineSnapshot before = machine->Snapshot();

  EXPECT_EQ(RunSteps(*machine, "/D:K7351"), kRestartNow);

  EXPECT_EQ(
      Transcript(*machine),
      (std::vector<std::string>{"box[Zel IDE Driver Setup|YESNO] " + kConfirm,
                                "dialog DIALOG_COMPLETE", "radio 1025",
                                "click 1027", "end 1", "exit 0"}));
  // The class INF was rewritten and swapped in, with the old one kept.
  EXPECT_NE(machine->FileBytes(kClassInf), originalInf);
  EXPECT_EQ(machine->FileBytes(kClassInfBackup), originalInf);
  EXPECT_FALSE(machine->FileExists(kClassInfCopy));
  // The earlier installation's keys went.
  EXPECT_FALSE(machine->registry().KeyExists(
      "Enum\\PCI\\VEN_8C4E&DEV_7351&SUBSYS_00000000&REV_01"));
  // The driver was placed.
  EXPECT_EQ(machine->FileBytes("C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\K7351.MPD"),
            machine->FileBytes("A:\\K7351.MPD"));
  // Detection was reset.
  EXPECT_FALSE(machine->registry().KeyExists("Enum\\SCSI"));
  EXPECT_TRUE(machine->registry().Subkeys("Enum\\MF\\CHILD0000").empty());

  EXPECT_NE(before.files, machine->Snapshot().files);
}

TEST(RunSetupTest, KeepsTheClassInfWhenItCouldNotBePatchedAndCarriesOn) {
  auto machine = LoadSample("k7351-upgrade");
  // A class INF without the maker's model section cannot take the entries.
  std::string inf = *machine->FileBytes(kClassInf);
  const std::size_t header = inf.find("[ZEL_HDC]");
  ASSERT_NE(header, std::string::npos);
  inf.replace(header, 9, "[ZEL_OLD]");
  machine->PutFile(kClassInf, inf);

  EXPECT_EQ(RunSteps(*machine, "/D:K7351"), kRestartNow);

  EXPECT_EQ(machine->FileBytes(kClassInf), inf);
  EXPECT_FALSE(machine->FileExists(kClassInfBackup));
  EXPECT_TRUE(machine->FileExists(kClassInfCopy));
  // The cleanup and the dialog still ran...
  EXPECT_FALSE(
      machine->FileExists("C:\\WINDOWS\\INF\\OTHER\\ZelmontZELHDD.INF"));
  EXPECT_TRUE(
      setup_test::Contains(Transcript(*machine), "dialog DIALOG_COMPLETE"));
  // ...and so did the reset, but no driver name was recorded, so the old
  // miniport that the cleanup removed was not replaced.
  EXPECT_FALSE(machine->registry().KeyExists("Enum\\SCSI"));
  EXPECT_FALSE(machine->FileExists("C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\K7351.MPD"));
}

TEST(RunSetupTest, WithoutAKnownChipsetSkipsTheDialogButStillPlacesAndResets) {
  auto machine = LoadSample("no-bridge");
  const std::string originalInf = *machine->FileBytes(kClassInf);

  EXPECT_EQ(RunSteps(*machine, "/D:RBMAX"), kNoDialog);

  EXPECT_EQ(
      Transcript(*machine),
      (std::vector<std::string>{
          "box[RB Max IDE Driver Setup|YESNO] " + kConfirm,
          "box[Setup Error|OK] RB Max IDE controller not found!", "exit 0"}));
  // Nothing is undone: the class INF stays patched.
  EXPECT_EQ(machine->FileBytes(kClassInfBackup), originalInf);
  EXPECT_EQ(machine->FileBytes("C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\RBIDE.MPD"),
            machine->FileBytes("A:\\RBIDE.MPD"));
  EXPECT_TRUE(machine->registry().Subkeys("Enum\\MF\\CHILD0000").empty());
}

}  // namespace
}  // namespace ide
