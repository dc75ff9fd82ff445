#include "previous/registry_reads.h"

#include <algorithm>

namespace ide {

bool EnumSubkeyName(PlatformServices& os, HKEY key, DWORD index,
                    std::string& name) {
  char slot[kRegistryNameSlot] = {};
  DWORD size = static_cast<DWORD>(sizeof slot);
  name.clear();
  if (os.RegEnumKeyExA(key, index, slot, &size) != ERROR_SUCCESS) return false;
  // The length reported, but never past the slot or its first zero.
  const std::size_t length =
      std::min<std::size_t>(size, std::char_traits<char>::length(slot));
  name.assign(slot, std::min(length, sizeof slot - 1));
  return true;
}

bool ReadRegistryText(PlatformServices& os, HKEY key, const char* valueName,
                      std::string& text) {
  BYTE buffer[kRegistryValueBuffer] = {};
  DWORD type = REG_NONE;
  DWORD size = static_cast<DWORD>(sizeof buffer);
  text.clear();
  if (os.RegQueryValueExA(key, valueName, &type, buffer, &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  const char* chars = reinterpret_cast<const char*>(buffer);
  const std::size_t returned = std::min<std::size_t>(size, sizeof buffer);
  const std::string_view bytes(chars, returned);
  text.assign(bytes.substr(0, bytes.find('\0')));
  return true;
}

bool JoinPath(std::string_view first, std::string_view second,
              std::size_t maxLength, std::string& out) {
  if (first.size() + 1 + second.size() > maxLength) return false;
  out.assign(first);
  out += '\\';
  out += second;
  return true;
}

}  // namespace ide
