// The class INF rewrite, on a simulated machine: whole setup runs against
// hand-written golden files, the refusal of a second installation, the
// edge cases of the line-by-line rewrite, and failing writes and copies.
#include "inf/class_inf.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "inf/inf_machine.h"
#include "platform/simulated_machine.h"
#include "setup/setup_state.h"

namespace ide {
namespace {

using namespace inf_test;
using namespace std::string_literals;

constexpr char kRefusalText[] =
    "Driver already has been installed! Setup fail! ";
constexpr char kRefusalCaption[] = "SET UP ERROR!";

const char* GoldenName(SetupVariant variant) {
  switch (variant) {
    case kVariantK7341: return "mshdc_k7341.golden";
    case kVariantK7351: return "mshdc_k7351.golden";
    default: return "mshdc_rbmax.golden";
  }
}

// The text between two markers of a golden file (from the end of `from`
// to the start of `to`), so the edge cases below can name the blocks the
// golden files pin down byte for byte.
std::string Between(const std::string& text, const std::string& from,
                    const std::string& to) {
  const std::size_t start = text.find(from);
  const std::size_t end =
      start == std::string::npos ? start : text.find(to, start + from.size());
  if (end == std::string::npos) {
    ADD_FAILURE() << "no text between " << from << " and " << to;
    return "<missing block>";
  }
  return text.substr(start + from.size(), end - start - from.size());
}

// What a variant writes, as its golden file holds it (with zelhdd.inf or
// rbhdd.inf from the data folder as the distribution INF).
struct WrittenBlocks {
  std::string entries;       // replaces the line closing [ZEL_HDC]
  std::string controlFlags;  // under [ControlFlags]
  std::string strings;       // under [Strings]
};

WrittenBlocks BlocksOf(SetupVariant variant) {
  const std::string golden = DataFile(GoldenName(variant));
  return {
      Between(golden, "DEV_5513\r\n", "[OTHER_HDC]"),
      Between(golden, "[ControlFlags]\r\n", "ExcludeFromSelect=PCI\\CC_0101"),
      Between(golden, "[Strings]\r\n", "OSVendor="),
  };
}

// An expected class INF written with LF and the markers {ENTRIES}, {CF} and
// {STR} for the variant's blocks; returned as stored (CR LF).
std::string Expand(const std::string& lfText, const WrittenBlocks& blocks) {
  std::string text = Dos(lfText);
  const std::pair<std::string, const std::string*> markers[] = {
      {"{ENTRIES}", &blocks.entries},
      {"{CF}", &blocks.controlFlags},
      {"{STR}", &blocks.strings},
  };
  for (const auto& [marker, block] : markers) {
    for (std::size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + block->size())) {
      text.replace(at, marker.size(), *block);
    }
  }
  return text;
}

// ---------------------------------------------------------------------------
// Whole runs against the golden files

TEST(ClassInfGolden, WholeRunWritesTheVariantsClassInfByteForByte) {
  const std::string input = DataFile("mshdc_in.inf");
  for (SetupVariant variant : {kVariantK7341, kVariantK7351, kVariantRbMax}) {
    SCOPED_TRACE("variant " + std::to_string(variant));
    SimulatedMachine machine;
    PrepareMachine(machine, variant, input,
                   DataFile(DistributionInfName(variant)));

    EXPECT_EQ(RunWholeSetup(machine, variant), 0);

    EXPECT_EQ(Bytes(machine, kClassInf), DataFile(GoldenName(variant)));
    EXPECT_EQ(Bytes(machine, kBackup), input);
    EXPECT_FALSE(machine.FileExists(kNewCopy));
    // The driver file name recorded by the rewrite is what got copied.
    EXPECT_EQ(Bytes(machine, kIosubsys + DriverFileName(variant)),
              "miniport " + DriverFileName(variant));
    EXPECT_EQ(MessageBoxes(machine).size(), 1u)
        << "only the confirmation is expected";
  }
}

// ---------------------------------------------------------------------------
// A second installation is refused

TEST(ClassInfRefusal, SecondRunOfTheSameChipStopsAndLeavesTheClassInf) {
  struct Row {
    SetupVariant first;
    SetupVariant second;
  };
  const Row rows[] = {
      {kVariantK7341, kVariantK7341},
      {kVariantK7351, kVariantK7351},
      {kVariantRbMax, kVariantRbMax},
      // The OEM brand and the K7351 share the PCI model line's token.
      {kVariantK7351, kVariantRbMax},
      {kVariantRbMax, kVariantK7351},
  };
  const std::string input = DataFile("mshdc_in.inf");
  for (const Row& row : rows) {
    SCOPED_TRACE("variant " + std::to_string(row.first) + " then " +
                 std::to_string(row.second));
    SimulatedMachine machine;
    PrepareMachine(machine, row.first, input,
                   DataFile(DistributionInfName(row.first)));
    PrepareMachine(machine, row.second, input,
                   DataFile(DistributionInfName(row.second)));
    ASSERT_EQ(RunWholeSetup(machine, row.first), 0);
    const std::string patched = Bytes(machine, kClassInf);
    ASSERT_EQ(patched, DataFile(GoldenName(row.first)));
    const std::size_t eventsBefore = machine.events().size();

    EXPECT_EQ(RunWholeSetup(machine, row.second), 0);

    EXPECT_EQ(Bytes(machine, kClassInf), patched);
    EXPECT_EQ(Bytes(machine, kBackup), input) << "the first run's backup";
    // The copy holds everything up to and including the line with the
    // token: the first run's PCI model line.
    const std::size_t token = patched.find("%PCI\\VEN_8C4E&DEV_73");
    ASSERT_NE(token, std::string::npos);
    EXPECT_EQ(Bytes(machine, kNewCopy),
              patched.substr(0, patched.find("\r\n", token) + 2));

    // The confirmation, then the refusal, then the end: no dialog, no
    // restart.
    std::vector<std::string> seen;
    for (std::size_t i = eventsBefore; i < machine.events().size(); ++i) {
      const MachineEvent& event = machine.events()[i];
      if (event.kind == MachineEvent::Kind::MessageBox) {
        seen.push_back(event.caption + "|" + event.text);
      } else if (event.kind == MachineEvent::Kind::ProcessExit) {
        seen.push_back("exit " + std::to_string(event.number));
      } else {
        seen.push_back(DescribeEvent(event));
      }
    }
    ASSERT_EQ(seen.size(), 3u) << ::testing::PrintToString(seen);
    EXPECT_EQ(seen[1], std::string(kRefusalCaption) + "|" + kRefusalText);
    EXPECT_EQ(seen[2], "exit 0");
  }
}

TEST(ClassInfRefusal, OtherChipOverAPatchedFileAddsItsEntriesAboveTheEarlier) {
  // K7341 over a class INF patched for the K7351 (or the OEM brand), and
  // the reverse: different tokens, so no refusal. The new model lines take
  // the place of the empty line that ended the earlier entries, and each
  // new addition stands directly under its header.
  struct Row {
    SetupVariant first;
    SetupVariant second;
    const char* previousSecondaryLine;
  };
  const Row rows[] = {
      {kVariantK7351, kVariantK7341, "MF\\K7351SECONDARY\r\n"},
      {kVariantRbMax, kVariantK7341, "MF\\RBMAXSECONDARY\r\n"},
      {kVariantK7341, kVariantK7351, "MF\\MASTERSECONDARY\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("variant " + std::to_string(row.first) + " then " +
                 std::to_string(row.second));
    const std::string earlier = DataFile(GoldenName(row.first));
    const WrittenBlocks added = BlocksOf(row.second);
    std::string expected = earlier;
    const std::size_t closing =
        expected.find(row.previousSecondaryLine) +
        std::string(row.previousSecondaryLine).size();
    ASSERT_EQ(expected.substr(closing, 2), "\r\n");
    expected.replace(closing, 2, added.entries);
    expected.insert(expected.find("[ControlFlags]\r\n") + 16,
                    added.controlFlags);
    expected.insert(expected.find("[Strings]\r\n") + 11, added.strings);

    SimulatedMachine machine;
    PrepareMachine(machine, row.second, earlier,
                   DataFile(DistributionInfName(row.second)));
    EXPECT_EQ(RunWholeSetup(machine, row.second), 0);

    EXPECT_EQ(Bytes(machine, kClassInf), expected);
    EXPECT_EQ(Bytes(machine, kBackup), earlier);
    EXPECT_FALSE(machine.FileExists(kNewCopy));
  }
}

TEST(ClassInfRefusal, OnlyTheFirstTokenOfAModelSectionLineCounts) {
  struct Row {
    const char* name;
    const char* classInf;  // LF; {CF} marks the K7351 addition
    bool refused;
    const char* copyAtRefusal;  // mshdc.1 when refused
  };
  // The first piece needs a token of its own, or it would close the
  // section before the second is read.
  const std::string firstPiece = "x" + std::string(253, ' ');
  const std::string tokenInSecondPiece =
      "[ZEL_HDC]\n" + firstPiece + "%PCI\\VEN_8C4E&DEV_7351.DeviceDesc% = X\n\n";
  const Row rows[] = {
      {"the token itself",
       "[ZEL_HDC]\n%PCI\\VEN_8C4E&DEV_7351.DeviceDesc% = X\n\n[Y]\n", true,
       "[ZEL_HDC]\n%PCI\\VEN_8C4E&DEV_7351.DeviceDesc% = X\n"},
      {"in other letters, after separators",
       "[ControlFlags]\n[ZEL_HDC]\n ,\t%pci\\ven_8c4e&dev_7351.devicedesc%,X\n\n",
       true, "[ControlFlags]\n{CF}[ZEL_HDC]\n ,\t%pci\\ven_8c4e&dev_7351.devicedesc%,X\n"},
      {"in the second piece of a long line", tokenInSecondPiece.c_str(), true,
       nullptr},
      {"not the first token",
       "[ZEL_HDC]\nX = %PCI\\VEN_8C4E&DEV_7351.DeviceDesc%\n\n", false, nullptr},
      {"the other chip's token",
       "[ZEL_HDC]\n%PCI\\VEN_8C4E&DEV_7341.DeviceDesc% = X\n\n", false, nullptr},
      {"outside the model section",
       "[OTHER]\n%PCI\\VEN_8C4E&DEV_7351.DeviceDesc% = X\n[ZEL_HDC]\n\n", false,
       nullptr},
      {"after the model section was closed",
       "[ZEL_HDC]\n\n%PCI\\VEN_8C4E&DEV_7351.DeviceDesc% = X\n", false,
       nullptr},
  };
  const WrittenBlocks blocks = BlocksOf(kVariantK7351);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string input = Dos(row.classInf);
    SimulatedMachine machine;
    PrepareMachine(machine, kVariantK7351, input, DataFile("zelhdd.inf"));
    SetupState state;
    state.variant = kVariantK7351;

    const int result = RunPatchSteps(machine, state);

    const std::vector<std::string> shown = MessageBoxes(machine);
    if (row.refused) {
      EXPECT_EQ(result, -1) << "the process ends inside the rewrite";
      EXPECT_EQ(shown, std::vector<std::string>{std::string(kRefusalCaption) +
                                                "|" + kRefusalText});
      EXPECT_EQ(Bytes(machine, kClassInf), input);
      const std::string copy =
          row.copyAtRefusal ? Expand(row.copyAtRefusal, blocks)
                            : input.substr(0, input.size() - 2);
      EXPECT_EQ(Bytes(machine, kNewCopy), copy);
    } else {
      EXPECT_EQ(result, 1);
      EXPECT_TRUE(shown.empty()) << ::testing::PrintToString(shown);
    }
  }
}

