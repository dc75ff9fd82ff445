#include "report.h"

#include <cstdio>
#include <map>
#include <set>

#include "unified_diff.h"

namespace ide {
namespace {

// Windows matches file names and registry names without regard to case.
std::string Folded(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

std::string Bytes(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

std::string HexBytes(const std::string& data) {
  std::string out;
  for (std::size_t i = 0; i < data.size(); ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(data[i]));
    if (i > 0) out += ',';
    out += hex;
  }
  return out;
}

std::string QuotedText(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '"') {
      out += "\\\"";
    } else if (byte < 0x20 || byte == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string ValueName(const RegistryValue& value) {
  return value.name.empty() ? std::string("@") : QuotedText(value.name);
}

// A file's bytes -> the first path (in path order) that held them before
// the run, to say where an added or replaced file came from.
using ContentIndex = std::map<std::string, std::string>;

ContentIndex IndexContents(const MachineSnapshot& snapshot) {
  ContentIndex index;
  for (const auto& [path, bytes] : snapshot.files) index.emplace(bytes, path);
  return index;
}

std::string SameAsNote(const ContentIndex& before, const FileChange& change) {
  auto it = before.find(change.after);
  if (it == before.end() || change.after.empty()) return {};
  if (Folded(it->second) == Folded(change.path)) return {};
  return ", the same as " + WindowsPathOf(it->second) + " before the run";
}

std::size_t CountBelow(const std::vector<std::string>& keys,
                       const std::string& foldedTop) {
  std::size_t count = 0;
  std::string prefix = foldedTop + "\\";
  for (const std::string& key : keys) {
    if (Folded(key).starts_with(prefix)) ++count;
  }
  return count;
}

std::string ParentOf(const std::string& key) {
  std::size_t slash = key.rfind('\\');
  return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

}  // namespace

std::vector<FileChange> CompareFiles(const MachineSnapshot& before,
                                     const MachineSnapshot& after) {
  // Folded path -> (path as stored, bytes).
  std::map<std::string, std::pair<std::string, const std::string*>> old;
  for (const auto& [path, bytes] : before.files) {
    old.emplace(Folded(path), std::make_pair(path, &bytes));
  }
  std::map<std::string, FileChange> changes;  // by folded path
  std::set<std::string> present;
  for (const auto& [path, bytes] : after.files) {
    std::string key = Folded(path);
    present.insert(key);
    auto it = old.find(key);
    if (it == old.end()) {
      changes.emplace(key, FileChange{FileChange::Kind::Added, path, {}, bytes});
    } else if (*it->second.second != bytes) {
      changes.emplace(key, FileChange{FileChange::Kind::Changed, path,
                                      *it->second.second, bytes});
    }
  }
  for (const auto& [key, entry] : old) {
    if (!present.contains(key)) {
      changes.emplace(key, FileChange{FileChange::Kind::Removed, entry.first,
                                      *entry.second, {}});
    }
  }
  std::vector<FileChange> result;
  for (auto& [key, change] : changes) result.push_back(std::move(change));
  return result;
}

std::vector<RegistryChange> CompareRegistries(const Registry& before,
                                              const Registry& after) {
  std::vector<RegistryChange> changes;
  std::vector<std::string> oldKeys = before.AllKeys();
  std::vector<std::string> newKeys = after.AllKeys();
  std::set<std::string> oldFolded;
  std::set<std::string> newFolded;
  for (const std::string& key : oldKeys) oldFolded.insert(Folded(key));
  for (const std::string& key : newKeys) newFolded.insert(Folded(key));

  for (const std::string& key : oldKeys) {
    std::string folded = Folded(key);
    if (!newFolded.contains(folded)) {
      std::string parent = ParentOf(key);
      // Reported with the top of its tree only.
      if (!parent.empty() && !newFolded.contains(Folded(parent)) &&
          oldFolded.contains(Folded(parent))) {
        continue;
      }
      changes.push_back({RegistryChange::Kind::KeyRemoved, key,
                         CountBelow(oldKeys, folded), {}, {}});
      continue;
    }
    std::vector<RegistryValue> newValues = after.Values(key);
    std::map<std::string, const RegistryValue*> newByName;
    for (const RegistryValue& value : newValues) {
      newByName.emplace(Folded(value.name), &value);
    }
    std::set<std::string> oldNames;
    for (const RegistryValue& value : before.Values(key)) {
      oldNames.insert(Folded(value.name));
      auto it = newByName.find(Folded(value.name));
      if (it == newByName.end()) {
        changes.push_back({RegistryChange::Kind::ValueRemoved, key, 0, value, {}});
      } else if (it->second->type != value.type ||
                 it->second->data != value.data) {
        changes.push_back(
            {RegistryChange::Kind::ValueChanged, key, 0, value, *it->second});
      }
    }
    for (const RegistryValue& value : newValues) {
      if (!oldNames.contains(Folded(value.name))) {
        changes.push_back({RegistryChange::Kind::ValueAdded, key, 0, {}, value});
      }
    }
  }

  for (const std::string& key : newKeys) {
    std::string folded = Folded(key);
    if (oldFolded.contains(folded)) continue;
    std::string parent = ParentOf(key);
    if (!parent.empty() && !oldFolded.contains(Folded(parent)) &&
        newFolded.contains(Folded(parent))) {
      continue;
    }
    changes.push_back({RegistryChange::Kind::KeyAdded, key,
                       CountBelow(newKeys, folded), {}, {}});
  }
  return changes;
}

std::string WindowsPathOf(const std::string& snapshotPath) {
  std::size_t slash = snapshotPath.find('/');
  std::string drive = snapshotPath.substr(0, slash);
  std::string rest =
      slash == std::string::npos ? std::string() : snapshotPath.substr(slash + 1);
  for (char& c : drive) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  for (char& c : rest) {
    if (c == '/') c = '\\';
  }
  return drive + ":\\" + rest;
}

std::string DescribeRegistryValue(const RegistryValue& value) {
  switch (value.type) {
    case REG_SZ: {
      std::string text = value.data;
      if (!text.empty() && text.back() == '\0') text.pop_back();
      return QuotedText(text);
    }
    case REG_DWORD:
      if (value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) {
          number = (number << 8) |
                   static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
        }
        char text[20];
        std::snprintf(text, sizeof text, "dword:%08x", number);
        return text;
      }
      break;
    case REG_BINARY:
      return "hex:" + HexBytes(value.data);
    default:
      break;
  }
  return "hex(" + std::to_string(value.type) + "):" + HexBytes(value.data);
}

std::string FormatChanges(const MachineSnapshot& before,
                          const MachineSnapshot& after) {
  std::string out;
  std::vector<FileChange> files = CompareFiles(before, after);
  ContentIndex oldContents = IndexContents(before);

  out += "Files:\n";
  if (files.empty()) out += "  no file changed\n";
  std::string diffs;
  for (const FileChange& change : files) {
    std::string path = WindowsPathOf(change.path);
    switch (change.kind) {
      case FileChange::Kind::Added:
        out += "  added    " + path + "  (" + Bytes(change.after.size()) +
               SameAsNote(oldContents, change) + ")\n";
        break;
      case FileChange::Kind::Removed:
        out += "  removed  " + path + "  (" + Bytes(change.before.size()) + ")\n";
        break;
      case FileChange::Kind::Changed: {
        bool binary = LooksBinary(change.before) || LooksBinary(change.after);
        out += "  changed  " + path + "  (" +
               (binary ? "binary file changed, " : "") +
               Bytes(change.before.size()) + " -> " +
               Bytes(change.after.size()) + SameAsNote(oldContents, change) +
               ")\n";
        if (!binary) {
          diffs += "\n" + UnifiedDiff(change.before, change.after,
                                      path + "\t(before)", path + "\t(after)");
        }
        break;
      }
    }
  }
  out += diffs;

  out += "\nRegistry (HKEY_LOCAL_MACHINE):\n";
  std::vector<RegistryChange> keys =
      CompareRegistries(before.registry, after.registry);
  if (keys.empty()) out += "  no key or value changed\n";
  for (const RegistryChange& change : keys) {
    auto below = [&change]() -> std::string {
      if (change.keysBelow == 0) return {};
      return "  (with " + std::to_string(change.keysBelow) +
             (change.keysBelow == 1 ? " key" : " keys") + " below it)";
    };
    switch (change.kind) {
      case RegistryChange::Kind::KeyRemoved:
        out += "  key removed    " + change.key + below() + "\n";
        break;
      case RegistryChange::Kind::KeyAdded:
        out += "  key added      " + change.key + below() + "\n";
        break;
      case RegistryChange::Kind::ValueRemoved:
        out += "  value removed  " + change.key + "  " +
               ValueName(*change.before) + " (was " +
               DescribeRegistryValue(*change.before) + ")\n";
        break;
      case RegistryChange::Kind::ValueAdded:
        out += "  value added    " + change.key + "  " +
               ValueName(*change.after) + " = " +
               DescribeRegistryValue(*change.after) + "\n";
        break;
      case RegistryChange::Kind::ValueChanged:
        out += "  value changed  " + change.key + "  " +
               ValueName(*change.before) + ": " +
               DescribeRegistryValue(*change.before) + " -> " +
               DescribeRegistryValue(*change.after) + "\n";
        break;
    }
  }
  return out;
}

}  // namespace ide
