// The machine folder: machine.ini, registry.reg and drives/, read into a
// simulated machine and written back out; and snapshots of a machine for
// comparing it before and after a run.
#include <fstream>
#include <set>
#include <sstream>
#include <string_view>
#include <system_error>

#include "platform/simulated_machine_impl.h"

namespace ide {
namespace fs = std::filesystem;

namespace {

constexpr int kMaxPciDevice = 31;
constexpr const char* kMachineIni = "machine.ini";
constexpr const char* kRegistryFile = "registry.reg";
constexpr const char* kDrivesFolder = "drives";

std::string Trim(const std::string& s) {
  const std::size_t start = s.find_first_not_of(" \t");
  if (start == std::string::npos) return {};
  const std::size_t end = s.find_last_not_of(" \t");
  return s.substr(start, end - start + 1);
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return s;
}

std::string ReadWholeFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    throw MachineError(path.string() + ": not a file");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw MachineError(path.string() + ": cannot be read");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteWholeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw MachineError(path.string() + ": cannot be written");
}

bool ParseHexId(const std::string& text, std::uint32_t& value) {
  if (text.empty() || text.size() > 4) return false;
  value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return true;
}

// A folder setting: an absolute path on a drive, kept without a trailing
// backslash except at a drive's root, as the folder functions return it.
std::string FolderSetting(const std::string& value) {
  const bool absolute = value.size() >= 3 && value[1] == ':' &&
                        value[2] == '\\' &&
                        ((value[0] >= 'A' && value[0] <= 'Z') ||
                         (value[0] >= 'a' && value[0] <= 'z'));
  if (!absolute) return {};
  std::string folder = value;
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  // Windows reports drive letters in capitals.
  if (folder[0] >= 'a' && folder[0] <= 'z') {
    folder[0] = static_cast<char>(folder[0] - 'a' + 'A');
  }
  return folder;
}

MachineConfig ParseMachineIni(const std::string& text,
                              const std::string& fileName) {
  MachineConfig config;
  std::string section;
  std::set<std::string> seen;
  std::size_t lineNumber = 0;
  // Editors may put a UTF-8 byte-order mark in front; the settings are
  // plain ASCII either way.
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  std::istringstream lines(text.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0
                               ? text.substr(kUtf8Bom.size())
                               : text);
  std::string line;
  auto fail = [&](const std::string& what) {
    throw MachineError(fileName + ":" + std::to_string(lineNumber) + ": " +
                       what);
  };
  while (std::getline(lines, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line.back() != ']') fail("section line without ']'");
      section = Lower(Trim(line.substr(1, line.size() - 2)));
      if (section != "system" && section != "pci") {
        fail("unknown section [" + section + "] (expected [system] or [pci])");
      }
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) fail("expected key=value");
    const std::string key = Lower(Trim(line.substr(0, equals)));
    const std::string value = Trim(line.substr(equals + 1));
    if (section.empty()) fail("\"" + key + "\" before any [section]");
    if (!seen.insert(section + "/" + key).second) {
      fail("\"" + key + "\" is given twice in [" + section + "]");
    }
    if (section == "system") {
      if (key == "windows" || key == "system" || key == "current") {
        const std::string folder = FolderSetting(value);
        if (folder.empty()) {
          fail(key + "=" + value + " is not an absolute path like C:\\WINDOWS");
        }
        (key == "windows" ? config.windowsDir
         : key == "system" ? config.systemDir
                           : config.currentDir) = folder;
      } else if (key == "version") {
        const std::string family = Lower(value);
        if (family == "95") config.family = WindowsFamily::Win95;
        else if (family == "nt") config.family = WindowsFamily::NT;
        else fail("version=" + value + " (expected 95 or nt)");
      } else if (key == "shutdown_privilege") {
        const std::string held = Lower(value);
        if (held == "yes") config.shutdownPrivilegeHeld = true;
        else if (held == "no") config.shutdownPrivilegeHeld = false;
        else fail("shutdown_privilege=" + value + " (expected yes or no)");
      } else {
        fail("unknown key \"" + key + "\" in [system]");
      }
      continue;
    }
    // [pci]: device number = vendor:device
    int device = -1;
    if (!key.empty() && key.size() <= 2 &&
        key.find_first_not_of("0123456789") == std::string::npos) {
      device = std::stoi(key);
    }
    if (device < 0 || device > kMaxPciDevice) {
      fail("\"" + key + "\" is not a PCI device number 0-31");
    }
    const std::size_t colon = value.find(':');
    std::uint32_t vendorId = 0;
    std::uint32_t deviceId = 0;
    if (colon == std::string::npos ||
        !ParseHexId(Trim(value.substr(0, colon)), vendorId) ||
        !ParseHexId(Trim(value.substr(colon + 1)), deviceId)) {
      fail("\"" + value + "\" is not VVVV:DDDD (vendor and device ID in hex)");
    }
    if (!config.pci.emplace(device, (deviceId << 16) | vendorId).second) {
      fail("PCI device " + std::to_string(device) + " is given twice");
    }
  }
  return config;
}

