// The program's entry, shared by setup.exe (WinMain) and idesetup.
#pragma once

#include <string>

#include "platform/platform_services.h"

namespace ide {

// The command-line tail as the entry receives it: the process command line
// after the program name, with the characters of code 1 to 32 that follow
// the name removed.
std::string StripLeadingBlanks(const std::string& tail);

// Runs the whole setup on a machine: keeps the tail, runs the setup steps
// and restarts Windows, at once or after the wait. Returns the exit code (0).
int SetupMain(PlatformServices& os, const std::string& tail);

}  // namespace ide
