#include "platform/pci_table_win32.h"

#include <cctype>
#include <cstdlib>

namespace ide {
namespace {

constexpr std::uint16_t kConfigAddressPort = 0xCF8;
constexpr std::uint16_t kConfigDataPort = 0xCFC;
constexpr std::uint32_t kConfigEnable = 0x80000000u;
constexpr int kMaxDevice = 31;

bool IsSeparator(char c) {
  return c == ' ' || c == ',' || c == ';' || c == '\t' || c == '\n' ||
         c == '\r';
}

// Exactly four hex digits.
std::optional<std::uint32_t> ParseHexId(const std::string& text) {
  if (text.size() != 4) return std::nullopt;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
  }
  return static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
}

std::optional<std::pair<int, std::uint32_t>> ParseEntry(
    const std::string& entry) {
  std::size_t equals = entry.find('=');
  std::size_t colon = entry.find(':');
  if (equals == std::string::npos || colon == std::string::npos ||
      colon < equals) {
    return std::nullopt;
  }
  std::string device = entry.substr(0, equals);
  if (device.empty() || device.size() > 2) return std::nullopt;
  for (char c : device) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  }
  int number = std::atoi(device.c_str());
  if (number > kMaxDevice) return std::nullopt;
  auto vendor = ParseHexId(entry.substr(equals + 1, colon - equals - 1));
  auto id = ParseHexId(entry.substr(colon + 1));
  if (!vendor || !id) return std::nullopt;
  return std::make_pair(number, (*id << 16) | *vendor);
}

}  // namespace

std::optional<PciTable> ParsePciTable(const std::string& text) {
  PciTable table;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSeparator(text[i])) ++i;
    std::size_t start = i;
    while (i < text.size() && !IsSeparator(text[i])) ++i;
    if (start == i) break;
    auto entry = ParseEntry(text.substr(start, i - start));
    if (!entry) return std::nullopt;
    table[entry->first] = entry->second;
  }
  return table;
}

bool PciTableWin32Platform::WritePortDword(std::uint16_t port,
                                           std::uint32_t value) {
  if (port == kConfigAddressPort) address_ = value;
  return true;
}

bool PciTableWin32Platform::ReadPortDword(std::uint16_t port,
                                          std::uint32_t* value) {
  *value = 0xFFFFFFFFu;
  if (port != kConfigDataPort || (address_ & kConfigEnable) == 0) return true;
  std::uint32_t bus = (address_ >> 16) & 0xFF;
  int device = static_cast<int>((address_ >> 11) & 0x1F);
  std::uint32_t function = (address_ >> 8) & 0x7;
  std::uint32_t reg = address_ & 0xFC;
  if (bus != 0 || function != 0 || reg != 0) return true;
  auto found = table_.find(device);
  if (found != table_.end()) *value = found->second;
  return true;
}

}  // namespace ide
