#include "setup/completion_dialog.h"

#include "resources/dialog_ids.h"

namespace ide {

namespace {

void Choose(CompletionDialogContext& context, HWND dialog, int choice,
            int button) {
  context.state.completionChoice = choice;
  context.os.CheckRadioButton(dialog, IDC_RESTART_NOW, IDC_RESTART_LATER,
                              button);
}

// What the dialog ends with; the caller reads the choice from the state.
constexpr INT_PTR kDialogFinished = 1;

}  // namespace

INT_PTR CompletionDialogProc(void* context, HWND dialog, UINT message,
                             WPARAM wParam, LPARAM /*lParam*/) {
  CompletionDialogContext& completion =
      *static_cast<CompletionDialogContext*>(context);
  if (message == WM_INITDIALOG) {
    // Restarting at once is preselected: the user who just presses Finish
    // (or Enter) gets it.
    Choose(completion, dialog, kRestartNow, IDC_RESTART_NOW);
    return kTrue;
  }
  if (message != WM_COMMAND) return kFalse;
  // The whole parameter is compared: only a plain click on a button (or its
  // keyboard equivalent) counts. Cancel and the close box are not handled,
  // so the dialog can only be left through Finish.
  switch (wParam) {
    case IDC_RESTART_NOW:
      Choose(completion, dialog, kRestartNow, IDC_RESTART_NOW);
      return kTrue;
    case IDC_RESTART_LATER:
      Choose(completion, dialog, kRestartLater, IDC_RESTART_LATER);
      return kTrue;
    case IDC_FINISH:
      completion.os.EndDialog(dialog, kDialogFinished);
      return kTrue;
    default:
      return kFalse;
  }
}

int ShowCompletionDialog(PlatformServices& os, SetupState& state) {
  CompletionDialogContext context{os, state};
  // The dialog's end value carries nothing; the choice is in the state, and
  // stays 0 when the dialog could not be shown.
  os.DialogBoxParamA(IDE_DIALOG_COMPLETE_NAME, nullptr, CompletionDialogProc,
                     &context);
  return state.completionChoice;
}

}  // namespace ide
