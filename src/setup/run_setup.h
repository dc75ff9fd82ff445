#pragma once

#include "platform/platform_services.h"
#include "setup/setup_state.h"

namespace ide {

// The setup steps in their fixed order. Returns kRestartNow, kRestartLater,
// kNoDialog, or 0 when the completion dialog could not be shown.
int RunSetup(PlatformServices& os, SetupState& state);

}  // namespace ide