// ---------------------------------------------------------------------------
// Edge cases of the rewrite (K7351 with the data folder's zelhdd.inf)

struct RewriteRow {
  const char* name;
  std::string classInf;  // LF unless dosLineEnds is false
  std::string expected;  // LF, with {ENTRIES}, {CF}, {STR}
  int result;
  bool dosLineEnds = true;
};

std::vector<RewriteRow> RewriteRows() {
  const std::string a253(253, 'a');
  const std::string a254(254, 'a');
  const std::string modelLine300 = "%OLD.DeviceDesc% = old, " + std::string(276, 'x');
  const std::string blanks254(254, ' ');
  const std::string blanks245(245, ' ');
  const std::string blanks55(55, ' ');
  return {
      {"header lines with blanks and comments",
       "  [ControlFlags]   ; flags\n\t[Strings]=\t; texts\n"
       "[ZEL_HDC] ; the maker\nold\n\n[X]\n",
       "  [ControlFlags]   ; flags\n{CF}\t[Strings]=\t; texts\n{STR}"
       "[ZEL_HDC] ; the maker\nold\n{ENTRIES}[X]\n",
       1},
      {"section names in other letters",
       "[controlflags]\n[STRINGS]\n[zel_hdc]\n\n",
       "[controlflags]\n{CF}[STRINGS]\n{STR}[zel_hdc]\n{ENTRIES}", 1},
      {"a name that only starts like a header",
       "[Strings.Old]\n[ControlFlags2]\n[ZEL_HDC]\n\n",
       "[Strings.Old]\n[ControlFlags2]\n[ZEL_HDC]\n{ENTRIES}", 1},
      {"headers inside the model section are plain lines",
       "[ZEL_HDC]\nold\n[Strings]\n[ControlFlags]\nmore\n\n[Strings]\nS\n",
       "[ZEL_HDC]\nold\n[Strings]\n[ControlFlags]\nmore\n{ENTRIES}[Strings]\n{STR}S\n",
       1},
      {"every header gets its addition, before and after the model section",
       "[Strings]\na\n[ControlFlags]\n[ZEL_HDC]\n\n[Strings]\nb\n[ControlFlags]\n",
       "[Strings]\n{STR}a\n[ControlFlags]\n{CF}[ZEL_HDC]\n{ENTRIES}"
       "[Strings]\n{STR}b\n[ControlFlags]\n{CF}",
       1},
      {"a second model section after the entries is copied as it stands",
       "[ZEL_HDC]\n\n[ZEL_HDC]\nx\n\n",
       "[ZEL_HDC]\n{ENTRIES}[ZEL_HDC]\nx\n\n", 1},
      {"a closing line of blanks", "[ZEL_HDC]\nold\n  \t \n[X]\n",
       "[ZEL_HDC]\nold\n{ENTRIES}[X]\n", 1},
      {"a closing line of commas and equals signs",
       "[ZEL_HDC]\nold\n,= ,==\n[X]\n", "[ZEL_HDC]\nold\n{ENTRIES}[X]\n", 1},
      {"a comment line does not close the model section",
       "[ZEL_HDC]\n; note\n\n[X]\n", "[ZEL_HDC]\n; note\n{ENTRIES}[X]\n", 1},
      {"a closing line of blanks at the end of the file without a line end",
       "[ZEL_HDC]\nold\n   ", "[ZEL_HDC]\nold\n{ENTRIES}", 1},
      {"a long model line arrives in pieces, each with a token",
       "[ZEL_HDC]\n" + modelLine300 + "\n\n[X]\n",
       "[ZEL_HDC]\n" + modelLine300 + "\n{ENTRIES}[X]\n", 1},
      {"a 253-character line still arrives whole",
       "[ZEL_HDC]\n" + a253 + "\n\n[X]\n",
       "[ZEL_HDC]\n" + a253 + "\n{ENTRIES}[X]\n", 1},
      // 254 characters fill a read; the line end comes as a piece of its
      // own, which has no token and closes the section. The empty line
      // after it is then an ordinary line.
      {"the line end of a 254-character line closes the section",
       "[ZEL_HDC]\n" + a254 + "\n\n[X]\n",
       "[ZEL_HDC]\n" + a254 + "\n{ENTRIES}\n[X]\n", 1},
      {"a header found in the second piece of a long line",
       blanks254 + "[Strings]\nS\n[ZEL_HDC]\n\n",
       blanks254 + "[Strings]\n{STR}S\n[ZEL_HDC]\n{ENTRIES}", 1},
      // The header's first piece gets the addition; the addition starts
      // on a line of its own and the rest of the header line follows it.
      {"a header whose line is longer than a read",
       "[Strings]" + blanks245 + blanks55 + "\nS\n[ZEL_HDC]\n\n",
       "[Strings]" + blanks245 + "\n{STR}" + blanks55 + "\nS\n[ZEL_HDC]\n{ENTRIES}",
       1},
      {"Ctrl-Z ends the class INF", "[ZEL_HDC]\nold\n\n[X]\n\x1a[Strings]\nS\n",
       "[ZEL_HDC]\nold\n{ENTRIES}[X]\n", 1},
      {"LF line ends come back as CR LF", "[Strings]\n[ZEL_HDC]\n\nlast",
       "[Strings]\n{STR}[ZEL_HDC]\n{ENTRIES}last", 1, false},
      {"no model section: a whole copy, nothing swapped",
       "[ControlFlags]\n[Strings]\n[OTHER_HDC]\n\n",
       "[ControlFlags]\n{CF}[Strings]\n{STR}[OTHER_HDC]\n\n", 0},
      {"a model section without a closing line",
       "[ZEL_HDC]\nold\n[Strings]\nS", "[ZEL_HDC]\nold\n[Strings]\nS", 0},
      {"a model section header as the last line", "[Strings]\n[ZEL_HDC]",
       "[Strings]\n{STR}[ZEL_HDC]", 0},
      {"an empty class INF", "", "", 0},
      // A zero byte would cut its line short on the way to the copy, so the
      // copy stops before it and is not used.
      {"a line holding a zero byte", "[ZEL_HDC]\n\n[X]\nA\0B\nC\n"s,
       "[ZEL_HDC]\n{ENTRIES}[X]\n", 0},
  };
}

