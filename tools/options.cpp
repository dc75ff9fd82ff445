#include "options.h"

#include <algorithm>
#include <set>
#include <string_view>

namespace ide {
namespace {

constexpr std::string_view kProgramName = "idesetup";
constexpr std::string_view kEndOfOptions = "--";

// Compares a value word without regard to the case of A-Z, so "YES" and
// "Later" are understood too.
bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) {
      return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// Stores an option's value in the options; returns an error text, or empty.
using ApplyOption = std::string (*)(Options& options, std::string_view value);

struct OptionEntry {
  std::string_view name;       // "--machine"
  std::string_view valueName;  // shown in the usage: "DIR", "yes|no"
  std::string_view help;
  ApplyOption apply;
};

std::string ApplyMachine(Options& options, std::string_view value) {
  options.machine = std::filesystem::path(std::string(value));
  return {};
}

std::string ApplyAnswer(Options& options, std::string_view value) {
  if (SameWord(value, "yes")) {
    options.confirm = true;
  } else if (SameWord(value, "no")) {
    options.confirm = false;
  } else {
    return "--answer takes yes or no, not '" + std::string(value) + "'";
  }
  return {};
}

std::string ApplyRestart(Options& options, std::string_view value) {
  if (SameWord(value, "now")) {
    options.restart = RestartAnswer::Now;
  } else if (SameWord(value, "later")) {
    options.restart = RestartAnswer::Later;
  } else {
    return "--restart takes now or later, not '" + std::string(value) + "'";
  }
  return {};
}

std::string ApplyOut(Options& options, std::string_view value) {
  options.out = std::filesystem::path(std::string(value));
  return {};
}

std::string ApplyHelp(Options& options, std::string_view) {
  options.help = true;
  return {};
}

const OptionEntry kOptionTable[] = {
    {"--machine", "DIR",
     "the machine folder to run on (default: the bundled sample machine); "
     "it is never changed",
     ApplyMachine},
    {"--answer", "yes|no",
     "the answer to the confirmation question (default: ask on the terminal)",
     ApplyAnswer},
    {"--restart", "now|later",
     "the choice in the completion dialog (default: ask on the terminal)",
     ApplyRestart},
    {"--out", "DIR",
     "write the machine as it stands after the run into DIR (a new or empty "
     "folder)",
     ApplyOut},
    {"--help", "", "show this help and stop (also -h)", ApplyHelp},
};

const OptionEntry* FindOption(std::string_view name) {
  for (const OptionEntry& entry : kOptionTable) {
    if (entry.name == name) return &entry;
  }
  if (name == "-h") return FindOption("--help");
  return nullptr;
}

bool LooksLikeOption(std::string_view word) {
  return word.size() > 1 && word[0] == '-';
}

}  // namespace

std::string Options::Tail() const {
  std::string tail;
  for (std::size_t i = 0; i < tailWords.size(); ++i) {
    if (i > 0) tail += ' ';
    tail += tailWords[i];
  }
  return tail;
}

ParsedOptions ParseOptions(const std::vector<std::string>& args,
                           const std::filesystem::path& defaultMachine) {
  ParsedOptions parsed;
  Options& options = parsed.options;
  options.machine = defaultMachine;
  // A second --answer or --out is more likely a slip than a wish to
  // override the first, so it is refused.
  std::set<std::string_view> seen;
  bool explicitEnd = false;
  auto fail = [&parsed](std::string message) {
    parsed.error = std::move(message);
    return parsed;
  };

  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == kEndOfOptions) {
      ++i;
      explicitEnd = true;
      break;
    }
    if (!LooksLikeOption(word)) break;

    std::string_view name = word;
    std::optional<std::string> value;
    if (std::size_t equals = word.find('='); equals != std::string::npos) {
      name = std::string_view(word).substr(0, equals);
      value = word.substr(equals + 1);
    }
    const OptionEntry* entry = FindOption(name);
    if (entry == nullptr) {
      return fail("unknown option '" + std::string(name) + "' (see " +
                  std::string(kProgramName) + " --help)");
    }
    if (!seen.insert(entry->name).second) {
      return fail(std::string(entry->name) + " is given more than once");
    }
    if (entry->valueName.empty()) {
      if (value) {
        return fail(std::string(entry->name) + " takes no value");
      }
    } else if (!value) {
      if (i + 1 >= args.size()) {
        return fail(std::string(entry->name) + " needs a value (" +
                    std::string(entry->valueName) + ")");
      }
      value = args[++i];
    }
    if (value && value->empty()) {
      return fail(std::string(entry->name) + " needs a value (" +
                  std::string(entry->valueName) + "), not an empty one");
    }
    if (std::string error = entry->apply(options, value.value_or(""));
        !error.empty()) {
      return fail(error);
    }
  }

  for (; i < args.size(); ++i) {
    const std::string& word = args[i];
    // An option placed after the tail has begun would silently become part
    // of the setup's command line; "--" says that is what is wanted.
    std::string_view name = std::string_view(word).substr(0, word.find('='));
    if (!explicitEnd && FindOption(name) != nullptr) {
      return fail("option '" + std::string(name) +
                  "' after the command-line tail; options go first (put -- "
                  "before the tail to pass it to the setup)");
    }
    options.tailWords.push_back(word);
  }
  return parsed;
}

std::string UsageText() {
  std::string synopsis = "usage: " + std::string(kProgramName);
  std::size_t width = 0;
  for (const OptionEntry& entry : kOptionTable) {
    std::string shown = std::string(entry.name);
    if (!entry.valueName.empty()) shown += " " + std::string(entry.valueName);
    if (entry.name != "--help") synopsis += " [" + shown + "]";
    width = std::max(width, shown.size());
  }
  synopsis += " [--] TAIL...\n";

  std::string text = synopsis;
  text +=
      "Runs the driver setup on a simulated machine and shows what it would "
      "change.\nTAIL: the setup's command line, e.g. /D:K7351 (words joined "
      "by single spaces).\n\nOptions:\n";
  for (const OptionEntry& entry : kOptionTable) {
    std::string shown = std::string(entry.name);
    if (!entry.valueName.empty()) shown += " " + std::string(entry.valueName);
    text += "  " + shown + std::string(width - shown.size() + 2, ' ') +
            std::string(entry.help) + "\n";
  }
  text +=
      "\nExit status: 0 when the simulated run completed (the setup's own "
      "exit code\nis in the transcript), 2 for a usage or machine-folder "
      "error.\n";
  return text;
}

}  // namespace ide
