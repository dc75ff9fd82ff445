#include "options.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace ide {
namespace {

const std::filesystem::path kDefault = "/default/machine";

struct GoodRow {
  std::vector<std::string> args;
  std::string machine;
  std::optional<bool> confirm;
  std::optional<RestartAnswer> restart;
  std::optional<std::string> out;
  std::string tail;
  bool help = false;
};

TEST(ParseOptionsTest, AcceptsGoodCommandLines) {
  const GoodRow rows[] = {
      {{}, kDefault, {}, {}, {}, ""},
      {{"/D:K7351"}, kDefault, {}, {}, {}, "/D:K7351"},
      {{"--machine", "m", "--answer", "yes", "--restart", "later", "--out",
        "o", "/D:K7351"},
       "m", true, RestartAnswer::Later, "o", "/D:K7351"},
      {{"--answer=NO", "--restart=Now", "--", "/D:K7351", "/X"},
       kDefault, false, RestartAnswer::Now, {}, "/D:K7351 /X"},
      // After "--" everything is the setup's, options included.
      {{"--", "--answer", "yes"}, kDefault, {}, {}, {}, "--answer yes"},
      {{"--", "-x"}, kDefault, {}, {}, {}, "-x"},
      {{"/D:K7351", "--", "x"}, kDefault, {}, {}, {}, "/D:K7351 -- x"},
      {{"--machine=dir with space", "/D:K7351,", "/D:RBMAX"},
       "dir with space", {}, {}, {}, "/D:K7351, /D:RBMAX"},
      // Words are joined by exactly one space, whatever they hold.
      {{"/D:K7351", "", "a b"}, kDefault, {}, {}, {}, "/D:K7351  a b"},
      {{"--help"}, kDefault, {}, {}, {}, "", true},
      {{"-h"}, kDefault, {}, {}, {}, "", true},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const GoodRow& row = rows[i];
    ParsedOptions parsed = ParseOptions(row.args, kDefault);
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.options.machine, std::filesystem::path(row.machine));
    EXPECT_EQ(parsed.options.confirm, row.confirm);
    EXPECT_EQ(parsed.options.restart, row.restart);
    ASSERT_EQ(parsed.options.out.has_value(), row.out.has_value());
    if (row.out) {
      EXPECT_EQ(*parsed.options.out, std::filesystem::path(*row.out));
    }
    EXPECT_EQ(parsed.options.Tail(), row.tail);
    EXPECT_EQ(parsed.options.help, row.help);
  }
}

struct BadRow {
  std::vector<std::string> args;
  std::string messagePart;
};

TEST(ParseOptionsTest, RefusesBadCommandLinesWithOneLine) {
  const BadRow rows[] = {
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{"-x", "/D:K7351"}, "unknown option '-x'"},
      {{"--answer"}, "--answer needs a value (yes|no)"},
      {{"--out"}, "--out needs a value (DIR)"},
      {{"--machine="}, "--machine needs a value (DIR)"},
      {{"--answer", "maybe"}, "--answer takes yes or no, not 'maybe'"},
      {{"--answer", "y"}, "--answer takes yes or no, not 'y'"},
      {{"--restart", "soon"}, "--restart takes now or later, not 'soon'"},
      {{"--answer=yes", "--answer", "no"}, "--answer is given more than once"},
      {{"--machine", "a", "--machine", "a"},
       "--machine is given more than once"},
      {{"--help=yes"}, "--help takes no value"},
      // An option after the tail would silently reach the setup.
      {{"/D:K7351", "--answer", "yes"}, "option '--answer' after the command-line tail"},
      {{"/D:K7351", "--restart=now"}, "option '--restart' after the command-line tail"},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    ParsedOptions parsed = ParseOptions(rows[i].args, kDefault);
    ASSERT_FALSE(parsed.ok());
    EXPECT_NE(parsed.error.find(rows[i].messagePart), std::string::npos)
        << parsed.error;
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << parsed.error;
  }
}

TEST(UsageTextTest, SynopsisListsEveryOptionWithItsValue) {
  std::string usage = UsageText();
  EXPECT_EQ(usage.substr(0, usage.find('\n')),
            "usage: idesetup [--machine DIR] [--answer yes|no] "
            "[--restart now|later] [--out DIR] [--] TAIL...");
  for (const char* line : {"  --machine DIR", "  --answer yes|no",
                           "  --restart now|later", "  --out DIR", "  --help"}) {
    EXPECT_NE(usage.find(std::string("\n") + line), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace ide
