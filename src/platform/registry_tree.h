// The in-memory tree behind Registry, shared by the key operations
// (registry.cpp) and the text form (regedit_format.cpp). Not part of the
// public interface.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry.h"

namespace ide {

// Registry names compare without regard to letter case. Only A-Z are folded:
// every name the setup and the sample machines use is plain ASCII.
std::string FoldRegistryName(std::string_view name);

struct RegistryNode {
  std::string name;  // as first written
  std::vector<RegistryValue> values;
  std::vector<std::unique_ptr<RegistryNode>> children;  // in first-named order
  std::unordered_map<std::string, RegistryNode*> childIndex;  // folded name

  RegistryNode* Child(std::string_view childName) const;
  // The child of that name, created after its siblings when missing.
  RegistryNode* AddChild(std::string_view childName, bool* created = nullptr);
  RegistryValue* Value(std::string_view valueName);
  // Replaces a value of the same name in place, or appends it.
  void PutValue(const RegistryValue& value);
  std::unique_ptr<RegistryNode> Clone() const;
};

struct RegistryData {
  RegistryNode root;
  // Lines of the file outside HKEY_LOCAL_MACHINE, kept as they were read and
  // written back after the HKEY_LOCAL_MACHINE keys.
  std::vector<std::string> otherRootLines;
};

struct Registry::Impl : RegistryData {};

// The text form (regedit_format.cpp).
void ParseRegistryText(const std::string& bytes, const std::string& fileName,
                       RegistryData& into);
std::string WriteRegistryText(const RegistryData& data);

// Splits "A\B\C" into its parts; empty parts (doubled or trailing
// backslashes) are skipped.
std::vector<std::string> SplitRegistryPath(std::string_view path);

}  // namespace ide
