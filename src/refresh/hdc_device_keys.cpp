#include "refresh/hdc_device_keys.h"

#include "previous/device_keys.h"
#include "previous/registry_reads.h"
#include "refresh/subkey_deletion.h"

namespace ide {

bool FirstInstanceIsHdc(PlatformServices& os, const std::string& deviceName) {
  // Both paths are opened from the root, so they keep to the registry path
  // width. A device whose instance path would not fit cannot be inspected
  // and is left alone rather than deleted unseen.
  std::string devicePath;
  if (!JoinPath(kPciEnumPath, deviceName, kMaxRegistryPath, devicePath)) {
    return false;
  }
  HKEY device = nullptr;
  if (os.RegOpenKeyExA(LocalMachineKey(), devicePath.c_str(), 0, KEY_ALL_ACCESS,
                       &device) != ERROR_SUCCESS) {
    return false;
  }
  bool isHdc = false;
  std::string instance;
  std::string instancePath;
  // A device without instances has no class to go by.
  if (EnumSubkeyName(os, device, 0, instance) &&
      JoinPath(devicePath, instance, kMaxRegistryPath, instancePath)) {
    HKEY instanceKey = nullptr;
    if (os.RegOpenKeyExA(LocalMachineKey(), instancePath.c_str(), 0,
                         KEY_ALL_ACCESS, &instanceKey) == ERROR_SUCCESS) {
      std::string className;
      isHdc = ReadRegistryText(os, instanceKey, "Class", className) &&
              className == kHdcClassName;
      os.RegCloseKey(instanceKey);
    }
  }
  os.RegCloseKey(device);
  return isHdc;
}

void DeleteHdcDeviceKeys(PlatformServices& os) {
  const std::string pciPath(kPciEnumPath);
  HKEY pci = nullptr;
  if (os.RegOpenKeyExA(LocalMachineKey(), pciPath.c_str(), 0, KEY_ALL_ACCESS,
                       &pci) != ERROR_SUCCESS) {
    return;
  }
  DWORD index = 0;
  bool enumerationEnded = false;
  for (std::size_t round = 0; !enumerationEnded && round < kMaxDeletionRounds;
       ++round) {
    std::string matches[kMaxHdcMatches];
    std::size_t count = 0;
    // Devices are examined one at a time until the enumeration fails. Only
    // a match beyond the slots ends the round early; `index` then stands at
    // that device, which is examined again after the deletions.
    for (;; ++index) {
      std::string device;
      if (!EnumSubkeyName(os, pci, index, device)) {
        enumerationEnded = true;
        break;
      }
      if (!FirstInstanceIsHdc(os, device)) continue;
      if (count == kMaxHdcMatches) break;
      matches[count++] = device;
    }
    DWORD deleted = 0;
    for (std::size_t i = 0; i < count; ++i) {
      if (os.RegDeleteKeyA(pci, matches[i].c_str()) == ERROR_SUCCESS) {
        ++deleted;
      }
    }
    // Every deleted device stood before `index`; the devices not yet
    // remembered have moved up by as many places.
    index -= deleted;
  }
  os.RegCloseKey(pci);
}

}  // namespace ide
