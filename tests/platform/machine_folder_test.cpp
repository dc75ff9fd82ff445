// Machine folders: machine.ini, registry.reg and drives/ in, and out again.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/simulated_machine.h"

namespace ide {
namespace {

namespace fs = std::filesystem;

class MachineFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    root = fs::temp_directory_path() /
           ("ide-folder-test-" + std::to_string(seed()) + std::to_string(seed()));
    fs::create_directories(root);
  }
  void TearDown() override { fs::remove_all(root); }

  void Write(const fs::path& relative, const std::string& bytes) {
    const fs::path path = root / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }

  // Every file under a folder, relative path -> bytes.
  static std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      files[fs::relative(entry.path(), folder).generic_string()] = bytes.str();
    }
    return files;
  }

  // The error Load gives for the folder, "" when it loads.
  std::string LoadError(const fs::path& folder) {
    try {
      SimulatedMachine::Load(folder);
    } catch (const MachineError& error) {
      return error.what();
    }
    return "";
  }

  void WriteSampleMachine(const fs::path& folder) {
    Write(folder / "machine.ini",
          "; a machine for the tests\r\n[System]\r\nWindows = D:\\WIN95\\\r\n"
          "system=D:\\WIN95\\SYSTEM\r\ncurrent=a:\\DISK1\\\r\nversion=NT\r\n"
          "shutdown_privilege=no\r\n\r\n[pci]\r\n7=8c4e:7450\r\n0=8086:1230\r\n");
    Write(folder / "registry.reg",
          "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_8C4E&DEV_7351]\r\n"
          "\"Driver\"=\"hdc\\\\0001\"\r\n\r\n");
    Write(folder / "drives/D/WIN95/INF/MSHDC.INF", "[Version]\r\n\x1a");
    Write(folder / "drives/a/DISK1/K7351.MPD", "driver");
    fs::create_directories(root / folder / "drives/D/WIN95/SYSTEM/IOSUBSYS");
  }

  fs::path root;
};

TEST_F(MachineFolderTest, LoadReadsEverySettingAndLeavesTheFolderAlone) {
  WriteSampleMachine("m");
  const auto before = Files(root / "m");
  fs::path work;
  {
    auto machine = SimulatedMachine::Load(root / "m");
    const MachineConfig& config = machine->config();
    EXPECT_EQ(config.windowsDir, "D:\\WIN95");
    EXPECT_EQ(config.systemDir, "D:\\WIN95\\SYSTEM");
    EXPECT_EQ(config.currentDir, "A:\\DISK1");
    EXPECT_EQ(config.family, WindowsFamily::NT);
    EXPECT_FALSE(config.shutdownPrivilegeHeld);
    EXPECT_EQ(config.pci, (std::map<int, std::uint32_t>{{0, 0x12308086u},
                                                         {7, 0x74508C4Eu}}));
    EXPECT_TRUE(machine->registry().KeyExists("enum\\pci\\ven_8c4e&dev_7351"));
    EXPECT_TRUE(machine->FileExists("k7351.mpd"));
    EXPECT_EQ(*machine->FileBytes("d:\\win95\\inf\\mshdc.inf"), "[Version]\r\n\x1a");

    // The run changes only the working copy.
    machine->PutFile("D:\\WIN95\\INF\\MSHDC.INF", "patched");
    machine->DeleteFileA("A:\\DISK1\\K7351.MPD");
    machine->RegDeleteKeyA(LocalMachineKey(), "Enum");
    work = machine->HostPath("A:\\");
    EXPECT_TRUE(fs::exists(work));
  }
  EXPECT_EQ(Files(root / "m"), before);
  EXPECT_FALSE(fs::exists(work)) << "the working folder outlives its machine";
}