TEST(ClassInfRewrite, EdgeCasesOfTheLineByLineCopy) {
  const WrittenBlocks blocks = BlocksOf(kVariantK7351);
  for (const RewriteRow& row : RewriteRows()) {
    SCOPED_TRACE(row.name);
    const std::string input = row.dosLineEnds ? Dos(row.classInf) : row.classInf;
    const std::string expected = Expand(row.expected, blocks);
    SimulatedMachine machine;
    PrepareMachine(machine, kVariantK7351, input, DataFile("zelhdd.inf"));
    SetupState state;
    state.variant = kVariantK7351;

    EXPECT_EQ(RunPatchSteps(machine, state), row.result);

    EXPECT_TRUE(MessageBoxes(machine).empty());
    if (row.result == 1) {
      EXPECT_EQ(Bytes(machine, kClassInf), expected);
      EXPECT_EQ(Bytes(machine, kBackup), input);
      EXPECT_FALSE(machine.FileExists(kNewCopy));
      EXPECT_EQ(state.driverFileName, "k7351.mpd");
    } else {
      // The copy stays for the user to see; the class INF is untouched.
      EXPECT_EQ(Bytes(machine, kNewCopy), expected);
      EXPECT_EQ(Bytes(machine, kClassInf), input);
      EXPECT_FALSE(machine.FileExists(kBackup));
      EXPECT_EQ(state.driverFileName, "");
    }
  }
}

