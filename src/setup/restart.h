#pragma once

#include "platform/platform_services.h"

namespace ide {

// Asks Windows to restart, first enabling the shutdown privilege on the NT
// family. Failures are shown in message boxes; nothing is retried.
void RestartWindows(PlatformServices& os);

}  // namespace ide
