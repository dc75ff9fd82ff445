#include "platform/simulated_machine.h"

// Being written.
