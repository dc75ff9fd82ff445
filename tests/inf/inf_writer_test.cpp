// An INF file being written stops at its first failed write, so what it
// holds is always a clean prefix of what was meant, and says so.
#include "inf/inf_writer.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "inf/inf_machine.h"
#include "platform/simulated_machine.h"

namespace ide {
namespace {

using namespace inf_test;

constexpr char kOutput[] = "C:\\TEMP\\OUT.INF";

struct WriterRow {
  const char* name;
  std::vector<std::string> texts;  // written in turn; "<EOL>" calls EndLine
  std::optional<Fault> fault;
  std::string stored;
  bool ok;
};

TEST(InfWriter, KeepsAPrefixAndReportsAnyLoss) {
  Fault second{"WriteText", "OUT.INF", 2};
  Fault full{"WriteText", "OUT.INF", 1, static_cast<DWORD>(ERROR_DISK_FULL)};
  full.afterBytes = 6;
  const WriterRow rows[] = {
      {"everything written", {"a\n", "b", "<EOL>", "<EOL>", "c\n"}, std::nullopt,
       "a\r\nb\r\nc\r\n", true},
      {"a line end only where one is missing", {"<EOL>", "x", "<EOL>"},
       std::nullopt, "x\r\n", true},
      // The third write would succeed again, leaving a hole in the middle.
      {"one failed write ends the file there", {"a\n", "b\n", "c\n"}, second,
       "a\r\n", false},
      {"a full disk keeps what fitted", {"abc\n", "def\n"}, full, "abc\r\nd",
       false},
      {"a zero byte cannot be written", {"a\n", std::string("b\0c\n", 4), "d\n"},
       std::nullopt, "a\r\n", false},
      {"a failed close", {"a\n"}, Fault{"CloseTextFile", "OUT.INF", 1}, "a\r\n",
       false},
  };
  for (const WriterRow& row : rows) {
    SCOPED_TRACE(row.name);
    SimulatedMachine machine;
    machine.MakeFolder("C:\\TEMP");
    if (row.fault) machine.InjectFault(*row.fault);
    bool closed = false;
    machine.RunProcess([&] {
      InfWriter out(machine, machine.OpenTextFile(kOutput, TextMode::Write));
      for (const std::string& text : row.texts) {
        if (text == "<EOL>") {
          out.EndLine();
        } else {
          out.Write(text);
        }
      }
      closed = out.Close();
      return 0;
    });
    EXPECT_EQ(Bytes(machine, kOutput), row.stored);
    EXPECT_EQ(closed, row.ok);
  }
}

TEST(InfWriter, AFileThatNeverOpenedIsNotWritten) {
  SimulatedMachine machine;
  InfWriter out(machine, nullptr);
  out.Write("a\n");
  EXPECT_FALSE(out.ok());
  EXPECT_FALSE(out.Close());
}

}  // namespace
}  // namespace ide
