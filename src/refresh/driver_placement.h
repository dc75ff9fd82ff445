#pragma once

#include "platform/platform_services.h"
#include "setup/setup_state.h"

namespace ide {

// Copies the miniport named in the state from the current folder into the
// system folder's iosubsys folder. Returns 1.
int PlaceDriverFile(PlatformServices& os, const SetupState& state);

}  // namespace ide
