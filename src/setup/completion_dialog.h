#pragma once

#include "platform/platform_services.h"
#include "setup/setup_state.h"

namespace ide {

// What the dialog procedure works on, handed through DialogBoxParamA.
struct CompletionDialogContext {
  PlatformServices& os;
  SetupState& state;
};

// The procedure of DIALOG_COMPLETE; `context` is a CompletionDialogContext.
INT_PTR CompletionDialogProc(void* context, HWND dialog, UINT message,
                             WPARAM wParam, LPARAM lParam);

// Asks how to restart. Returns the completion choice (kRestartNow or
// kRestartLater), or 0 when the dialog could not be shown.
int ShowCompletionDialog(PlatformServices& os, SetupState& state);

}  // namespace ide