TEST(ClassInfRewrite, WholeRunWithoutAModelSectionPlacesNoDriver) {
  const std::string input = Dos("[Version]\nClass=hdc\n\n[Strings]\nX=\"x\"\n");
  SimulatedMachine machine;
  PrepareMachine(machine, kVariantK7351, input, DataFile("zelhdd.inf"));

  EXPECT_EQ(RunWholeSetup(machine, kVariantK7351), 0);

  EXPECT_EQ(Bytes(machine, kClassInf), input);
  EXPECT_EQ(Bytes(machine, kNewCopy),
            Dos("[Version]\nClass=hdc\n\n[Strings]\n") +
                BlocksOf(kVariantK7351).strings + Dos("X=\"x\"\n"));
  EXPECT_FALSE(machine.FileExists(kBackup));
  EXPECT_FALSE(machine.FileExists(std::string(kIosubsys) + "k7351.mpd"));
}

TEST(ClassInfRewrite, AWindowsFolderTooLongForTheClassInfsPathTouchesNothing) {
  // The longest path a file may have is 259 characters; with this folder
  // "\\inf\\mshdc.inf" would end at character 262.
  SimulatedMachine machine;
  machine.config().windowsDir = "C:\\" + std::string(245, 'W');
  const std::string classInf = machine.config().windowsDir + "\\INF\\MSHDC.INF";
  machine.PutFile(classInf, DataFile("mshdc_in.inf"));
  machine.PutFile("A:\\zelhdd.inf", DataFile("zelhdd.inf"));
  SetupState state;
  state.variant = kVariantK7351;

  EXPECT_EQ(RunPatchSteps(machine, state), 0);

  EXPECT_EQ(Bytes(machine, classInf), DataFile("mshdc_in.inf"));
  EXPECT_FALSE(machine.FileExists(machine.config().windowsDir + "\\INF\\MSHDC.1"));
  EXPECT_EQ(machine.CallCount("OpenTextFile"), 0);
  EXPECT_EQ(state.driverFileName, "");
}

