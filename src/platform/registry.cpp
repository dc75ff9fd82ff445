#include "platform/registry.h"

// Being written.
