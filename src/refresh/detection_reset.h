#pragma once

#include "platform/platform_services.h"

namespace ide {

// Deletes the keys through which Windows remembers its disk controllers, so
// the next start detects them afresh.
void ResetDeviceDetection(PlatformServices& os);

}  // namespace ide
