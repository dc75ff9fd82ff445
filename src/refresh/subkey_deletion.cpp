#include "refresh/subkey_deletion.h"

#include "previous/registry_reads.h"

namespace ide {

void DeleteAllSubkeys(PlatformServices& os, const std::string& keyPath) {
  HKEY key = nullptr;
  if (os.RegOpenKeyExA(LocalMachineKey(), keyPath.c_str(), 0, KEY_ALL_ACCESS,
                       &key) != ERROR_SUCCESS) {
    return;
  }
  // Subkeys that refused deletion keep their places at the front of the
  // enumeration; each round starts after them, so every other subkey is
  // reached and the rounds end.
  DWORD undeletable = 0;
  bool enumerationEnded = false;
  while (!enumerationEnded) {
    std::string slots[kMaxSubkeySlots];
    std::size_t count = 0;
    DWORD index = undeletable;
    while (count < kMaxSubkeySlots) {
      if (!EnumSubkeyName(os, key, index, slots[count])) {
        enumerationEnded = true;
        break;
      }
      ++count;
      ++index;
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (os.RegDeleteKeyA(key, slots[i].c_str()) != ERROR_SUCCESS) {
        ++undeletable;
      }
    }
  }
  os.RegCloseKey(key);
}

}  // namespace ide
