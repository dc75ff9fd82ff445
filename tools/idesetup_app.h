// idesetup as a whole, apart from the process around it: parse the command
// line, load the machine, run the setup on it with the transcript printed as
// it happens, report what changed and write the result out. main() only
// hands it the process's streams; the tests hand it their own.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace ide {

struct AppStreams {
  std::istream& in;
  std::ostream& out;  // transcript and report
  std::ostream& err;  // questions on the terminal and the one-line errors
  bool inIsTerminal;
};

// Runs idesetup with the arguments after the program name; returns the exit
// status (exit_codes.h).
int RunIdesetup(const std::vector<std::string>& args,
                const std::filesystem::path& defaultMachine,
                AppStreams streams);

}  // namespace ide
