// Win32Platform: each operation passes straight to the Windows API of the
// same name, except where noted in platform_win32.h. The project's types
// mirror the Windows values, so only handles and the privilege records need
// converting.

#include "platform/platform_win32.h"

#include <cstdio>
#include <cstring>
#include <string>

// After every project header: from here on the <windows.h> macros replace
// the project's constants of the same names (with the same values).
#include <windows.h>

namespace ide {
namespace {

::HKEY ToWin(HKEY key) { return reinterpret_cast<::HKEY>(key); }
::HWND ToWin(HWND window) { return reinterpret_cast<::HWND>(window); }
HWND FromWin(::HWND window) { return reinterpret_cast<HWND>(window); }
std::FILE* ToStream(TextFile file) { return reinterpret_cast<std::FILE*>(file); }

// Subkey names are at most 255 characters on every Windows version.
constexpr DWORD kSubkeyNameBuffer = 256;
// A registry tree is never deeper than this; it only stops a runaway
// recursion on a damaged registry.
constexpr int kMaxTreeDepth = 64;

// Deletes every key below the open key `parent`, deepest first. A subkey
// that cannot be deleted is stepped over, so the loop always ends.
void DeleteSubkeysOf(::HKEY parent, int depth) {
  if (depth > kMaxTreeDepth) return;
  DWORD index = 0;
  for (;;) {
    char name[kSubkeyNameBuffer];
    ::DWORD size = sizeof name;
    if (::RegEnumKeyExA(parent, index, name, &size, nullptr, nullptr, nullptr,
                        nullptr) != ERROR_SUCCESS) {
      return;
    }
    ::HKEY child = nullptr;
    if (::RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &child) ==
        ERROR_SUCCESS) {
      DeleteSubkeysOf(child, depth + 1);
      ::RegCloseKey(child);
    }
    if (::RegDeleteKeyA(parent, name) != ERROR_SUCCESS) ++index;
  }
}

// What the dialog thunk needs: our procedure and its context. Stored in the
// dialog's user slot at WM_INITDIALOG.
struct DialogBinding {
  DialogProc procedure;
  void* context;
};

::INT_PTR CALLBACK DialogThunk(::HWND dialog, ::UINT message,
                               ::WPARAM wParam, ::LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  }
  auto* binding =
      reinterpret_cast<DialogBinding*>(::GetWindowLongPtrA(dialog, DWLP_USER));
  // Messages sent before WM_INITDIALOG (WM_SETFONT) have no binding yet.
  if (binding == nullptr) return FALSE;
  return binding->procedure(binding->context, FromWin(dialog), message,
                            static_cast<WPARAM>(wParam),
                            static_cast<LPARAM>(lParam));
}

}  // namespace

// ---- Registry ----

LONG Win32Platform::RegOpenKeyExA(HKEY key, const char* subKey, DWORD options,
                                  DWORD access, HKEY* result) {
  // Nowhere to put the key: opening it would only leave it open for good.
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  ::HKEY opened = nullptr;
  LONG status = ::RegOpenKeyExA(ToWin(key), subKey, options, access, &opened);
  if (status == ERROR_SUCCESS) *result = reinterpret_cast<HKEY>(opened);
  return status;
}

LONG Win32Platform::RegEnumKeyExA(HKEY key, DWORD index, char* name,
                                  DWORD* nameSize) {
  if (name == nullptr || nameSize == nullptr) return ERROR_INVALID_PARAMETER;
  ::DWORD size = *nameSize;
  LONG status = ::RegEnumKeyExA(ToWin(key), index, name, &size, nullptr,
                                nullptr, nullptr, nullptr);
  *nameSize = static_cast<DWORD>(size);
  return status;
}

LONG Win32Platform::RegQueryValueExA(HKEY key, const char* valueName,
                                     DWORD* type, BYTE* data,
                                     DWORD* dataSize) {
  ::DWORD valueType = 0;
  ::DWORD size = dataSize != nullptr ? *dataSize : 0;
  LONG status = ::RegQueryValueExA(ToWin(key), valueName, nullptr, &valueType,
                                   data, dataSize != nullptr ? &size : nullptr);
  if (type != nullptr) *type = static_cast<DWORD>(valueType);
  if (dataSize != nullptr) *dataSize = static_cast<DWORD>(size);
  return status;
}

