// SetupState: the one record a setup run shares between its steps. The entry
// owns it for the whole run and hands it to every step; everything else a
// step needs is local to that step.
#pragma once

#include <cstddef>
#include <string>

namespace ide {

// Product variants chosen on the command line. Variant 0 is also the value
// before any option has been read.
using SetupVariant = int;
constexpr SetupVariant kVariantK7341 = 0;
constexpr SetupVariant kVariantK7351 = 1;
constexpr SetupVariant kVariantRbMax = 10;

// What RunSetup returns; decides how the entry restarts Windows.
constexpr int kRestartNow = 3;
constexpr int kRestartLater = 4;
constexpr int kNoDialog = 5;

// Widths of the record's fields, in characters without the terminating zero.
// Longer texts never reach the record (see where each field is set).
constexpr std::size_t kMaxTitle = 63;
constexpr std::size_t kMaxNotFoundMessage = 63;
constexpr std::size_t kMaxDriverFileName = 31;
constexpr std::size_t kMaxCommandLine = 259;

// File paths never exceed this many characters (260-character buffers).
constexpr std::size_t kMaxPath = 259;
// Registry paths below HKEY_LOCAL_MACHINE are shorter than 128 characters.
constexpr std::size_t kMaxRegistryPath = 127;

struct SetupState {
  SetupVariant variant = kVariantK7341;
  std::string title;
  std::string notFoundMessage;
  // The miniport to copy; empty until the controller entries were written.
  std::string driverFileName;
  std::string commandLine;
  // kRestartNow or kRestartLater once the completion dialog has started.
  int completionChoice = 0;
};

}  // namespace ide