TEST_F(MachineFolderTest, EveryKeyHasItsDefault) {
  struct Row {
    const char* what;
    std::string ini;
  };
  const std::vector<Row> rows = {
      {"empty machine.ini", ""},
      {"sections without keys", "[system]\r\n[pci]\r\n"},
      {"comments only", "; nothing\n# nothing\n"},
      {"a byte-order mark", "\xEF\xBB\xBF[system]\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Write("d/machine.ini", row.ini);
    auto machine = SimulatedMachine::Load(root / "d");
    const MachineConfig defaults;
    const MachineConfig& config = machine->config();
    EXPECT_EQ(config.windowsDir, "C:\\WINDOWS");
    EXPECT_EQ(config.systemDir, "C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(config.currentDir, "A:\\");
    EXPECT_EQ(config.family, WindowsFamily::Win95);
    EXPECT_TRUE(config.shutdownPrivilegeHeld);
    EXPECT_TRUE(config.pci.empty());
    std::uint32_t value = 0;
    machine->WritePortDword(0xCF8, 0x80000000u);
    machine->ReadPortDword(0xCFC, &value);
    EXPECT_EQ(value, 0xFFFFFFFFu);
  }
  // No machine.ini at all: the same defaults.
  fs::remove(root / "d/machine.ini");
  Write("d/registry.reg", "REGEDIT4\r\n");
  EXPECT_EQ(SimulatedMachine::Load(root / "d")->config().windowsDir,
            "C:\\WINDOWS");
}

TEST_F(MachineFolderTest, MalformedMachineIniNamesFileAndLine) {
  struct Row {
    const char* what;
    std::string ini;
    int line;
    const char* fragment;
  };
  const std::vector<Row> rows = {
      {"unknown section", "[system]\n[disks]\n", 2, "[disks]"},
      {"key before a section", "windows=C:\\WINDOWS\n", 1, "before any"},
      {"unknown key", "[system]\nwindir=C:\\W\n", 2, "windir"},
      {"relative folder", "[system]\nwindows=WINDOWS\n", 2, "absolute"},
      {"folder without backslash", "[system]\ncurrent=A:\n", 2, "absolute"},
      {"unknown version", "[system]\nversion=98\n", 2, "95 or nt"},
      {"bad privilege", "[system]\nshutdown_privilege=maybe\n", 2, "yes or no"},
      {"twice", "[system]\nversion=95\nVERSION=nt\n", 3, "twice"},
      {"no equals", "[pci]\n7 8C4E:7450\n", 2, "key=value"},
      {"device 32", "[pci]\n32=8C4E:7450\n", 2, "0-31"},
      {"device not a number", "[pci]\nx=8C4E:7450\n", 2, "0-31"},
      {"no colon", "[pci]\n7=8C4E7450\n", 2, "VVVV:DDDD"},
      {"id too long", "[pci]\n7=8C4E:74501\n", 2, "VVVV:DDDD"},
      {"id not hex", "[pci]\n7=8C4G:7450\n", 2, "VVVV:DDDD"},
      {"device twice", "[pci]\n7=8C4E:7450\n07=8C4E:7440\n", 3, "twice"},
      {"section without bracket", "[system\n", 1, "']'"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Write("bad/machine.ini", row.ini);
    const std::string error = LoadError(root / "bad");
    const std::string where =
        (root / "bad" / "machine.ini").string() + ":" + std::to_string(row.line) + ": ";
    EXPECT_EQ(error.rfind(where, 0), 0u) << error;
    EXPECT_NE(error.find(row.fragment), std::string::npos) << error;
  }
}

TEST_F(MachineFolderTest, MalformedFoldersAreRefusedWithTheirName) {
  struct Row {
    const char* what;
    std::vector<std::string> files;
    const char* fragment;
  };
  const std::vector<Row> rows = {
      {"nothing in it", {"readme.txt"}, "not a machine folder"},
      {"a file among the drives", {"drives/c/x", "drives/notes.txt"},
       "one folder per drive letter"},
      {"a long drive name", {"drives/cd/x"}, "one folder per drive letter"},
      {"a drive twice", {"drives/c/x", "drives/C/y"}, "twice"},
      {"names differing in case", {"drives/c/WINDOWS/a", "drives/c/windows/b"},
       "differ only in case"},
      {"broken registry", {"registry.reg"}, "registry.reg:1: "},
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.what);
    const fs::path folder = "f" + std::to_string(i);
    for (const std::string& file : row.files) Write(folder / file, "x");
    const std::string error = LoadError(root / folder);
    EXPECT_NE(error.find(row.fragment), std::string::npos) << error;
  }
  EXPECT_NE(LoadError(root / "absent").find("no such machine folder"),
            std::string::npos);

  fs::create_directories(root / "dir-ini/machine.ini");
  EXPECT_NE(LoadError(root / "dir-ini").find("machine.ini: not a file"),
            std::string::npos);

  // A link in a drive could lead anywhere, even round in a circle.
  Write("linked/drives/c/WINDOWS/x", "x");
  fs::create_directory_symlink(root / "linked/drives/c",
                               root / "linked/drives/c/WINDOWS/loop");
  EXPECT_NE(LoadError(root / "linked").find("links are not allowed"),
            std::string::npos);
}

TEST_F(MachineFolderTest, ARegistryExportedInUtf16LoadsAndIsSavedAsRegedit4) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_8C4E&DEV_7351\\0001]\r\n"
      "\"Driver\"=\"hdc\\\\0001\"\r\n"
      "\"Path\"=hex(2):43,00,3a,00,00,00\r\n\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : text) {
    utf16.push_back(c);
    utf16.push_back('\0');
  }
  Write("u/registry.reg", utf16);
  auto machine = SimulatedMachine::Load(root / "u");
  const std::string key = "Enum\\PCI\\VEN_8C4E&DEV_7351\\0001";
  EXPECT_EQ(machine->registry().GetValue(key, "Driver")->data,
            std::string("hdc\\0001\0", 9));
  EXPECT_EQ(machine->registry().GetValue(key, "Path")->data,
            std::string("C:\0", 3));
  machine->SaveTo(root / "u-saved");
  EXPECT_EQ(Files(root / "u-saved").at("registry.reg"),
            "REGEDIT4\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Enum]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Enum\\PCI]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_8C4E&DEV_7351]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_8C4E&DEV_7351\\0001]\r\n"
            "\"Driver\"=\"hdc\\\\0001\"\r\n"
            "\"Path\"=hex(2):43,3a,00\r\n\r\n");
}

