// Reading subkey names and text values within the setup's fixed widths, and
// joining key and file paths without ever passing a width.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform_services.h"

namespace ide {

// A subkey name slot and a value buffer hold 128 bytes with the zero, so a
// name or text has at most 127 characters.
constexpr std::size_t kRegistryNameSlot = 128;
constexpr std::size_t kRegistryValueBuffer = 128;

// Name of subkey `index` of an open key. False when the enumeration call
// fails: past the last subkey, or at a name of 128 characters or more.
bool EnumSubkeyName(PlatformServices& os, HKEY key, DWORD index,
                    std::string& name);

// Reads value `valueName` of an open key, whatever its type, and gives its
// text: the bytes up to the first zero within the length the registry
// returned (never beyond it). False when the value is missing or longer
// than kRegistryValueBuffer bytes; `text` is then empty.
bool ReadRegistryText(PlatformServices& os, HKEY key, const char* valueName,
                      std::string& text);

// Sets `out` to first, one backslash and second when that has at most
// `maxLength` characters and returns true; otherwise leaves `out` alone and
// returns false. Nothing is ever cut short.
bool JoinPath(std::string_view first, std::string_view second,
              std::size_t maxLength, std::string& out);

}  // namespace ide
