// The device entries a variant adds at the end of the maker's model section
// of the class INF: its model lines and install sections, followed by two
// sections copied from the driver's own (distribution) INF.
#pragma once

#include "inf/inf_writer.h"
#include "platform/platform_services.h"
#include "setup/setup_state.h"

namespace ide {

// The sections taken from the distribution INF.
inline constexpr char kHardwareSectionHeader[] = "[DUAL_MASTER_IDE.RegHW]";
inline constexpr char kArgumentSectionHeader[] = "[DrvArg.Reg]";

// Records the variant's driver file name in `state`, then writes the model
// lines, the install sections and the two copied sections to `out`.
// Returns 1 when all of it was written; 0 when the distribution INF could
// not be read (the copies are then incomplete) or a write failed. A
// distribution INF that simply lacks a section is not a failure.
int WriteControllerEntries(PlatformServices& os, SetupState& state,
                           InfWriter& out);

// The two copies on their own, from an open distribution INF; each reads
// the file from where it stands to (at most) its end.
//
// The hardware section: its header is a line whose first character after
// blanks is "[" and which holds the section name in exactly these letters
// anywhere; it ends before the next line holding a "[" anywhere, or at the
// end of the file. Only the first such section is copied.
void CopyHardwareSection(PlatformServices& os, TextFile source,
                         InfWriter& out);
// Every argument section: its header is a line whose first token is the
// section name in any letter case; it ends at its first line without a
// token, which is written as a bare line end, or at the end of the file.
void CopyArgumentSections(PlatformServices& os, TextFile source,
                          InfWriter& out);

}  // namespace ide
