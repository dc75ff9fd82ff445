// The simulated machine's core: its private working folder, the event
// record, fault injection, the registry calls, the scripted user interface,
// the system calls and the PCI configuration ports.
#include "platform/simulated_machine.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <random>
#include <set>

#include "platform/registry_tree.h"
#include "platform/simulated_machine_impl.h"
#include "resources/dialog_ids.h"

namespace ide {
namespace fs = std::filesystem;

namespace {

// GetVersion words: Windows 95 (4.0, build 950) and an NT-family system
// (5.1, build 2600). Only the top bit matters to the setup.
constexpr DWORD kVersion95 = 0xC3B60004u;
constexpr DWORD kVersionNt = 0x0A280105u;

constexpr std::uint16_t kPciAddressPort = 0xCF8;
constexpr std::uint16_t kPciDataPort = 0xCFC;
constexpr std::uint32_t kPciEnableBit = 0x80000000u;
constexpr std::uint32_t kAllOnes = 0xFFFFFFFFu;

constexpr DWORD kShutdownPrivilegeLuid = 19;

// The one window handle the simulated dialog has.
HWND DialogHandle() {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x0D1A0));
}

HANDLE CurrentProcessHandle() {
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
}

std::string JoinKeyPath(const std::string& base, const char* subKey) {
  std::string joined = base;
  if (subKey) {
    for (const std::string& part : SplitRegistryPath(subKey)) {
      if (!joined.empty()) joined += "\\";
      joined += part;
    }
  }
  return joined;
}

// True when `path` is `top` or lies below it.
bool AtOrBelow(const std::string& path, const std::string& top) {
  const std::string p = FoldRegistryName(path);
  const std::string t = FoldRegistryName(top);
  return p == t || (p.size() > t.size() && p.compare(0, t.size(), t) == 0 &&
                    p[t.size()] == '\\');
}

bool ContainsFolded(std::string_view text, const std::string& part) {
  return FoldPathName(text).find(FoldPathName(part)) != std::string::npos;
}

std::string HexPort(std::uint16_t port) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(port));
  return text;
}

fs::path MakeWorkingFolder() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "ide-machine-%016llx",
                  static_cast<unsigned long long>(random()));
    std::error_code ec;
    if (fs::create_directory(base / name, ec)) return base / name;
  }
  throw MachineError("cannot make a working folder in " + base.string());
}

}  // namespace

// ---- Core ----

SimulatedMachine::SimulatedMachine() : impl_(std::make_unique<Impl>()) {
  impl_->workRoot = MakeWorkingFolder();
  impl_->drivesRoot = impl_->workRoot / "drives";
  fs::create_directory(impl_->drivesRoot);
}

SimulatedMachine::~SimulatedMachine() {
  impl_->CloseAllTextFiles();
  std::error_code ec;
  fs::remove_all(impl_->workRoot, ec);
}

MachineConfig& SimulatedMachine::config() { return impl_->config; }
const MachineConfig& SimulatedMachine::config() const { return impl_->config; }
Registry& SimulatedMachine::registry() { return impl_->registry; }
const Registry& SimulatedMachine::registry() const { return impl_->registry; }

void SimulatedMachine::Impl::Record(MachineEvent event) {
  events.push_back(std::move(event));
  if (listener) listener(events.back());
}

void SimulatedMachine::Impl::Count(std::string_view operation) {
  ++callCounts[std::string(operation)];
}

std::optional<DWORD> SimulatedMachine::Impl::Fallible(
    std::string_view operation, std::initializer_list<std::string_view> args) {
  assert(std::find(FallibleOperations().begin(), FallibleOperations().end(),
                   operation) != FallibleOperations().end());
  Count(operation);
  ++callCounts["*"];
  FaultState* hit = nullptr;
  for (FaultState& state : faults) {
    const Fault& fault = state.fault;
    if (fault.afterBytes >= 0) continue;  // a byte limit, see WriteText
    if (fault.operation != "*" && fault.operation != operation) continue;
    if (!fault.argument.empty() &&
        std::none_of(args.begin(), args.end(), [&](std::string_view arg) {
          return ContainsFolded(arg, fault.argument);
        })) {
      continue;
    }
    ++state.matched;
    if (!hit && (fault.occurrence == 0 || state.matched == fault.occurrence)) {
      hit = &state;
    }
  }
  if (!hit) return std::nullopt;
  lastError = hit->fault.error;
  MachineEvent event = NewEvent(MachineEvent::Kind::Fault);
  event.text = std::string(operation) + "(";
  bool first = true;
  for (std::string_view arg : args) {
    if (!first) event.text += ", ";
    event.text += arg;
    first = false;
  }
  event.text += ")";
  event.number = hit->fault.error;
  Record(std::move(event));
  return hit->fault.error;
}

