#include "previous/old_inf.h"

#include <algorithm>

#include "inf/line_reader.h"
#include "previous/registry_reads.h"

namespace ide {

namespace {

constexpr std::string_view kClassInfName = "mshdc.inf";

// Folds only the letters A to Z, whatever the system's code page.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  auto fold = [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [&](char x, char y) { return fold(x) == fold(y); });
}

// The name a file system finds for `name`: Windows drops the dots and
// blanks that end the last name of a path.
std::string_view NameAsWindowsFindsIt(std::string_view name) {
  const std::size_t last = name.find_last_not_of(". ");
  return name.substr(0, last == std::string_view::npos ? 0 : last + 1);
}

bool FileExists(PlatformServices& os, const std::string& path) {
  const HFILE file = os.OpenFile(path.c_str(), OF_EXIST);
  if (file == HFILE_ERROR) return false;
  os._lclose(file);
  return true;
}

// The Windows folder, `folder` below it and the name, when it all fits the
// old INF field.
bool ComposeInfPath(const std::string& windowsDir, std::string_view folder,
                    std::string_view name, std::string& out) {
  std::string dir;
  return JoinPath(windowsDir, folder, kMaxInfPath, dir) &&
         JoinPath(dir, name, kMaxInfPath, out);
}

}  // namespace

bool IsBareFileName(std::string_view name) {
  if (name.empty()) return false;
  // Folder separators and the drive colon lead elsewhere; wildcards and the
  // other characters Windows forbids in names could match or reach files
  // that are not the one named.
  if (name.find_first_of("\\/:*?\"<>|") != std::string_view::npos) {
    return false;
  }
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  // Names that Windows shortens to nothing ("..", ". .") name the folder.
  return !NameAsWindowsFindsIt(name).empty();
}

void FindOldInfFile(PlatformServices& os, PreviousInstall& record) {
  record.infPath.clear();
  const std::string& classKey = record.firstChild.classKey;
  if (classKey.empty()) return;

  HKEY key = nullptr;
  if (os.RegOpenKeyExA(LocalMachineKey(), classKey.c_str(), 0, KEY_ALL_ACCESS,
                       &key) != ERROR_SUCCESS) {
    return;
  }
  std::string name;
  const bool read = ReadRegistryText(os, key, "InfPath", name);
  os.RegCloseKey(key);
  if (!read) return;
  // The class INF is patched by this very setup; it is never the old one,
  // however the value spells its name ("mshdc.inf " finds it too).
  if (EqualsIgnoringAsciiCase(NameAsWindowsFindsIt(name), kClassInfName)) {
    return;
  }
  // The value comes from the registry and is joined to the inf folder: a
  // path in it could make the setup delete a file anywhere on the machine.
  if (!IsBareFileName(name)) return;

  char windowsDir[kMaxPath + 1] = {};
  const UINT length = os.GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
  if (length == 0 || length > kMaxPath) return;
  const std::string windows(windowsDir, length);

  // A path that would not fit the field is not looked for at all: a
  // shortened one would name some other file.
  std::string path;
  if (ComposeInfPath(windows, "inf", name, path) && FileExists(os, path)) {
    record.infPath = path;
    return;
  }
  if (ComposeInfPath(windows, "inf\\other", name, path) &&
      FileExists(os, path)) {
    record.infPath = path;
  }
}

int InfMentionsDriver(PlatformServices& os, const std::string& filePath,
                      std::string_view name) {
  const TextFile file = os.OpenTextFile(filePath.c_str(), TextMode::Read);
  if (file == nullptr) return 0;
  LineReader reader(os, file, kOldInfReadLimit);
  std::string line;
  int mentioned = 0;
  while (reader.ReadLine(line)) {
    if (line.find(name) != std::string::npos) {
      mentioned = 1;
      break;
    }
  }
  os.CloseTextFile(file);
  return mentioned;
}

}  // namespace ide
