// Asking the person at the terminal what the setup asks its user: the
// confirmation message box (Yes/No) and the completion dialog (restart now
// or in 30 seconds). Shows what the real window would show, then reads the
// answer line by line until it is one it understands.
#pragma once

#include <iosfwd>
#include <optional>

#include "options.h"
#include "platform/simulated_machine.h"

namespace ide {

// Whether standard input is a terminal someone can answer on.
bool StandardInputIsTerminal();

class TerminalUi {
 public:
  TerminalUi(std::istream& in, std::ostream& out);

  // Shows caption, text and buttons of a Yes/No message box and reads y/yes
  // or n/no. Returns IDYES or IDNO, or nothing when the input ended.
  std::optional<int> AskYesNo(const MessageBoxRequest& request);

  // Shows the completion dialog and reads 1 (restart now) or 2 (in 30
  // seconds); an empty line presses Finish with the first choice, which the
  // dialog checks when it opens. Nothing when the input ended.
  std::optional<RestartAnswer> AskRestart();

 private:
  std::istream& in_;
  std::ostream& out_;
};

}  // namespace ide
