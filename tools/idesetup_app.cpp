#include "idesetup_app.h"

#include <algorithm>
#include <istream>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <system_error>

#include "exit_codes.h"
#include "options.h"
#include "platform/simulated_machine.h"
#include "report.h"
#include "setup/entry.h"
#include "terminal_ui.h"

namespace ide {
namespace {

constexpr char kErrorPrefix[] = "idesetup: ";

// Thrown from inside the run when the setup asks something that neither an
// option nor a person can answer; the run is abandoned (the machine folder
// is untouched, nothing is written out).
class NoAnswer : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The error message as one line, whatever the exception held.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

int Fail(AppStreams& streams, const std::string& message) {
  streams.err << kErrorPrefix << OneLine(message) << std::endl;
  return kExitUsage;
}

// Where --out may write: not into the machine folder (which is never
// changed) and not over an earlier machine (a mix of two would be loaded as
// one). Returns an error text, or empty.
std::string CheckOutFolder(const std::filesystem::path& out,
                           const std::filesystem::path& machine) {
  std::error_code ec;
  auto outFull = std::filesystem::weakly_canonical(out, ec);
  auto machineFull = std::filesystem::weakly_canonical(machine, ec);
  if (!ec) {
    auto [m, o] = std::mismatch(machineFull.begin(), machineFull.end(),
                                outFull.begin(), outFull.end());
    if (m == machineFull.end()) {
      return "--out " + out.string() +
             ": inside the machine folder, which is never changed";
    }
  }
  if (std::filesystem::exists(out, ec)) {
    if (!std::filesystem::is_directory(out, ec)) {
      return "--out " + out.string() + ": exists and is not a folder";
    }
    if (!std::filesystem::is_empty(out, ec)) {
      return "--out " + out.string() + ": folder is not empty";
    }
  }
  return {};
}

void AnswerFromOptions(SimulatedMachine& machine, const Options& options,
                       AppStreams& streams) {
  auto ui = std::make_shared<TerminalUi>(streams.in, streams.err);
  bool terminal = streams.inIsTerminal;

  machine.SetMessageBoxAnswerer(
      [options, ui, terminal](const MessageBoxRequest& request) -> int {
        // An OK box needs no decision: its text is in the transcript.
        if ((request.type & MB_YESNO) != MB_YESNO) return IDOK;
        if (options.confirm) return *options.confirm ? IDYES : IDNO;
        if (!terminal) {
          throw NoAnswer("the setup asks \"" + request.text +
                         "\" and standard input is not a terminal; give "
                         "--answer yes or --answer no");
        }
        std::optional<int> answer = ui->AskYesNo(request);
        if (!answer) {
          throw NoAnswer("no answer to \"" + request.text +
                         "\": the input ended");
        }
        return *answer;
      });

  machine.SetDialogClicks([options, ui, terminal]() -> std::vector<int> {
    std::optional<RestartAnswer> choice = options.restart;
    if (!choice && !terminal) {
      throw NoAnswer(
          "the setup asks how to restart (dialog \" Setup Complete!\") and "
          "standard input is not a terminal; give --restart now or "
          "--restart later");
    }
    if (!choice) choice = ui->AskRestart();
    if (!choice) {
      throw NoAnswer("no choice in the completion dialog: the input ended");
    }
    // The radio button, then Finish, as a person would click them.
    constexpr int kRestartNowButton = 1025;
    constexpr int kRestartLaterButton = 1026;
    constexpr int kFinishButton = 1027;
    return {*choice == RestartAnswer::Now ? kRestartNowButton
                                          : kRestartLaterButton,
            kFinishButton};
  });
}

}  // namespace

int RunIdesetup(const std::vector<std::string>& args,
                const std::filesystem::path& defaultMachine,
                AppStreams streams) {
  ParsedOptions parsed = ParseOptions(args, defaultMachine);
  if (!parsed.ok()) return Fail(streams, parsed.error);
  const Options& options = parsed.options;
  if (options.help) {
    streams.out << UsageText();
    return kExitCompleted;
  }

  std::error_code ec;
  if (!std::filesystem::is_directory(options.machine, ec)) {
    return Fail(streams, "machine folder " + options.machine.string() +
                             ": not found or not a folder");
  }
  if (options.out) {
    if (std::string error = CheckOutFolder(*options.out, options.machine);
        !error.empty()) {
      return Fail(streams, error);
    }
  }

  std::unique_ptr<SimulatedMachine> machine;
  try {
    machine = SimulatedMachine::Load(options.machine);
  } catch (const MachineError& e) {
    // The message names the file and line.
    return Fail(streams, e.what());
  }

  const std::string tail = options.Tail();
  streams.out << "Machine: " << options.machine.string() << "\n"
              << "Command line: " << tail << "\n\nTranscript:\n"
              << std::flush;

  MachineSnapshot before = machine->Snapshot();
  AnswerFromOptions(*machine, options, streams);
  std::ostream& out = streams.out;
  machine->SetEventListener([&out](const MachineEvent& event) {
    out << "  " << DescribeEvent(event) << std::endl;
  });

  try {
    machine->RunProcess([&machine, &tail]() {
      return SetupMain(*machine, StripLeadingBlanks(tail));
    });
  } catch (const NoAnswer& e) {
    return Fail(streams, e.what());
  } catch (const MachineError& e) {
    return Fail(streams, e.what());
  }

  streams.out << "\nChanges:\n"
              << FormatChanges(before, machine->Snapshot()) << std::flush;

  if (options.out) {
    try {
      machine->SaveTo(*options.out);
    } catch (const MachineError& e) {
      return Fail(streams, "--out " + options.out->string() + ": " + e.what());
    }
    streams.out << "\nMachine after the run written to "
                << options.out->string() << "\n";
  }
  return kExitCompleted;
}

}  // namespace ide
