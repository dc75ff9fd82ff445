#include "setup/completion_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/simulated_machine.h"
#include "resources/dialog_ids.h"
#include "setup/setup_state.h"
#include "setup_test_support.h"

namespace ide {
namespace {

using setup_test::Clicks;
using setup_test::Transcript;

// Runs the dialog on a machine whose user clicks `ids`; returns what
// ShowCompletionDialog returned, the state's choice and the transcript.
struct DialogRun {
  int returned = -1;
  int choice = -1;
  int checked = -1;
  std::vector<std::string> transcript;
};

DialogRun RunDialog(const std::vector<int>& ids, bool failToOpen = false) {
  SimulatedMachine machine;
  machine.SetDialogClicks(Clicks(ids));
  if (failToOpen) machine.InjectFault(setup_test::FailCall("DialogBoxParamA"));
  SetupState state;
  DialogRun run;
  machine.RunProcess([&] {
    run.returned = ShowCompletionDialog(machine, state);
    return 0;
  });
  run.choice = state.completionChoice;
  run.checked = machine.CheckedRadioButton();
  run.transcript = Transcript(machine);
  run.transcript.pop_back();  // the process exit of the harness
  return run;
}

struct ClicksCase {
  const char* name;
  std::vector<int> clicks;
  int choice;
  int checked;
};

TEST(ShowCompletionDialogTest, ReturnsTheChoiceTheUserLeftChecked) {
  const ClicksCase cases[] = {
      {"Finish at once keeps the preselected restart now",
       {IDC_FINISH},
       kRestartNow,
       IDC_RESTART_NOW},
      {"later",
       {IDC_RESTART_LATER, IDC_FINISH},
       kRestartLater,
       IDC_RESTART_LATER},
      {"later, then now again",
       {IDC_RESTART_LATER, IDC_RESTART_NOW, IDC_FINISH},
       kRestartNow,
       IDC_RESTART_NOW},
      {"later twice",
       {IDC_RESTART_LATER, IDC_RESTART_LATER, IDC_FINISH},
       kRestartLater,
       IDC_RESTART_LATER},
      {"Cancel neither closes nor changes the choice",
       {IDC_RESTART_LATER, IDCANCEL, IDOK, IDC_FINISH},
       kRestartLater,
       IDC_RESTART_LATER},
      {"unknown controls are ignored",
       {0, 1028, IDC_FINISH},
       kRestartNow,
       IDC_RESTART_NOW},
  };
  for (const ClicksCase& c : cases) {
    SCOPED_TRACE(c.name);
    const DialogRun run = RunDialog(c.clicks);
    EXPECT_EQ(run.returned, c.choice);
    EXPECT_EQ(run.choice, c.choice);
    EXPECT_EQ(run.checked, c.checked);

    // The first button is checked when the dialog opens, each radio click
    // checks its button, and only Finish ends the dialog, with 1.
    std::vector<std::string> expected = {"dialog DIALOG_COMPLETE",
                                         "radio 1025"};
    for (int id : c.clicks) {
      expected.push_back("click " + std::to_string(id));
      if (id == IDC_RESTART_NOW || id == IDC_RESTART_LATER) {
        expected.push_back("radio " + std::to_string(id));
      }
    }
    expected.push_back("end 1");
    EXPECT_EQ(run.transcript, expected);
  }
}

TEST(ShowCompletionDialogTest, ReturnsZeroWhenTheDialogCannotBeShown) {
  const DialogRun run = RunDialog({IDC_FINISH}, /*failToOpen=*/true);
  EXPECT_EQ(run.returned, 0);
  EXPECT_EQ(run.choice, 0);
  EXPECT_EQ(run.transcript, std::vector<std::string>{"dialog failed"});
}

// Records what the procedure asks of the dialog, without a dialog running,
// so single messages can be handed to the procedure.
class DialogCallRecorder : public SimulatedMachine {
 public:
  BOOL CheckRadioButton(HWND, int first, int last, int check) override {
    calls.push_back("check " + std::to_string(first) + "-" +
                    std::to_string(last) + ":" + std::to_string(check));
    return kTrue;
  }
  BOOL EndDialog(HWND, INT_PTR result) override {
    calls.push_back("end " + std::to_string(result));
    return kTrue;
  }
  std::vector<std::string> calls;
};

struct MessageCase {
  const char* name;
  UINT message;
  WPARAM wParam;
  int choiceBefore;
  INT_PTR handled;
  int choiceAfter;
  std::vector<std::string> calls;
};

constexpr UINT kSysCommand = 0x0112;
constexpr WPARAM kSysClose = 0xF060;
// A command whose notification code (high word) is not a plain click.
constexpr WPARAM WithNotification(WPARAM id) { return (WPARAM{1} << 16) | id; }

TEST(CompletionDialogProcTest, HandlesOnlyItsOwnMessages) {
  const MessageCase cases[] = {
      {"opening checks restart now",
       WM_INITDIALOG,
       0,
       0,
       kTrue,
       kRestartNow,
       {"check 1025-1026:1025"}},
      {"opening sets restart now whatever was set",
       WM_INITDIALOG,
       0,
       kRestartLater,
       kTrue,
       kRestartNow,
       {"check 1025-1026:1025"}},
      {"first button",
       WM_COMMAND,
       IDC_RESTART_NOW,
       kRestartLater,
       kTrue,
       kRestartNow,
       {"check 1025-1026:1025"}},
      {"second button",
       WM_COMMAND,
       IDC_RESTART_LATER,
       kRestartNow,
       kTrue,
       kRestartLater,
       {"check 1025-1026:1026"}},
      {"Finish ends with 1 and keeps the choice",
       WM_COMMAND,
       IDC_FINISH,
       kRestartLater,
       kTrue,
       kRestartLater,
       {"end 1"}},
      {"Cancel (Esc, close box) is not handled",
       WM_COMMAND,
       IDCANCEL,
       kRestartNow,
       kFalse,
       kRestartNow,
       {}},
      {"OK is not handled",
       WM_COMMAND,
       IDOK,
       kRestartNow,
       kFalse,
       kRestartNow,
       {}},
      {"Finish with a notification code is not a click",
       WM_COMMAND,
       WithNotification(IDC_FINISH),
       kRestartNow,
       kFalse,
       kRestartNow,
       {}},
      {"second button with a notification code",
       WM_COMMAND,
       WithNotification(IDC_RESTART_LATER),
       kRestartNow,
       kFalse,
       kRestartNow,
       {}},
      {"close message",
       WM_CLOSE,
       IDC_FINISH,
       kRestartNow,
       kFalse,
       kRestartNow,
       {}},
      {"system close",
       kSysCommand,
       kSysClose,
       kRestartNow,
       kFalse,
       kRestartNow,
       {}},
  };
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(c.name);
    DialogCallRecorder machine;
    SetupState state;
    state.completionChoice = c.choiceBefore;
    CompletionDialogContext context{machine, state};
    const INT_PTR handled = CompletionDialogProc(
        &context, reinterpret_cast<HWND>(std::uintptr_t{0x1234}), c.message,
        c.wParam, 0);
    EXPECT_EQ(handled, c.handled);
    EXPECT_EQ(state.completionChoice, c.choiceAfter);
    EXPECT_EQ(machine.calls, c.calls);
  }
}

}  // namespace
}  // namespace ide
