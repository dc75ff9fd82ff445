#include "setup/variants.h"

#include <array>
#include <string_view>

namespace ide {

namespace {

constexpr std::array<VariantInfo, 3> kVariants = {{
    {kVariantK7341, "K7341", "Zel IDE Driver Setup",
     "Zel IDE controller not found!"},
    {kVariantK7351, "K7351", "Zel IDE Driver Setup",
     "Zel IDE controller not found!"},
    {kVariantRbMax, "RBMAX", "RB Max IDE Driver Setup",
     "RB Max IDE controller not found!"},
}};

// The OEM brand's row: its texts also serve any code the table lacks.
constexpr const VariantInfo& kFallbackVariant = kVariants[2];

// The record's text fields are fixed in width; the table must fit them.
constexpr bool TextsFitTheRecord() {
  for (const VariantInfo& info : kVariants) {
    if (std::string_view(info.title).size() > kMaxTitle) return false;
    if (std::string_view(info.notFoundMessage).size() > kMaxNotFoundMessage)
      return false;
  }
  return true;
}
static_assert(TextsFitTheRecord());
static_assert(kFallbackVariant.variant == kVariantRbMax);

}  // namespace

std::span<const VariantInfo> Variants() { return kVariants; }

const VariantInfo* FindVariantByName(std::string_view name) {
  for (const VariantInfo& info : kVariants) {
    if (name == info.commandLineName) return &info;
  }
  return nullptr;
}

const VariantInfo& VariantTextsFor(SetupVariant variant) {
  for (const VariantInfo& info : kVariants) {
    if (info.variant == variant) return info;
  }
  return kFallbackVariant;
}

}  // namespace ide
