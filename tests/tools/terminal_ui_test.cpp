#include "terminal_ui.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace ide {
namespace {

MessageBoxRequest Confirmation() {
  MessageBoxRequest request;
  request.text = "Are you sure to set up the BUS MASTER IDE driver?";
  request.caption = "Zel IDE Driver Setup";
  request.hasCaption = true;
  request.type = MB_YESNO;
  return request;
}

TEST(TerminalUiTest, ShowsTheMessageBoxAndReadsYesOrNo) {
  struct Row {
    std::string input;
    std::optional<int> answer;
    int prompts;
  } rows[] = {
      {"y\n", IDYES, 1},
      {"  YES \r\n", IDYES, 1},
      {"n\n", IDNO, 1},
      {"no\n", IDNO, 1},
      {"maybe\n\nyes\n", IDYES, 3},
      {"", std::nullopt, 1},
      {"what\n", std::nullopt, 2},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    std::istringstream in(rows[i].input);
    std::ostringstream out;
    TerminalUi ui(in, out);
    EXPECT_EQ(ui.AskYesNo(Confirmation()), rows[i].answer);
    std::string shown = out.str();
    EXPECT_EQ(shown.rfind("+--[Zel IDE Driver Setup]\n"
                          "| Are you sure to set up the BUS MASTER IDE driver?\n"
                          "|     [ Yes ]  [ No ]\n",
                          0),
              0u)
        << shown;
    int prompts = 0;
    for (std::size_t at = shown.find("Answer y"); at != std::string::npos;
         at = shown.find("Answer y", at + 1)) {
      ++prompts;
    }
    EXPECT_EQ(prompts, rows[i].prompts) << shown;
  }
}

TEST(TerminalUiTest, MessageBoxWithoutCaptionShowsTheSystemDefault) {
  MessageBoxRequest request = Confirmation();
  request.hasCaption = false;
  request.caption.clear();
  std::istringstream in("y\n");
  std::ostringstream out;
  TerminalUi(in, out).AskYesNo(request);
  EXPECT_EQ(out.str().rfind("+--[Error]\n", 0), 0u) << out.str();
}

TEST(TerminalUiTest, ShowsTheDialogAndReadsTheChoice) {
  struct Row {
    std::string input;
    std::optional<RestartAnswer> answer;
  } rows[] = {
      {"1\n", RestartAnswer::Now},
      {"2\n", RestartAnswer::Later},
      {" 2 \n", RestartAnswer::Later},
      // Enter presses Finish with the choice the dialog opens with.
      {"\n", RestartAnswer::Now},
      {"3\nlater\n2\n", RestartAnswer::Later},
      {"", std::nullopt},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    std::istringstream in(rows[i].input);
    std::ostringstream out;
    TerminalUi ui(in, out);
    EXPECT_EQ(ui.AskRestart(), rows[i].answer);
    EXPECT_EQ(out.str().rfind(
                  "+--[ Setup Complete!]\n"
                  "| Before you continue to install  driver, you must restart "
                  "your computer.\n"
                  "| Warning: You must save all  working jobs, before press any "
                  "button!\n"
                  "|   1 (*) Yes , I want to restart my computer now.\n"
                  "|   2 ( ) No,   Let system reboot after 30 seconds.\n"
                  "|     [ Finish ]\n",
                  0),
              0u)
        << out.str();
  }
}

}  // namespace
}  // namespace ide
