// SimulatedMachine: a whole Windows machine as the setup sees it, for
// idesetup and the tests. It is loaded from a machine folder:
//
//   machine.ini    [system] windows=, system=, current=, version=95|nt
//                  [pci]    DEVICE=VVVV:DDDD   (device 0-31 on bus 0, hex IDs)
//   registry.reg   HKEY_LOCAL_MACHINE in REGEDIT4 text (the 5.00 UTF-16
//                  form is read too)
//   drives/<letter>/...   one folder per drive letter
//
// The machine folder itself is never changed: the drives are copied into a
// private working folder that the run changes and that SaveTo() writes out.
// File and folder names are matched without regard to case, as Windows does.
//
// Everything a person would see (message boxes, the dialog, debug output,
// the wait, the restart request, the exit) is recorded as events in order.
// Any operation can be made to fail on request (InjectFault), so tests can
// show what the setup does when Windows refuses something.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform_services.h"
#include "platform/registry.h"

namespace ide {

// A machine folder (or a file in it) that cannot be used; what() names the
// file and, where there is one, the line: "registry.reg:12: ...".
class MachineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class WindowsFamily { Win95, NT };

// machine.ini, with every key's default.
struct MachineConfig {
  std::string windowsDir = "C:\\WINDOWS";
  std::string systemDir = "C:\\WINDOWS\\SYSTEM";
  std::string currentDir = "A:\\";
  WindowsFamily family = WindowsFamily::Win95;
  // Device number (0-31) -> configuration dword 0 (device ID << 16 | vendor
  // ID). A slot not listed reads as all ones.
  std::map<int, std::uint32_t> pci;
  // Whether the account may restart the machine on the NT family. When it
  // may not, AdjustTokenPrivileges still succeeds and ExitWindowsEx fails
  // with ERROR_PRIVILEGE_NOT_HELD.
  bool shutdownPrivilegeHeld = true;
};

// What the setup asked in a message box.
struct MessageBoxRequest {
  std::string text;
  std::string caption;  // empty when hasCaption is false
  bool hasCaption = false;
  UINT type = MB_OK;
};

// One thing a person would have seen, in the order it happened.
struct MachineEvent {
  enum class Kind {
    MessageBox,     // caption/text/buttons; answer = button pressed
    DialogOpened,   // text = template name
    DialogCommand,  // number = control id clicked
    RadioChecked,   // number = control id the procedure checked (a click
                    // on an automatic radio button checks it silently)
    DialogEnded,    // number = EndDialog's value
    DialogFailed,   // the dialog could not be created
    DebugOutput,    // text
    Sleep,          // number = milliseconds
    RestartRequested,  // number = ExitWindowsEx flags; answer = 1 if accepted
    Fault,          // text = operation and argument of an injected failure
    ProcessExit,    // number = exit code
  };
  Kind kind;
  std::string text;
  std::string caption;
  bool hasCaption = false;
  UINT buttons = 0;
  int answer = 0;
  std::int64_t number = 0;
};

// One line of transcript for an event, as idesetup prints it.
std::string DescribeEvent(const MachineEvent& event);

// A failure to inject. The Nth call of `operation` whose argument matches
// fails with `error` (the call's result code, or what GetLastError then
// reports).
struct Fault {
  // A PlatformServices method name ("CopyFileA", "DeleteFileA",
  // "RegDeleteKeyA", "OpenTextFile", "WriteText", "CloseTextFile",
  // "MessageBoxA", "DialogBoxParamA", "OpenProcessToken", "ExitWindowsEx",
  // ...), or "*" for any operation that can fail.
  std::string operation;
  // When not empty, only calls with a path, key path or value name argument
  // containing this text (without regard to case) count.
  std::string argument;
  // Which matching call fails, from 1; 0 fails every matching call.
  int occurrence = 1;
  DWORD error = static_cast<DWORD>(ERROR_ACCESS_DENIED);
  // WriteText only: the file accepts this many bytes in all (a full disk);
  // the write that would pass the limit writes what fits and fails, and so
  // does every later write to that file. -1: not a byte limit.
  // The limit holds for every file whose path matches `argument` (bytes as
  // stored, CR LF counted as two); `occurrence` plays no part in it, and
  // such a fault never fails a call of another operation.
  std::int64_t afterBytes = -1;
};

// A file's path relative to the drives folder ("c/WINDOWS/INF/MSHDC.INF",
// in the case stored) -> its bytes; and the registry. Used to compare a
// machine before and after a run.
struct MachineSnapshot {
  std::map<std::string, std::string> files;
  Registry registry;

