// PlatformServices: the one boundary between the setup logic and the
// operating system. Every Windows call the setup makes goes through here, so
// the same logic runs on the real Win32 API (setup.exe) and on a simulated
// machine (idesetup and the tests).
//
// The methods keep the platform's names and, where it matters, its result
// conventions. Each one's contract is the line above it: what it returns on
// success and on failure. Paths are Windows paths ("C:\WINDOWS\INF\...");
// registry paths are relative to HKEY_LOCAL_MACHINE.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

namespace ide {

// An open DOS text-mode file. Null means "could not be opened".
struct TextFileTag;
using TextFile = TextFileTag*;

enum class TextMode {
  Read,   // the file must exist
  Write,  // creates the file, or empties it if present
};

// The completion dialog's procedure. Windows' own DLGPROC has no room for
// our state, so the context given to DialogBoxParamA is handed back on every
// message. Returns nonzero when the message was handled.
using DialogProc = INT_PTR (*)(void* context, HWND dialog, UINT message,
                               WPARAM wParam, LPARAM lParam);

class PlatformServices {
 public:
  virtual ~PlatformServices() = default;

  // ---- Registry (every key opened with KEY_ALL_ACCESS) ----

  // Opens `subKey` below `key` (LocalMachineKey() or an open key) into
  // *result. ERROR_SUCCESS (0) on success, else a Windows error code and
  // *result untouched.
  virtual LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options,
                             DWORD access, HKEY* result) = 0;
  // Writes the name of subkey number `index` (from 0) into name, which holds
  // *nameSize bytes; on success *nameSize is the length without the zero.
  // ERROR_SUCCESS while a subkey exists at that index; ERROR_NO_MORE_ITEMS
  // past the last; ERROR_MORE_DATA when the name does not fit.
  virtual LONG RegEnumKeyExA(HKEY key, DWORD index, char* name,
                             DWORD* nameSize) = 0;
  // Reads value `valueName` (null or "" for the default value) of an open
  // key. On success *type is its type, data holds its bytes and *dataSize
  // their count (a text value's count includes its terminating zero).
  // ERROR_FILE_NOT_FOUND for a missing value; ERROR_MORE_DATA when it does
  // not fit in *dataSize bytes (the buffer is then undefined).
  virtual LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* type,
                                BYTE* data, DWORD* dataSize) = 0;
  // Deletes `subKey` below `key` together with every key below it, as
  // Windows 95 does. ERROR_SUCCESS, or an error code.
  virtual LONG RegDeleteKeyA(HKEY key, const char* subKey) = 0;
  // Closes an open key. ERROR_SUCCESS, or ERROR_INVALID_HANDLE.
  virtual LONG RegCloseKey(HKEY key) = 0;

  // ---- Files and folders ----

  // Folder paths without a trailing backslash, except a drive's root
  // ("A:\"). Return the length written (without the zero), or the size
  // needed (with the zero) when it does not fit in `size`, or 0 on failure.
  virtual UINT GetWindowsDirectoryA(char* buffer, UINT size) = 0;
  virtual UINT GetSystemDirectoryA(char* buffer, UINT size) = 0;
  virtual DWORD GetCurrentDirectoryA(DWORD size, char* buffer) = 0;
  // Copies a file; with failIfExists false an existing target is
  // overwritten. Nonzero on success, 0 on failure (GetLastError says why).
  virtual BOOL CopyFileA(const char* existing, const char* target,
                         BOOL failIfExists) = 0;
  // Nonzero when the file was deleted, 0 otherwise.
  virtual BOOL DeleteFileA(const char* path) = 0;
  // Only the OF_EXIST style is used: HFILE_ERROR (-1) when the file does not
  // exist, any other value when it does.
  virtual HFILE OpenFile(const char* path, UINT style) = 0;
  // Closes what OpenFile returned; for an existence test it does nothing.
  virtual HFILE _lclose(HFILE file) = 0;
  // String comparison, with and without regard to letter case: 0 when
  // equal, negative or positive like strcmp otherwise.
  virtual int lstrcmpA(const char* a, const char* b) = 0;
  virtual int lstrcmpiA(const char* a, const char* b) = 0;

  // ---- DOS text-mode files ----
  // Reading turns CR LF into LF and stops at a Ctrl-Z; writing turns every
  // LF into CR LF.

  // Opens a file; null on failure.
  virtual TextFile OpenTextFile(const char* path, TextMode mode) = 0;
  // Reads like fgets: at most bufferSize - 1 characters, stopping after a
  // line feed (which is kept), then a terminating zero. Returns the number
  // of characters read; 0 at end of file or on a read error.
  virtual std::size_t ReadTextLine(TextFile file, char* buffer,
                                   std::size_t bufferSize) = 0;
  // Writes text (up to its terminating zero). True when every character
  // reached the file, false on any write error.
  virtual bool WriteText(TextFile file, const char* text) = 0;
  // True once a read or a write on the file has failed (its error flag).
  // A read that returns 0 is the end of the file only when this is false.
  virtual bool TextFileFailed(TextFile file) = 0;
  // Closes the file. True when everything buffered was written.
  virtual bool CloseTextFile(TextFile file) = 0;

  // ---- User interface ----

  // A message box with the given buttons (MB_OK or MB_YESNO); returns the
  // button pressed (IDOK, IDYES, IDNO), or 0 when it could not be shown.
  // A null caption shows the system's default caption.
  virtual int MessageBoxA(HWND owner, const char* text, const char* caption,
                          UINT type) = 0;
  // Runs the program's own modal dialog `templateName` with no owner.
  // Returns the value given to EndDialog, or -1 when the dialog could not
  // be created.
  virtual INT_PTR DialogBoxParamA(const char* templateName, HWND owner,
                                  DialogProc procedure, void* context) = 0;
  // Checks radio button `check` and clears the others from first to last.
  virtual BOOL CheckRadioButton(HWND dialog, int first, int last,
                                int check) = 0;
  // Ends the modal dialog with `result` once its procedure returns.
  virtual BOOL EndDialog(HWND dialog, INT_PTR result) = 0;

  // ---- System ----

  // The Windows version word; kWin95FamilyBit set on the Windows 95 family.
  virtual DWORD GetVersion() = 0;
  virtual HANDLE GetCurrentProcess() = 0;
  // Nonzero on success with *token set; 0 on failure.
  virtual BOOL OpenProcessToken(HANDLE process, DWORD access,
                                HANDLE* token) = 0;
  // Nonzero on success with *luid set; 0 on failure.
  virtual BOOL LookupPrivilegeValueA(const char* systemName, const char* name,
                                     LUID* luid) = 0;
  // Nonzero when the call itself succeeded (even if the privilege was not
  // granted), 0 on failure.
  virtual BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll,
                                     const TOKEN_PRIVILEGES* newState) = 0;
  // The error code of the last failed call.
  virtual DWORD GetLastError() = 0;
  // Asks Windows to restart. Nonzero when the request was accepted.
  virtual BOOL ExitWindowsEx(UINT flags, DWORD reserved) = 0;
  virtual void Sleep(DWORD milliseconds) = 0;
  virtual void OutputDebugStringA(const char* text) = 0;
  // Ends the process with the exit code; never returns.
  [[noreturn]] virtual void ExitProcess(UINT exitCode) = 0;

  // ---- Hardware: the PCI configuration port pair ----

  // 32-bit port write / read. False when the processor refused the access
  // (the NT family does not let a program touch ports): nothing happened.
  virtual bool WritePortDword(std::uint16_t port, std::uint32_t value) = 0;
  virtual bool ReadPortDword(std::uint16_t port, std::uint32_t* value) = 0;
};

}  // namespace ide
