#include "setup/command_line.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "setup/setup_texts.h"
#include "setup/variants.h"

namespace ide {

namespace {

// The parser holds at most this many tokens; a command line with more is not
// examined at all.
constexpr std::size_t kMaxTokens = 20;

// Tokens are separated by blanks, commas and line feeds; within a token the
// option and its value by blanks, colons and line feeds. Runs of separators
// count as one.
constexpr std::string_view kTokenSeparators = " ,\t\n";
constexpr std::string_view kOptionSeparators = " :\t\n";

// The one option the setup knows, after conversion to capitals.
constexpr std::string_view kDriverOption = "/D";

constexpr UINT kExitCode = 0;

// Splits `text` at any of `separators`. Stops and returns false when a part
// beyond `maxParts` is found; `parts` then holds the first `maxParts`.
bool Split(std::string_view text, std::string_view separators,
           std::size_t maxParts, std::vector<std::string>& parts) {
  parts.clear();
  std::size_t position = 0;
  while (true) {
    position = text.find_first_not_of(separators, position);
    if (position == std::string_view::npos) return true;
    if (parts.size() == maxParts) return false;
    std::size_t end = text.find_first_of(separators, position);
    if (end == std::string_view::npos) end = text.size();
    parts.emplace_back(text.substr(position, end - position));
    position = end;
  }
}

// Only the letters a to z change; every other byte stays as it is, whatever
// the locale.
std::string ToCapitals(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

void ShowSetupError(PlatformServices& os, const char* text) {
  os.MessageBoxA(nullptr, text, kSetupErrorCaption, MB_OK);
}

}  // namespace

int ParseCommandLine(PlatformServices& os, SetupState& state) {
  // The work copy is as wide as the record's field. The entry never stores a
  // longer command line; should one be there, it is treated as the entry
  // treats an over-long tail: as no command line at all.
  std::string_view commandLine = state.commandLine;
  if (commandLine.size() > kMaxCommandLine) commandLine = {};

  std::vector<std::string> tokens;
  if (!Split(commandLine, kTokenSeparators, kMaxTokens, tokens)) return 0;

  bool driverOptionSeen = false;
  std::vector<std::string> parts;
  for (const std::string& token : tokens) {
    if (token.front() != '/') {
      ShowSetupError(os, kFormatErrorText);
      return 0;
    }
    // A token starts with "/", so it yields at least the option part; only
    // the option and its value matter, anything after them is ignored.
    Split(ToCapitals(token), kOptionSeparators, 2, parts);
    if (parts.front() != kDriverOption) continue;
    driverOptionSeen = true;
    if (parts.size() < 2) continue;
    if (const VariantInfo* info = FindVariantByName(parts[1])) {
      state.variant = info->variant;
    }
  }

  if (!driverOptionSeen) {
    ShowSetupError(os, kDriverNameNotFoundText);
    os.ExitProcess(kExitCode);
  }
  return 1;
}

void SelectVariantTexts(SetupState& state) {
  const VariantInfo& info = VariantTextsFor(state.variant);
  state.title = info.title;
  state.notFoundMessage = info.notFoundMessage;
}

}  // namespace ide