LONG Win32Platform::RegDeleteKeyA(HKEY key, const char* subKey) {
  if (subKey == nullptr || subKey[0] == '\0') return ERROR_INVALID_PARAMETER;
  ::HKEY target = nullptr;
  LONG status =
      ::RegOpenKeyExA(ToWin(key), subKey, 0, KEY_ALL_ACCESS, &target);
  if (status != ERROR_SUCCESS) return status;
  DeleteSubkeysOf(target, 1);
  ::RegCloseKey(target);
  return ::RegDeleteKeyA(ToWin(key), subKey);
}

LONG Win32Platform::RegCloseKey(HKEY key) { return ::RegCloseKey(ToWin(key)); }

// ---- Files and folders ----

UINT Win32Platform::GetWindowsDirectoryA(char* buffer, UINT size) {
  return ::GetWindowsDirectoryA(buffer, size);
}

UINT Win32Platform::GetSystemDirectoryA(char* buffer, UINT size) {
  return ::GetSystemDirectoryA(buffer, size);
}

DWORD Win32Platform::GetCurrentDirectoryA(DWORD size, char* buffer) {
  return ::GetCurrentDirectoryA(size, buffer);
}

BOOL Win32Platform::CopyFileA(const char* existing, const char* target,
                              BOOL failIfExists) {
  return ::CopyFileA(existing, target, failIfExists);
}

BOOL Win32Platform::DeleteFileA(const char* path) {
  return ::DeleteFileA(path);
}

HFILE Win32Platform::OpenFile(const char* path, UINT style) {
  OFSTRUCT info;
  std::memset(&info, 0, sizeof info);
  HFILE result = ::OpenFile(path, &info, style);
  if (result != HFILE_ERROR && (style & OF_EXIST) != 0) {
    ++existenceResults_[result];
  }
  return result;
}

HFILE Win32Platform::_lclose(HFILE file) {
  auto found = existenceResults_.find(file);
  if (found != existenceResults_.end()) {
    if (--found->second == 0) existenceResults_.erase(found);
    return 0;
  }
  return ::_lclose(file);
}

int Win32Platform::lstrcmpA(const char* a, const char* b) {
  return ::lstrcmpA(a, b);
}

int Win32Platform::lstrcmpiA(const char* a, const char* b) {
  return ::lstrcmpiA(a, b);
}

// ---- DOS text-mode files: the C runtime's text mode does the CR LF and
// Ctrl-Z conventions. ----

TextFile Win32Platform::OpenTextFile(const char* path, TextMode mode) {
  if (path == nullptr) return nullptr;
  std::FILE* stream =
      std::fopen(path, mode == TextMode::Read ? "rt" : "wt");
  if (stream == nullptr) return nullptr;
  const TextFile file = reinterpret_cast<TextFile>(stream);
  openTextFiles_.insert(file);
  return file;
}