const std::vector<std::string>& SimulatedMachine::FallibleOperations() {
  static const std::vector<std::string> kOperations = {
      "RegOpenKeyExA",        "RegEnumKeyExA",         "RegQueryValueExA",
      "RegDeleteKeyA",        "RegCloseKey",           "GetWindowsDirectoryA",
      "GetSystemDirectoryA",  "GetCurrentDirectoryA",  "CopyFileA",
      "DeleteFileA",          "OpenFile",              "OpenTextFile",
      "ReadTextLine",         "WriteText",             "CloseTextFile",
      "MessageBoxA",          "DialogBoxParamA",       "OpenProcessToken",
      "LookupPrivilegeValueA", "AdjustTokenPrivileges", "ExitWindowsEx",
      "WritePortDword",       "ReadPortDword"};
  return kOperations;
}

void SimulatedMachine::InjectFault(const Fault& fault) {
  const auto& operations = FallibleOperations();
  if (fault.operation != "*" &&
      std::find(operations.begin(), operations.end(), fault.operation) ==
          operations.end()) {
    throw std::invalid_argument("no fallible operation is called \"" +
                                fault.operation + "\"");
  }
  if (fault.occurrence < 0) {
    throw std::invalid_argument("a fault's occurrence counts from 1 (0: all)");
  }
  if (fault.afterBytes >= 0 && fault.operation != "WriteText" &&
      fault.operation != "*") {
    throw std::invalid_argument("a byte limit applies to WriteText only");
  }
  impl_->faults.push_back(FaultState{fault, 0});
}

int SimulatedMachine::CallCount(const std::string& operation) const {
  auto it = impl_->callCounts.find(operation);
  return it == impl_->callCounts.end() ? 0 : it->second;
}

const std::vector<MachineEvent>& SimulatedMachine::events() const {
  return impl_->events;
}

void SimulatedMachine::SetEventListener(
    std::function<void(const MachineEvent&)> listener) {
  impl_->listener = std::move(listener);
}

void SimulatedMachine::SetMessageBoxAnswerer(
    std::function<int(const MessageBoxRequest&)> answerer) {
  impl_->answerer = std::move(answerer);
}

void SimulatedMachine::SetDialogClicks(
    std::function<std::vector<int>()> clicks) {
  impl_->clicks = std::move(clicks);
}

int SimulatedMachine::CheckedRadioButton() const { return impl_->checkedRadio; }

int SimulatedMachine::RunProcess(const std::function<int()>& body) {
  // What the process leaves open, Windows closes when it ends; what was
  // open before it started (a test's own handles) stays open.
  const auto keysBefore = impl_->openKeys;
  const auto tokensBefore = impl_->tokens;
  std::set<TextFileTag*> filesBefore;
  for (const auto& [tag, state] : impl_->textFiles) filesBefore.insert(tag);
  auto endProcess = [&] {
    for (auto it = impl_->textFiles.begin(); it != impl_->textFiles.end();) {
      if (filesBefore.count(it->first) == 0) {
        std::fclose(it->second->stream);
        it = impl_->textFiles.erase(it);
      } else {
        ++it;
      }
    }
    std::erase_if(impl_->openKeys, [&](const auto& entry) {
      return keysBefore.count(entry.first) == 0;
    });
    std::erase_if(impl_->tokens, [&](const auto& entry) {
      return tokensBefore.count(entry.first) == 0;
    });
    impl_->dialog = nullptr;
    impl_->dialogEnded = false;
  };
  int code = 0;
  try {
    code = body();
  } catch (const SimulatedProcessExit& exit) {
    endProcess();
    return static_cast<int>(exit.exitCode);
  } catch (...) {
    endProcess();
    throw;
  }
  endProcess();
  MachineEvent event = NewEvent(MachineEvent::Kind::ProcessExit);
  event.number = code;
  impl_->Record(std::move(event));
  return code;
}

// ---- Registry ----

