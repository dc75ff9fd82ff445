// Test-only: the Windows layer with a PCI bus that comes from a table instead
// of the ports. The port scan finds nothing under Wine (or on the NT family),
// so this is how the previous-installation cleanup is run end to end against
// the real registry. Never part of the shipped setup.exe.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/platform_win32.h"

namespace ide {

// The environment variable that holds the table.
inline constexpr const char* kPciTableVariable = "IDE_PCI_TABLE";

// Device number (0-31) on bus 0 -> configuration dword 0 (device ID << 16 |
// vendor ID).
using PciTable = std::map<int, std::uint32_t>;

// Parses "DEVICE=VVVV:DDDD" entries (decimal device number, hex vendor and
// device IDs) separated by spaces, commas or semicolons, as the sample
// machines' [pci] section writes them. Nothing on any malformed entry.
std::optional<PciTable> ParsePciTable(const std::string& text);

// Answers configuration mechanism 1 from the table: a dword written to 0xCF8
// selects bus, device, function and register; the read at 0xCFC gives the
// table's dword for register 0 of function 0 on bus 0, all ones for anything
// else.
class PciTableWin32Platform : public Win32Platform {
 public:
  explicit PciTableWin32Platform(PciTable table) : table_(std::move(table)) {}

  bool WritePortDword(std::uint16_t port, std::uint32_t value) override;
  bool ReadPortDword(std::uint16_t port, std::uint32_t* value) override;

 private:
  PciTable table_;
  std::uint32_t address_ = 0;
};

}  // namespace ide
