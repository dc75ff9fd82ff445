#include "previous/device_keys.h"

#include "previous/registry_reads.h"

namespace ide {

namespace {

// A Driver value names one driver instance, "<class>\<instance>". Anything
// else (a bare class name, an empty part, a leading or doubled backslash)
// would make the cleanup delete a whole device class, or the class root,
// with every other device's driver settings in it.
bool NamesDriverInstance(std::string_view text) {
  std::size_t parts = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find('\\', start);
    const std::string_view part = text.substr(
        start,
        end == std::string_view::npos ? std::string_view::npos : end - start);
    if (part.empty()) return false;
    ++parts;
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return parts >= 2;
}

}  // namespace

int FindFirstSubkeyContaining(PlatformServices& os, std::string_view base,
                              std::string_view text, DeviceKeyRecord& record) {
  record.found = 0;
  record.key.clear();
  const std::string basePath(base);
  HKEY key = nullptr;
  if (os.RegOpenKeyExA(LocalMachineKey(), basePath.c_str(), 0, KEY_ALL_ACCESS,
                       &key) != ERROR_SUCCESS) {
    return 0;
  }
  std::string name;
  bool matched = false;
  for (DWORD index = 0; EnumSubkeyName(os, key, index, name); ++index) {
    if (name.find(text) != std::string::npos) {
      matched = true;
      break;
    }
  }
  os.RegCloseKey(key);
  if (!matched) return 0;
  if (!JoinPath(base, name, kMaxRegistryPath, record.key)) return 0;
  record.found = 1;
  return 1;
}

int ComposeInstancePath(PlatformServices& os, const std::string& keyPath,
                        std::string& output) {
  HKEY key = nullptr;
  if (os.RegOpenKeyExA(LocalMachineKey(), keyPath.c_str(), 0, KEY_ALL_ACCESS,
                       &key) != ERROR_SUCCESS) {
    return 0;
  }
  std::string instance;
  const bool ok = EnumSubkeyName(os, key, 0, instance) &&
                  JoinPath(keyPath, instance, kMaxRegistryPath, output);
  os.RegCloseKey(key);
  return ok ? 1 : 0;
}

int ReadDriverClassKey(PlatformServices& os, DeviceKeyRecord& record,
                       const std::string& keyPath) {
  record.classKey.clear();
  HKEY key = nullptr;
  if (os.RegOpenKeyExA(LocalMachineKey(), keyPath.c_str(), 0, KEY_ALL_ACCESS,
                       &key) != ERROR_SUCCESS) {
    return 0;
  }
  std::string driver;
  const bool read = ReadRegistryText(os, key, "Driver", driver);
  os.RegCloseKey(key);
  if (!read) return 0;
  // Windows pads some values with blanks; the key name has none.
  const std::size_t last = driver.find_last_not_of(' ');
  driver.erase(last == std::string::npos ? 0 : last + 1);
  if (driver.empty() || !NamesDriverInstance(driver)) return 0;
  return JoinPath(kClassRoot, driver, kMaxRegistryPath, record.classKey) ? 1
                                                                         : 0;
}

}  // namespace ide