const SimulatedMachine::Impl::OpenKey* SimulatedMachine::Impl::KeyOf(
    HKEY key) const {
  static const OpenKey kLocalMachine{};
  if (key == LocalMachineKey()) return &kLocalMachine;
  auto it = openKeys.find(reinterpret_cast<std::uintptr_t>(key));
  return it == openKeys.end() ? nullptr : &it->second;
}

LONG SimulatedMachine::RegOpenKeyExA(HKEY key, const char* subKey,
                                     DWORD /*options*/, DWORD /*access*/,
                                     HKEY* result) {
  const Impl::OpenKey* base = impl_->KeyOf(key);
  const std::string path = JoinKeyPath(base ? base->path : "", subKey);
  if (auto error = impl_->Fallible("RegOpenKeyExA", {path})) {
    return static_cast<LONG>(*error);
  }
  if (!base) return ERROR_INVALID_HANDLE;
  if (base->deleted) return ERROR_KEY_DELETED;
  if (!result) return ERROR_INVALID_PARAMETER;
  if (!impl_->registry.KeyExists(path)) return ERROR_FILE_NOT_FOUND;
  const std::uintptr_t handle = impl_->nextKey;
  impl_->nextKey += 4;
  impl_->openKeys[handle] = Impl::OpenKey{path, false};
  *result = reinterpret_cast<HKEY>(handle);
  return ERROR_SUCCESS;
}

LONG SimulatedMachine::RegEnumKeyExA(HKEY key, DWORD index, char* name,
                                     DWORD* nameSize) {
  const Impl::OpenKey* open = impl_->KeyOf(key);
  if (auto error = impl_->Fallible(
          "RegEnumKeyExA", {open ? std::string_view(open->path) : ""})) {
    return static_cast<LONG>(*error);
  }
  if (!open) return ERROR_INVALID_HANDLE;
  if (open->deleted || !impl_->registry.KeyExists(open->path)) {
    return ERROR_KEY_DELETED;
  }
  if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
  const std::optional<std::string> subkey =
      impl_->registry.SubkeyAt(open->path, index);
  if (!subkey) return ERROR_NO_MORE_ITEMS;
  // The name and its terminating zero must fit.
  if (subkey->size() >= *nameSize) return ERROR_MORE_DATA;
  std::memcpy(name, subkey->c_str(), subkey->size() + 1);
  *nameSize = static_cast<DWORD>(subkey->size());
  return ERROR_SUCCESS;
}

LONG SimulatedMachine::RegQueryValueExA(HKEY key, const char* valueName,
                                        DWORD* type, BYTE* data,
                                        DWORD* dataSize) {
  const Impl::OpenKey* open = impl_->KeyOf(key);
  const std::string name = valueName ? valueName : "";
  if (auto error = impl_->Fallible(
          "RegQueryValueExA",
          {open ? std::string_view(open->path) : "", name})) {
    return static_cast<LONG>(*error);
  }
  if (!open) return ERROR_INVALID_HANDLE;
  if (open->deleted || !impl_->registry.KeyExists(open->path)) {
    return ERROR_KEY_DELETED;
  }
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  const std::optional<RegistryValue> value =
      impl_->registry.GetValue(open->path, name);
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (type) *type = value->type;
  const auto size = static_cast<DWORD>(value->data.size());
  if (data) {
    if (*dataSize < size) {
      *dataSize = size;
      return ERROR_MORE_DATA;
    }
    std::memcpy(data, value->data.data(), size);
  }
  if (dataSize) *dataSize = size;
  return ERROR_SUCCESS;
}

LONG SimulatedMachine::RegDeleteKeyA(HKEY key, const char* subKey) {
  const Impl::OpenKey* base = impl_->KeyOf(key);
  const std::string path = JoinKeyPath(base ? base->path : "", subKey);
  if (auto error = impl_->Fallible("RegDeleteKeyA", {path})) {
    return static_cast<LONG>(*error);
  }
  if (!base) return ERROR_INVALID_HANDLE;
  if (base->deleted) return ERROR_KEY_DELETED;
  // Deleting "" would delete the open key itself; the setup never asks for
  // that, and the root cannot go at all.
  if (!subKey || SplitRegistryPath(subKey).empty()) {
    return ERROR_INVALID_PARAMETER;
  }
  if (!impl_->registry.DeleteKey(path)) return ERROR_FILE_NOT_FOUND;
  // Handles to the deleted keys stay open but refuse further use.
  for (auto& [handle, open] : impl_->openKeys) {
    if (AtOrBelow(open.path, path)) open.deleted = true;
  }
  return ERROR_SUCCESS;
}

