// idesetup run as the built program, the way support staff run it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "idesetup_runner.h"
#include "platform/simulated_machine.h"

namespace ide {
namespace {

using testing::CommandResult;
using testing::LineCount;
using testing::ReadFile;
using testing::ReadTree;
using testing::RunIdesetupProgram;
using testing::SampleMachine;
using testing::ScratchFolder;
using testing::WriteFile;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(IdesetupProgramTest, RunOnTheDefaultMachineLeavesItsFolderUntouched) {
  const auto sample = SampleMachine("k7351-upgrade");
  const auto before = ReadTree(sample);
  ASSERT_FALSE(before.empty());

  // No --machine: the bundled default, which is this sample.
  CommandResult run = RunIdesetupProgram(
      {"--answer", "yes", "--restart", "now", "--", "/D:K7351"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(Has(run.out, "Machine: " + sample.string() + "\n")) << run.out;
  EXPECT_TRUE(Has(run.out, "Command line: /D:K7351\n")) << run.out;
  // The run changed its working copy of the machine ...
  EXPECT_TRUE(Has(run.out, "changed  C:\\WINDOWS\\INF\\MSHDC.INF")) << run.out;
  // ... and never the folder it was loaded from.
  EXPECT_EQ(ReadTree(sample), before);
}

TEST(IdesetupProgramTest, OutWritesALoadableMachineThatASecondRunStartsFrom) {
  ScratchFolder scratch;
  const auto first = scratch.path() / "first";
  const auto second = scratch.path() / "second";

  CommandResult run1 = RunIdesetupProgram(
      {"--machine", SampleMachine("k7351-upgrade").string(), "--answer", "yes",
       "--restart", "later", "--out", first.string(), "/D:K7351"});
  ASSERT_EQ(run1.status, 0) << run1.err;
  EXPECT_TRUE(Has(run1.out, "Machine after the run written to " + first.string()))
      << run1.out;

  // What was written is the machine as the report describes it.
  std::unique_ptr<SimulatedMachine> written = SimulatedMachine::Load(first);
  EXPECT_FALSE(written->FileExists("C:\\WINDOWS\\INF\\OTHER\\ZelmontZELHDD.INF"));
  EXPECT_TRUE(written->FileExists("C:\\WINDOWS\\INF\\MSHDC.ING"));
  EXPECT_EQ(written->FileBytes("C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\K7351.MPD"),
            written->FileBytes("A:\\K7351.MPD"));
  EXPECT_FALSE(written->registry().KeyExists("Enum\\SCSI"));
  EXPECT_TRUE(written->registry().KeyExists("Software\\Zelmont\\IDE Driver"));
  const std::string patched =
      *written->FileBytes("C:\\WINDOWS\\INF\\MSHDC.INF");
  EXPECT_TRUE(Has(patched, "%PCI\\VEN_8C4E&DEV_7351.DeviceDesc%")) << patched;

  // Chained: the second run starts from the first one's result, finds the
  // entries already in the class INF and stops there.
  CommandResult run2 = RunIdesetupProgram(
      {"--machine", first.string(), "--answer", "yes", "--restart", "now",
       "--out", second.string(), "--", "/D:K7351"});
  ASSERT_EQ(run2.status, 0) << run2.err;
  EXPECT_TRUE(Has(run2.out, "Driver already has been installed! Setup fail! "))
      << run2.out;
  EXPECT_TRUE(Has(run2.out, "  added    C:\\WINDOWS\\INF\\mshdc.1")) << run2.out;
  EXPECT_TRUE(Has(run2.out, "no key or value changed")) << run2.out;
  std::unique_ptr<SimulatedMachine> chained = SimulatedMachine::Load(second);
  EXPECT_EQ(chained->FileBytes("C:\\WINDOWS\\INF\\MSHDC.INF"), patched);
  EXPECT_TRUE(chained->registry() == written->registry());
}

TEST(IdesetupProgramTest, WithoutTerminalOrAnswerItStopsWithOneClearLine) {
  struct Row {
    std::vector<std::string> args;
    std::string messagePart;
  } rows[] = {
      {{"/D:K7351"}, "give --answer yes or --answer no"},
      {{"--answer", "yes", "/D:K7351"}, "give --restart now or --restart later"},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    ScratchFolder scratch;
    const auto out = scratch.path() / "out";
    std::vector<std::string> args = {"--out", out.string()};
    args.insert(args.end(), rows[i].args.begin(), rows[i].args.end());
    CommandResult run = RunIdesetupProgram(args, "/dev/null");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(LineCount(run.err), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("idesetup: ", 0), 0u) << run.err;
    EXPECT_TRUE(Has(run.err, "standard input is not a terminal")) << run.err;
    EXPECT_TRUE(Has(run.err, rows[i].messagePart)) << run.err;
    // An abandoned run writes no machine.
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

TEST(IdesetupProgramTest, MalformedMachineFolderIsNamedWithFileAndLine) {
  struct Row {
    std::string file;
    int line;  // line to replace, from 1
    std::string replacement;
    std::string messagePart;
  } rows[] = {
      {"registry.reg", 5, "garbage without quotes\r", "registry.reg:5:"},
      {"registry.reg", 1, "REGEDIT9\r", "registry.reg:1:"},
      {"machine.ini", 3, "no equals sign here", "machine.ini:3:"},
      {"machine.ini", 9, "7=zz:7450", "machine.ini:9:"},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.file + ":" + std::to_string(row.line));
    ScratchFolder scratch;
    const auto machine = scratch.path() / "machine";
    std::filesystem::copy(SampleMachine("k7351-upgrade"), machine,
                          std::filesystem::copy_options::recursive);
    std::string text = ReadFile(machine / row.file);
    std::size_t start = 0;
    for (int n = 1; n < row.line; ++n) start = text.find('\n', start) + 1;
    std::size_t end = text.find('\n', start);
    text.replace(start, end - start, row.replacement);
    WriteFile(machine / row.file, text);

    CommandResult run = RunIdesetupProgram(
        {"--machine", machine.string(), "--answer", "yes", "--restart", "now",
         "/D:K7351"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(LineCount(run.err), 1u) << run.err;
    EXPECT_TRUE(Has(run.err, row.messagePart)) << run.err;
    // Nothing ran.
    EXPECT_FALSE(Has(run.out, "Transcript:")) << run.out;
  }
}

TEST(IdesetupProgramTest, UsageAndFolderErrorsExitTwoWithOneLine) {
  ScratchFolder scratch;
  const auto sample = SampleMachine("no-bridge").string();
  std::filesystem::create_directories(scratch.path() / "full");
  WriteFile(scratch.path() / "full" / "left-over", "x");
  struct Row {
    std::vector<std::string> args;
    std::string messagePart;
  } rows[] = {
      {{"--answer", "maybe", "/D:K7351"}, "--answer takes yes or no"},
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{"/D:K7351", "--answer", "yes"}, "after the command-line tail"},
      {{"--machine", (scratch.path() / "missing").string()},
       "not found or not a folder"},
      {{"--machine", sample, "--out", sample + "/drives"},
       "inside the machine folder"},
      {{"--machine", sample, "--out", (scratch.path() / "full").string()},
       "folder is not empty"},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    CommandResult run = RunIdesetupProgram(rows[i].args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(LineCount(run.err), 1u) << run.err;
    EXPECT_TRUE(Has(run.err, rows[i].messagePart)) << run.err;
  }
}

TEST(IdesetupProgramTest, HelpPrintsTheUsage) {
  CommandResult run = RunIdesetupProgram({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("usage: idesetup [--machine DIR]", 0), 0u) << run.out;
  EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace ide
