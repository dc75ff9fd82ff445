// Files and folders of the simulated machine: Windows paths mapped into the
// drive folders (names matched without regard to case, ".." held at the
// drive's root), the file calls, and DOS text-mode files streamed to and
// from real host files.
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/simulated_machine_impl.h"

namespace ide {
namespace fs = std::filesystem;

namespace {

constexpr char kCtrlZ = 0x1A;  // ends a DOS text file when read
constexpr HFILE kExistsHandle = 1;

struct PathParts {
  DWORD error = 0;
  char drive = 0;  // upper case
  std::vector<std::string> names;
};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

void AppendNames(std::string_view rest, std::vector<std::string>& names) {
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find('\\', start);
    if (end == std::string_view::npos) end = rest.size();
    std::string_view name = rest.substr(start, end - start);
    if (name == "..") {
      // Windows holds ".." at the root of the drive.
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != ".") {
      names.emplace_back(name);
    }
    start = end + 1;
  }
}

// Splits a Windows path into drive and names, resolving relative paths
// against the current folder. Forward slashes count as separators.
PathParts SplitWindowsPath(const std::string& input,
                           const std::string& currentDir) {
  PathParts parts;
  std::string path = input;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.empty()) {
    parts.error = static_cast<DWORD>(ERROR_PATH_NOT_FOUND);
    return parts;
  }
  for (std::size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    const bool driveColon = i == 1 && c == ':' && IsLetter(path[0]);
    if (c < 0x20 || std::strchr("<>\"|?*", c) != nullptr ||
        (c == ':' && !driveColon)) {
      parts.error = kErrorInvalidName;
      return parts;
    }
  }
  // Windows drops dots and spaces at the end of the last name: "mshdc.inf "
  // is "mshdc.inf". A last name of dots alone ("..") keeps its meaning.
  const std::size_t lastStart = path.rfind('\\') + 1;
  const std::string_view lastName = std::string_view(path).substr(lastStart);
  if (lastName.find_first_not_of(". ") != std::string_view::npos) {
    path.erase(path.find_last_not_of(". ") + 1);
  }
  PathParts current;
  if (currentDir.size() >= 2 && currentDir[1] == ':' && IsLetter(currentDir[0])) {
    current.drive = Upper(currentDir[0]);
    AppendNames(std::string_view(currentDir).substr(2), current.names);
  }
  if (path.size() >= 2 && path[1] == ':') {
    parts.drive = Upper(path[0]);
    std::string_view rest = std::string_view(path).substr(2);
    if ((rest.empty() || rest[0] != '\\') && parts.drive == current.drive) {
      parts.names = current.names;  // "A:name" is relative on its drive
    }
    AppendNames(rest, parts.names);
  } else if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    parts.error = static_cast<DWORD>(ERROR_PATH_NOT_FOUND);  // no network
  } else if (path[0] == '\\') {
    parts.drive = current.drive;
    AppendNames(path, parts.names);
  } else {
    parts.drive = current.drive;
    parts.names = current.names;
    AppendNames(path, parts.names);
  }
  if (parts.error == 0 && parts.drive == 0) {
    parts.error = static_cast<DWORD>(ERROR_PATH_NOT_FOUND);
  }
  return parts;
}

// The entry of `folder` named `name` without regard to case; an exact match
// wins over others.
std::optional<fs::path> FindEntry(const fs::path& folder,
                                  const std::string& name) {
  std::error_code ec;
  if (fs::exists(folder / name, ec)) {
    // Still look for the stored spelling: the host may compare exactly.
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      if (entry.path().filename().string() == name) return entry.path();
    }
  }
  const std::string wanted = FoldPathName(name);
  std::optional<fs::path> found;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string stored = entry.path().filename().string();
    if (FoldPathName(stored) == wanted) {
      if (!found || stored < found->filename().string()) found = entry.path();
    }
  }
  return found;
}

// The Windows calls refuse paths longer than Windows takes; the machine's
// own contents (PutFile and friends) may hold longer ones, as a real disk
// can.
enum class Limits { Windows, None };