TEST_F(MachineFolderTest, SaveThenLoadGivesTheSameMachine) {
  WriteSampleMachine("m");
  auto machine = SimulatedMachine::Load(root / "m");
  machine->PutFile("A:\\DISK1\\NEW.TXT", "new\r\n");
  machine->registry().SetDword("System\\Added", "Count", 3);
  machine->SaveTo(root / "saved");
  auto loaded = SimulatedMachine::Load(root / "saved");
  const MachineSnapshot a = machine->Snapshot();
  const MachineSnapshot b = loaded->Snapshot();
  EXPECT_EQ(a.files, b.files);
  EXPECT_TRUE(a.registry == b.registry);
  EXPECT_TRUE(a == b);
  loaded->registry().SetString("System\\Added", "New", "");
  EXPECT_FALSE(a == loaded->Snapshot());
  loaded->registry() = machine->registry();
  EXPECT_EQ(a.files.count("a/DISK1/NEW.TXT"), 1u);
  EXPECT_EQ(a.files.count("d/WIN95/INF/MSHDC.INF"), 1u);
  EXPECT_EQ(loaded->config().pci, machine->config().pci);
  EXPECT_EQ(loaded->config().currentDir, machine->config().currentDir);
  EXPECT_EQ(loaded->config().family, machine->config().family);
  EXPECT_EQ(loaded->config().shutdownPrivilegeHeld,
            machine->config().shutdownPrivilegeHeld);
  EXPECT_TRUE(fs::is_directory(root / "saved/drives/d/WIN95/SYSTEM/IOSUBSYS"));

  // Saving again over the same folder leaves no stale files behind, and the
  // files written are stable.
  const auto first = Files(root / "saved");
  loaded->DeleteFileA("A:\\DISK1\\NEW.TXT");
  loaded->SaveTo(root / "saved");
  EXPECT_FALSE(fs::exists(root / "saved/drives/a/DISK1/NEW.TXT"));
  auto expected = first;
  expected.erase("drives/a/DISK1/NEW.TXT");
  EXPECT_EQ(Files(root / "saved"), expected);

  EXPECT_THROW(machine->SaveTo(machine->HostPath("C:\\")), MachineError);
}

}  // namespace
}  // namespace ide
