// Win32Platform: PlatformServices on the real Windows API, for setup.exe.
//
// This header does not include <windows.h>; only platform_win32.cpp does, so
// the rest of the program keeps the project's own vocabulary.
#pragma once

#include <cstdint>
#include <map>
#include <set>

#include "platform/platform_services.h"

namespace ide {

class Win32Platform : public PlatformServices {
 public:
  Win32Platform() = default;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options,
                     DWORD access, HKEY* result) override;
  LONG RegEnumKeyExA(HKEY key, DWORD index, char* name,
                     DWORD* nameSize) override;
  LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* type,
                        BYTE* data, DWORD* dataSize) override;
  // The NT family (and Wine) refuses to delete a key that has subkeys, so
  // the subkeys are deleted first, deepest first; on Windows 95, where the
  // system deletes the whole tree itself, this finds nothing left to do
  // below the key. Refuses an empty name, which would mean `key` itself.
  LONG RegDeleteKeyA(HKEY key, const char* subKey) override;
  LONG RegCloseKey(HKEY key) override;

  UINT GetWindowsDirectoryA(char* buffer, UINT size) override;
  UINT GetSystemDirectoryA(char* buffer, UINT size) override;
  DWORD GetCurrentDirectoryA(DWORD size, char* buffer) override;
  BOOL CopyFileA(const char* existing, const char* target,
                 BOOL failIfExists) override;
  BOOL DeleteFileA(const char* path) override;
  HFILE OpenFile(const char* path, UINT style) override;
  // The value of an existence test is not an open file (OpenFile closed it
  // already); it is never handed to the system, which could otherwise close
  // an unrelated handle that happens to have that number.
  HFILE _lclose(HFILE file) override;
  int lstrcmpA(const char* a, const char* b) override;
  int lstrcmpiA(const char* a, const char* b) override;

  // Only files this layer opened and has not closed yet are handed to the C
  // runtime; a null or closed one makes the call fail (0, false, or "failed"
  // for TextFileFailed) instead of faulting inside the runtime.
  TextFile OpenTextFile(const char* path, TextMode mode) override;
  std::size_t ReadTextLine(TextFile file, char* buffer,
                           std::size_t bufferSize) override;
  bool WriteText(TextFile file, const char* text) override;
  bool TextFileFailed(TextFile file) override;
  bool CloseTextFile(TextFile file) override;

  int MessageBoxA(HWND owner, const char* text, const char* caption,
                  UINT type) override;
  INT_PTR DialogBoxParamA(const char* templateName, HWND owner,
                          DialogProc procedure, void* context) override;
  BOOL CheckRadioButton(HWND dialog, int first, int last, int check) override;
  BOOL EndDialog(HWND dialog, INT_PTR result) override;

  DWORD GetVersion() override;
  HANDLE GetCurrentProcess() override;
  BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) override;
  BOOL LookupPrivilegeValueA(const char* systemName, const char* name,
                             LUID* luid) override;
  BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll,
                             const TOKEN_PRIVILEGES* newState) override;
  DWORD GetLastError() override;
  BOOL ExitWindowsEx(UINT flags, DWORD reserved) override;
  void Sleep(DWORD milliseconds) override;
  void OutputDebugStringA(const char* text) override;
  [[noreturn]] void ExitProcess(UINT exitCode) override;

  // On the NT family a program may not touch the ports: false at once. On
  // the Windows 95 family the access is made directly, guarded so that a
  // refusal by the processor returns false instead of ending the program.
  bool WritePortDword(std::uint16_t port, std::uint32_t value) override;
  bool ReadPortDword(std::uint16_t port, std::uint32_t* value) override;

 private:
  // Results of existence tests handed out and not yet given to _lclose.
  std::map<HFILE, int> existenceResults_;
  // Text files opened and not yet closed.
  std::set<TextFile> openTextFiles_;
};

// The port instructions themselves, each under its own fault guard; they
// return false when the processor refused the access. Used by Win32Platform
// on the Windows 95 family; visible so the guard can be tested where the
// access always faults.
bool GuardedPortWriteDword(std::uint16_t port, std::uint32_t value);
bool GuardedPortReadDword(std::uint16_t port, std::uint32_t* value);

}  // namespace ide
