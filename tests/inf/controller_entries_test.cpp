// The two sections copied from the distribution INF, each with its own
// header test and its own ending, and the driver file name recorded.
#include "inf/controller_entries.h"

#include <string>

#include <gtest/gtest.h>

#include "inf/inf_machine.h"
#include "inf/inf_writer.h"
#include "platform/simulated_machine.h"

namespace ide {
namespace {

using namespace inf_test;

constexpr char kDistribution[] = "A:\\ZELHDD.INF";
constexpr char kOutputFolder[] = "C:\\TEMP";
constexpr char kOutput[] = "C:\\TEMP\\OUT.INF";

// Runs one copy from a distribution INF holding `distribution` (LF, stored
// as CR LF) into a fresh output file; returns the output as stored.
template <typename Copy>
std::string RunCopy(const std::string& distribution, Copy copy) {
  SimulatedMachine machine;
  machine.PutFile(kDistribution, Dos(distribution));
  machine.MakeFolder(kOutputFolder);
  machine.RunProcess([&] {
    TextFile source = machine.OpenTextFile(kDistribution, TextMode::Read);
    TextFile target = machine.OpenTextFile(kOutput, TextMode::Write);
    EXPECT_NE(source, nullptr);
    EXPECT_NE(target, nullptr);
    InfWriter out(machine, target);
    copy(machine, source, out);
    machine.CloseTextFile(source);
    EXPECT_TRUE(out.Close());
    return 0;
  });
  return Bytes(machine, kOutput);
}

struct CopyRow {
  const char* name;
  std::string distribution;  // LF
  std::string hardware;      // what the hardware copy writes, LF
  std::string arguments;     // what the argument copy writes, LF
};

TEST(ControllerEntries, BothCopiesFromTheDistributionInf) {
  const CopyRow rows[] = {
      {"the usual layout",
       "[Version]\nClass=hdc\n\n[DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\n\n"
       "[DrvArg.Reg]\nHKR,,B,,2\n\n[Strings]\nS=\"s\"\n",
       "[DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\n\n",
       "[DrvArg.Reg]\nHKR,,B,,2\n\n"},
      {"a hardware section running to the end of the file",
       "[DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\n\nHKR,,C,,3\n",
       "[DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\n\nHKR,,C,,3\n", ""},
      {"a hardware section whose last line has no line end",
       "[DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1",
       "[DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\n", ""},
      {"a \"[\" inside an entry ends the hardware section before it",
       "[DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\nHKR,,Label,,\"x [2]\"\nHKR,,C,,3\n",
       "[DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\n", ""},
      {"hardware header after blanks, with a comment",
       " \t [DUAL_MASTER_IDE.RegHW] ; hw\nHKR,,A,,1\n[Next]\n",
       " \t [DUAL_MASTER_IDE.RegHW] ; hw\nHKR,,A,,1\n", ""},
      {"hardware name anywhere in a line that starts with \"[\"",
       "[X] [DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\n[Next]\n",
       "[X] [DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\n", ""},
      {"a line not starting with \"[\" is no hardware header",
       "; [DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\n", "", ""},
      {"the hardware header in other letters is not found",
       "[dual_master_ide.reghw]\nHKR,,A,,1\n[DrvArg.Reg]\nHKR,,B,,2\n\n", "",
       "[DrvArg.Reg]\nHKR,,B,,2\n\n"},
      {"only the first hardware section is copied",
       "[DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\n[DUAL_MASTER_IDE.RegHW]\nHKR,,Z,,9\n",
       "[DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\n", ""},
      {"the argument header in other letters, after blanks",
       "  [drvarg.REG] ; args\nHKR,,B,,2\n\n",
       "", "  [drvarg.REG] ; args\nHKR,,B,,2\n\n"},
      {"an argument header followed by an equals sign",
       "[DrvArg.Reg]=x\nHKR,,B,,2\n\n", "", "[DrvArg.Reg]=x\nHKR,,B,,2\n\n"},
      {"a name that only contains the argument header",
       "[DrvArg.Reg.NT]\nHKR,,B,,2\n\n", "", ""},
      {"the closing line of blanks, commas and equals is a bare line end",
       "[DrvArg.Reg]\nHKR,,B,,2\n \t,=, \nHKR,,after,,0\n", "",
       "[DrvArg.Reg]\nHKR,,B,,2\n\n"},
      {"an argument section closed by the end of the file",
       "[DrvArg.Reg]\nHKR,,B,,2\n", "", "[DrvArg.Reg]\nHKR,,B,,2\n"},
      {"its last line without a line end still ends its line",
       "[DrvArg.Reg]\nHKR,,B,,2", "", "[DrvArg.Reg]\nHKR,,B,,2\n"},
      {"a header right after the argument section is copied along",
       "[DrvArg.Reg]\nHKR,,B,,2\n[Other]\nO=1\n\n[Last]\nL=1\n", "",
       "[DrvArg.Reg]\nHKR,,B,,2\n[Other]\nO=1\n\n"},
      {"two argument sections are both copied",
       "[DrvArg.Reg]\nHKR,,B,,2\n\n[Mid]\nM=1\n\n[DrvArg.Reg]\nHKR,,C,,3\n  \n",
       "", "[DrvArg.Reg]\nHKR,,B,,2\n\n[DrvArg.Reg]\nHKR,,C,,3\n\n"},
      {"the hardware copy takes a following argument header's blank line",
       "[DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\n  \n[DrvArg.Reg]\nHKR,,B,,2\n",
       "[DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\n  \n", "[DrvArg.Reg]\nHKR,,B,,2\n"},
      {"neither section", "[Version]\nClass=hdc\n", "", ""},
      {"an empty file", "", "", ""},
  };
  for (const CopyRow& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(RunCopy(row.distribution, CopyHardwareSection), Dos(row.hardware));
    EXPECT_EQ(RunCopy(row.distribution, CopyArgumentSections),
              Dos(row.arguments));
  }
}

TEST(ControllerEntries, LongLinesAreCopiedWholeAndTestedInPieces) {
  const std::string value(300, 'v');
  // A "[" in the second piece of a long entry ends the hardware section
  // there; what was copied of that line still ends its line.
  const std::string first(254, 'h');
  const std::string hardware =
      "[DUAL_MASTER_IDE.RegHW]\nHKR,,A,," + value + "\n" + first + "[x]\n";
  EXPECT_EQ(RunCopy(hardware, CopyHardwareSection),
            Dos("[DUAL_MASTER_IDE.RegHW]\nHKR,,A,," + value + "\n" + first +
                "\n"));
  // A piece of blanks ends the argument section just like a blank line.
  const std::string arguments = "[DrvArg.Reg]\nHKR,,B,," + value + "\n" +
                                "HKR,,C" + std::string(300, ' ') + "\nHKR,,D\n";
  EXPECT_EQ(RunCopy(arguments, CopyArgumentSections),
            Dos("[DrvArg.Reg]\nHKR,,B,," + value + "\nHKR,,C" +
                std::string(248, ' ') + "\n"));
}

TEST(ControllerEntries, RecordsTheDriverFileAndFailsWithoutTheDistributionInf) {
  struct Row {
    SetupVariant variant;
    const char* distribution;  // where the variant's INF is put, or null
    int result;
    const char* driver;
  };
  const Row rows[] = {
      {kVariantK7341, "A:\\ZELHDD.INF", 1, "k7341.mpd"},
      {kVariantK7351, "A:\\zelhdd.inf", 1, "k7351.mpd"},
      {kVariantRbMax, "A:\\RBHDD.INF", 1, "rbide.mpd"},
      // The OEM brand reads its own INF only.
      {kVariantRbMax, "A:\\ZELHDD.INF", 0, "rbide.mpd"},
      {kVariantK7351, nullptr, 0, "k7351.mpd"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.variant) + " " +
                 (row.distribution ? row.distribution : "none"));
    SimulatedMachine machine;
    machine.MakeFolder(kOutputFolder);
    if (row.distribution != nullptr) {
      machine.PutFile(row.distribution,
                      Dos("[DUAL_MASTER_IDE.RegHW]\nH\n\n[DrvArg.Reg]\nA\n\n"));
    }
    SetupState state;
    state.variant = row.variant;
    int result = -1;
    machine.RunProcess([&] {
      InfWriter out(machine, machine.OpenTextFile(kOutput, TextMode::Write));
      result = WriteControllerEntries(machine, state, out);
      out.Close();
      return 0;
    });
    EXPECT_EQ(result, row.result);
    EXPECT_EQ(state.driverFileName, row.driver);
    const std::string written = Bytes(machine, kOutput);
    // The copies come last, after the install sections.
    const std::string copies =
        "\"sysclass.dll,IDEEnumPropPages\" \r\n\r\n"
        "[DUAL_MASTER_IDE.RegHW]\r\nH\r\n\r\n[DrvArg.Reg]\r\nA\r\n\r\n";
    const bool endsWithCopies =
        written.size() >= copies.size() &&
        written.compare(written.size() - copies.size(), copies.size(),
                        copies) == 0;
    EXPECT_EQ(endsWithCopies, row.result == 1) << written;
  }
}

TEST(ControllerEntries, AFailedWriteIsReported) {
  SimulatedMachine machine;
  machine.PutFile("A:\\zelhdd.inf", DataFile("zelhdd.inf"));
  machine.MakeFolder(kOutputFolder);
  Fault full{"WriteText", "OUT.INF", 1, static_cast<DWORD>(ERROR_DISK_FULL)};
  full.afterBytes = 40;
  machine.InjectFault(full);
  SetupState state;
  state.variant = kVariantK7351;
  int result = -1;
  machine.RunProcess([&] {
    InfWriter out(machine, machine.OpenTextFile(kOutput, TextMode::Write));
    result = WriteControllerEntries(machine, state, out);
    EXPECT_FALSE(out.Close());
    return 0;
  });
  EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace ide
