#include "inf/class_inf.h"

#include <string>
#include <string_view>

#include "inf/controller_entries.h"
#include "inf/inf_writer.h"
#include "inf/line_reader.h"
#include "inf/variant_texts.h"
#include "setup/setup_texts.h"

namespace ide {
namespace {

// The folder GetWindowsDirectoryA fills holds this many characters with
// its terminating zero.
constexpr UINT kWindowsFolderBuffer = 260;

constexpr char kClassInfName[] = "\\inf\\mshdc.inf";
constexpr char kNewCopyName[] = "\\inf\\mshdc.1";
constexpr char kBackupName[] = "\\inf\\mshdc.ing";

// The section headers the rewrite reacts to (compared without regard to
// case, like every INF section name).
constexpr char kModelSectionHeader[] = "[ZEL_HDC]";
constexpr char kControlFlagsHeader[] = "[ControlFlags]";
constexpr char kStringsHeader[] = "[Strings]";

constexpr char kAlreadyInstalledMessage[] =
    "Driver already has been installed! Setup fail! ";

struct ClassInfPaths {
  std::string classInf;
  std::string newCopy;
  std::string backup;
};

// Builds the three paths in the Windows inf folder. False when the Windows
// folder cannot be had or a path would not fit kMaxPath characters.
bool GetClassInfPaths(PlatformServices& os, ClassInfPaths& paths) {
  char folder[kWindowsFolderBuffer] = {};
  const UINT length = os.GetWindowsDirectoryA(folder, kWindowsFolderBuffer);
  if (length == 0 || length >= kWindowsFolderBuffer) return false;
  const std::string windows(folder, length);
  paths.classInf = windows + kClassInfName;
  paths.newCopy = windows + kNewCopyName;
  paths.backup = windows + kBackupName;
  return paths.classInf.size() <= kMaxPath &&
         paths.newCopy.size() <= kMaxPath && paths.backup.size() <= kMaxPath;
}

bool SameName(PlatformServices& os, std::string_view token,
              const char* name) {
  if (token.empty()) return false;
  const std::string copy(token);
  return os.lstrcmpiA(copy.c_str(), name) == 0;
}

// How the model section ended.
enum class ModelSection {
  EndOfFile,        // no line without a token before the end
  EntriesWritten,   // the controller entries replaced its closing line
  EntriesFailed,    // they could not be written whole
};

// Copies the model section's lines up to the first line without a token,
// which gives way to the controller entries. Ends the process when the
// variant's entries are there already.
ModelSection RewriteModelSection(PlatformServices& os, SetupState& state,
                                 LineReader& reader, TextFile source,
                                 InfWriter& out, const VariantTexts& texts) {
  std::string line;
  while (reader.ReadLine(line)) {
    const std::string_view token = FirstToken(line);
    if (token.empty()) {
      return WriteControllerEntries(os, state, out) == 1
                 ? ModelSection::EntriesWritten
                 : ModelSection::EntriesFailed;
    }
    out.Write(line);
    if (SameName(os, token, texts.installedToken)) {
      os.MessageBoxA(nullptr, kAlreadyInstalledMessage, kSetupErrorCaption,
                     MB_OK);
      out.Close();
      os.CloseTextFile(source);
      os.ExitProcess(0);
    }
  }
  return ModelSection::EndOfFile;
}

}  // namespace

int PatchClassInf(PlatformServices& os, SetupState& state) {
  const VariantTexts& texts = TextsForVariant(state.variant);
  ClassInfPaths paths;
  if (!GetClassInfPaths(os, paths)) return 0;

  // Without a readable class INF there is nothing to rewrite and no copy
  // is made; the setup goes on as it does for a class INF without the
  // maker's model section.
  TextFile source = os.OpenTextFile(paths.classInf.c_str(), TextMode::Read);
  if (source == nullptr) return 0;
  TextFile copy = os.OpenTextFile(paths.newCopy.c_str(), TextMode::Write);
  if (copy == nullptr) {
    os.CloseTextFile(source);
    return 0;
  }

  LineReader reader(os, source);
  InfWriter out(os, copy);
  bool patched = false;
  bool failed = false;
  std::string line;
  while (!failed && reader.ReadLine(line)) {
    out.Write(line);
    const std::string_view token = FirstToken(line);
    if (SameName(os, token, kModelSectionHeader)) {
      // A second model section after the entries went in is copied as it
      // stands.
      if (!patched) {
        switch (RewriteModelSection(os, state, reader, source, out, texts)) {
          case ModelSection::EntriesWritten:
            patched = true;
            break;
          case ModelSection::EntriesFailed:
            failed = true;
            break;
          case ModelSection::EndOfFile:
            break;
        }
      }
    } else if (SameName(os, token, kControlFlagsHeader)) {
      // A header line longer than one read still gets its addition on
      // lines of its own; the rest of the header line follows it.
      out.EndLine();
      out.Write(texts.controlFlagsAddition);
    } else if (SameName(os, token, kStringsHeader)) {
      out.EndLine();
      out.Write(texts.stringsAddition);
    }
    if (!out.ok()) failed = true;
  }

  // A read error looks like the end of the file to the reader; a copy cut
  // short by one must not take the class INF's place.
  if (os.TextFileFailed(source)) failed = true;
  const bool written = out.Close();
  os.CloseTextFile(source);
  if (patched && written && !failed) return 1;
  // The copy is not swapped in, so no miniport may be placed for entries
  // the class INF does not hold.
  state.driverFileName.clear();
  return 0;
}

void SwapClassInf(PlatformServices& os) {
  ClassInfPaths paths;
  if (!GetClassInfPaths(os, paths)) return;
  // Without a backup the class INF is not touched: a failed replacement
  // could not be undone.
  if (!os.CopyFileA(paths.classInf.c_str(), paths.backup.c_str(), kFalse)) {
    return;
  }
  if (!os.CopyFileA(paths.newCopy.c_str(), paths.classInf.c_str(), kFalse)) {
    // The replacement may have been cut short; the backup holds the class
    // INF as it was. The new copy stays for the user to see.
    os.CopyFileA(paths.backup.c_str(), paths.classInf.c_str(), kFalse);
    return;
  }
  os.DeleteFileA(paths.newCopy.c_str());
}

}  // namespace ide
