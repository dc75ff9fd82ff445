#include "previous/previous_install.h"

#include "previous/device_keys.h"
#include "previous/old_inf.h"
#include "previous/registry_reads.h"

namespace ide {

namespace {

constexpr const char* kNotFoundCaption = "Setup Error";
constexpr const char* kIosubsysFolder = "iosubsys";
// The old miniport's path is built in a field as wide as the old INF's.
constexpr std::size_t kMaxOldDriverPath = 127;

// The system folder's iosubsys folder and the file name, when it fits.
bool ComposeOldDriverPath(PlatformServices& os, const char* fileName,
                          std::string& out) {
  char systemDir[kMaxPath + 1] = {};
  const UINT length = os.GetSystemDirectoryA(systemDir, sizeof systemDir);
  if (length == 0 || length > kMaxPath) return false;
  std::string folder;
  return JoinPath(std::string_view(systemDir, length), kIosubsysFolder,
                  kMaxOldDriverPath, folder) &&
         JoinPath(folder, fileName, kMaxOldDriverPath, out);
}

void DeleteDeviceKeys(PlatformServices& os, const DeviceKeyRecord& device) {
  if (!device.found) return;
  // Deleting a key takes every key below it (its instances) along.
  os.RegDeleteKeyA(LocalMachineKey(), device.key.c_str());
  if (!device.classKey.empty()) {
    os.RegDeleteKeyA(LocalMachineKey(), device.classKey.c_str());
  }
}

}  // namespace

void FindPreviousInstall(PlatformServices& os, PreviousInstall& record,
                         ChipsetIndex chipset) {
  if (chipset < 0 || chipset >= static_cast<ChipsetIndex>(kChipsetCount)) {
    return;
  }
  const ChipsetRow& row = ChipsetTable[chipset];

  if (FindFirstSubkeyContaining(os, kPciEnumPath, row.ideDeviceIdText,
                                record.pci)) {
    // The PCI device key holds its instances; the driver is named by the
    // first.
    std::string instance;
    if (ComposeInstancePath(os, record.pci.key, instance)) {
      ReadDriverClassKey(os, record.pci, instance);
    }
  }
  // The channel children's keys are themselves the instances.
  if (FindFirstSubkeyContaining(os, kFirstChildEnumPath, row.ideDeviceIdText,
                                record.firstChild)) {
    ReadDriverClassKey(os, record.firstChild, record.firstChild.key);
  }
  if (FindFirstSubkeyContaining(os, kSecondChildEnumPath, row.ideDeviceIdText,
                                record.secondChild)) {
    ReadDriverClassKey(os, record.secondChild, record.secondChild.key);
  }
  FindOldInfFile(os, record);
}

int RemovePreviousInstall(PlatformServices& os, const PreviousInstall& record,
                          ChipsetIndex chipset) {
  if (chipset < 0 || chipset >= static_cast<ChipsetIndex>(kChipsetCount)) {
    return 1;
  }
  const ChipsetRow& row = ChipsetTable[chipset];

  // The old INF and the old miniport go together or not at all: when the
  // miniport's path would not fit the field, the INF stays too, so the
  // earlier installation's files are never left half removed.
  std::string oldDriver;
  if (!record.infPath.empty() &&
      ComposeOldDriverPath(os, row.driverFileName, oldDriver) &&
      InfMentionsDriver(os, record.infPath, row.driverFileName)) {
    os.DeleteFileA(record.infPath.c_str());
    os.DeleteFileA(oldDriver.c_str());
  }

  DeleteDeviceKeys(os, record.pci);
  DeleteDeviceKeys(os, record.firstChild);
  DeleteDeviceKeys(os, record.secondChild);
  return 1;
}

int CleanPreviousInstall(PlatformServices& os, const SetupState& state) {
  const ChipsetIndex chipset = DetectChipset(os);
  if (chipset == kNoChipset) {
    os.MessageBoxA(nullptr, state.notFoundMessage.c_str(), kNotFoundCaption,
                   MB_OK);
    return 0;
  }
  PreviousInstall record;
  FindPreviousInstall(os, record, chipset);
  RemovePreviousInstall(os, record, chipset);
  return 1;
}

}  // namespace ide