// ---------------------------------------------------------------------------
// What the rewrite does when files are missing or refuse to open

TEST(ClassInfRewrite, MissingFilesLeaveTheClassInfAndPlaceNoDriver) {
  struct Row {
    const char* name;
    const char* removed;  // a file taken away before the run, or null
    std::optional<Fault> fault;
    bool copyLeft;  // mshdc.1 exists afterwards
  };
  const Row rows[] = {
      {"no class INF", kClassInf, std::nullopt, false},
      {"the class INF cannot be opened", nullptr,
       Fault{"OpenTextFile", "mshdc.inf", 1}, false},
      {"the copy cannot be created", nullptr, Fault{"OpenTextFile", "mshdc.1", 1},
       false},
      // The entries would name sections and a miniport that are not there.
      {"no distribution INF", "A:\\zelhdd.inf", std::nullopt, true},
      {"the distribution INF opens once, not twice", nullptr,
       Fault{"OpenTextFile", "zelhdd.inf", 2}, true},
  };
  const std::string input = DataFile("mshdc_in.inf");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SimulatedMachine machine;
    PrepareMachine(machine, kVariantK7351, input, DataFile("zelhdd.inf"));
    if (row.removed != nullptr) {
      std::filesystem::remove(machine.HostPath(row.removed));
      ASSERT_FALSE(machine.FileExists(row.removed));
    }
    if (row.fault) machine.InjectFault(*row.fault);

    EXPECT_EQ(RunWholeSetup(machine, kVariantK7351), 0);

    if (row.removed == nullptr || std::string(row.removed) != kClassInf) {
      EXPECT_EQ(Bytes(machine, kClassInf), input);
    }
    EXPECT_FALSE(machine.FileExists(kBackup));
    EXPECT_EQ(machine.FileExists(kNewCopy), row.copyLeft);
    // No miniport without entries that load it.
    EXPECT_FALSE(machine.FileExists(std::string(kIosubsys) + "k7351.mpd"));
    EXPECT_EQ(MessageBoxes(machine).size(), 1u) << "only the confirmation";
  }
}

