// The registry's text form: REGEDIT4 (8-bit) as the Windows 95 registry
// editor writes it, and the later UTF-16 "Version 5.00" form, which is read
// only. The reader works line by line with one state per kind of block:
// before the first key, inside a HKEY_LOCAL_MACHINE key, inside a key of
// another root (kept verbatim).
#include <array>
#include <cstdio>
#include <string_view>

#include "platform/registry.h"
#include "platform/registry_tree.h"
#include "platform/simulated_machine.h"

namespace ide {
namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kLocalMachine = "HKEY_LOCAL_MACHINE";
constexpr std::array<std::string_view, 5> kOtherRoots = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_USERS",
    "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
// Hex data lines are wrapped before they pass this width, as the registry
// editor does, so a written file stays readable.
constexpr std::size_t kHexLineWidth = 76;
constexpr unsigned char kUtf16Bom0 = 0xFF;
constexpr unsigned char kUtf16Bom1 = 0xFE;

// Unicode code points of the 8-bit characters 0x80-0x9F (0 where the ANSI
// code page leaves the position undefined); 0xA0-0xFF map to themselves.
constexpr std::array<char16_t, 32> kAnsiHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// A character the ANSI code page cannot hold becomes '?', as the ANSI
// registry functions return it.
char AnsiFromUnicode(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
    return static_cast<char>(unit);
  }
  for (std::size_t i = 0; i < kAnsiHighControls.size(); ++i) {
    if (kAnsiHighControls[i] != 0 && kAnsiHighControls[i] == unit) {
      return static_cast<char>(0x80 + i);
    }
  }
  return '?';
}

class Reader {
 public:
  explicit Reader(std::string fileName) : fileName_(std::move(fileName)) {}

  [[noreturn]] void Fail(std::size_t line, const std::string& what) const {
    throw MachineError(fileName_ + ":" + std::to_string(line) + ": " + what);
  }

