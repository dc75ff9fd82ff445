#pragma once

#include "platform/platform_services.h"
#include "setup/setup_state.h"

namespace ide {

// Rewrites the class INF mshdc.inf into mshdc.1 with the variant's entries.
// Returns 1 when the controller entries were written, else 0. Ends the
// process when the entries are there from an earlier run.
int PatchClassInf(PlatformServices& os, SetupState& state);

// Keeps mshdc.inf as mshdc.ing and puts mshdc.1 in its place.
void SwapClassInf(PlatformServices& os);

}  // namespace ide
