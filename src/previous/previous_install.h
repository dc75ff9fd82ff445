#pragma once

#include "platform/platform_services.h"
#include "previous/chipset.h"
#include "previous/install_records.h"
#include "setup/setup_state.h"

namespace ide {

// Finds the maker's bridge and removes what an earlier installation left.
// Returns 1 when a bridge was found and the cleanup ran, 0 otherwise (after
// telling the user the controller was not found).
int CleanPreviousInstall(PlatformServices& os, const SetupState& state);

// Fills `record` with the traces an earlier installation for the chipset's
// IDE controller left: its PCI and channel device keys, their driver class
// keys and its old INF file.
void FindPreviousInstall(PlatformServices& os, PreviousInstall& record,
                         ChipsetIndex chipset);

// Deletes what `record` names: the old INF and the chipset's old miniport
// (only when that INF names the miniport), then every found device key and
// its class key. Returns 1; single deletions that fail are passed over.
int RemovePreviousInstall(PlatformServices& os, const PreviousInstall& record,
                          ChipsetIndex chipset);

}  // namespace ide
