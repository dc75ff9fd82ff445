#include "setup/entry.h"

#include <cstddef>
#include <string>

#include "setup/restart.h"
#include "setup/run_setup.h"

namespace ide {

namespace {

// Characters of code 1 to 32 (blanks and control characters) may stand
// between the program name and the first argument.
bool IsLeadingBlank(char c) {
  const unsigned char code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

}  // namespace

std::string StripLeadingBlanks(const std::string& tail) {
  std::size_t start = 0;
  while (start < tail.size() && IsLeadingBlank(tail[start])) ++start;
  return tail.substr(start);
}

std::string CommandLineTail(const char* commandLine) {
  if (commandLine == nullptr) return std::string();
  const char* p = commandLine;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && !IsLeadingBlank(*p)) ++p;
  }
  return StripLeadingBlanks(p);
}

void KeepCommandLine(SetupState& state, const std::string& tail) {
  // The command line is a C string: a zero byte ends it.
  const std::string text = tail.substr(0, tail.find('\0'));
  // A longer command line is dropped whole rather than cut. A cut could
  // leave a shortened driver name ("/D:RBM") or lose a later /D option and
  // install the wrong driver without a word; with nothing kept the user is
  // told that no driver was named, and the machine stays untouched.
  state.commandLine = text.size() <= kMaxCommandLine ? text : std::string();
}

int SetupMain(PlatformServices& os, const std::string& tail) {
  SetupState state;
  KeepCommandLine(state, tail);
  const int result = RunSetup(os, state);
  // Only an explicit "restart now" skips the wait; without the dialog, or
  // when it failed, the user still gets the time to save their work.
  if (result != kRestartNow) os.Sleep(kRestartDelayMs);
  RestartWindows(os);
  return kSetupExitCode;
}

}  // namespace ide
