// The command-line tail that a Windows program's entry receives, computed
// from the whole process command line.
#pragma once

#include <string>

namespace ide {

// The process command line without the program name (in double quotes or
// not) and without the characters of code 1 to 32 that follow it. A quoted
// name runs to the next double quote; an unquoted one to the first character
// of code 1 to 32.
std::string CommandLineTail(const char* commandLine);

}  // namespace ide
