// Which of the maker's two south bridges the machine has. The bridge tells
// which IDE controller an earlier installation was made for, whatever
// variant the user names on the command line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform_services.h"

namespace ide {

// The result of the PCI scan: a row of ChipsetTable, or kNoChipset.
using ChipsetIndex = int;
constexpr ChipsetIndex kNoChipset = -1;

struct ChipsetRow {
  // Device ID of the south bridge (vendor kMakerVendorId).
  std::uint16_t bridgeDeviceId;
  // The IDE controller's device ID as it appears in registry key names.
  const char* ideDeviceIdText;
  // The miniport an earlier installation for this controller left behind.
  const char* driverFileName;
};

constexpr std::uint16_t kMakerVendorId = 0x8C4E;
constexpr std::size_t kChipsetCount = 2;

// Indexed by ChipsetIndex.
inline constexpr ChipsetRow ChipsetTable[kChipsetCount] = {
    {0x7440, "7341", "k7341.mpd"},
    {0x7450, "7351", "k7351.mpd"},
};

// PCI configuration mechanism 1: address and data ports, and the address of
// register 0 of function 0 of a device on bus 0.
constexpr std::uint16_t kPciConfigAddressPort = 0xCF8;
constexpr std::uint16_t kPciConfigDataPort = 0xCFC;
constexpr std::uint32_t kPciConfigEnable = 0x80000000u;
constexpr std::uint32_t kPciDeviceStride = 0x800;
constexpr int kPciDevicesPerBus = 32;

// Scans devices 0 to 31 of PCI bus 0 for one of the maker's bridges.
// Returns the ChipsetTable index of the bridge with the highest device
// number, or kNoChipset when neither is there (or the ports may not be
// used).
ChipsetIndex DetectChipset(PlatformServices& os);

}  // namespace ide