  // UTF-16 LE text (after its byte-order mark) as 8-bit characters.
  std::string Utf16ToAnsi(std::string_view bytes, std::size_t line) const {
    if (bytes.size() % 2 != 0) Fail(line, "UTF-16 text has an odd length");
    std::string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
      const auto unit = static_cast<char16_t>(
          static_cast<unsigned char>(bytes[i]) |
          (static_cast<unsigned char>(bytes[i + 1]) << 8));
      text.push_back(AnsiFromUnicode(unit));
    }
    return text;
  }

  void Parse(const std::string& bytes, RegistryData& impl) {
    std::string text;
    if (bytes.size() >= 2 &&
        static_cast<unsigned char>(bytes[0]) == kUtf16Bom0 &&
        static_cast<unsigned char>(bytes[1]) == kUtf16Bom1) {
      text = Utf16ToAnsi(std::string_view(bytes).substr(2), 1);
    } else {
      text = bytes;
    }
    SplitLines(text);
    if (lines_.empty()) Fail(1, "empty file, expected \"REGEDIT4\"");
    const std::string header = TrimRight(lines_[0]);
    if (header == kHeader4) {
      unicodeData_ = false;
    } else if (header == kHeader5) {
      unicodeData_ = true;
    } else {
      Fail(1, "expected \"REGEDIT4\" or \"" + std::string(kHeader5) +
                  "\" as the first line");
    }

    for (std::size_t i = 1; i < lines_.size(); ++i) {
      const std::size_t lineNumber = i + 1;
      const std::string& raw = lines_[i];
      const std::string trimmed = TrimLeft(raw);
      const bool keyLine = !trimmed.empty() && trimmed[0] == '[';
      if (state_ == State::OtherRoot && !keyLine) {
        impl.otherRootLines.push_back(raw);
        continue;
      }
      if (TrimRight(trimmed).empty() || trimmed[0] == ';') continue;
      if (keyLine) {
        StartKey(impl, trimmed, raw, lineNumber);
        continue;
      }
      if (state_ == State::BeforeFirstKey) {
        Fail(lineNumber, "a value before the first [key] line");
      }
      // Join continuation lines: a trailing backslash carries the data on.
      std::string logical = TrimRight(trimmed);
      while (!logical.empty() && logical.back() == '\\' &&
             i + 1 < lines_.size()) {
        logical.pop_back();
        ++i;
        logical += TrimRight(TrimLeft(lines_[i]));
      }
      current_->PutValue(ParseValue(logical, lineNumber));
    }
  }

 private:
  enum class State { BeforeFirstKey, LocalMachine, OtherRoot };

  static std::string TrimLeft(const std::string& s) {
    std::size_t start = s.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : s.substr(start);
  }
  static std::string TrimRight(const std::string& s) {
    std::size_t end = s.find_last_not_of(" \t");
    return end == std::string::npos ? std::string() : s.substr(0, end + 1);
  }

  // Lines end in CR LF or LF.
  void SplitLines(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines_.push_back(std::move(line));
      start = end + 1;
    }
  }

  void StartKey(RegistryData& impl, const std::string& trimmed,
                const std::string& raw, std::size_t lineNumber) {
    const std::size_t close = trimmed.rfind(']');
    if (close == std::string::npos) Fail(lineNumber, "key line without ']'");
    if (!TrimRight(trimmed.substr(close + 1)).empty()) {
      Fail(lineNumber, "text after the closing ']' of a key line");
    }
    const std::string path = trimmed.substr(1, close - 1);
    if (!path.empty() && path[0] == '-') {
      Fail(lineNumber,
           "deleting a key ([-...]) is not supported in a machine's registry");
    }
    const std::size_t slash = path.find('\\');
    const std::string root = FoldRegistryName(path.substr(0, slash));
    if (root == kLocalMachine) {
      std::string rest =
          slash == std::string::npos ? std::string() : path.substr(slash + 1);
      RegistryNode* node = &impl.root;
      std::size_t start = 0;
      while (slash != std::string::npos && start <= rest.size()) {
        std::size_t end = rest.find('\\', start);
        if (end == std::string::npos) end = rest.size();
        if (end == start) Fail(lineNumber, "empty key name in \"" + path + "\"");
        const std::string name = rest.substr(start, end - start);
        CheckName(name, lineNumber);
        node = node->AddChild(name);
        start = end + 1;
      }
      current_ = node;
      state_ = State::LocalMachine;
      return;
    }
    for (std::string_view other : kOtherRoots) {
      if (root == other) {
        impl.otherRootLines.push_back(raw);
        state_ = State::OtherRoot;
        return;
      }
    }
    Fail(lineNumber, "unknown root key \"" + path.substr(0, slash) + "\"");
  }

  // A name cannot hold a line break: the text form would have no way to
  // write it back.
  void CheckName(const std::string& name, std::size_t lineNumber) const {
    if (name.find_first_of("\r\n") != std::string::npos) {
      Fail(lineNumber, "a key or value name holds a line break");
    }
  }

  // A quoted text starting at text[pos] == '"'; pos ends after the closing
  // quote. The registry editor escapes only \\ and \"; exports made by other
  // tools also write \n, \r and \0, which are read as the characters.
  std::string Quoted(const std::string& text, std::size_t& pos,
                     std::size_t lineNumber) const {
    std::string out;
    ++pos;
    while (pos < text.size()) {
      char c = text[pos++];
      if (c == '"') return out;
      if (c == '\\') {
        if (pos >= text.size()) break;
        const char next = text[pos++];
        switch (next) {
          case '\\':
          case '"': out.push_back(next); break;
          case 'n': out.push_back('\n'); break;
          case 'r': out.push_back('\r'); break;
          case '0': out.push_back('\0'); break;
          default:
            Fail(lineNumber, std::string("unknown escape \"\\") + next +
                                 "\" in a quoted text");
        }
        continue;
      }
      out.push_back(c);
    }
    Fail(lineNumber, "quoted text without its closing '\"'");
  }

  static bool StartsWithFolded(const std::string& text, std::size_t pos,
                               std::string_view prefix) {
    return FoldRegistryName(text.substr(pos, prefix.size())) ==
           FoldRegistryName(prefix);
  }

  static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  // 1 to 8 hex digits, as dword data and the type of hex(N) are written.
  DWORD HexNumber(const std::string& digits, std::size_t lineNumber,
                  const char* what) const {
    if (digits.empty() || digits.size() > 8) Fail(lineNumber, what);
    DWORD number = 0;
    for (char c : digits) {
      if (HexDigit(c) < 0) Fail(lineNumber, what);
      number = number * 16 + static_cast<DWORD>(HexDigit(c));
    }
    return number;
  }

  std::string HexBytes(const std::string& list, std::size_t lineNumber) const {
    std::string out;
    std::size_t start = 0;
    const std::string all = TrimRight(list);
    if (all.empty()) return out;
    while (start <= all.size()) {
      std::size_t end = all.find(',', start);
      const bool last = end == std::string::npos;
      if (last) end = all.size();
      const std::string item = TrimRight(TrimLeft(all.substr(start, end - start)));
      if (item.empty()) {
        // One trailing comma is tolerated; an empty item elsewhere is not.
        if (last && start > 0) break;
        Fail(lineNumber, "empty byte in hex data");
      }
      if (item.size() > 2 || HexDigit(item[0]) < 0 ||
          (item.size() == 2 && HexDigit(item[1]) < 0)) {
        Fail(lineNumber, "\"" + item + "\" is not a hex byte");
      }
      int value = HexDigit(item[0]);
      if (item.size() == 2) value = value * 16 + HexDigit(item[1]);
      out.push_back(static_cast<char>(value));
      if (last) break;
      start = end + 1;
    }
    return out;
  }

  RegistryValue ParseValue(const std::string& line, std::size_t lineNumber) {
    RegistryValue value;
    std::size_t pos = 0;
    if (line[0] == '@') {
      pos = 1;
    } else if (line[0] == '"') {
      value.name = Quoted(line, pos, lineNumber);
      CheckName(value.name, lineNumber);
    } else {
      Fail(lineNumber, "expected a value name in quotes or @");
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size() || line[pos] != '=') {
      Fail(lineNumber, "expected '=' after the value name");
    }
    ++pos;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size()) Fail(lineNumber, "value without data");

    if (line[pos] == '"') {
      value.type = REG_SZ;
      value.data = Quoted(line, pos, lineNumber);
      value.data.push_back('\0');
      if (!TrimRight(line.substr(pos)).empty()) {
        Fail(lineNumber, "text after the closing '\"' of a value");
      }
      return value;
    }
    if (line[pos] == '-') {
      Fail(lineNumber,
           "deleting a value (=-) is not supported in a machine's registry");
    }
    if (StartsWithFolded(line, pos, "dword:")) {
      const DWORD number =
          HexNumber(TrimRight(line.substr(pos + 6)), lineNumber,
                    "dword data needs 1 to 8 hex digits");
      value.type = REG_DWORD;
      for (int i = 0; i < 4; ++i) {
        value.data.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
      }
      return value;
    }
    if (StartsWithFolded(line, pos, "hex:")) {
      value.type = REG_BINARY;
      value.data = HexBytes(line.substr(pos + 4), lineNumber);
      return value;
    }
    if (StartsWithFolded(line, pos, "hex(")) {
      const std::size_t close = line.find("):", pos);
      if (close == std::string::npos) Fail(lineNumber, "hex( without \"):\"");
      const DWORD type =
          HexNumber(line.substr(pos + 4, close - pos - 4), lineNumber,
                    "hex(N) needs a type number in hex");
      value.type = type;
      value.data = HexBytes(line.substr(close + 2), lineNumber);
      // The 5.00 form stores texts as UTF-16; the ANSI functions see them
      // in 8-bit characters.
      if (unicodeData_ &&
          (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)) {
        value.data = Utf16ToAnsi(value.data, lineNumber);
      }
      return value;
    }
    Fail(lineNumber, "unrecognised value data (expected \"text\", dword:, "
                     "hex: or hex(N):)");
  }

  std::string fileName_;
  std::vector<std::string> lines_;
  bool unicodeData_ = false;
  State state_ = State::BeforeFirstKey;
  RegistryNode* current_ = nullptr;
};

