#include "previous/old_inf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "previous/machine_fixture.h"

namespace ide {
namespace {

using fixture::kInfDir;
using fixture::kOtherInfDir;

const std::string kFirstChildClass =
    std::string(fixture::kClassRoot) + "\\hdc\\0002";

// A record whose first channel has the class key above.
PreviousInstall RecordWithFirstChildClass() {
  PreviousInstall record;
  record.firstChild.found = 1;
  record.firstChild.key = "Enum\\MF\\CHILD0000\\PCI&VEN_8C4E&DEV_7351";
  record.firstChild.classKey = kFirstChildClass;
  record.infPath = "left over";
  return record;
}

struct FindCase {
  std::string name;
  std::string infPathValue;        // value InfPath of the class key
  std::vector<std::string> files;  // files present on the machine
  std::string expected;            // the old INF's path, or empty
};

TEST(FindOldInfFile, LooksInInfThenInOther) {
  const std::vector<FindCase> cases = {
      {"in inf",
       "OEM3.INF",
       {std::string(kInfDir) + "\\OEM3.INF"},
       "C:\\WINDOWS\\inf\\OEM3.INF"},
      {"in inf\\other",
       "ZelmontZELHDD.INF",
       {std::string(kOtherInfDir) + "\\ZelmontZELHDD.INF"},
       "C:\\WINDOWS\\inf\\other\\ZelmontZELHDD.INF"},
      {"in both, inf wins",
       "OEM3.INF",
       {std::string(kInfDir) + "\\OEM3.INF",
        std::string(kOtherInfDir) + "\\OEM3.INF"},
       "C:\\WINDOWS\\inf\\OEM3.INF"},
      {"in neither", "OEM3.INF", {}, ""},
      // The class INF is patched by this setup; it is never the old one.
      {"class INF in capitals",
       "MSHDC.INF",
       {std::string(kInfDir) + "\\MSHDC.INF"},
       ""},
      {"class INF mixed case",
       "MsHdc.Inf",
       {std::string(kInfDir) + "\\MSHDC.INF"},
       ""},
      {"class INF in other",
       "mshdc.inf",
       {std::string(kOtherInfDir) + "\\MSHDC.INF"},
       ""},
      // Windows drops the dots and blanks that end a file name, so these
      // name the class INF just the same.
      {"class INF with a trailing blank",
       "mshdc.inf ",
       {std::string(kInfDir) + "\\MSHDC.INF"},
       ""},
      {"class INF with trailing dots and blanks",
       "MSHDC.INF. .",
       {std::string(kInfDir) + "\\MSHDC.INF"},
       ""},
      {"a name that ends in the class INF's",
       "Xmshdc.inf",
       {std::string(kInfDir) + "\\Xmshdc.inf"},
       "C:\\WINDOWS\\inf\\Xmshdc.inf"},
      {"a name only like the class INF",
       "MSHDC2.INF",
       {std::string(kInfDir) + "\\MSHDC2.INF"},
       "C:\\WINDOWS\\inf\\MSHDC2.INF"},
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.registry().SetString(kFirstChildClass, "InfPath", c.infPathValue);
    for (const std::string& file : c.files)
      machine.PutFile(file, "[Version]\r\n");
    PreviousInstall record = RecordWithFirstChildClass();
    FindOldInfFile(machine, record);
    EXPECT_EQ(record.infPath, c.expected);
  }
}

TEST(FindOldInfFile, OnlyABareFileNameIsJoinedToTheInfFolders) {
  // InfPath comes from the registry. A path in it must not make the setup
  // point at (and later delete) a file outside inf and inf\other.
  const std::vector<FindCase> cases = {
      {"parent folder", "..\\SYSTEM.INI", {"C:\\WINDOWS\\SYSTEM.INI"}, ""},
      {"two levels up", "..\\..\\AUTOEXEC.BAT", {"C:\\AUTOEXEC.BAT"}, ""},
      {"from other to inf",
       "..\\OEM3.INF",
       {std::string(kInfDir) + "\\OEM3.INF"},
       ""},
      {"absolute path", "C:\\CONFIG.SYS", {"C:\\CONFIG.SYS"}, ""},
      {"drive relative", "C:CONFIG.SYS", {"C:\\CONFIG.SYS"}, ""},
      {"forward slashes", "../SYSTEM.INI", {"C:\\WINDOWS\\SYSTEM.INI"}, ""},
      {"subfolder",
       "OTHER\\OEM3.INF",
       {std::string(kOtherInfDir) + "\\OEM3.INF"},
       ""},
      {"dot dot", "..", {std::string(kInfDir) + "\\OEM3.INF"}, ""},
      {"empty", "", {std::string(kInfDir) + "\\OEM3.INF"}, ""},
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.registry().SetString(kFirstChildClass, "InfPath", c.infPathValue);
    for (const std::string& file : c.files)
      machine.PutFile(file, "k7351.mpd\r\n");
    PreviousInstall record = RecordWithFirstChildClass();
    FindOldInfFile(machine, record);
    EXPECT_EQ(record.infPath, "");
  }
}

TEST(FindOldInfFile, NothingWithoutTheFirstChildsInfPath) {
  struct Case {
    std::string name;
    bool firstChildClass;  // the record names the first child's class key
    bool classKeyExists;
    bool infPathValue;
  };
  const std::vector<Case> cases = {
      {"no class key in the record", false, true, true},
      {"class key missing from the registry", true, false, false},
      {"no InfPath value", true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.PutFile(std::string(kInfDir) + "\\OEM3.INF", "k7351.mpd\r\n");
    if (c.classKeyExists) machine.registry().CreateKey(kFirstChildClass);
    if (c.infPathValue) {
      machine.registry().SetString(kFirstChildClass, "InfPath", "OEM3.INF");
    }
    PreviousInstall record = RecordWithFirstChildClass();
    if (!c.firstChildClass) record.firstChild.classKey.clear();
    // The other records are never consulted for the INF.
    record.pci.classKey = kFirstChildClass;
    record.secondChild.classKey = kFirstChildClass;
    FindOldInfFile(machine, record);
    EXPECT_EQ(record.infPath, "");
  }
}

TEST(FindOldInfFile, APathThatWouldNotFitIsNotLookedFor) {
  // The old INF's path is held in 127 characters; a shortened path would
  // name another file, so such a file is passed over.
  struct Case {
    std::string name;
    std::size_t nameLength;
    bool inOther;
    bool found;
  };
  // "C:\WINDOWS\inf\" is 15 characters, "C:\WINDOWS\inf\other\" 21.
  const std::vector<Case> cases = {
      {"inf path of 127 characters", 112, false, true},
      {"inf path of 128 characters", 113, false, false},
      {"other path of 127 characters", 106, true, true},
      {"other path of 128 characters", 107, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    const std::string name = std::string(c.nameLength - 4, 'N') + ".INF";
    machine.registry().SetString(kFirstChildClass, "InfPath", name);
    machine.PutFile(
        std::string(c.inOther ? kOtherInfDir : kInfDir) + "\\" + name,
        "k7351.mpd\r\n");
    PreviousInstall record = RecordWithFirstChildClass();
    FindOldInfFile(machine, record);
    if (c.found) {
      EXPECT_EQ(record.infPath.size(), 127u);
      EXPECT_TRUE(machine.FileExists(record.infPath));
    } else {
      EXPECT_EQ(record.infPath, "");
    }
  }
}

TEST(IsBareFileName, AcceptsOnlyNamesThatStayInTheirFolder) {
  struct Case {
    std::string name;
    bool bare;
  };
  const std::vector<Case> cases = {
      {"OEM3.INF", true},
      {"ZelmontZELHDD.INF", true},
      {"a..b.inf", true},
      {"..inf", true},
      {"", false},
      {".", false},
      {"..", false},
      {"...", false},
      // Windows drops the dots and blanks that end a name: these name the
      // folder itself.
      {" ", false},
      {". .", false},
      {".. ", false},
      {"OEM3.INF ", true},
      {"..\\x.inf", false},
      {"x\\y.inf", false},
      {"x/y.inf", false},
      {"C:x.inf", false},
      {"\\\\server\\x", false},
      {"*.INF", false},
      {"OEM?.INF", false},
      {"OEM3.INF|X", false},
      {"<OEM3>.INF", false},
      {"\"OEM3.INF\"", false},
      {"OEM3\tINF", false},
      {"Zel HDD 2.INF", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsBareFileName(c.name), c.bare);
  }
}

TEST(InfMentionsDriver, NeedsTheNameInExactlyThoseLettersWithinOneRead) {
  const std::string longPrefix(250, ';');
  struct Case {
    std::string name;
    std::string bytes;
    int expected;
  };
  const std::vector<Case> cases = {
      {"on an entry line", "[Version]\r\nHKR,,PortDriver,,k7351.mpd\r\n", 1},
      {"inside a word", "CopyFiles=k7351.mpdx\r\n", 1},
      {"last line without a line end", "[Version]\r\nk7351.mpd", 1},
      {"capitals", "HKR,,PortDriver,,K7351.MPD\r\n", 0},
      {"the other chip's file", "HKR,,PortDriver,,k7341.mpd\r\n", 0},
      {"empty file", "", 0},
      // A read takes at most 255 characters; a longer line arrives in
      // pieces, each searched alone.
      {"long line, name within the first read",
       std::string(246, ';') + "k7351.mpd" + "\r\n", 1},
      {"long line, name split between two reads",
       longPrefix + "k7351.mpd" + "\r\n", 0},
      {"long line, name in the second read",
       std::string(255, ';') + "k7351.mpd" + "\r\n", 1},
      // The text file ends at a Ctrl-Z.
      {"after the end-of-file mark",
       "[Version]\r\n\x1a"
       "k7351.mpd\r\n",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.PutFile("C:\\WINDOWS\\INF\\OEM3.INF", c.bytes);
    EXPECT_EQ(
        InfMentionsDriver(machine, "C:\\WINDOWS\\INF\\OEM3.INF", "k7351.mpd"),
        c.expected);
  }
}

TEST(InfMentionsDriver, MissingFileDoesNotMention) {
  SimulatedMachine machine;
  EXPECT_EQ(
      InfMentionsDriver(machine, "C:\\WINDOWS\\INF\\OEM3.INF", "k7351.mpd"), 0);
}

}  // namespace
}  // namespace ide
