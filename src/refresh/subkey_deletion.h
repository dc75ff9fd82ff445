// Emptying a registry key of its subkeys.
#pragma once

#include <cstddef>
#include <string>

#include "platform/platform_services.h"

namespace ide {

// Subkey names are gathered in this many slots before any is deleted.
constexpr std::size_t kMaxSubkeySlots = 10;

// Deletes every direct subkey of `keyPath` (below HKEY_LOCAL_MACHINE), each
// with everything below it; the key itself stays. Names are gathered up to
// kMaxSubkeySlots at a time; while they fit, none is deleted before the
// enumeration has ended, so it never runs over a key that is being deleted.
// A key with more subkeys is emptied in further rounds. A subkey that cannot be
// deleted is stepped over, not retried.
void DeleteAllSubkeys(PlatformServices& os, const std::string& keyPath);

}  // namespace ide
