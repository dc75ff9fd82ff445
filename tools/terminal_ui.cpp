#include "terminal_ui.h"

#include <unistd.h>

#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "resources/dialog_texts.h"

namespace ide {
namespace {

// The completion dialog as its window shows it (caption with its leading
// space, the two notes, the radio buttons and the push button).
constexpr std::string_view kDialogCaption = IDE_TEXT_DIALOG_CAPTION;
constexpr std::string_view kDialogNotes[] = {
    IDE_TEXT_RESTART_NOTE,
    IDE_TEXT_SAVE_WARNING,
};
constexpr std::string_view kRestartNowText = IDE_TEXT_RESTART_NOW;
constexpr std::string_view kRestartLaterText = IDE_TEXT_RESTART_LATER;
// The push button's text without the "&" that marks its access key.
constexpr std::string_view kFinishText =
    std::string_view(IDE_TEXT_FINISH).substr(1);

// What Windows shows as the caption of a message box without one.
constexpr std::string_view kDefaultCaption = "Error";

std::string Trimmed(const std::string& line) {
  std::size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  std::size_t last = line.find_last_not_of(" \t\r");
  return line.substr(first, last - first + 1);
}

std::string Lowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

void ShowFrameTop(std::ostream& out, std::string_view caption) {
  out << "+--[" << caption << "]\n";
}

}  // namespace

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) != 0; }

TerminalUi::TerminalUi(std::istream& in, std::ostream& out)
    : in_(in), out_(out) {}

std::optional<int> TerminalUi::AskYesNo(const MessageBoxRequest& request) {
  ShowFrameTop(out_, request.hasCaption ? std::string_view(request.caption)
                                        : kDefaultCaption);
  out_ << "| " << request.text << "\n";
  out_ << "|     [ Yes ]  [ No ]\n";
  for (;;) {
    out_ << "Answer y (Yes) or n (No): " << std::flush;
    std::string line;
    if (!std::getline(in_, line)) {
      out_ << "\n";
      return std::nullopt;
    }
    std::string answer = Lowered(Trimmed(line));
    if (answer == "y" || answer == "yes") return IDYES;
    if (answer == "n" || answer == "no") return IDNO;
  }
}

std::optional<RestartAnswer> TerminalUi::AskRestart() {
  ShowFrameTop(out_, kDialogCaption);
  for (std::string_view note : kDialogNotes) out_ << "| " << note << "\n";
  out_ << "|   1 (*) " << kRestartNowText << "\n";
  out_ << "|   2 ( ) " << kRestartLaterText << "\n";
  out_ << "|     [ " << kFinishText << " ]\n";
  for (;;) {
    out_ << "Choose 1 or 2 and press Enter (Enter alone keeps 1): "
         << std::flush;
    std::string line;
    if (!std::getline(in_, line)) {
      out_ << "\n";
      return std::nullopt;
    }
    std::string answer = Trimmed(line);
    if (answer.empty() || answer == "1") return RestartAnswer::Now;
    if (answer == "2") return RestartAnswer::Later;
  }
}

}  // namespace ide