std::size_t Win32Platform::ReadTextLine(TextFile file, char* buffer,
                                        std::size_t bufferSize) {
  if (openTextFiles_.count(file) == 0 || buffer == nullptr ||
      bufferSize == 0) {
    return 0;
  }
  // Character by character rather than fgets, so the count stays true for
  // a line holding a zero byte (fgets gives no count, and strlen would stop
  // there). The text-mode stream still turns CR LF into LF and ends the file
  // at a Ctrl-Z.
  std::FILE* stream = ToStream(file);
  std::size_t count = 0;
  while (count + 1 < bufferSize) {
    const int c = std::getc(stream);
    if (c == EOF) break;
    buffer[count++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buffer[count] = '\0';
  return count;
}

bool Win32Platform::TextFileFailed(TextFile file) {
  if (openTextFiles_.count(file) == 0) return true;
  return std::ferror(ToStream(file)) != 0;
}

bool Win32Platform::WriteText(TextFile file, const char* text) {
  if (openTextFiles_.count(file) == 0 || text == nullptr) return false;
  std::size_t length = std::strlen(text);
  if (length == 0) return !std::ferror(ToStream(file));
  return std::fwrite(text, 1, length, ToStream(file)) == length;
}

bool Win32Platform::CloseTextFile(TextFile file) {
  if (openTextFiles_.erase(file) == 0) return false;
  std::FILE* stream = ToStream(file);
  bool clean = !std::ferror(stream);
  if (std::fclose(stream) != 0) clean = false;
  return clean;
}

// ---- User interface ----

int Win32Platform::MessageBoxA(HWND owner, const char* text,
                               const char* caption, UINT type) {
  return ::MessageBoxA(ToWin(owner), text, caption, type);
}

INT_PTR Win32Platform::DialogBoxParamA(const char* templateName, HWND owner,
                                       DialogProc procedure, void* context) {
  DialogBinding binding{procedure, context};
  return ::DialogBoxParamA(::GetModuleHandleA(nullptr), templateName,
                           ToWin(owner), DialogThunk,
                           reinterpret_cast<LPARAM>(&binding));
}

BOOL Win32Platform::CheckRadioButton(HWND dialog, int first, int last,
                                     int check) {
  return ::CheckRadioButton(ToWin(dialog), first, last, check);
}

BOOL Win32Platform::EndDialog(HWND dialog, INT_PTR result) {
  return ::EndDialog(ToWin(dialog), result);
}

// ---- System ----

DWORD Win32Platform::GetVersion() { return ::GetVersion(); }

HANDLE Win32Platform::GetCurrentProcess() { return ::GetCurrentProcess(); }

BOOL Win32Platform::OpenProcessToken(HANDLE process, DWORD access,
                                     HANDLE* token) {
  return ::OpenProcessToken(process, access, token);
}

BOOL Win32Platform::LookupPrivilegeValueA(const char* systemName,
                                          const char* name, LUID* luid) {
  if (luid == nullptr) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ::LUID found{};
  BOOL ok = ::LookupPrivilegeValueA(systemName, name, &found);
  if (ok) {
    luid->LowPart = found.LowPart;
    luid->HighPart = found.HighPart;
  }
  return ok;
}

BOOL Win32Platform::AdjustTokenPrivileges(HANDLE token, BOOL disableAll,
                                          const TOKEN_PRIVILEGES* newState) {
  // Without a new state only "disable all" means something.
  if (newState == nullptr) {
    if (disableAll) {
      return ::AdjustTokenPrivileges(token, TRUE, nullptr, 0, nullptr,
                                     nullptr);
    }
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ::TOKEN_PRIVILEGES state{};
  state.PrivilegeCount = newState->PrivilegeCount > 0 ? 1 : 0;
  state.Privileges[0].Luid.LowPart = newState->Privileges[0].Luid.LowPart;
  state.Privileges[0].Luid.HighPart = newState->Privileges[0].Luid.HighPart;
  state.Privileges[0].Attributes = newState->Privileges[0].Attributes;
  return ::AdjustTokenPrivileges(token, disableAll, &state, 0, nullptr,
                                 nullptr);
}

DWORD Win32Platform::GetLastError() { return ::GetLastError(); }

BOOL Win32Platform::ExitWindowsEx(UINT flags, DWORD reserved) {
  return ::ExitWindowsEx(flags, reserved);
}

void Win32Platform::Sleep(DWORD milliseconds) { ::Sleep(milliseconds); }

void Win32Platform::OutputDebugStringA(const char* text) {
  ::OutputDebugStringA(text);
}

void Win32Platform::ExitProcess(UINT exitCode) { ::ExitProcess(exitCode); }

// ---- Hardware ----

bool Win32Platform::WritePortDword(std::uint16_t port, std::uint32_t value) {
  if ((::GetVersion() & kWin95FamilyBit) == 0) return false;
  return GuardedPortWriteDword(port, value);
}

bool Win32Platform::ReadPortDword(std::uint16_t port, std::uint32_t* value) {
  if ((::GetVersion() & kWin95FamilyBit) == 0) return false;
  return GuardedPortReadDword(port, value);
}

}  // namespace ide