  bool operator==(const MachineSnapshot&) const = default;
};

// Thrown by ExitProcess inside RunProcess; never escapes RunProcess.
struct SimulatedProcessExit {
  UINT exitCode;
};

class SimulatedMachine : public PlatformServices {
 public:
  // An empty machine with default settings, no files and an empty registry.
  SimulatedMachine();
  // Loads a machine folder. Throws MachineError.
  static std::unique_ptr<SimulatedMachine> Load(
      const std::filesystem::path& machineFolder);
  ~SimulatedMachine() override;
  SimulatedMachine(const SimulatedMachine&) = delete;
  SimulatedMachine& operator=(const SimulatedMachine&) = delete;

  // Writes the machine as it stands (machine.ini, registry.reg, drives/)
  // into a folder, creating it. Throws MachineError.
  void SaveTo(const std::filesystem::path& folder) const;

  MachineConfig& config();
  const MachineConfig& config() const;
  Registry& registry();
  const Registry& registry() const;

  // Files, by Windows path ("C:\WINDOWS\INF\MSHDC.INF"), bytes as stored.
  // PutFile creates missing folders; MakeFolder makes one folder path.
  void PutFile(const std::string& windowsPath, const std::string& bytes);
  void MakeFolder(const std::string& windowsPath);
  std::optional<std::string> FileBytes(const std::string& windowsPath) const;
  bool FileExists(const std::string& windowsPath) const;
  // Where the drives live on the host, e.g. for a test that needs a big
  // file without holding it in memory. Host path of a Windows path; the
  // path need not exist.
  std::filesystem::path HostPath(const std::string& windowsPath) const;

  MachineSnapshot Snapshot() const;

  // The scripted user. By default MB_OK is answered OK and MB_YESNO Yes,
  // and the dialog gets only a click on Finish (1027).
  void SetMessageBoxAnswerer(
      std::function<int(const MessageBoxRequest&)> answerer);
  // Called when the dialog opens; returns the control ids the user clicks,
  // in order. Each is sent to the dialog procedure as WM_COMMAND. If the
  // clicks run out before the dialog ended, MachineError is thrown (the
  // real dialog would still be waiting).
  void SetDialogClicks(std::function<std::vector<int>()> clicks);

  // Throws std::invalid_argument for an operation that cannot fail (or is
  // misspelt), a negative occurrence, or a byte limit on anything but
  // WriteText.
  void InjectFault(const Fault& fault);
  // The operations a Fault can name, besides "*".
  static const std::vector<std::string>& FallibleOperations();
  // How often an operation was called so far ("*" counts every fallible
  // operation).
  int CallCount(const std::string& operation) const;

  const std::vector<MachineEvent>& events() const;
  // Called for every event as it happens (idesetup prints the transcript).
  void SetEventListener(std::function<void(const MachineEvent&)> listener);

  // The radio button the dialog shows checked (0 before any).
  int CheckedRadioButton() const;
  // Runs a program body as a process on this machine: returns its exit
  // code, whether it returns or calls ExitProcess. Records ProcessExit.
  int RunProcess(const std::function<int()>& body);

  // ---- PlatformServices ----
  LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options,
                     DWORD access, HKEY* result) override;
  LONG RegEnumKeyExA(HKEY key, DWORD index, char* name,
                     DWORD* nameSize) override;
  LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* type,
                        BYTE* data, DWORD* dataSize) override;
  LONG RegDeleteKeyA(HKEY key, const char* subKey) override;
  LONG RegCloseKey(HKEY key) override;
  UINT GetWindowsDirectoryA(char* buffer, UINT size) override;
  UINT GetSystemDirectoryA(char* buffer, UINT size) override;
  DWORD GetCurrentDirectoryA(DWORD size, char* buffer) override;
  BOOL CopyFileA(const char* existing, const char* target,
                 BOOL failIfExists) override;
  BOOL DeleteFileA(const char* path) override;
  HFILE OpenFile(const char* path, UINT style) override;
  HFILE _lclose(HFILE file) override;
  int lstrcmpA(const char* a, const char* b) override;
  int lstrcmpiA(const char* a, const char* b) override;
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
  bool WritePortDword(std::uint16_t port, std::uint32_t value) override;
  bool ReadPortDword(std::uint16_t port, std::uint32_t* value) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ide
