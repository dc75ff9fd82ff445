#include "setup/restart.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <limits>
#include <string_view>

#include "setup/setup_texts.h"

namespace ide {

namespace {

// The error code is shown as a signed decimal: at most this many characters
// (sign and digits of the most negative int).
constexpr std::size_t kMaxDecimalIntChars =
    std::numeric_limits<int>::digits10 + 2;
static_assert(kMaxDecimalIntChars == 11);

// The error texts are used as formats: each must take exactly the one int it
// is given.
constexpr bool TakesOneInt(std::string_view format) {
  return std::count(format.begin(), format.end(), '%') == 1 &&
         format.find("%d") != std::string_view::npos;
}
static_assert(TakesOneInt(kOpenProcessTokenErrorFormat));
static_assert(TakesOneInt(kAdjustTokenPrivilegesErrorFormat));
static_assert(TakesOneInt(kExitWindowsErrorFormat));

// Room for the longest error text with any code in place of its "%d", and
// the terminating zero (sizeof counts the zero; "%d" is two characters).
constexpr std::size_t kErrorTextSize =
    std::max({sizeof(kOpenProcessTokenErrorFormat),
              sizeof(kAdjustTokenPrivilegesErrorFormat),
              sizeof(kExitWindowsErrorFormat)}) -
    2 + kMaxDecimalIntChars;

// Shows one of the error formats with the last error, in a message box with
// the system's default caption.
void ShowLastError(PlatformServices& os, const char* format) {
  // Read at once, before anything else can change it.
  const DWORD error = os.GetLastError();
  char text[kErrorTextSize];
  std::snprintf(text, sizeof text, format, static_cast<int>(error));
  os.MessageBoxA(nullptr, text, nullptr, MB_OK);
}

// The NT family refuses a restart unless the shutdown privilege is enabled
// in the process token. A failure is shown and the restart still tried: its
// own failure then tells the user the restart did not happen.
void EnableShutdownPrivilege(PlatformServices& os) {
  os.OutputDebugStringA(kSettingTokenDebugText);

  HANDLE token = nullptr;
  if (!os.OpenProcessToken(os.GetCurrentProcess(),
                           TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    ShowLastError(os, kOpenProcessTokenErrorFormat);
    token = nullptr;
  }

  TOKEN_PRIVILEGES privileges;
  // If the lookup fails, AdjustTokenPrivileges reports it.
  os.LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME,
                           &privileges.Privileges[0].Luid);
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;

  if (!os.AdjustTokenPrivileges(token, kFalse, &privileges)) {
    ShowLastError(os, kAdjustTokenPrivilegesErrorFormat);
  }
}

}  // namespace

void RestartWindows(PlatformServices& os) {
  if ((os.GetVersion() & kWin95FamilyBit) == 0) EnableShutdownPrivilege(os);
  if (!os.ExitWindowsEx(EWX_REBOOT, 0)) {
    ShowLastError(os, kExitWindowsErrorFormat);
  }
}

}  // namespace ide
