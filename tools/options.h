// idesetup's command line:
//
//   idesetup [--machine DIR] [--answer yes|no] [--restart now|later]
//            [--out DIR] [--] TAIL...
//
// Every option is described once, in the option table of options.cpp; the
// parser and the usage text both come from that table.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ide {

// How the user answers the completion dialog when --restart says so.
enum class RestartAnswer { Now, Later };

struct Options {
  std::filesystem::path machine;
  // --answer: true for yes. Empty: ask on the terminal.
  std::optional<bool> confirm;
  // --restart. Empty: ask on the terminal.
  std::optional<RestartAnswer> restart;
  std::optional<std::filesystem::path> out;
  // The words after the options; the setup's command-line tail is these
  // joined by single spaces (see Tail()).
  std::vector<std::string> tailWords;
  bool help = false;

  std::string Tail() const;
};

struct ParsedOptions {
  Options options;
  // One line saying what is wrong; empty when the command line is good.
  std::string error;

  bool ok() const { return error.empty(); }
};

// Parses the arguments after the program name. Options come first, each as
// "--name VALUE" or "--name=VALUE"; "--" or the first word that does not
// begin with "-" starts the tail. Without --machine, `defaultMachine` is
// used.
ParsedOptions ParseOptions(const std::vector<std::string>& args,
                           const std::filesystem::path& defaultMachine);

// The synopsis line and one line per option.
std::string UsageText();

}  // namespace ide
