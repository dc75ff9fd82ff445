#include "report.h"

#include <gtest/gtest.h>

#include <string>

namespace ide {
namespace {

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CompareFilesTest, FindsAddedChangedAndRemovedFiles) {
  MachineSnapshot before;
  before.files = {{"a/K7351.MPD", "new driver"},
                  {"c/WINDOWS/INF/MSHDC.INF", "[Version]\r\n"},
                  {"c/WINDOWS/INF/OTHER/OLD.INF", "old"},
                  {"c/WINDOWS/SYSTEM/IOSUBSYS/K7351.MPD", "old driver"}};
  MachineSnapshot after = before;
  after.files.erase("c/WINDOWS/INF/OTHER/OLD.INF");
  after.files["c/WINDOWS/INF/MSHDC.INF"] = "[Version]\r\nClass=hdc\r\n";
  after.files["c/WINDOWS/INF/MSHDC.ING"] = "[Version]\r\n";
  // Windows names are matched without regard to case: the same file.
  after.files.erase("c/WINDOWS/SYSTEM/IOSUBSYS/K7351.MPD");
  after.files["c/WINDOWS/SYSTEM/iosubsys/k7351.mpd"] = "old driver";

  std::vector<FileChange> changes = CompareFiles(before, after);
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[0].kind, FileChange::Kind::Changed);
  EXPECT_EQ(changes[0].path, "c/WINDOWS/INF/MSHDC.INF");
  EXPECT_EQ(changes[0].before, "[Version]\r\n");
  EXPECT_EQ(changes[0].after, "[Version]\r\nClass=hdc\r\n");
  EXPECT_EQ(changes[1].kind, FileChange::Kind::Added);
  EXPECT_EQ(changes[1].path, "c/WINDOWS/INF/MSHDC.ING");
  EXPECT_EQ(changes[2].kind, FileChange::Kind::Removed);
  EXPECT_EQ(changes[2].path, "c/WINDOWS/INF/OTHER/OLD.INF");
  EXPECT_EQ(changes[2].before, "old");
}

TEST(FormatChangesTest, ShowsTextDiffsBinaryChangesAndWhereFilesCameFrom) {
  MachineSnapshot before;
  const std::string driverV1("MZ\0\x01v1", 6);
  const std::string driverV2("MZ\0\x01v2!", 7);
  before.files = {{"a/K7351.MPD", driverV2},
                  {"c/WINDOWS/INF/MSHDC.INF", "[ZEL_HDC]\r\n\r\n[Strings]\r\n"},
                  {"c/WINDOWS/INF/OTHER/OLD.INF", "k7351.mpd\r\n"},
                  {"c/WINDOWS/SYSTEM/IOSUBSYS/K7351.MPD", driverV1}};
  MachineSnapshot after = before;
  after.files["c/WINDOWS/INF/MSHDC.ING"] = before.files["c/WINDOWS/INF/MSHDC.INF"];
  after.files["c/WINDOWS/INF/MSHDC.INF"] =
      "[ZEL_HDC]\r\n%PCI%=X\r\n\r\n[Strings]\r\n";
  after.files.erase("c/WINDOWS/INF/OTHER/OLD.INF");
  after.files["c/WINDOWS/SYSTEM/IOSUBSYS/K7351.MPD"] = driverV2;

  std::string report = FormatChanges(before, after);
  EXPECT_TRUE(Has(report,
                  "  added    C:\\WINDOWS\\INF\\MSHDC.ING  (24 bytes, the same "
                  "as C:\\WINDOWS\\INF\\MSHDC.INF before the run)\n"))
      << report;
  EXPECT_TRUE(Has(report, "  changed  C:\\WINDOWS\\INF\\MSHDC.INF  (24 bytes -> 33 bytes)\n"))
      << report;
  EXPECT_TRUE(Has(report, "  removed  C:\\WINDOWS\\INF\\OTHER\\OLD.INF  (11 bytes)\n"))
      << report;
  EXPECT_TRUE(Has(report,
                  "  changed  C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\K7351.MPD  (binary "
                  "file changed, 6 bytes -> 7 bytes, the same as A:\\K7351.MPD "
                  "before the run)\n"))
      << report;
  EXPECT_TRUE(Has(report,
                  "--- C:\\WINDOWS\\INF\\MSHDC.INF\t(before)\n"
                  "+++ C:\\WINDOWS\\INF\\MSHDC.INF\t(after)\n"
                  "@@ -1,3 +1,4 @@\n [ZEL_HDC]\n+%PCI%=X\n \n [Strings]\n"))
      << report;
  // Binary files get no line diff.
  EXPECT_FALSE(Has(report, "--- C:\\WINDOWS\\SYSTEM")) << report;
  EXPECT_TRUE(Has(report, "no key or value changed")) << report;
}

TEST(FormatChangesTest, SaysWhenNothingChanged) {
  MachineSnapshot snapshot;
  snapshot.files = {{"c/A.TXT", "a"}};
  snapshot.registry.SetString("Enum\\PCI\\X", "Class", "hdc");
  std::string report = FormatChanges(snapshot, snapshot);
  EXPECT_EQ(report,
            "Files:\n  no file changed\n\n"
            "Registry (HKEY_LOCAL_MACHINE):\n  no key or value changed\n");
}

