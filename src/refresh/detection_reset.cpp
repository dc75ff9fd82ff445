#include "refresh/detection_reset.h"

namespace ide {

// PLACEHOLDER: the re-detection reset is not built yet.
void ResetDeviceDetection(PlatformServices&) {}

}  // namespace ide
