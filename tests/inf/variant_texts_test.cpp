// The variant texts hang together as INF: what one text names, another
// defines. (Their bytes are pinned by the golden class INFs.)
#include "inf/variant_texts.h"

#include <algorithm>
#include <cctype>
#include <string>

#include <gtest/gtest.h>

#include "inf/line_reader.h"

namespace ide {
namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

const SetupVariant kVariants[] = {kVariantK7341, kVariantK7351, kVariantRbMax};

TEST(VariantTexts, TheInstalledTokenIsThePciModelLinesFirstToken) {
  for (SetupVariant variant : kVariants) {
    SCOPED_TRACE(variant);
    const VariantTexts& texts = TextsForVariant(variant);
    EXPECT_EQ(FirstToken(texts.modelPciLine), texts.installedToken);
  }
}

TEST(VariantTexts, EveryModelLineHasItsDescriptionUnderStrings) {
  for (SetupVariant variant : kVariants) {
    SCOPED_TRACE(variant);
    const VariantTexts& texts = TextsForVariant(variant);
    for (const char* line :
         {texts.modelPciLine, texts.modelPrimaryLine, texts.modelSecondaryLine}) {
      std::string key(FirstToken(line));
      ASSERT_GE(key.size(), 2u);
      ASSERT_EQ(key.front(), '%');
      ASSERT_EQ(key.back(), '%');
      key = key.substr(1, key.size() - 2);
      // The key starts a line of the [Strings] addition (the odd spelling
      // "DeviecDesc" matches on both sides).
      const std::string strings = "\n" + std::string(texts.stringsAddition);
      EXPECT_TRUE(Contains(strings, "\n" + key + " ")) << key;
    }
  }
}

TEST(VariantTexts, InstallSectionsNameSectionsThatAreWritten) {
  for (SetupVariant variant : kVariants) {
    SCOPED_TRACE(variant);
    const VariantTexts& texts = TextsForVariant(variant);
    const std::string written = Upper(std::string(kDualMasterSection) +
                                      kStandardMfSection + kMasterIdeSection +
                                      texts.esdiSections + kIdePropSection);
    // Section names are compared without regard to case.
    for (const char* section : {"[StandardMF.Reg]", "[IDEProp.Reg]",
                                "[ESDI_MASTER_AddReg]", "[ESDI_FIFO_OK_AddReg]"}) {
      EXPECT_TRUE(Contains(written, Upper(section))) << section;
    }
    // The model lines' install sections.
    EXPECT_TRUE(Contains(kDualMasterSection, "[DUAL_MASTER_IDE]\n"));
    EXPECT_TRUE(Contains(kMasterIdeSection, "[MASTER_IDE]\n"));
    EXPECT_TRUE(Contains(texts.modelPciLine, "= DUAL_MASTER_IDE "));
    EXPECT_TRUE(Contains(texts.modelPrimaryLine, "= MASTER_IDE "));
    EXPECT_TRUE(Contains(texts.modelSecondaryLine, "= MASTER_IDE "));
  }
}

TEST(VariantTexts, ThePortDriverIsTheFileThatIsCopied) {
  for (SetupVariant variant : kVariants) {
    SCOPED_TRACE(variant);
    const VariantTexts& texts = TextsForVariant(variant);
    EXPECT_TRUE(Contains(Upper(texts.esdiSections),
                         "HKR,,PORTDRIVER,," + Upper(texts.driverFile) + "\n"));
    EXPECT_LE(std::string(texts.driverFile).size(), kMaxDriverFileName);
  }
}

TEST(VariantTexts, TheModelSectionIsClosedAgainAndEveryTextEndsItsLine) {
  for (SetupVariant variant : kVariants) {
    SCOPED_TRACE(variant);
    const VariantTexts& texts = TextsForVariant(variant);
    const std::string secondary = texts.modelSecondaryLine;
    EXPECT_EQ(secondary.substr(secondary.size() - 2), "\n\n");
    for (const char* text :
         {texts.modelPciLine, texts.modelPrimaryLine, texts.esdiSections,
          texts.controlFlagsAddition, texts.stringsAddition, kDualMasterSection,
          kStandardMfSection, kMasterIdeSection, kIdePropSection}) {
      EXPECT_EQ(std::string(text).back(), '\n') << text;
    }
  }
}

TEST(VariantTexts, TheOemBrandSharesTheK7351ChipsTexts) {
  const VariantTexts& k7351 = TextsForVariant(kVariantK7351);
  const VariantTexts& rbMax = TextsForVariant(kVariantRbMax);
  // Same chip: same PCI line and token (so each refuses after the other),
  // and the K7351's control flags with the K7351 channel IDs.
  EXPECT_STREQ(rbMax.modelPciLine, k7351.modelPciLine);
  EXPECT_STREQ(rbMax.installedToken, k7351.installedToken);
  EXPECT_STREQ(rbMax.controlFlagsAddition, k7351.controlFlagsAddition);
  EXPECT_TRUE(Contains(rbMax.controlFlagsAddition, "MF\\K7351PRIMARY"));
  EXPECT_FALSE(Contains(rbMax.controlFlagsAddition, "RBMAX"));
  // Its own brand everywhere else.
  EXPECT_TRUE(Contains(rbMax.modelPrimaryLine, "MF\\RBMAXPRIMARY"));
  EXPECT_TRUE(Contains(rbMax.modelSecondaryLine, "MF\\RBMAXSECONDARY"));
  EXPECT_TRUE(Contains(rbMax.stringsAddition, "\"RB Max\""));
  EXPECT_STREQ(rbMax.distributionInf, "rbhdd.inf");
  EXPECT_STREQ(rbMax.driverFile, "rbide.mpd");
  // Only the two K7351-based variants name a company and a provider.
  EXPECT_FALSE(Contains(TextsForVariant(kVariantK7341).stringsAddition, "COMPANY"));
  EXPECT_TRUE(Contains(k7351.stringsAddition, "COMPANY"));
  EXPECT_TRUE(Contains(rbMax.stringsAddition, "PROVIDER"));
  // The two chips differ in their token.
  EXPECT_STRNE(TextsForVariant(kVariantK7341).installedToken, k7351.installedToken);
  EXPECT_STREQ(TextsForVariant(kVariantK7341).distributionInf,
               k7351.distributionInf);
}

TEST(VariantTexts, AnyOtherVariantValueGetsTheOemBrandsTexts) {
  for (SetupVariant variant : {2, 5, 9, 11, -1}) {
    SCOPED_TRACE(variant);
    EXPECT_EQ(&TextsForVariant(variant), &TextsForVariant(kVariantRbMax));
  }
}

}  // namespace
}  // namespace ide
