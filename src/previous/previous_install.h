#pragma once

#include "platform/platform_services.h"
#include "setup/setup_state.h"

namespace ide {

// Finds the maker's bridge and removes what an earlier installation left.
// Returns 1 when a bridge was found and the cleanup ran, 0 otherwise (after
// telling the user the controller was not found).
int CleanPreviousInstall(PlatformServices& os, const SetupState& state);

}  // namespace ide
