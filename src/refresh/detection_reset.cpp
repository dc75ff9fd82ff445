#include "refresh/detection_reset.h"

#include <string>

#include "previous/device_keys.h"

namespace ide {

namespace {

constexpr const char* kEnumPath = "Enum";
constexpr const char* kScsiKeyName = "SCSI";
constexpr const char* kHdcClassKeyName = "hdc";

}  // namespace

void ResetDeviceDetection(PlatformServices& os) {
  // The channel children of every multifunction device.
  DeleteAllSubkeys(os, std::string(kFirstChildEnumPath));
  DeleteAllSubkeys(os, std::string(kSecondChildEnumPath));
  // The controllers themselves.
  DeleteHdcDeviceKeys(os);
  // Every drive and controller the SCSI enumerator knows.
  HKEY enumKey = nullptr;
  if (os.RegOpenKeyExA(LocalMachineKey(), kEnumPath, 0, KEY_ALL_ACCESS,
                       &enumKey) == ERROR_SUCCESS) {
    os.RegDeleteKeyA(enumKey, kScsiKeyName);
    os.RegCloseKey(enumKey);
  }
  // Every driver instance of the disk-controller class; the class key with
  // its own settings stays.
  DeleteAllSubkeys(os, std::string(kClassRoot) + "\\" + kHdcClassKeyName);
}

}  // namespace ide
