// The state of a SimulatedMachine, shared by the files that implement its
// parts: the machine folder (machine_folder.cpp), files and paths
// (simulated_files.cpp), and everything else (simulated_machine.cpp).
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/simulated_machine.h"

namespace ide {

// Errors the simulated calls report that the setup itself never names.
constexpr DWORD kErrorSharingViolation = 32;
constexpr DWORD kErrorFileExists = 80;
constexpr DWORD kErrorCallNotImplemented = 120;
constexpr DWORD kErrorInvalidName = 123;
constexpr DWORD kErrorFilenameExcedRange = 206;

// Longest path the file functions take, without its terminating zero.
constexpr std::size_t kMaxPathLength = 259;
// OpenFile keeps the path in its OFSTRUCT, which has room for less.
constexpr std::size_t kMaxOpenFilePathLength = 127;
constexpr DWORD kErrorNotAllAssigned = 1300;
constexpr DWORD kErrorNoSuchPrivilege = 1313;
constexpr DWORD kErrorInvalidWindowHandle = 1400;
constexpr DWORD kErrorResourceNameNotFound = 1814;

// Where a Windows path leads on the host.
struct ResolvedPath {
  DWORD error = 0;  // 0, or why the path cannot lead anywhere
  std::filesystem::path host;  // existing parts in their stored case
  std::string windows;         // canonical "C:\DIR\NAME"
  bool exists = false;
  bool isFolder = false;
  bool parentExists = false;  // the folder that would hold it exists
};

struct OpenTextFileState {
  std::FILE* stream = nullptr;
  TextMode mode = TextMode::Read;
  std::string windowsPath;  // as the caller gave it
  std::filesystem::path host;
  bool atEnd = false;       // Ctrl-Z or end of file seen
  std::int64_t written = 0; // bytes in the file so far (write mode)
  bool full = false;        // a byte-limit fault was hit
  bool failed = false;      // a read or write failed (the error flag)
};

struct FaultState {
  Fault fault;
  int matched = 0;
};

struct SimulatedMachine::Impl {
  MachineConfig config;
  Registry registry;
  std::filesystem::path workRoot;  // private temporary folder
  std::filesystem::path drivesRoot;

  std::vector<MachineEvent> events;
  std::function<void(const MachineEvent&)> listener;
  std::function<int(const MessageBoxRequest&)> answerer;
  std::function<std::vector<int>()> clicks;

  std::vector<FaultState> faults;
  std::map<std::string, int> callCounts;
  DWORD lastError = 0;

  struct OpenKey {
    std::string path;      // parts joined by one backslash
    bool deleted = false;  // the key (or one above it) was deleted
  };
  std::map<std::uintptr_t, OpenKey> openKeys;
  std::uintptr_t nextKey = 0x1000;
  // Handles are numbers never given out twice, so a stale one cannot reach
  // a file opened later.
  std::map<TextFileTag*, std::unique_ptr<OpenTextFileState>> textFiles;
  std::uintptr_t nextTextFile = 0x3000;

  // The one modal dialog that can be open.
  HWND dialog = nullptr;
  bool dialogEnded = false;
  INT_PTR dialogResult = 0;
  int checkedRadio = 0;

  std::map<std::uintptr_t, DWORD> tokens;  // handle -> access
  std::uintptr_t nextToken = 0x2000;
  bool shutdownPrivilegeEnabled = false;
  std::uint32_t pciAddress = 0;

  void Record(MachineEvent event);
  // Counts a call of a fallible operation and answers whether an injected
  // fault makes it fail (recorded, and GetLastError set).
  std::optional<DWORD> Fallible(std::string_view operation,
                                std::initializer_list<std::string_view> args);
  void Count(std::string_view operation);
  // The key an open handle (or LocalMachineKey()) stands for.
  const OpenKey* KeyOf(HKEY key) const;

  // Files (simulated_files.cpp).
  ResolvedPath Resolve(const std::string& windowsPath) const;
  bool IsOpenForText(const std::filesystem::path& host) const;
  void CloseAllTextFiles();
  void FlushTextFiles() const;
  // The state of an open text file; null (and ERROR_INVALID_HANDLE) for
  // anything else.
  OpenTextFileState* Text(TextFile file);
};

std::string FoldPathName(std::string_view name);

inline MachineEvent NewEvent(MachineEvent::Kind kind) {
  MachineEvent event;
  event.kind = kind;
  return event;
}

}  // namespace ide
