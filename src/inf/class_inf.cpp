#include "inf/class_inf.h"

namespace ide {

// PLACEHOLDER: the class INF rewrite is not built yet; nothing is patched.
int PatchClassInf(PlatformServices&, SetupState&) { return 0; }

// PLACEHOLDER: the class INF swap is not built yet.
void SwapClassInf(PlatformServices&) {}

}  // namespace ide
