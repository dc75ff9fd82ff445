// The texts each product variant adds to the class INF mshdc.inf, and the
// two file names that go with it. All of them are fixed in the program and
// written byte for byte: blanks before a line end and lines holding a single
// blank are part of the texts. A line end here is "\n"; the text-mode file
// turns it into CR LF.
#pragma once

#include "setup/setup_state.h"

namespace ide {

struct VariantTexts {
  // The model lines: the PCI function of the controller and its two channel
  // children. The secondary line ends in an empty line, which closes the
  // model section again.
  const char* modelPciLine;
  const char* modelPrimaryLine;
  const char* modelSecondaryLine;
  // The channels' registry sections, naming the miniport file.
  const char* esdiSections;
  // Written directly under [ControlFlags] and [Strings].
  const char* controlFlagsAddition;
  const char* stringsAddition;
  // First token of modelPciLine: finding it in the model section means the
  // entries are there from an earlier run.
  const char* installedToken;
  // The driver's own INF in the current folder, read for two sections.
  const char* distributionInf;
  // The miniport file to copy into iosubsys, in the letter case used for
  // the copy.
  const char* driverFile;
};

// Install sections written for every variant.
extern const char* const kDualMasterSection;
extern const char* const kStandardMfSection;
extern const char* const kMasterIdeSection;
extern const char* const kIdePropSection;

// The texts of a variant. Variants 0 and 1 are the maker's two chips; every
// other value gets the OEM brand's texts, as the window title does.
const VariantTexts& TextsForVariant(SetupVariant variant);

}  // namespace ide
