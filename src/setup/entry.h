// The program's entry, shared by setup.exe (WinMain) and idesetup.
#pragma once

#include <string>

#include "platform/platform_services.h"
#include "setup/setup_state.h"

namespace ide {

// How long the entry waits before restarting Windows when the user did not
// ask for an immediate restart (or was never asked).
constexpr DWORD kRestartDelayMs = 30000;

// The process exit code, whichever way the setup ends.
constexpr int kSetupExitCode = 0;

// The command-line tail as the entry receives it: the process command line
// after the program name, with the characters of code 1 to 32 that follow
// the name removed.
std::string StripLeadingBlanks(const std::string& tail);

// The tail of a whole process command line (setup.exe's GetCommandLineA):
// the program name (in double quotes or not) dropped, then the blanks after
// it. A quoted name runs to the next double quote; an unquoted one to the
// first character of code 1 to 32. Null gives an empty tail.
std::string CommandLineTail(const char* commandLine);

// Keeps the tail in the state's command line field. A tail that does not fit
// the field (more than kMaxCommandLine characters) is not kept at all, so the
// setup reports that no driver was named and ends before changing anything.
void KeepCommandLine(SetupState& state, const std::string& tail);

// Runs the whole setup on a machine: keeps the tail, runs the setup steps
// and restarts Windows, at once or after the wait. Returns the exit code (0).
int SetupMain(PlatformServices& os, const std::string& tail);

}  // namespace ide
