// Reading INF files in pieces, and the first token of a line.
#include "inf/line_reader.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/simulated_machine.h"

namespace ide {
namespace {

constexpr char kFile[] = "C:\\TEST.INF";

std::vector<std::string> Pieces(const std::string& bytes,
                                std::size_t maxRead) {
  SimulatedMachine machine;
  machine.PutFile(kFile, bytes);
  std::vector<std::string> pieces;
  machine.RunProcess([&] {
    TextFile file = machine.OpenTextFile(kFile, TextMode::Read);
    EXPECT_NE(file, nullptr);
    LineReader reader(machine, file, maxRead);
    std::string line = "sentinel";
    while (reader.ReadLine(line)) {
      pieces.push_back(line);
      // Bounded, whatever the platform does.
      if (pieces.size() > 100) break;
    }
    EXPECT_EQ(line, "") << "end of file leaves the line empty";
    machine.CloseTextFile(file);
    return 0;
  });
  return pieces;
}

TEST(LineReader, ReadsPiecesWithTheirLineEnds) {
  struct Row {
    const char* name;
    std::string bytes;
    std::size_t maxRead;
    std::vector<std::string> pieces;
  };
  const std::string a253(253, 'a');
  const std::string a254(254, 'a');
  const std::string a255(255, 'a');
  const Row rows[] = {
      {"CR LF arrives as LF", "one\r\ntwo\r\n", kMaxLineRead, {"one\n", "two\n"}},
      {"a last line without a line end", "one\r\ntwo", kMaxLineRead,
       {"one\n", "two"}},
      {"empty lines", "\r\n\r\nx\r\n", kMaxLineRead, {"\n", "\n", "x\n"}},
      {"Ctrl-Z ends the file", "one\r\n\x1atwo\r\n", kMaxLineRead, {"one\n"}},
      {"an empty file", "", kMaxLineRead, {}},
      {"253 characters and the line end fit one read", a253 + "\r\n",
       kMaxLineRead, {a253 + "\n"}},
      {"254 characters fill a read; the line end comes alone", a254 + "\r\n",
       kMaxLineRead, {a254, "\n"}},
      {"a 600-character line in pieces of 254",
       std::string(600, 'b') + "\r\nc\r\n", kMaxLineRead,
       {std::string(254, 'b'), std::string(254, 'b'), std::string(92, 'b') + "\n",
        "c\n"}},
      {"the wider read takes 255 characters", a255 + "\r\n", kMaxLineReadLimit,
       {a255, "\n"}},
      {"a read wider than the buffer is held to it", a255 + "a\r\n", 100000,
       {a255, "a\n"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Pieces(row.bytes, row.maxRead), row.pieces);
  }
}

TEST(LineReader, ANullFileReadsAsEmpty) {
  SimulatedMachine machine;
  LineReader reader(machine, nullptr);
  std::string line = "sentinel";
  EXPECT_EQ(reader.ReadLine(line), 0);
  EXPECT_EQ(line, "");
}

TEST(FirstToken, SkipsSeparatorsAndStopsAtTheNext) {
  struct Row {
    std::string line;
    std::string token;
  };
  const Row rows[] = {
      {"[Strings]\n", "[Strings]"},
      {"  [Strings]   ; texts\n", "[Strings]"},
      {"\t[ControlFlags]=x\n", "[ControlFlags]"},
      {",,==,\t %PCI\\VEN_8C4E&DEV_7351.DeviceDesc%  = X\n",
       "%PCI\\VEN_8C4E&DEV_7351.DeviceDesc%"},
      {"key=value", "key"},
      {"; comment\n", ";"},
      {"a;b,c", "a;b"},
      {"last", "last"},
      {"\n", ""},
      {" \t,= \n", ""},
      {"", ""},
      // A carriage return is not a separator: a lone CR stays in the token.
      {"[Strings]\r\n", "[Strings]\r"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.line));
    EXPECT_EQ(FirstToken(row.line), row.token);
  }
}

TEST(FirstToken, TakesOtherSeparatorSets) {
  EXPECT_EQ(FirstToken("/D:K7351", " :\t\n"), "/D");
  EXPECT_EQ(FirstToken("::K7351:", ":"), "K7351");
}

}  // namespace
}  // namespace ide
