// The product variants the command line can name, with the two texts the
// user sees that depend on them.
#pragma once

#include <span>
#include <string_view>

#include "setup/setup_state.h"

namespace ide {

struct VariantInfo {
  SetupVariant variant;
  // The driver name after "/D:", in capitals (the parser compares it after
  // turning the option into capitals).
  const char* commandLineName;
  // Caption of the confirmation.
  const char* title;
  // Shown when the machine has none of the maker's chipsets.
  const char* notFoundMessage;
};

// Every variant that exists.
std::span<const VariantInfo> Variants();

// The variant whose command-line name is exactly `name` (letters as given),
// or null.
const VariantInfo* FindVariantByName(std::string_view name);

// The texts for a variant code. The two chips share the maker's texts; every
// other code, the OEM brand's included, gets the OEM brand's texts.
const VariantInfo& VariantTextsFor(SetupVariant variant);

}  // namespace ide
