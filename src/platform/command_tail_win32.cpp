#include "platform/command_tail_win32.h"

namespace ide {
namespace {

// Characters of code 1 to 32 separate the program name from the tail. The
// test is on the unsigned code, so letters above 127 are part of a name.
bool IsBlank(char c) {
  unsigned char code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

}  // namespace

std::string CommandLineTail(const char* commandLine) {
  if (commandLine == nullptr) return std::string();
  const char* p = commandLine;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && !IsBlank(*p)) ++p;
  }
  while (IsBlank(*p)) ++p;
  return std::string(p);
}

}  // namespace ide
