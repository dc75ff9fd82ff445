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
  for (std::size_t round = 0; !enumerationEnded && round < kMaxDeletionRounds;
       ++round) {
    std::string slots[kMaxSubkeySlots];
    std::size_t count = 0;
    // The enumeration goes on until it fails; only a name beyond the slots
    // ends the gathering early, and that name is read again next round.
    for (DWORD index = undeletable;; ++index) {
      std::string name;
      if (!EnumSubkeyName(os, key, index, name)) {
        enumerationEnded = true;
        break;
      }
      if (count == kMaxSubkeySlots) break;
      slots[count++] = name;
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
