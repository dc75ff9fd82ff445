// Registry: the HKEY_LOCAL_MACHINE tree of a simulated machine, read from and
// written to REGEDIT4 text (registry.reg).
//
// Key and value names compare without regard to case and keep the case they
// were written with. Subkeys and values keep the order in which the file
// first named them; a new key goes after its existing siblings. Blocks of the
// file outside HKEY_LOCAL_MACHINE are kept as text and written back
// unchanged.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace ide {

struct RegistryValue {
  std::string name;  // empty for the default value ("@")
  DWORD type = REG_SZ;
  // The raw bytes, as RegQueryValueExA returns them (a REG_SZ includes its
  // terminating zero).
  std::string data;

  bool operator==(const RegistryValue&) const = default;
};

class Registry {
 public:
  Registry();
  ~Registry();
  Registry(const Registry&);
  Registry& operator=(const Registry&);
  Registry(Registry&&) noexcept;
  Registry& operator=(Registry&&) noexcept;

  // Parses a registry file: REGEDIT4 (8-bit text) or "Windows Registry
  // Editor Version 5.00" (UTF-16 LE with a byte-order mark; texts are turned
  // into 8-bit characters). Throws MachineError naming `fileName` and the
  // line.
  static Registry Parse(const std::string& bytes, const std::string& fileName);
  // REGEDIT4 text of the whole registry, CR LF line ends.
  std::string ToRegedit4() const;

  // Paths are below HKEY_LOCAL_MACHINE, parts joined by one backslash.
  bool KeyExists(const std::string& path) const;
  // Creates the key and any missing parents; true when it was new.
  bool CreateKey(const std::string& path);
  // Removes the key and everything below it; false when it did not exist.
  bool DeleteKey(const std::string& path);
  // Direct subkey names in order; empty when the key does not exist.
  std::vector<std::string> Subkeys(const std::string& path) const;
  // Name of direct subkey `index` (from 0) without copying its siblings;
  // empty when there is none or the key does not exist.
  std::optional<std::string> SubkeyAt(const std::string& path,
                                      std::size_t index) const;
  std::vector<RegistryValue> Values(const std::string& path) const;
  std::optional<RegistryValue> GetValue(const std::string& path,
                                        const std::string& name) const;
  // Creates the key if needed; replaces a value of the same name in place.
  void SetValue(const std::string& path, const RegistryValue& value);
  void SetString(const std::string& path, const std::string& name,
                 const std::string& text);
  void SetDword(const std::string& path, const std::string& name, DWORD value);

  // Every key path in file order (parents before children).
  std::vector<std::string> AllKeys() const;

  // Same keys, values (names compared exactly, bytes, types) and order,
  // and the same text kept for the other roots.
  bool operator==(const Registry& other) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ide
