#include "refresh/driver_placement.h"

#include <string>

#include "previous/registry_reads.h"

namespace ide {

namespace {

constexpr const char* kIosubsysFolder = "iosubsys";

}  // namespace

int PlaceDriverFile(PlatformServices& os, const SetupState& state) {
  const std::string& name = state.driverFileName;
  // The name is only known once the class INF was patched in this run;
  // without it there is no file to copy, and nothing is said.
  if (name.empty()) return 1;

  char current[kMaxPath + 1] = {};
  const DWORD currentLength = os.GetCurrentDirectoryA(sizeof current, current);
  char system[kMaxPath + 1] = {};
  const UINT systemLength = os.GetSystemDirectoryA(system, sizeof system);
  if (currentLength == 0 || currentLength > kMaxPath || systemLength == 0 ||
      systemLength > kMaxPath) {
    return 1;
  }
  // The joining backslash is always added, so from a drive's root folder
  // the source holds two in a row, which Windows reads as one. A path too
  // long for Windows is not shortened (that would name another file); the
  // copy is then left out, as Windows would refuse it.
  std::string source;
  std::string folder;
  std::string target;
  if (!JoinPath(std::string_view(current, currentLength), name, kMaxPath,
                source) ||
      !JoinPath(std::string_view(system, systemLength), kIosubsysFolder,
                kMaxPath, folder) ||
      !JoinPath(folder, name, kMaxPath, target)) {
    return 1;
  }
  os.CopyFileA(source.c_str(), target.c_str(), kFalse);
  return 1;
}

}  // namespace ide
