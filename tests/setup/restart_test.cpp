#include "setup/restart.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/simulated_machine.h"
#include "setup_test_support.h"

namespace ide {
namespace {

using setup_test::FailCall;
using setup_test::Transcript;

struct RestartCase {
  const char* name;
  WindowsFamily family;
  std::vector<Fault> faults;
  bool privilegeHeld;
  std::vector<std::string> transcript;
};

const std::string kNoCaption = "box[(none)|OK] ";

TEST(RestartWindowsTest,
     EnablesTheShutdownPrivilegeOnlyOnNtAndReportsEachFailure) {
  const RestartCase cases[] = {
      {"95 family", WindowsFamily::Win95, {}, true, {"restart 2 accepted"}},
      {"95 family, restart refused, code shown signed",
       WindowsFamily::Win95,
       {FailCall("ExitWindowsEx", 0x80000000u)},
       true,
       {"restart 2 refused",
        kNoCaption + "Error ExitWindows Error #-2147483648"}},
      {"NT family",
       WindowsFamily::NT,
       {},
       true,
       {"debug Setting token", "restart 2 accepted"}},
      {"NT family, token cannot be opened: the later steps still run "
       "without it",
       WindowsFamily::NT,
       {FailCall("OpenProcessToken", ERROR_ACCESS_DENIED)},
       true,
       {"debug Setting token", kNoCaption + "OpenProcessToken Error #5",
        kNoCaption + "AdjustTokenPrivileges Error #6", "restart 2 refused",
        kNoCaption + "Error ExitWindows Error #1314"}},
      {"NT family, privilege cannot be adjusted",
       WindowsFamily::NT,
       {FailCall("AdjustTokenPrivileges", 0x80000000u)},
       true,
       {"debug Setting token",
        kNoCaption + "AdjustTokenPrivileges Error #-2147483648",
        "restart 2 refused", kNoCaption + "Error ExitWindows Error #1314"}},
      {"NT family, restart refused",
       WindowsFamily::NT,
       {FailCall("ExitWindowsEx", 1115)},
       true,
       {"debug Setting token", "restart 2 refused",
        kNoCaption + "Error ExitWindows Error #1115"}},
      {"NT family, account without the privilege",
       WindowsFamily::NT,
       {},
       false,
       {"debug Setting token", "restart 2 refused",
        kNoCaption + "Error ExitWindows Error #1314"}},
  };
  for (const RestartCase& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.config().family = c.family;
    machine.config().shutdownPrivilegeHeld = c.privilegeHeld;
    for (const Fault& fault : c.faults) machine.InjectFault(fault);

    const int exitCode = machine.RunProcess([&] {
      RestartWindows(machine);
      return 0;
    });

    EXPECT_EQ(exitCode, 0);
    std::vector<std::string> expected = c.transcript;
    expected.push_back("exit 0");
    EXPECT_EQ(Transcript(machine), expected);
    // Nothing is retried.
    EXPECT_EQ(machine.CallCount("ExitWindowsEx"), 1);
    const int tokenCalls = c.family == WindowsFamily::NT ? 1 : 0;
    EXPECT_EQ(machine.CallCount("OpenProcessToken"), tokenCalls);
    EXPECT_EQ(machine.CallCount("AdjustTokenPrivileges"), tokenCalls);
  }
}

}  // namespace
}  // namespace ide
