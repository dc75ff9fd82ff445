#include "platform/registry.h"

#include <functional>
#include <utility>

#include "platform/registry_tree.h"

namespace ide {

std::string FoldRegistryName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

std::vector<std::string> SplitRegistryPath(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

RegistryNode* RegistryNode::Child(std::string_view childName) const {
  auto it = childIndex.find(FoldRegistryName(childName));
  return it == childIndex.end() ? nullptr : it->second;
}

RegistryNode* RegistryNode::AddChild(std::string_view childName,
                                     bool* created) {
  if (RegistryNode* existing = Child(childName)) {
    if (created) *created = false;
    return existing;
  }
  auto node = std::make_unique<RegistryNode>();
  node->name = std::string(childName);
  RegistryNode* raw = node.get();
  children.push_back(std::move(node));
  childIndex.emplace(FoldRegistryName(childName), raw);
  if (created) *created = true;
  return raw;
}

RegistryValue* RegistryNode::Value(std::string_view valueName) {
  const std::string folded = FoldRegistryName(valueName);
  for (RegistryValue& value : values) {
    if (FoldRegistryName(value.name) == folded) return &value;
  }
  return nullptr;
}

void RegistryNode::PutValue(const RegistryValue& value) {
  if (RegistryValue* existing = Value(value.name)) {
    // The name keeps the case it was first written with, as Windows does.
    existing->type = value.type;
    existing->data = value.data;
    return;
  }
  values.push_back(value);
}

std::unique_ptr<RegistryNode> RegistryNode::Clone() const {
  auto copy = std::make_unique<RegistryNode>();
  copy->name = name;
  copy->values = values;
  for (const auto& child : children) {
    auto childCopy = child->Clone();
    copy->childIndex.emplace(FoldRegistryName(childCopy->name),
                             childCopy.get());
    copy->children.push_back(std::move(childCopy));
  }
  return copy;
}

namespace {

const RegistryNode* Find(const RegistryNode& root, std::string_view path) {
  const RegistryNode* node = &root;
  for (const std::string& part : SplitRegistryPath(path)) {
    node = node->Child(part);
    if (!node) return nullptr;
  }
  return node;
}

RegistryNode* FindOrCreate(RegistryNode& root, std::string_view path,
                           bool* created) {
  RegistryNode* node = &root;
  bool any = false;
  for (const std::string& part : SplitRegistryPath(path)) {
    bool made = false;
    node = node->AddChild(part, &made);
    any = any || made;
  }
  if (created) *created = any;
  return node;
}

bool SameTree(const RegistryNode& a, const RegistryNode& b) {
  if (a.name != b.name || a.values != b.values ||
      a.children.size() != b.children.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.children.size(); ++i) {
    if (!SameTree(*a.children[i], *b.children[i])) return false;
  }
  return true;
}

}  // namespace

Registry::Registry() : impl_(std::make_unique<Impl>()) {}
Registry::~Registry() = default;

Registry::Registry(const Registry& other) : impl_(std::make_unique<Impl>()) {
  *this = other;
}

Registry& Registry::operator=(const Registry& other) {
  if (this == &other) return *this;
  auto fresh = std::make_unique<Impl>();
  auto rootCopy = other.impl_->root.Clone();
  fresh->root = std::move(*rootCopy);
  fresh->otherRootLines = other.impl_->otherRootLines;
  impl_ = std::move(fresh);
  return *this;
}

// A moved-from registry is left empty rather than without a tree, so every
// call on it stays safe.
Registry::Registry(Registry&& other) noexcept
    : impl_(std::exchange(other.impl_, nullptr)) {
  try {
    other.impl_ = std::make_unique<Impl>();
  } catch (...) {
  }
}

Registry& Registry::operator=(Registry&& other) noexcept {
  if (this != &other) {
    impl_ = std::exchange(other.impl_, nullptr);
    try {
      other.impl_ = std::make_unique<Impl>();
    } catch (...) {
    }
  }
  return *this;
}

Registry Registry::Parse(const std::string& bytes,
                         const std::string& fileName) {
  Registry registry;
  ParseRegistryText(bytes, fileName, *registry.impl_);
  return registry;
}

std::string Registry::ToRegedit4() const { return WriteRegistryText(*impl_); }

bool Registry::KeyExists(const std::string& path) const {
  return Find(impl_->root, path) != nullptr;
}

bool Registry::CreateKey(const std::string& path) {
  bool created = false;
  FindOrCreate(impl_->root, path, &created);
  return created;
}

bool Registry::DeleteKey(const std::string& path) {
  std::vector<std::string> parts = SplitRegistryPath(path);
  if (parts.empty()) return false;  // the root itself cannot go
  const std::string last = parts.back();
  parts.pop_back();
  RegistryNode* parent = &impl_->root;
  for (const std::string& part : parts) {
    parent = parent->Child(part);
    if (!parent) return false;
  }
  RegistryNode* victim = parent->Child(last);
  if (!victim) return false;
  parent->childIndex.erase(FoldRegistryName(last));
  for (auto it = parent->children.begin(); it != parent->children.end();
       ++it) {
    if (it->get() == victim) {
      parent->children.erase(it);
      break;
    }
  }
  return true;
}

std::vector<std::string> Registry::Subkeys(const std::string& path) const {
  std::vector<std::string> names;
  if (const RegistryNode* node = Find(impl_->root, path)) {
    for (const auto& child : node->children) names.push_back(child->name);
  }
  return names;
}

std::optional<std::string> Registry::SubkeyAt(const std::string& path,
                                             std::size_t index) const {
  const RegistryNode* node = Find(impl_->root, path);
  if (!node || index >= node->children.size()) return std::nullopt;
  return node->children[index]->name;
}

std::vector<RegistryValue> Registry::Values(const std::string& path) const {
  if (const RegistryNode* node = Find(impl_->root, path)) return node->values;
  return {};
}

std::optional<RegistryValue> Registry::GetValue(const std::string& path,
                                                const std::string& name) const {
  const RegistryNode* node = Find(impl_->root, path);
  if (!node) return std::nullopt;
  const std::string folded = FoldRegistryName(name);
  for (const RegistryValue& value : node->values) {
    if (FoldRegistryName(value.name) == folded) return value;
  }
  return std::nullopt;
}

void Registry::SetValue(const std::string& path, const RegistryValue& value) {
  FindOrCreate(impl_->root, path, nullptr)->PutValue(value);
}

void Registry::SetString(const std::string& path, const std::string& name,
                         const std::string& text) {
  RegistryValue value;
  value.name = name;
  value.type = REG_SZ;
  value.data = text;
  value.data.push_back('\0');
  SetValue(path, value);
}

void Registry::SetDword(const std::string& path, const std::string& name,
                        DWORD number) {
  RegistryValue value;
  value.name = name;
  value.type = REG_DWORD;
  for (int i = 0; i < 4; ++i) {
    value.data.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
  }
  SetValue(path, value);
}

std::vector<std::string> Registry::AllKeys() const {
  std::vector<std::string> paths;
  std::function<void(const RegistryNode&, const std::string&)> walk =
      [&](const RegistryNode& node, const std::string& prefix) {
        for (const auto& child : node.children) {
          std::string path =
              prefix.empty() ? child->name : prefix + "\\" + child->name;
          paths.push_back(path);
          walk(*child, path);
        }
      };
  walk(impl_->root, "");
  return paths;
}

bool Registry::operator==(const Registry& other) const {
  return SameTree(impl_->root, other.impl_->root) &&
         impl_->otherRootLines == other.impl_->otherRootLines;
}

}  // namespace ide