std::string QuotedForFile(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

bool HasLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

// A REG_SZ is written as a quoted text when that reads back to the same
// bytes: exactly one terminating zero and no line break inside.
bool PlainText(const RegistryValue& value) {
  return value.type == REG_SZ && !value.data.empty() &&
         value.data.back() == '\0' &&
         value.data.find('\0') == value.data.size() - 1 &&
         !HasLineBreak(value.data);
}

void WriteValue(std::string& out, const RegistryValue& value,
                const std::string& keyPath) {
  if (HasLineBreak(value.name)) {
    throw MachineError("registry: the name of a value of \"" + keyPath +
                       "\" holds a line break and cannot be written");
  }
  std::string line = value.name.empty() ? "@" : QuotedForFile(value.name);
  line += "=";
  if (PlainText(value)) {
    out += line + QuotedForFile(value.data.substr(0, value.data.size() - 1)) +
           "\r\n";
    return;
  }
  if (value.type == REG_DWORD && value.data.size() == 4) {
    DWORD number = 0;
    for (int i = 3; i >= 0; --i) {
      number = (number << 8) | static_cast<unsigned char>(value.data[i]);
    }
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
    out += line + "dword:" + digits + "\r\n";
    return;
  }
  if (value.type == REG_BINARY) {
    line += "hex:";
  } else {
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):",
                  static_cast<unsigned>(value.type));
    line += prefix;
  }
  for (std::size_t i = 0; i < value.data.size(); ++i) {
    char piece[4];
    std::snprintf(piece, sizeof piece, "%02x",
                  static_cast<unsigned>(static_cast<unsigned char>(value.data[i])));
    std::string item = piece;
    if (i + 1 < value.data.size()) item += ",";
    if (i > 0 && line.size() + item.size() > kHexLineWidth) {
      out += line + "\\\r\n";
      line = "  ";
    }
    line += item;
  }
  out += line + "\r\n";
}

}  // namespace

