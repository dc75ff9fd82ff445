#include "previous/chipset.h"

namespace ide {

ChipsetIndex DetectChipset(PlatformServices& os) {
  ChipsetIndex result = kNoChipset;
  for (int device = 0; device < kPciDevicesPerBus; ++device) {
    const std::uint32_t address =
        kPciConfigEnable +
        static_cast<std::uint32_t>(device) * kPciDeviceStride;
    // Where the processor refuses port access (the NT family) nothing can be
    // read; reading after a refused address write would report whichever
    // device was addressed before, so such a device is simply not seen.
    if (!os.WritePortDword(kPciConfigAddressPort, address)) continue;
    std::uint32_t id = 0;
    if (!os.ReadPortDword(kPciConfigDataPort, &id)) continue;
    const std::uint16_t vendorId = static_cast<std::uint16_t>(id & 0xFFFFu);
    const std::uint16_t deviceId = static_cast<std::uint16_t>(id >> 16);
    if (vendorId != kMakerVendorId) continue;
    for (std::size_t row = 0; row < kChipsetCount; ++row) {
      // Every device is looked at; a later bridge replaces an earlier one.
      if (ChipsetTable[row].bridgeDeviceId == deviceId) {
        result = static_cast<ChipsetIndex>(row);
      }
    }
  }
  return result;
}

}  // namespace ide
