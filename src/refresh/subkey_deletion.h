// Emptying a registry key of its subkeys.
#pragma once

#include <cstddef>
#include <string>

#include "platform/platform_services.h"

namespace ide {

// Subkey names are gathered in this many slots before any is deleted.
constexpr std::size_t kMaxSubkeySlots = 10;

// Rounds of gathering and deleting that one key gets at most. Each round
// removes or steps over a full set of slots, so only a registry that reports
// deletions it does not make (keys re-created behind our back) could need
// more; the setup must still come to its restart then.
constexpr std::size_t kMaxDeletionRounds = 1000;

// Deletes every direct subkey of `keyPath` (below HKEY_LOCAL_MACHINE), each
// with everything below it; the key itself stays. Names are gathered up to
// kMaxSubkeySlots at a time; while they fit, none is deleted before the
// enumeration has ended, so it never runs over a key that is being deleted.
// A key with more subkeys is emptied in further rounds. A subkey that cannot be
// deleted is stepped over, not retried.
void DeleteAllSubkeys(PlatformServices& os, const std::string& keyPath);

}  // namespace ide