// ---------------------------------------------------------------------------
// Failed writes and copies never leave a damaged class INF

TEST(ClassInfFaults, ACopyCutShortByAFullDiskIsNeverSwappedIn) {
  const std::string input = DataFile("mshdc_in.inf");
  const std::string golden = DataFile("mshdc_k7351.golden");
  // The copy as the program writes it, before each line end gains its CR;
  // a disk that takes one byte less than this is full in either count.
  const std::int64_t written = static_cast<std::int64_t>(
      golden.size() - std::count(golden.begin(), golden.end(), '\n'));
  // Fill the disk after every possible amount of the copy: before the
  // first line, inside the controller entries, one byte short of the end.
  std::vector<std::int64_t> limits = {0, 1, 100};
  for (std::int64_t limit = 500; limit < written - 1; limit += 331) {
    limits.push_back(limit);
  }
  limits.push_back(written - 1);
  for (std::int64_t limit : limits) {
    SCOPED_TRACE("disk full after " + std::to_string(limit) + " bytes");
    SimulatedMachine machine;
    PrepareMachine(machine, kVariantK7351, input, DataFile("zelhdd.inf"));
    Fault full{"WriteText", "mshdc.1", 1, static_cast<DWORD>(ERROR_DISK_FULL)};
    full.afterBytes = limit;
    machine.InjectFault(full);
    SetupState state;
    state.variant = kVariantK7351;

    EXPECT_EQ(RunPatchSteps(machine, state), 0);

    EXPECT_EQ(Bytes(machine, kClassInf), input);
    EXPECT_FALSE(machine.FileExists(kBackup));
    EXPECT_EQ(state.driverFileName, "");
    const std::string copy = Bytes(machine, kNewCopy);
    EXPECT_LT(copy.size(), golden.size());
    EXPECT_EQ(copy, golden.substr(0, copy.size())) << "the copy is a prefix";
  }
}