ResolvedPath ResolveIn(const fs::path& drivesRoot, const MachineConfig& config,
                       const std::string& windowsPath, bool createFolders,
                       Limits limits = Limits::None) {
  ResolvedPath result;
  if (limits == Limits::Windows && windowsPath.size() > kMaxPathLength) {
    result.error = kErrorFilenameExcedRange;
    return result;
  }
  const PathParts parts = SplitWindowsPath(windowsPath, config.currentDir);
  if (parts.error != 0) {
    result.error = parts.error;
    return result;
  }
  std::error_code ec;
  fs::path host = drivesRoot / std::string(1, Lower(parts.drive));
  result.windows = std::string(1, parts.drive) + ":\\";
  if (createFolders) fs::create_directories(host, ec);
  bool reachable = fs::is_directory(host, ec);
  if (!reachable) result.error = static_cast<DWORD>(ERROR_PATH_NOT_FOUND);
  for (std::size_t i = 0; i < parts.names.size(); ++i) {
    const bool last = i + 1 == parts.names.size();
    const std::string& name = parts.names[i];
    std::optional<fs::path> entry;
    if (reachable) entry = FindEntry(host, name);
    if (entry) {
      host = *entry;
    } else {
      host /= name;
    }
    if (i > 0) result.windows += "\\";
    result.windows += host.filename().string();
    if (last) break;
    if (reachable && !entry && createFolders) {
      fs::create_directory(host, ec);
    }
    if (reachable && !fs::is_directory(host, ec)) {
      reachable = false;
      result.error = static_cast<DWORD>(ERROR_PATH_NOT_FOUND);
    }
  }
  result.host = host;
  // A relative path may grow past the limit once the current folder is put
  // in front of it.
  if (limits == Limits::Windows && result.windows.size() > kMaxPathLength) {
    result.error = kErrorFilenameExcedRange;
    reachable = false;
  }
  result.parentExists = reachable;
  if (!reachable) return result;
  fs::file_status status = fs::status(host, ec);
  result.exists = !ec && fs::exists(status);
  result.isFolder = result.exists && fs::is_directory(status);
  return result;
}

// Why a file that should be there is not usable as one.
DWORD MissingFileError(const ResolvedPath& path) {
  if (path.error != 0) return path.error;
  if (!path.exists) return static_cast<DWORD>(ERROR_FILE_NOT_FOUND);
  if (path.isFolder) return static_cast<DWORD>(ERROR_ACCESS_DENIED);
  return 0;
}

UINT CopyFolderPath(const std::string& text, char* buffer, UINT size) {
  const auto length = static_cast<UINT>(text.size());
  if (buffer == nullptr || size <= length) return length + 1;
  std::memcpy(buffer, text.c_str(), length + 1);
  return length;
}

}  // namespace

std::string FoldPathName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = Upper(c);
  return folded;
}

ResolvedPath SimulatedMachine::Impl::Resolve(
    const std::string& windowsPath) const {
  return ResolveIn(drivesRoot, config, windowsPath, false, Limits::Windows);
}

bool SimulatedMachine::Impl::IsOpenForText(const fs::path& host) const {
  std::error_code ec;
  for (const auto& [tag, state] : textFiles) {
    if (fs::equivalent(state->host, host, ec)) return true;
  }
  return false;
}

void SimulatedMachine::Impl::CloseAllTextFiles() {
  for (auto& [tag, state] : textFiles) {
    if (state->stream) std::fclose(state->stream);
  }
  textFiles.clear();
}

// ---- Machine contents, for tests and idesetup ----

