#pragma once

#include "platform/platform_services.h"
#include "refresh/hdc_device_keys.h"
#include "refresh/subkey_deletion.h"

namespace ide {

// Deletes the keys through which Windows remembers its disk controllers, so
// the next start detects them afresh.
void ResetDeviceDetection(PlatformServices& os);

}  // namespace ide