void ParseRegistryText(const std::string& bytes, const std::string& fileName,
                       RegistryData& into) {
  Reader(fileName).Parse(bytes, into);
}

std::string WriteRegistryText(const RegistryData& data) {
  std::string out = std::string(kHeader4) + "\r\n\r\n";
  const RegistryNode& root = data.root;
  if (!root.values.empty()) {
    out += "[" + std::string(kLocalMachine) + "]\r\n";
    for (const RegistryValue& value : root.values) WriteValue(out, value, "");
    out += "\r\n";
  }
  // Parents before children, siblings in their order.
  std::vector<std::pair<const RegistryNode*, std::string>> stack;
  for (auto it = root.children.rbegin(); it != root.children.rend(); ++it) {
    stack.emplace_back(it->get(), (*it)->name);
  }
  while (!stack.empty()) {
    auto [node, path] = stack.back();
    stack.pop_back();
    if (HasLineBreak(node->name)) {
      throw MachineError("registry: a key name below \"" + path +
                         "\" holds a line break and cannot be written");
    }
    out += "[" + std::string(kLocalMachine) + "\\" + path + "]\r\n";
    for (const RegistryValue& value : node->values) {
      WriteValue(out, value, path);
    }
    out += "\r\n";
    for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
      stack.emplace_back(it->get(), path + "\\" + (*it)->name);
    }
  }
  for (const std::string& line : data.otherRootLines) out += line + "\r\n";
  return out;
}

}  // namespace ide