std::string WriteMachineIni(const MachineConfig& config) {
  std::string out = "[system]\r\n";
  out += "windows=" + config.windowsDir + "\r\n";
  out += "system=" + config.systemDir + "\r\n";
  out += "current=" + config.currentDir + "\r\n";
  out += std::string("version=") +
         (config.family == WindowsFamily::Win95 ? "95" : "nt") + "\r\n";
  out += std::string("shutdown_privilege=") +
         (config.shutdownPrivilegeHeld ? "yes" : "no") + "\r\n";
  out += "\r\n[pci]\r\n";
  for (const auto& [device, dword] : config.pci) {
    char line[32];
    std::snprintf(line, sizeof line, "%d=%04X:%04X\r\n", device,
                  static_cast<unsigned>(dword & 0xFFFF),
                  static_cast<unsigned>(dword >> 16));
    out += line;
  }
  return out;
}

// Windows cannot hold two names that differ only in case in one folder, so
// a machine folder that has them is refused rather than guessed at.
void CheckFolder(const fs::path& folder) {
  std::map<std::string, std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    // A drive holds plain files and folders; a link could lead out of it or
    // round in a circle.
    if (entry.is_symlink()) {
      throw MachineError(entry.path().string() +
                         ": links are not allowed in a drive");
    }
    auto [it, fresh] = names.emplace(FoldPathName(name), name);
    if (!fresh) {
      throw MachineError(folder.string() + ": \"" + it->second + "\" and \"" +
                         name + "\" differ only in case");
    }
    if (entry.is_directory()) CheckFolder(entry.path());
  }
}

void CheckDrives(const fs::path& drives) {
  std::set<char> letters;
  for (const auto& entry : fs::directory_iterator(drives)) {
    const std::string name = entry.path().filename().string();
    const bool letter = name.size() == 1 &&
                        ((name[0] >= 'a' && name[0] <= 'z') ||
                         (name[0] >= 'A' && name[0] <= 'Z'));
    if (!letter || !entry.is_directory() || entry.is_symlink()) {
      throw MachineError(entry.path().string() +
                         ": drives/ may hold only one folder per drive letter");
    }
    if (!letters.insert(Lower(name)[0]).second) {
      throw MachineError(drives.string() + ": drive " + name +
                         " is given twice");
    }
    CheckFolder(entry.path());
  }
}

}  // namespace

std::unique_ptr<SimulatedMachine> SimulatedMachine::Load(
    const fs::path& machineFolder) {
  std::error_code ec;
  if (!fs::is_directory(machineFolder, ec)) {
    throw MachineError(machineFolder.string() + ": no such machine folder");
  }
  const fs::path ini = machineFolder / kMachineIni;
  const fs::path reg = machineFolder / kRegistryFile;
  const fs::path drives = machineFolder / kDrivesFolder;
  const bool hasIni = fs::exists(ini, ec);
  const bool hasReg = fs::exists(reg, ec);
  const bool hasDrives = fs::exists(drives, ec);
  if (!hasIni && !hasReg && !hasDrives) {
    throw MachineError(machineFolder.string() +
                       ": not a machine folder (no machine.ini, registry.reg "
                       "or drives/)");
  }
  auto machine = std::make_unique<SimulatedMachine>();
  Impl& impl = *machine->impl_;
  if (hasIni) impl.config = ParseMachineIni(ReadWholeFile(ini), ini.string());
  if (hasReg) impl.registry = Registry::Parse(ReadWholeFile(reg), reg.string());
  if (hasDrives) {
    if (!fs::is_directory(drives, ec)) {
      throw MachineError(drives.string() + ": must be a folder");
    }
    try {
      CheckDrives(drives);
      for (const auto& entry : fs::directory_iterator(drives)) {
        fs::copy(entry.path(),
                 impl.drivesRoot / Lower(entry.path().filename().string()),
                 fs::copy_options::recursive);
      }
    } catch (const fs::filesystem_error& error) {
      throw MachineError(drives.string() + ": " + error.what());
    }
  }
  return machine;
}

void SimulatedMachine::SaveTo(const fs::path& folder) const {
  try {
    const fs::path target = fs::weakly_canonical(folder);
    const fs::path work = fs::weakly_canonical(impl_->workRoot);
    const auto [workEnd, targetIt] =
        std::mismatch(work.begin(), work.end(), target.begin(), target.end());
    if (workEnd == work.end()) {
      throw MachineError(folder.string() +
                         ": cannot save a machine into its own working folder");
    }
    fs::create_directories(folder);
    impl_->FlushTextFiles();
    WriteWholeFile(folder / kMachineIni, WriteMachineIni(impl_->config));
    WriteWholeFile(folder / kRegistryFile, impl_->registry.ToRegedit4());
    const fs::path drives = folder / kDrivesFolder;
    fs::remove_all(drives);
    fs::create_directory(drives);
    fs::copy(impl_->drivesRoot, drives, fs::copy_options::recursive);
  } catch (const fs::filesystem_error& error) {
    throw MachineError(folder.string() + ": " + error.what());
  }
}

MachineSnapshot SimulatedMachine::Snapshot() const {
  impl_->FlushTextFiles();
  MachineSnapshot snapshot;
  snapshot.registry = impl_->registry;
  for (const auto& entry : fs::recursive_directory_iterator(impl_->drivesRoot)) {
    if (!entry.is_regular_file()) continue;
    snapshot.files[fs::relative(entry.path(), impl_->drivesRoot).generic_string()] =
        ReadWholeFile(entry.path());
  }
  return snapshot;
}

}  // namespace ide
