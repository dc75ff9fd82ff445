#pragma once

#include "platform/platform_services.h"
#include "setup/setup_state.h"

namespace ide {

// Rewrites the class INF mshdc.inf into mshdc.1 with the variant's entries.
// Returns 1 when the controller entries were written and the copy reached
// the disk whole, else 0 (the driver file name is then left empty and
// mshdc.inf is untouched). Ends the process when the entries are there
// from an earlier run.
int PatchClassInf(PlatformServices& os, SetupState& state);

// Keeps mshdc.inf as mshdc.ing and puts mshdc.1 in its place. mshdc.inf is
// replaced only once the backup is made, and restored from it when the
// replacement fails; mshdc.1 is removed only after a replacement.
void SwapClassInf(PlatformServices& os);

}  // namespace ide