Registry SampleRegistry() {
  Registry registry;
  registry.SetString("Enum\\PCI\\VEN_8C4E&DEV_7351\\BUS_00&DEV_07&FUNC_01",
                     "Driver", "hdc\\0001");
  registry.SetString("Enum\\PCI\\VEN_8C4E&DEV_7351\\BUS_00&DEV_07&FUNC_01",
                     "Class", "hdc");
  registry.SetString("Enum\\SCSI\\CDROM\\0000", "Class", "CDROM");
  registry.SetString("Enum\\SCSI\\TAPE\\0000", "Class", "Unknown");
  registry.SetString("System\\CurrentControlSet\\Services\\Class\\hdc\\0001",
                     "InfPath", "OEM0.INF");
  registry.SetDword("System\\CurrentControlSet\\Services\\Class\\hdc\\0001",
                    "Flags", 1);
  registry.SetString("Software\\Zelmont", "Version", "1.02");
  return registry;
}

TEST(CompareRegistriesTest, ReportsKeysOnceAtTheTopAndValuesWithOldAndNewData) {
  Registry before = SampleRegistry();
  Registry after = before;
  after.DeleteKey("Enum\\SCSI");
  after.DeleteKey("Enum\\PCI\\VEN_8C4E&DEV_7351");
  after.SetString("Software\\Zelmont", "Version", "2.10");
  after.SetDword("System\\CurrentControlSet\\Services\\Class\\hdc\\0001",
                 "Flags", 0x102);
  after.SetString("System\\CurrentControlSet\\Services\\Class\\hdc\\0001",
                  "DriverDesc", "Zel \"bus master\"");
  after.CreateKey("Software\\New\\Sub");

  Registry withoutInf;
  for (const std::string& key : after.AllKeys()) withoutInf.CreateKey(key);
  for (const std::string& key : after.AllKeys()) {
    for (const RegistryValue& value : after.Values(key)) {
      if (value.name != "InfPath") withoutInf.SetValue(key, value);
    }
  }

  std::vector<RegistryChange> changes = CompareRegistries(before, withoutInf);
  ASSERT_EQ(changes.size(), 7u);
  using Kind = RegistryChange::Kind;
  EXPECT_EQ(changes[0].kind, Kind::KeyRemoved);
  EXPECT_EQ(changes[0].key, "Enum\\PCI\\VEN_8C4E&DEV_7351");
  EXPECT_EQ(changes[0].keysBelow, 1u);
  EXPECT_EQ(changes[1].kind, Kind::KeyRemoved);
  EXPECT_EQ(changes[1].key, "Enum\\SCSI");
  EXPECT_EQ(changes[1].keysBelow, 4u);

  std::string report;
  MachineSnapshot a, b;
  a.registry = before;
  b.registry = withoutInf;
  report = FormatChanges(a, b);
  const char* expected[] = {
      "  key removed    Enum\\PCI\\VEN_8C4E&DEV_7351  (with 1 key below it)\n",
      "  key removed    Enum\\SCSI  (with 4 keys below it)\n",
      "  value removed  System\\CurrentControlSet\\Services\\Class\\hdc\\0001  "
      "\"InfPath\" (was \"OEM0.INF\")\n",
      "  value changed  System\\CurrentControlSet\\Services\\Class\\hdc\\0001  "
      "\"Flags\": dword:00000001 -> dword:00000102\n",
      "  value added    System\\CurrentControlSet\\Services\\Class\\hdc\\0001  "
      "\"DriverDesc\" = \"Zel \\\"bus master\\\"\"\n",
      "  value changed  Software\\Zelmont  \"Version\": \"1.02\" -> \"2.10\"\n",
      "  key added      Software\\New  (with 1 key below it)\n",
  };
  std::size_t at = 0;
  for (const char* line : expected) {
    SCOPED_TRACE(line);
    std::size_t found = report.find(line);
    ASSERT_NE(found, std::string::npos) << report;
    EXPECT_GE(found, at) << "out of order:\n" << report;
    at = found;
  }
  EXPECT_FALSE(Has(report, "Enum\\SCSI\\CDROM")) << report;
}

TEST(CompareRegistriesTest, MatchesNamesWithoutRegardToCase) {
  Registry before;
  before.SetString("Enum\\MF\\CHILD0000\\X", "Driver", "hdc\\0003");
  Registry after;
  after.SetString("ENUM\\mf\\child0000\\x", "DRIVER", "hdc\\0003");
  EXPECT_TRUE(CompareRegistries(before, after).empty());
}

TEST(DescribeRegistryValueTest, WritesDataAsTheRegistryFileDoes) {
  struct Row {
    RegistryValue value;
    std::string shown;
  } rows[] = {
      {{"Driver", REG_SZ, std::string("hdc\\0003 \0", 10)}, "\"hdc\\0003 \""},
      {{"Empty", REG_SZ, std::string("\0", 1)}, "\"\""},
      {{"Flags", REG_DWORD, std::string("\x01\x02\0\0", 4)}, "dword:00000201"},
      {{"Map", REG_BINARY, std::string("\x02\x03\xff", 3)}, "hex:02,03,ff"},
      {{"List", REG_MULTI_SZ, std::string("a\0\0", 3)}, "hex(7):61,00,00"},
      {{"Short", REG_DWORD, std::string("\x01", 1)}, "hex(4):01"},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(DescribeRegistryValue(rows[i].value), rows[i].shown);
  }
}

TEST(WindowsPathOfTest, TurnsDriveFolderIntoDriveLetter) {
  EXPECT_EQ(WindowsPathOf("c/WINDOWS/INF/MSHDC.INF"), "C:\\WINDOWS\\INF\\MSHDC.INF");
  EXPECT_EQ(WindowsPathOf("a/K7351.MPD"), "A:\\K7351.MPD");
}

}  // namespace
}  // namespace ide