TEST(ClassInfFaults, AWholeRunWithAFullDiskLeavesTheMachinesClassInf) {
  const std::string input = DataFile("mshdc_in.inf");
  SimulatedMachine machine;
  PrepareMachine(machine, kVariantK7351, input, DataFile("zelhdd.inf"));
  Fault full{"WriteText", "mshdc.1", 1, static_cast<DWORD>(ERROR_DISK_FULL)};
  full.afterBytes = 1500;
  machine.InjectFault(full);

  EXPECT_EQ(RunWholeSetup(machine, kVariantK7351), 0);

  EXPECT_EQ(Bytes(machine, kClassInf), input);
  EXPECT_FALSE(machine.FileExists(kBackup));
  EXPECT_FALSE(machine.FileExists(std::string(kIosubsys) + "k7351.mpd"));
}

TEST(ClassInfFaults, ACopyThatFailsToCloseIsNeverSwappedIn) {
  const std::string input = DataFile("mshdc_in.inf");
  SimulatedMachine machine;
  PrepareMachine(machine, kVariantK7351, input, DataFile("zelhdd.inf"));
  machine.InjectFault(Fault{"CloseTextFile", "mshdc.1", 1,
                            static_cast<DWORD>(ERROR_WRITE_FAULT)});
  SetupState state;
  state.variant = kVariantK7351;

  EXPECT_EQ(RunPatchSteps(machine, state), 0);

  EXPECT_EQ(Bytes(machine, kClassInf), input);
  EXPECT_FALSE(machine.FileExists(kBackup));
  EXPECT_TRUE(machine.FileExists(kNewCopy));
  EXPECT_EQ(state.driverFileName, "");
}

TEST(ClassInfFaults, TheSwapKeepsTheClassInfWholeWhenACopyFails) {
  struct Row {
    const char* name;
    Fault fault;
    const char* classInf;  // "input" or "golden" afterwards
    bool backupMade;
  };
  const Row rows[] = {
      // Without a backup the class INF is not replaced at all.
      {"the backup cannot be made", Fault{"CopyFileA", "mshdc.ing", 1}, "input",
       false},
      // The replacement fails: the class INF comes back from the backup.
      {"the new copy cannot be put in place", Fault{"CopyFileA", "mshdc.1", 1},
       "input", true},
      {"the new copy cannot be deleted", Fault{"DeleteFileA", "mshdc.1", 1},
       "golden", true},
  };
  const std::string input = DataFile("mshdc_in.inf");
  const std::string golden = DataFile("mshdc_k7351.golden");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SimulatedMachine machine;
    PrepareMachine(machine, kVariantK7351, input, DataFile("zelhdd.inf"));
    machine.InjectFault(row.fault);
    SetupState state;
    state.variant = kVariantK7351;

    EXPECT_EQ(RunPatchSteps(machine, state), 1);

    EXPECT_EQ(Bytes(machine, kClassInf),
              std::string(row.classInf) == "input" ? input : golden);
    EXPECT_EQ(machine.FileExists(kBackup), row.backupMade);
    if (row.backupMade) {
      EXPECT_EQ(Bytes(machine, kBackup), input);
    }
    // In each case the rewritten copy is left for the user to see.
    EXPECT_EQ(Bytes(machine, kNewCopy), golden);
  }
}

// A machine whose copy of the new class INF dies halfway: the target is
// left holding half of it and the copy reports failure, as a full disk or
// a removed diskette would leave it.
class TornCopyMachine : public SimulatedMachine {
 public:
  BOOL CopyFileA(const char* existing, const char* target,
                 BOOL failIfExists) override {
    const BOOL copied = SimulatedMachine::CopyFileA(existing, target, failIfExists);
    if (!copied || std::string(existing) .find("mshdc.1") == std::string::npos) {
      return copied;
    }
    const std::filesystem::path host = HostPath(target);
    std::filesystem::resize_file(host, std::filesystem::file_size(host) / 2);
    return kFalse;
  }
};