void SimulatedMachine::PutFile(const std::string& windowsPath,
                               const std::string& bytes) {
  ResolvedPath path = ResolveIn(impl_->drivesRoot, impl_->config, windowsPath, true);
  if (path.error != 0 || path.isFolder) {
    throw MachineError("cannot put a file at \"" + windowsPath + "\"");
  }
  std::ofstream out(path.host, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw MachineError("cannot write \"" + path.host.string() + "\"");
}

void SimulatedMachine::MakeFolder(const std::string& windowsPath) {
  ResolvedPath path = ResolveIn(impl_->drivesRoot, impl_->config, windowsPath, true);
  std::error_code ec;
  if (path.error == 0 && !path.exists) fs::create_directory(path.host, ec);
  if (path.error != 0 || !fs::is_directory(path.host, ec)) {
    throw MachineError("cannot make the folder \"" + windowsPath + "\"");
  }
}

std::optional<std::string> SimulatedMachine::FileBytes(
    const std::string& windowsPath) const {
  ResolvedPath path =
      ResolveIn(impl_->drivesRoot, impl_->config, windowsPath, false);
  if (MissingFileError(path) != 0) return std::nullopt;
  std::ifstream in(path.host, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool SimulatedMachine::FileExists(const std::string& windowsPath) const {
  return MissingFileError(
             ResolveIn(impl_->drivesRoot, impl_->config, windowsPath, false)) == 0;
}

fs::path SimulatedMachine::HostPath(const std::string& windowsPath) const {
  ResolvedPath path =
      ResolveIn(impl_->drivesRoot, impl_->config, windowsPath, false);
  if (path.host.empty()) {
    throw MachineError("\"" + windowsPath + "\" is not a path on a drive");
  }
  return path.host;
}

// ---- Folders ----

UINT SimulatedMachine::GetWindowsDirectoryA(char* buffer, UINT size) {
  if (impl_->Fallible("GetWindowsDirectoryA", {})) return 0;
  return CopyFolderPath(impl_->config.windowsDir, buffer, size);
}

UINT SimulatedMachine::GetSystemDirectoryA(char* buffer, UINT size) {
  if (impl_->Fallible("GetSystemDirectoryA", {})) return 0;
  return CopyFolderPath(impl_->config.systemDir, buffer, size);
}

DWORD SimulatedMachine::GetCurrentDirectoryA(DWORD size, char* buffer) {
  if (impl_->Fallible("GetCurrentDirectoryA", {})) return 0;
  return CopyFolderPath(impl_->config.currentDir, buffer, size);
}

// ---- File calls ----

BOOL SimulatedMachine::CopyFileA(const char* existing, const char* target,
                                 BOOL failIfExists) {
  if (impl_->Fallible("CopyFileA", {existing ? existing : "",
                                    target ? target : ""})) {
    return kFalse;
  }
  auto fail = [&](DWORD error) {
    impl_->lastError = error;
    return kFalse;
  };
  if (!existing || !target) return fail(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  const ResolvedPath source = impl_->Resolve(existing);
  if (DWORD error = MissingFileError(source)) return fail(error);
  const ResolvedPath destination = impl_->Resolve(target);
  if (destination.error != 0) return fail(destination.error);
  if (destination.isFolder) return fail(static_cast<DWORD>(ERROR_ACCESS_DENIED));
  std::error_code ec;
  if (destination.exists) {
    if (failIfExists) return fail(kErrorFileExists);
    if (fs::equivalent(source.host, destination.host, ec) ||
        impl_->IsOpenForText(destination.host)) {
      return fail(kErrorSharingViolation);
    }
  }
  // An existing target keeps the spelling of its name; a new one gets the
  // spelling asked for.
  fs::copy_file(source.host, destination.host,
                fs::copy_options::overwrite_existing, ec);
  if (ec) return fail(static_cast<DWORD>(ERROR_ACCESS_DENIED));
  return kTrue;
}

BOOL SimulatedMachine::DeleteFileA(const char* path) {
  if (impl_->Fallible("DeleteFileA", {path ? path : ""})) return kFalse;
  if (!path) {
    impl_->lastError = static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    return kFalse;
  }
  const ResolvedPath file = impl_->Resolve(path);
  if (DWORD error = MissingFileError(file)) {
    impl_->lastError = error;
    return kFalse;
  }
  if (impl_->IsOpenForText(file.host)) {
    impl_->lastError = kErrorSharingViolation;
    return kFalse;
  }
  std::error_code ec;
  if (!fs::remove(file.host, ec)) {
    impl_->lastError = static_cast<DWORD>(ERROR_ACCESS_DENIED);
    return kFalse;
  }
  return kTrue;
}

HFILE SimulatedMachine::OpenFile(const char* path, UINT style) {
  if (impl_->Fallible("OpenFile", {path ? path : ""})) return HFILE_ERROR;
  if (!path || style != OF_EXIST) {
    // Only the existence test is part of this machine.
    impl_->lastError = static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    return HFILE_ERROR;
  }
  if (std::strlen(path) > kMaxOpenFilePathLength) {
    impl_->lastError = kErrorFilenameExcedRange;
    return HFILE_ERROR;
  }
  if (DWORD error = MissingFileError(impl_->Resolve(path))) {
    impl_->lastError = error;
    return HFILE_ERROR;
  }
  return kExistsHandle;
}

HFILE SimulatedMachine::_lclose(HFILE file) {
  impl_->Count("_lclose");
  if (file == HFILE_ERROR) {
    impl_->lastError = static_cast<DWORD>(ERROR_INVALID_HANDLE);
    return HFILE_ERROR;
  }
  return 0;
}

namespace {

int CompareBytes(const char* a, const char* b, bool foldCase) {
  const char* x = a ? a : "";
  const char* y = b ? b : "";
  for (;; ++x, ++y) {
    unsigned char cx = static_cast<unsigned char>(foldCase ? Upper(*x) : *x);
    unsigned char cy = static_cast<unsigned char>(foldCase ? Upper(*y) : *y);
    if (cx != cy) return cx < cy ? -1 : 1;
    if (cx == 0) return 0;
  }
}

}  // namespace

int SimulatedMachine::lstrcmpA(const char* a, const char* b) {
  impl_->Count("lstrcmpA");
  return CompareBytes(a, b, false);
}

int SimulatedMachine::lstrcmpiA(const char* a, const char* b) {
  impl_->Count("lstrcmpiA");
  return CompareBytes(a, b, true);
}

// ---- DOS text-mode files ----

OpenTextFileState* SimulatedMachine::Impl::Text(TextFile file) {
  auto it = textFiles.find(file);
  if (it == textFiles.end()) {
    lastError = static_cast<DWORD>(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second.get();
}

void SimulatedMachine::Impl::FlushTextFiles() const {
  for (const auto& [tag, state] : textFiles) {
    if (state->stream) std::fflush(state->stream);
  }
}

TextFile SimulatedMachine::OpenTextFile(const char* path, TextMode mode) {
  if (impl_->Fallible("OpenTextFile", {path ? path : ""})) return nullptr;
  if (!path) {
    impl_->lastError = static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const ResolvedPath file = impl_->Resolve(path);
  if (mode == TextMode::Read) {
    if (DWORD error = MissingFileError(file)) {
      impl_->lastError = error;
      return nullptr;
    }
  } else {
    if (file.error != 0) {
      impl_->lastError = file.error;
      return nullptr;
    }
    if (file.isFolder) {
      impl_->lastError = static_cast<DWORD>(ERROR_ACCESS_DENIED);
      return nullptr;
    }
  }
  std::FILE* stream =
      std::fopen(file.host.c_str(), mode == TextMode::Read ? "rb" : "wb");
  if (!stream) {
    impl_->lastError = static_cast<DWORD>(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  auto state = std::make_unique<OpenTextFileState>();
  state->stream = stream;
  state->mode = mode;
  state->windowsPath = path;
  state->host = file.host;
  auto* tag = reinterpret_cast<TextFileTag*>(impl_->nextTextFile);
  impl_->nextTextFile += 4;
  impl_->textFiles.emplace(tag, std::move(state));
  return tag;
}

std::size_t SimulatedMachine::ReadTextLine(TextFile file, char* buffer,
                                           std::size_t bufferSize) {
  OpenTextFileState* state = impl_->Text(file);
  if (impl_->Fallible("ReadTextLine",
                      {state ? std::string_view(state->windowsPath) : ""})) {
    if (state) state->failed = true;
    return 0;
  }
  if (!state || state->mode != TextMode::Read || !buffer || bufferSize == 0) {
    if (state) impl_->lastError = static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::size_t count = 0;
  while (count + 1 < bufferSize && !state->atEnd) {
    int c = std::fgetc(state->stream);
    if (c == EOF || c == kCtrlZ) {
      state->atEnd = true;
      break;
    }
    if (c == '\r') {
      // CR LF arrives as LF; a CR on its own stays.
      int next = std::fgetc(state->stream);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        std::ungetc(next, state->stream);
      }
    }
    buffer[count++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buffer[count] = '\0';
  return count;
}

bool SimulatedMachine::WriteText(TextFile file, const char* text) {
  OpenTextFileState* state = impl_->Text(file);
  const std::string_view pathArg =
      state ? std::string_view(state->windowsPath) : std::string_view();
  if (impl_->Fallible("WriteText", {pathArg})) {
    if (state) state->failed = true;
    return false;
  }
  if (!state || state->mode != TextMode::Write || !text) {
    if (state) impl_->lastError = static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::string bytes;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') bytes.push_back('\r');
    bytes.push_back(*p);
  }
  // A full disk: the byte limit of a matching fault.
  const FaultState* limit = nullptr;
  for (const FaultState& f : impl_->faults) {
    if (f.fault.afterBytes < 0) continue;
    if (f.fault.operation != "WriteText" && f.fault.operation != "*") continue;
    if (!f.fault.argument.empty() &&
        FoldPathName(pathArg).find(FoldPathName(f.fault.argument)) ==
            std::string::npos) {
      continue;
    }
    if (!limit || f.fault.afterBytes < limit->fault.afterBytes) limit = &f;
  }
  bool refuse = state->full;
  std::size_t accept = bytes.size();
  if (limit && state->written + static_cast<std::int64_t>(bytes.size()) >
                   limit->fault.afterBytes) {
    refuse = true;
    const std::int64_t room = limit->fault.afterBytes - state->written;
    accept = room > 0 ? static_cast<std::size_t>(room) : 0;
  }
  if (refuse && state->full) accept = 0;
  if (accept > 0 &&
      std::fwrite(bytes.data(), 1, accept, state->stream) != accept) {
    state->failed = true;
    impl_->lastError = static_cast<DWORD>(ERROR_WRITE_FAULT);
    return false;
  }
  state->written += static_cast<std::int64_t>(accept);
  if (refuse) {
    state->full = true;
    state->failed = true;
    const DWORD error = limit ? limit->fault.error
                              : static_cast<DWORD>(ERROR_DISK_FULL);
    impl_->lastError = error;
    MachineEvent event = NewEvent(MachineEvent::Kind::Fault);
    event.text = "WriteText(" + state->windowsPath + ") after " +
                 std::to_string(state->written) + " bytes";
    event.number = error;
    impl_->Record(std::move(event));
    return false;
  }
  return true;
}

bool SimulatedMachine::TextFileFailed(TextFile file) {
  const OpenTextFileState* state = impl_->Text(file);
  return state == nullptr || state->failed || std::ferror(state->stream) != 0;
}

bool SimulatedMachine::CloseTextFile(TextFile file) {
  OpenTextFileState* state = impl_->Text(file);
  const bool faulted = impl_->Fallible(
      "CloseTextFile",
      {state ? std::string_view(state->windowsPath) : std::string_view()})
                           .has_value();
  if (!state) return false;
  // The file is closed even when the close reports a failure.
  const bool closed = std::fclose(state->stream) == 0;
  impl_->textFiles.erase(file);
  if (!closed && !faulted) {
    impl_->lastError = static_cast<DWORD>(ERROR_WRITE_FAULT);
  }
  return closed && !faulted;
}

}  // namespace ide