LONG SimulatedMachine::RegCloseKey(HKEY key) {
  const Impl::OpenKey* open = impl_->KeyOf(key);
  if (auto error = impl_->Fallible(
          "RegCloseKey", {open ? std::string_view(open->path) : ""})) {
    return static_cast<LONG>(*error);
  }
  if (key == LocalMachineKey()) return ERROR_SUCCESS;
  if (!open) return ERROR_INVALID_HANDLE;
  impl_->openKeys.erase(reinterpret_cast<std::uintptr_t>(key));
  return ERROR_SUCCESS;
}

// ---- User interface ----

namespace {

// The answers a message box of each button set can give.
std::vector<int> AnswersFor(UINT type) {
  switch (type & 0xF) {
    case 0: return {IDOK};
    case 1: return {IDOK, IDCANCEL};
    case 2: return {3, 4, 5};  // Abort, Retry, Ignore
    case 3: return {IDYES, IDNO, IDCANCEL};
    case 4: return {IDYES, IDNO};
    case 5: return {4, IDCANCEL};  // Retry, Cancel
    default: return {};
  }
}

}  // namespace

int SimulatedMachine::MessageBoxA(HWND /*owner*/, const char* text,
                                  const char* caption, UINT type) {
  if (impl_->Fallible("MessageBoxA", {text ? text : "", caption ? caption : ""})) {
    return 0;
  }
  MessageBoxRequest request;
  request.text = text ? text : "";
  request.hasCaption = caption != nullptr;
  request.caption = caption ? caption : "";
  request.type = type;
  const std::vector<int> allowed = AnswersFor(type);
  if (allowed.empty()) {
    impl_->lastError = static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int answer = allowed.front();  // OK, or Yes
  if (impl_->answerer) answer = impl_->answerer(request);
  if (std::find(allowed.begin(), allowed.end(), answer) == allowed.end()) {
    throw MachineError("the scripted answer " + std::to_string(answer) +
                       " is not a button of the message box \"" +
                       request.text + "\"");
  }
  MachineEvent event = NewEvent(MachineEvent::Kind::MessageBox);
  event.text = request.text;
  event.caption = request.caption;
  event.hasCaption = request.hasCaption;
  event.buttons = type;
  event.answer = answer;
  impl_->Record(std::move(event));
  return answer;
}

INT_PTR SimulatedMachine::DialogBoxParamA(const char* templateName,
                                          HWND /*owner*/, DialogProc procedure,
                                          void* context) {
  const std::string name = templateName ? templateName : "";
  auto failed = [&](DWORD error) -> INT_PTR {
    impl_->lastError = error;
    MachineEvent event = NewEvent(MachineEvent::Kind::DialogFailed);
    event.text = name;
    impl_->Record(std::move(event));
    return -1;
  };
  if (auto error = impl_->Fallible("DialogBoxParamA", {name})) {
    return failed(*error);
  }
  // The program's resources hold this one dialog; resource names compare
  // without regard to case.
  if (FoldPathName(name) != FoldPathName(IDE_DIALOG_COMPLETE_NAME)) {
    return failed(kErrorResourceNameNotFound);
  }
  if (!procedure || impl_->dialog) {
    return failed(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  impl_->dialog = DialogHandle();
  impl_->dialogEnded = false;
  impl_->dialogResult = 0;
  struct CloseOnLeave {
    Impl& impl;
    ~CloseOnLeave() {
      impl.dialog = nullptr;
      impl.dialogEnded = false;
    }
  } closeOnLeave{*impl_};

  MachineEvent opened = NewEvent(MachineEvent::Kind::DialogOpened);
  opened.text = name;
  impl_->Record(std::move(opened));
  procedure(context, impl_->dialog, WM_INITDIALOG, 0, 0);
  if (!impl_->dialogEnded) {
    const std::vector<int> clicks =
        impl_->clicks ? impl_->clicks() : std::vector<int>{IDC_FINISH};
    for (int id : clicks) {
      MachineEvent click = NewEvent(MachineEvent::Kind::DialogCommand);
      click.number = id;
      impl_->Record(std::move(click));
      // The radio buttons are automatic: Windows checks the clicked one
      // before the procedure hears of it.
      if (id == IDC_RESTART_NOW || id == IDC_RESTART_LATER) {
        impl_->checkedRadio = id;
      }
      procedure(context, impl_->dialog, WM_COMMAND, static_cast<WPARAM>(id), 0);
      if (impl_->dialogEnded) break;
    }
  }
  if (!impl_->dialogEnded) {
    throw MachineError("the dialog " + name +
                       " is still open after the scripted clicks");
  }
  MachineEvent ended = NewEvent(MachineEvent::Kind::DialogEnded);
  ended.number = impl_->dialogResult;
  impl_->Record(std::move(ended));
  return impl_->dialogResult;
}

BOOL SimulatedMachine::CheckRadioButton(HWND dialog, int /*first*/,
                                        int /*last*/, int check) {
  impl_->Count("CheckRadioButton");
  if (!impl_->dialog || dialog != impl_->dialog) {
    impl_->lastError = kErrorInvalidWindowHandle;
    return kFalse;
  }
  impl_->checkedRadio = check;
  MachineEvent event = NewEvent(MachineEvent::Kind::RadioChecked);
  event.number = check;
  impl_->Record(std::move(event));
  return kTrue;
}

BOOL SimulatedMachine::EndDialog(HWND dialog, INT_PTR result) {
  impl_->Count("EndDialog");
  if (!impl_->dialog || dialog != impl_->dialog) {
    impl_->lastError = kErrorInvalidWindowHandle;
    return kFalse;
  }
  impl_->dialogEnded = true;
  impl_->dialogResult = result;
  return kTrue;
}

// ---- System ----

DWORD SimulatedMachine::GetVersion() {
  impl_->Count("GetVersion");
  return impl_->config.family == WindowsFamily::Win95 ? kVersion95 : kVersionNt;
}

HANDLE SimulatedMachine::GetCurrentProcess() {
  impl_->Count("GetCurrentProcess");
  return CurrentProcessHandle();
}

BOOL SimulatedMachine::OpenProcessToken(HANDLE process, DWORD access,
                                        HANDLE* token) {
  if (impl_->Fallible("OpenProcessToken", {})) return kFalse;
  // Windows 95 has no security: the token functions are not implemented.
  if (impl_->config.family == WindowsFamily::Win95) {
    impl_->lastError = kErrorCallNotImplemented;
    return kFalse;
  }
  if (process != CurrentProcessHandle()) {
    impl_->lastError = static_cast<DWORD>(ERROR_INVALID_HANDLE);
    return kFalse;
  }
  if (!token) {
    impl_->lastError = static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    return kFalse;
  }
  const std::uintptr_t handle = impl_->nextToken;
  impl_->nextToken += 4;
  impl_->tokens[handle] = access;
  *token = reinterpret_cast<HANDLE>(handle);
  return kTrue;
}

BOOL SimulatedMachine::LookupPrivilegeValueA(const char* systemName,
                                             const char* name, LUID* luid) {
  if (impl_->Fallible("LookupPrivilegeValueA", {name ? name : ""})) {
    return kFalse;
  }
  if (impl_->config.family == WindowsFamily::Win95) {
    impl_->lastError = kErrorCallNotImplemented;
    return kFalse;
  }
  if ((systemName && *systemName) || !name || !luid) {
    impl_->lastError = static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    return kFalse;
  }
  if (FoldPathName(name) != FoldPathName(SE_SHUTDOWN_NAME)) {
    impl_->lastError = kErrorNoSuchPrivilege;
    return kFalse;
  }
  luid->LowPart = kShutdownPrivilegeLuid;
  luid->HighPart = 0;
  return kTrue;
}

BOOL SimulatedMachine::AdjustTokenPrivileges(HANDLE token, BOOL disableAll,
                                             const TOKEN_PRIVILEGES* newState) {
  if (impl_->Fallible("AdjustTokenPrivileges", {})) return kFalse;
  if (impl_->config.family == WindowsFamily::Win95) {
    impl_->lastError = kErrorCallNotImplemented;
    return kFalse;
  }
  auto it = impl_->tokens.find(reinterpret_cast<std::uintptr_t>(token));
  if (it == impl_->tokens.end()) {
    impl_->lastError = static_cast<DWORD>(ERROR_INVALID_HANDLE);
    return kFalse;
  }
  if ((it->second & TOKEN_ADJUST_PRIVILEGES) == 0) {
    impl_->lastError = static_cast<DWORD>(ERROR_ACCESS_DENIED);
    return kFalse;
  }
  if (disableAll) {
    impl_->shutdownPrivilegeEnabled = false;
    impl_->lastError = ERROR_SUCCESS;
    return kTrue;
  }
  // The structure has room for one privilege; more would be read past it.
  if (!newState || newState->PrivilegeCount > 1) {
    impl_->lastError = static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    return kFalse;
  }
  // Success of the call says nothing about the privilege being granted:
  // GetLastError tells, as on Windows.
  impl_->lastError = ERROR_SUCCESS;
  if (newState->PrivilegeCount == 1) {
    const LUID_AND_ATTRIBUTES& privilege = newState->Privileges[0];
    const bool isShutdown = privilege.Luid.LowPart == kShutdownPrivilegeLuid &&
                            privilege.Luid.HighPart == 0;
    const bool enable = (privilege.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    if (!isShutdown || (enable && !impl_->config.shutdownPrivilegeHeld)) {
      impl_->lastError = kErrorNotAllAssigned;
    } else {
      impl_->shutdownPrivilegeEnabled = enable;
    }
  }
  return kTrue;
}

DWORD SimulatedMachine::GetLastError() {
  impl_->Count("GetLastError");
  return impl_->lastError;
}

BOOL SimulatedMachine::ExitWindowsEx(UINT flags, DWORD /*reserved*/) {
  MachineEvent event = NewEvent(MachineEvent::Kind::RestartRequested);
  event.number = flags;
  bool accepted = true;
  if (impl_->Fallible("ExitWindowsEx", {})) {
    accepted = false;
  } else if (impl_->config.family == WindowsFamily::NT &&
             !impl_->shutdownPrivilegeEnabled) {
    impl_->lastError = static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD);
    accepted = false;
  }
  event.answer = accepted ? 1 : 0;
  impl_->Record(std::move(event));
  return accepted ? kTrue : kFalse;
}

void SimulatedMachine::Sleep(DWORD milliseconds) {
  impl_->Count("Sleep");
  MachineEvent event = NewEvent(MachineEvent::Kind::Sleep);
  event.number = milliseconds;
  impl_->Record(std::move(event));
}

void SimulatedMachine::OutputDebugStringA(const char* text) {
  impl_->Count("OutputDebugStringA");
  MachineEvent event = NewEvent(MachineEvent::Kind::DebugOutput);
  event.text = text ? text : "";
  impl_->Record(std::move(event));
}

void SimulatedMachine::ExitProcess(UINT exitCode) {
  impl_->Count("ExitProcess");
  MachineEvent event = NewEvent(MachineEvent::Kind::ProcessExit);
  event.number = exitCode;
  impl_->Record(std::move(event));
  throw SimulatedProcessExit{exitCode};
}

// ---- PCI configuration mechanism 1 ----

bool SimulatedMachine::WritePortDword(std::uint16_t port, std::uint32_t value) {
  if (impl_->Fallible("WritePortDword", {HexPort(port)})) return false;
  // The NT family does not let a program touch ports: the access faults.
  if (impl_->config.family == WindowsFamily::NT) return false;
  if (port == kPciAddressPort) impl_->pciAddress = value;
  // Writes to the data port or elsewhere change nothing this machine models.
  return true;
}

bool SimulatedMachine::ReadPortDword(std::uint16_t port, std::uint32_t* value) {
  if (impl_->Fallible("ReadPortDword", {HexPort(port)})) return false;
  if (impl_->config.family == WindowsFamily::NT) return false;
  if (!value) return false;
  if (port == kPciAddressPort) {
    *value = impl_->pciAddress;
    return true;
  }
  *value = kAllOnes;  // nothing answers: the bus floats high
  if (port != kPciDataPort) return true;
  const std::uint32_t address = impl_->pciAddress;
  const std::uint32_t bus = (address >> 16) & 0xFF;
  const int device = static_cast<int>((address >> 11) & 0x1F);
  const std::uint32_t function = (address >> 8) & 0x7;
  const std::uint32_t reg = address & 0xFC;
  if ((address & kPciEnableBit) == 0 || bus != 0 || function != 0 || reg != 0) {
    return true;
  }
  auto it = impl_->config.pci.find(device);
  if (it != impl_->config.pci.end()) *value = it->second;
  return true;
}

}  // namespace ide