TEST(ClassInfFaults, AReplacementCutShortIsUndoneFromTheBackup) {
  const std::string input = DataFile("mshdc_in.inf");
  const std::string golden = DataFile("mshdc_k7351.golden");
  TornCopyMachine machine;
  PrepareMachine(machine, kVariantK7351, input, DataFile("zelhdd.inf"));
  SetupState state;
  state.variant = kVariantK7351;

  EXPECT_EQ(RunPatchSteps(machine, state), 1);

  EXPECT_EQ(Bytes(machine, kClassInf), input);
  EXPECT_EQ(Bytes(machine, kBackup), input);
  EXPECT_EQ(Bytes(machine, kNewCopy), golden);
}

TEST(ClassInfFaults, FailingAnyOneOperationLeavesTheOldOrTheNewClassInf) {
  // Fail the first, second, ... call of each operation the rewrite and the
  // swap make, until one runs through untouched. Whatever fails, mshdc.inf
  // is the old file or the whole new one, never anything between. A failed
  // read, of the class INF or of the distribution INF, counts too: it must
  // not pass for the end of the file.
  const std::string input = DataFile("mshdc_in.inf");
  const std::string golden = DataFile("mshdc_k7351.golden");
  for (const char* operation :
       {"GetWindowsDirectoryA", "OpenTextFile", "ReadTextLine", "WriteText",
        "CloseTextFile", "CopyFileA", "DeleteFileA"}) {
    for (int n = 1;; ++n) {
      SCOPED_TRACE(std::string(operation) + " call " + std::to_string(n) +
                   " fails");
      SimulatedMachine machine;
      PrepareMachine(machine, kVariantK7351, input, DataFile("zelhdd.inf"));
      machine.InjectFault(Fault{operation, "", n});
      SetupState state;
      state.variant = kVariantK7351;

      const int result = RunPatchSteps(machine, state);

      const std::string now = Bytes(machine, kClassInf);
      EXPECT_TRUE(now == input || now == golden) << now;
      if (now == golden) {
        EXPECT_EQ(result, 1);
        EXPECT_EQ(Bytes(machine, kBackup), input);
      }
      EXPECT_EQ(state.driverFileName, result == 1 ? "k7351.mpd" : "");
      if (machine.CallCount(operation) < n) break;  // nothing failed
      ASSERT_LT(n, 10000);
    }
  }
}

// ---------------------------------------------------------------------------
// The rewrite streams: memory does not follow the size of the class INF

// Rewrites and swaps a class INF of `classInfBytes` written straight to the
// host, and reports by its exit code whether the process's peak memory grew
// by less than a tenth of that (0) or not (1).
[[noreturn]] void RewriteLargeClassInfAndExit(std::size_t classInfBytes) {
  SimulatedMachine machine;
  PrepareMachine(machine, kVariantK7351, "", DataFile("zelhdd.inf"));
  std::size_t written = 0;
  {
    std::ofstream big(machine.HostPath(kClassInf), std::ios::binary);
    big << "[ZEL_HDC]\r\nold\r\n\r\n[Strings]\r\n";
    const std::string line =
        "PCI\\VEN_1A2B&DEV_0640.DeviceDesc=\"Other Maker PCI IDE Controller\"\r\n";
    for (; written < classInfBytes; written += line.size()) big << line;
  }
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  SetupState state;
  state.variant = kVariantK7351;
  const int result = RunPatchSteps(machine, state);
  rusage after{};
  getrusage(RUSAGE_SELF, &after);

  const long grownKiB = after.ru_maxrss - before.ru_maxrss;
  const bool swapped =
      result == 1 && !machine.FileExists(kNewCopy) &&
      std::filesystem::file_size(machine.HostPath(kBackup)) > written &&
      std::filesystem::file_size(machine.HostPath(kClassInf)) > written;
  std::fprintf(stderr, "result %d, swapped %d, peak grew by %ld KiB\n", result,
               swapped ? 1 : 0, grownKiB);
  const long allowedKiB = static_cast<long>(classInfBytes / 10 / 1024);
  std::_Exit(swapped && grownKiB < allowedKiB ? 0 : 1);
}

TEST(ClassInfMemory, PeakMemoryStaysFarBelowTheSizeOfTheClassInf) {
  // In a child process, so the peak measured is this rewrite's alone.
  EXPECT_EXIT(RewriteLargeClassInfAndExit(32u << 20),
              ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace ide
