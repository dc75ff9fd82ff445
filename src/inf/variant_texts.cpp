#include "inf/variant_texts.h"

#include <string_view>

namespace ide {
namespace {

// Each literal below is one line of INF text, so the blocks read as they
// appear in mshdc.inf.

// ---- Model lines ----

constexpr const char kModelPciK7341[] =
    "%PCI\\VEN_8C4E&DEV_7341.DeviceDesc%  = DUAL_MASTER_IDE   , PCI\\VEN_8C4E&DEV_7341\n";
// The OEM brand is built on the K7351 and shares its PCI model line.
constexpr const char kModelPciK7351[] =
    "%PCI\\VEN_8C4E&DEV_7351.DeviceDesc%  = DUAL_MASTER_IDE   , PCI\\VEN_8C4E&DEV_7351\n";

constexpr const char kModelPrimaryK7341[] =
    "%MF\\MASTERPRIMARY.DeviecDesc%       = MASTER_IDE        , MF\\MASTERPRIMARY\n";
constexpr const char kModelPrimaryK7351[] =
    "%MF\\MASTERPRIMARY.DeviecDesc%       = MASTER_IDE        , MF\\K7351PRIMARY\n";
constexpr const char kModelPrimaryRbMax[] =
    "%MF\\MASTERPRIMARY.DeviecDesc%       = MASTER_IDE        , MF\\RBMAXPRIMARY\n";

constexpr const char kModelSecondaryK7341[] =
    "%MF\\MASTERSECONDARY.DeviecDesc%     = MASTER_IDE        , MF\\MASTERSECONDARY\n"
    "\n";
constexpr const char kModelSecondaryK7351[] =
    "%MF\\MASTERSECONDARY.DeviecDesc%     = MASTER_IDE        , MF\\K7351SECONDARY\n"
    "\n";
constexpr const char kModelSecondaryRbMax[] =
    "%MF\\MASTERSECONDARY.DeviecDesc%     = MASTER_IDE        , MF\\RBMAXSECONDARY\n"
    "\n";

// ---- The channels' registry sections ----

constexpr const char kEsdiK7341[] =
    "[ESDI_FIFO_OK_AddReg]\n"
    "HKR,,IDENoSerialize,3,01 \n"
    " \n"
    "[ESDI_Master_AddReg] \n"
    "HKR,,DriverDesc,,\"KORVA Bus Master IDE Miniport Driver\" \n"
    "HKR,,DevLoader,,*IOS \n"
    "HKR,,PortDriver,,K7341.mpd\n"
    "\n";
constexpr const char kEsdiK7351[] =
    "[ESDI_FIFO_OK_AddReg]\n"
    "HKR,,IDENoSerialize,3,01\n"
    "\n"
    "[ESDI_Master_AddReg]\n"
    "HKR,,DriverDesc,,\"Zel Bus Master IDE Miniport Driver\"\n"
    "HKR,,DevLoader,,*IOS\n"
    "HKR,,PortDriver,,K7351.mpd\n"
    "\n";
constexpr const char kEsdiRbMax[] =
    "[ESDI_FIFO_OK_AddReg]\n"
    "HKR,,IDENoSerialize,3,01\n"
    "\n"
    "[ESDI_Master_AddReg]\n"
    "HKR,,DriverDesc,,\"RB Max Bus Master IDE Miniport Driver\"\n"
    "HKR,,DevLoader,,*IOS\n"
    "HKR,,PortDriver,,rbide.mpd\n"
    "\n";

// ---- Under [ControlFlags] ----

constexpr const char kControlFlagsK7341[] =
    "CopyFilesOnly =PCI\\VEN_8C4E&DEV_7341 \n"
    "ExcludeFromSelect=MF\\MASTERPRIMARY,MF\\MASTERSECONDARY \n";
// The OEM brand takes these unchanged: its ExcludeFromSelect names the
// K7351 channel IDs, not its own.
constexpr const char kControlFlagsK7351[] =
    "CopyFilesOnly           =PCI\\VEN_8C4E&DEV_7351 \n"
    "ExcludeFromSelect       =MF\\K7351PRIMARY,MF\\K7351SECONDARY \n";

// ---- Under [Strings] ----

constexpr const char kStringsK7341[] =
    "MF\\MASTERPRIMARY.DeviecDesc                     = \"Primary IDE controller (bus master)\" \n"
    "MF\\MASTERSECONDARY.DeviecDesc                   = \"Secondary IDE controller (bus master)\"\t\n"
    "PCI\\VEN_8C4E&DEV_7341.DeviceDesc                = \"KORVA Bus Master PCI to IDE Controller\"\n";
constexpr const char kStringsK7351[] =
    "COMPANY                          = \"Zelmont Inc\"\n"
    "PROVIDER                         = \"Zelmont Inc\" \n"
    "MF\\MASTERPRIMARY.DeviecDesc      = \"Zel Primary IDE controller (bus master)\" \n"
    "MF\\MASTERSECONDARY.DeviecDesc    = \"Zel Secondary IDE controller (bus master)\" \n"
    "PCI\\VEN_8C4E&DEV_7351.DeviceDesc = \"Zel Bus Master PCI to IDE Controller\" \n"
    "\n";
constexpr const char kStringsRbMax[] =
    "COMPANY                          = \"RB Max\" \n"
    "PROVIDER                         = \"RB Max\" \n"
    "MF\\MASTERPRIMARY.DeviecDesc      = \"RB Max Primary IDE controller (bus master)\" \n"
    "MF\\MASTERSECONDARY.DeviecDesc    = \"RB Max Secondary IDE controller (bus master)\" \n"
    "PCI\\VEN_8C4E&DEV_7351.DeviceDesc = \"RB Max Bus Master PCI to IDE Controller\"\n";

// ---- Earlier-installation tokens ----

constexpr const char kInstalledK7341[] = "%PCI\\VEN_8C4E&DEV_7341.DeviceDesc%";
// Shared by the K7351 and the OEM brand, so either refuses after the other.
constexpr const char kInstalledK7351[] = "%PCI\\VEN_8C4E&DEV_7351.DeviceDesc%";

// ---- Files ----

constexpr const char kZelDistributionInf[] = "zelhdd.inf";
constexpr const char kRbMaxDistributionInf[] = "rbhdd.inf";

constexpr const char kDriverK7341[] = "k7341.mpd";
constexpr const char kDriverK7351[] = "k7351.mpd";
constexpr const char kDriverRbMax[] = "rbide.mpd";

// The driver file name goes into a field of kMaxDriverFileName characters.
static_assert(std::string_view(kDriverK7341).size() <= kMaxDriverFileName);
static_assert(std::string_view(kDriverK7351).size() <= kMaxDriverFileName);
static_assert(std::string_view(kDriverRbMax).size() <= kMaxDriverFileName);

constexpr VariantTexts kK7341Texts = {
    kModelPciK7341,     kModelPrimaryK7341, kModelSecondaryK7341,
    kEsdiK7341,         kControlFlagsK7341, kStringsK7341,
    kInstalledK7341,    kZelDistributionInf, kDriverK7341,
};
constexpr VariantTexts kK7351Texts = {
    kModelPciK7351,     kModelPrimaryK7351, kModelSecondaryK7351,
    kEsdiK7351,         kControlFlagsK7351, kStringsK7351,
    kInstalledK7351,    kZelDistributionInf, kDriverK7351,
};
constexpr VariantTexts kRbMaxTexts = {
    kModelPciK7351,     kModelPrimaryRbMax, kModelSecondaryRbMax,
    kEsdiRbMax,         kControlFlagsK7351, kStringsRbMax,
    kInstalledK7351,    kRbMaxDistributionInf, kDriverRbMax,
};

}  // namespace

// ---- Install sections common to every variant ----

const char* const kDualMasterSection =
    "[DUAL_MASTER_IDE]\n"
    "AddReg=StandardMF.Reg,IDEProp.Reg \n"
    " \n"
    "[DUAL_MASTER_IDE.HW] \n"
    "AddReg=DUAL_MASTER_IDE.RegHW \n"
    " \n";

const char* const kStandardMfSection =
    "[StandardMF.Reg]\n"
    "HKR,,DevLoader,,*CONFIGMG\n"
    "HKR,,Enumerator,,*CONFIGMG\n"
    "HKR,,CMDrivFlags,1,03,00,00,00\n"
    "\n";

const char* const kMasterIdeSection =
    "[MASTER_IDE]\n"
    "AddReg = ESDI_MASTER_AddReg \n"
    " \n"
    "[MASTER_IDE.HW] \n"
    "AddReg = ESDI_FIFO_OK_AddReg \n"
    " \n";

const char* const kIdePropSection =
    "[IDEProp.Reg] \n"
    "HKR,,EnumPropPages,,\"sysclass.dll,IDEEnumPropPages\" \n"
    "\n";

const VariantTexts& TextsForVariant(SetupVariant variant) {
  switch (variant) {
    case kVariantK7341:
      return kK7341Texts;
    case kVariantK7351:
      return kK7351Texts;
    default:
      return kRbMaxTexts;
  }
}

}  // namespace ide
