#include "setup/run_setup.h"

#include "inf/class_inf.h"
#include "previous/previous_install.h"
#include "refresh/detection_reset.h"
#include "refresh/driver_placement.h"
#include "setup/command_line.h"
#include "setup/completion_dialog.h"
#include "setup/entry.h"
#include "setup/setup_texts.h"

namespace ide {

int RunSetup(PlatformServices& os, SetupState& state) {
  int result = kNoDialog;

  // A malformed command line still lets the setup go on with the variant
  // read so far; a missing driver option ends the process inside the parse.
  ParseCommandLine(os, state);
  SelectVariantTexts(state);

  // Nothing has been changed yet, so declining simply ends the program.
  if (os.MessageBoxA(nullptr, kConfirmText, state.title.c_str(), MB_YESNO) !=
      IDYES) {
    os.ExitProcess(static_cast<UINT>(kSetupExitCode));
  }

  if (PatchClassInf(os, state) == 1) SwapClassInf(os);

  // Without a known chipset there is nothing to restart for in particular:
  // no dialog, and the entry restarts after the wait.
  if (CleanPreviousInstall(os, state) == 1) {
    result = ShowCompletionDialog(os, state);
  }

  // Whatever the steps above found, the driver is placed and Windows is made
  // to detect its disk controllers afresh.
  PlaceDriverFile(os, state);
  ResetDeviceDetection(os);
  return result;
}

}  // namespace ide
