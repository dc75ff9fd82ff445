#include "setup/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/simulated_machine.h"
#include "setup/entry.h"
#include "setup/setup_state.h"
#include "setup_test_support.h"

namespace ide {
namespace {

using setup_test::Transcript;

const std::string kFormatError = "Command line parameter format error! ";
const std::string kNotFound = "Driver Name Not Found! ";

// `count` tokens " /X" to append after a first option.
std::string MoreTokens(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += " /X";
  return text;
}

struct ParseCase {
  const char* name;
  std::string tail;
  // What the parse leaves, when it returns.
  SetupVariant variant;
  int result;
  // Message boxes shown, in order (all with caption "SET UP ERROR!", OK).
  std::vector<std::string> messages;
  // The parse ended the process (exit code 0).
  bool ended;
};

const std::vector<ParseCase>& ParseCases() {
  static const std::vector<ParseCase> cases = {
      {"driver option", "/D:K7351", kVariantK7351, 1, {}, false},
      {"lower case option and name", "/d:k7351", kVariantK7351, 1, {}, false},
      {"OEM brand in mixed case", "/d:RbMaX", kVariantRbMax, 1, {}, false},
      {"first chip after another option",
       "/D:RBMAX /D:K7341",
       kVariantK7341,
       1,
       {},
       false},
      {"later option wins across a comma",
       "/D:K7351,/D:RBMAX",
       kVariantRbMax,
       1,
       {},
       false},
      {"tabs, line feeds and runs of commas separate",
       "/D:RBMAX,\t,\n/X:Y,,/D:K7351\n",
       kVariantK7351,
       1,
       {},
       false},
      {"run of colons", "/D::K7351", kVariantK7351, 1, {}, false},
      {"part after the value ignored",
       "/D:K7351:ABC",
       kVariantK7351,
       1,
       {},
       false},
      {"unknown name counts as a driver option",
       "/D:XYZ",
       kVariantK7341,
       1,
       {},
       false},
      {"unknown name keeps the earlier variant",
       "/D:RBMAX /D:XYZ",
       kVariantRbMax,
       1,
       {},
       false},
      {"name is compared whole",
       "/D:RBMAX /D:K7351X /D:K735",
       kVariantRbMax,
       1,
       {},
       false},
      {"option without value", "/D:", kVariantK7341, 1, {}, false},
      {"option without value keeps the variant",
       "/D:RBMAX /D:",
       kVariantRbMax,
       1,
       {},
       false},
      {"other options passed over",
       "/Q /D:RBMAX /X:K7351",
       kVariantRbMax,
       1,
       {},
       false},
      {"space instead of colon",
       "/D K7351",
       kVariantK7341,
       0,
       {kFormatError},
       false},
      {"format error keeps what earlier tokens chose",
       "/D:RBMAX K7351 /D:K7351",
       kVariantRbMax,
       0,
       {kFormatError},
       false},
      {"format error before any driver option",
       "setup /X",
       kVariantK7341,
       0,
       {kFormatError},
       false},
      {"quoted token", "\"/D:K7351\"", kVariantK7341, 0, {kFormatError}, false},
      {"carriage return is not a separator",
       "/D:K7351 \r/D:RBMAX",
       kVariantK7351,
       0,
       {kFormatError},
       false},
      {"20 tokens are examined",
       "/D:RBMAX" + MoreTokens(19),
       kVariantRbMax,
       1,
       {},
       false},
      {"trailing separators make no token",
       "/D:RBMAX" + MoreTokens(19) + " ,\t\n ",
       kVariantRbMax,
       1,
       {},
       false},
      {"a 21st token stops the parse unexamined",
       "/D:K7351" + MoreTokens(20),
       kVariantK7341,
       0,
       {},
       false},
      {"a 21st token stops the parse before a format error",
       "/D:K7351 K7351" + MoreTokens(19),
       kVariantK7341,
       0,
       {},
       false},
      {"259 characters are kept",
       "/D:RBMAX /" + std::string(249, 'Z'),
       kVariantRbMax,
       1,
       {},
       false},
      {"a zero byte ends the command line",
       std::string("/D:K7351\0 K7351", 15),
       kVariantK7351,
       1,
       {},
       false},
      {"empty command line", "", kVariantK7341, 0, {kNotFound}, true},
      {"only separators", " ,\t\n,", kVariantK7341, 0, {kNotFound}, true},
      {"other option only", "/X:K7351", kVariantK7341, 0, {kNotFound}, true},
      {"doubled option letter",
       "/DD:K7351",
       kVariantK7341,
       0,
       {kNotFound},
       true},
      {"slash alone", "/", kVariantK7341, 0, {kNotFound}, true},
      {"option glued to its value",
       "/DK7351",
       kVariantK7341,
       0,
       {kNotFound},
       true},
      {"260 characters are not kept",
       "/D:RBMAX /" + std::string(250, 'Z'),
       kVariantK7341,
       0,
       {kNotFound},
       true},
  };
  return cases;
}

TEST(ParseCommandLineTest, TurnsTheTailIntoTheVariant) {
  for (const ParseCase& c : ParseCases()) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    SetupState state;
    KeepCommandLine(state, c.tail);
    constexpr int kReturned = 77;
    int result = -1;
    const int exitCode = machine.RunProcess([&] {
      result = ParseCommandLine(machine, state);
      return kReturned;
    });

    if (c.ended) {
      EXPECT_EQ(exitCode, 0);
      EXPECT_EQ(result, -1) << "the parse returned instead of ending";
    } else {
      EXPECT_EQ(exitCode, kReturned) << "the parse ended the process";
      EXPECT_EQ(result, c.result);
      EXPECT_EQ(state.variant, c.variant);
    }

    std::vector<std::string> expected;
    for (const std::string& message : c.messages) {
      expected.push_back("box[SET UP ERROR!|OK] " + message);
    }
    expected.push_back("exit " + std::to_string(c.ended ? 0 : kReturned));
    EXPECT_EQ(Transcript(machine), expected);
  }
}

TEST(ParseCommandLineTest, TreatsAnOverlongFieldAsNoCommandLine) {
  // The entry never stores such a field; the parser still keeps to its
  // width instead of reading past it.
  SimulatedMachine machine;
  SetupState state;
  state.commandLine = "/D:K7351 /" + std::string(kMaxCommandLine, 'Z');
  const int exitCode =
      machine.RunProcess([&] { return 77 + ParseCommandLine(machine, state); });
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(Transcript(machine),
            (std::vector<std::string>{"box[SET UP ERROR!|OK] " + kNotFound,
                                      "exit 0"}));
}

struct TextsCase {
  SetupVariant variant;
  const char* title;
  const char* notFoundMessage;
};

TEST(SelectVariantTextsTest,
     GivesTheMakersTextsToItsChipsAndTheBrandsToAnyOther) {
  const TextsCase cases[] = {
      {kVariantK7341, "Zel IDE Driver Setup", "Zel IDE controller not found!"},
      {kVariantK7351, "Zel IDE Driver Setup", "Zel IDE controller not found!"},
      {kVariantRbMax, "RB Max IDE Driver Setup",
       "RB Max IDE controller not found!"},
      {2, "RB Max IDE Driver Setup", "RB Max IDE controller not found!"},
      {-1, "RB Max IDE Driver Setup", "RB Max IDE controller not found!"},
      {11, "RB Max IDE Driver Setup", "RB Max IDE controller not found!"},
  };
  for (const TextsCase& c : cases) {
    SCOPED_TRACE(c.variant);
    SetupState state;
    state.variant = c.variant;
    state.title = "stale title";
    state.notFoundMessage = "stale message";
    SelectVariantTexts(state);
    EXPECT_EQ(state.title, c.title);
    EXPECT_EQ(state.notFoundMessage, c.notFoundMessage);
    EXPECT_EQ(state.variant, c.variant);
  }
}

}  // namespace
}  // namespace ide
