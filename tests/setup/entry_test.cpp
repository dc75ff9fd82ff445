#include "setup/entry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/simulated_machine.h"
#include "resources/dialog_ids.h"
#include "setup/run_setup.h"
#include "setup/setup_state.h"
#include "setup_test_support.h"

namespace ide {
namespace {

using setup_test::Clicks;
using setup_test::ExpectSameMachine;
using setup_test::LoadSample;
using setup_test::Transcript;

struct StripCase {
  const char* name;
  std::string commandLineAfterName;
  std::string tail;
};

TEST(StripLeadingBlanksTest, RemovesCodesOneToThirtyTwoBeforeTheFirstArgument) {
  const StripCase cases[] = {
      {"nothing to strip", "/D:K7351", "/D:K7351"},
      {"spaces and tabs", "  \t /D:K7351", "/D:K7351"},
      {"every code from 1 to 32",
       std::string("\x01\x02\x0d\x0a\x1a\x1f\x20/D:K7351"), "/D:K7351"},
      {"blanks inside and after are kept", " /D:K7351 ,\t/X ",
       "/D:K7351 ,\t/X "},
      {"only blanks", " \t\r\n", ""},
      {"empty", "", ""},
      {"code 33 is not a blank", "!/D", "!/D"},
      {"code 127 is not a blank", "\x7f/D", "\x7f/D"},
      {"codes above 127 are not blanks", "\xa0\xe9/D", "\xa0\xe9/D"},
  };
  for (const StripCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(StripLeadingBlanks(c.commandLineAfterName), c.tail);
  }
}

TEST(CommandLineTailTest, DropsTheProgramNameAndTheBlanksAfterIt) {
  struct Case {
    const char* commandLine;
    const char* tail;
  };
  const Case cases[] = {
      {"setup.exe /D:K7351", "/D:K7351"},
      {"A:\\SETUP.EXE   \t/D:K7351 /X", "/D:K7351 /X"},
      {"\"C:\\Program Files\\setup.exe\" /D:RBMAX", "/D:RBMAX"},
      {"\"C:\\a b\\setup.exe\"/D:K7341", "/D:K7341"},
      {"\"unterminated name /D:K7351", ""},
      {"setup.exe", ""},
      {"setup.exe    ", ""},
      {"", ""},
      {"setup.exe \x01\x1f /D:K7351  ", "/D:K7351  "},
      {"set\xe9up.exe /D:K7351", "/D:K7351"},
      {"setup.exe \"/D:K7351\"", "\"/D:K7351\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.commandLine);
    EXPECT_EQ(c.tail, CommandLineTail(c.commandLine));
  }
  EXPECT_EQ("", CommandLineTail(nullptr));
}

// How a whole run ends, decided by what RunSetup returned.
struct RestartCase {
  const char* name;
  const char* sample;
  const char* tail;
  std::vector<int> clicks;
  bool dialogFails;
  int setupResult;
  bool waits;
};

TEST(SetupMainTest, RestartsAtOnceOnlyWhenTheUserChoseToRestartNow) {
  const RestartCase cases[] = {
      {"restart now (preselected)",
       "k7351-upgrade",
       "/D:K7351",
       {IDC_FINISH},
       false,
       kRestartNow,
       false},
      {"restart later",
       "k7351-upgrade",
       "/D:K7351",
       {IDC_RESTART_LATER, IDC_FINISH},
       false,
       kRestartLater,
       true},
      {"later, then now again",
       "k7351-upgrade",
       "/D:RBMAX",
       {IDC_RESTART_LATER, IDC_RESTART_NOW, IDC_FINISH},
       false,
       kRestartNow,
       false},
      {"dialog could not be shown",
       "k7351-upgrade",
       "/D:K7351",
       {},
       true,
       0,
       true},
      {"no known chipset, no dialog",
       "no-bridge",
       "/D:RBMAX",
       {},
       false,
       kNoDialog,
       true},
  };
  for (const RestartCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto prepare = [&](SimulatedMachine& machine) {
      machine.SetDialogClicks(Clicks(c.clicks));
      if (c.dialogFails) {
        machine.InjectFault(setup_test::FailCall("DialogBoxParamA"));
      }
    };

    // What the setup steps return on this machine...
    auto probe = LoadSample(c.sample);
    prepare(*probe);
    int result = -1;
    probe->RunProcess([&] {
      SetupState state;
      KeepCommandLine(state, c.tail);
      result = RunSetup(*probe, state);
      return 0;
    });
    EXPECT_EQ(result, c.setupResult);

    // ...and what the entry makes of it on an identical machine.
    auto machine = LoadSample(c.sample);
    prepare(*machine);
    EXPECT_EQ(machine->RunProcess([&] { return SetupMain(*machine, c.tail); }),
              0);
    const std::vector<std::string> transcript = Transcript(*machine);
    std::vector<std::string> ending = {"restart 2 accepted", "exit 0"};
    if (c.waits) ending.insert(ending.begin(), "sleep 30000");
    ASSERT_GE(transcript.size(), ending.size());
    EXPECT_EQ(std::vector<std::string>(transcript.end() - ending.size(),
                                       transcript.end()),
              ending);
    EXPECT_EQ(std::count_if(transcript.begin(), transcript.end(),
                            [](const std::string& line) {
                              return line.rfind("sleep", 0) == 0;
                            }),
              c.waits ? 1 : 0);
  }
}

struct LengthCase {
  const char* name;
  std::string tail;
  std::vector<std::string> transcript;
};

TEST(SetupMainTest, DropsACommandLineTooLongToKeepAndChangesNothing) {
  // The user declines the confirmation, so neither run changes anything;
  // what differs is whether the driver option was read at all.
  const LengthCase cases[] = {
      {"259 characters reach the confirmation",
       "/D:RBMAX /" + std::string(249, 'Z'),
       {"box[RB Max IDE Driver Setup|YESNO] "
        "Are you sure to set up the BUS MASTER IDE driver?",
        "exit 0"}},
      {"260 characters are reported as no driver named",
       "/D:RBMAX /" + std::string(250, 'Z'),
       {"box[SET UP ERROR!|OK] Driver Name Not Found! ", "exit 0"}},
      {"a far longer one too",
       "/D:RBMAX" + std::string(5000, ' '),
       {"box[SET UP ERROR!|OK] Driver Name Not Found! ", "exit 0"}},
  };
  for (const LengthCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto machine = LoadSample("k7351-upgrade");
    machine->SetMessageBoxAnswerer([](const MessageBoxRequest& request) {
      return request.type == MB_YESNO ? IDNO : IDOK;
    });
    const MachineSnapshot before = machine->Snapshot();
    EXPECT_EQ(machine->RunProcess([&] { return SetupMain(*machine, c.tail); }),
              0);
    EXPECT_EQ(Transcript(*machine), c.transcript);
    ExpectSameMachine(before, machine->Snapshot());
  }
}

}  // namespace
}  // namespace ide
