#pragma once

#include "platform/platform_services.h"
#include "setup/setup_state.h"

namespace ide {

// Turns the command line of the state into its variant. Returns 1 when every
// token was examined, 0 when the parse stopped early. Ends the process when
// no driver option was given.
int ParseCommandLine(PlatformServices& os, SetupState& state);

// Sets the title and the not-found message for the state's variant.
void SelectVariantTexts(SetupState& state);

}  // namespace ide
