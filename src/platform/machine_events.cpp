// One readable transcript line per machine event.
#include <cstdio>

#include "platform/simulated_machine.h"

namespace ide {
namespace {

// Texts are shown quoted, with C escapes, so leading, trailing and doubled
// spaces, tabs and line ends stay visible.
std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\x%02X", byte);
          out += escape;
        } else {
          out.push_back(c);
        }
    }
  }
  return out + "\"";
}

std::string Buttons(UINT type) {
  switch (type & 0xF) {
    case 0: return "OK";
    case 1: return "OK/Cancel";
    case 2: return "Abort/Retry/Ignore";
    case 3: return "Yes/No/Cancel";
    case 4: return "Yes/No";
    case 5: return "Retry/Cancel";
    default: return "buttons " + std::to_string(type & 0xF);
  }
}

std::string Answer(int answer) {
  switch (answer) {
    case 0: return "(not shown)";
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case 3: return "Abort";
    case 4: return "Retry";
    case 5: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return std::to_string(answer);
  }
}

}  // namespace

std::string DescribeEvent(const MachineEvent& event) {
  using Kind = MachineEvent::Kind;
  const std::string number = std::to_string(event.number);
  switch (event.kind) {
    case Kind::MessageBox:
      return "MessageBox " +
             (event.hasCaption ? "[" + event.caption + "]"
                               : std::string("(default caption)")) +
             " " + Quote(event.text) + " (" + Buttons(event.buttons) +
             ") -> " + Answer(event.answer);
    case Kind::DialogOpened:
      return "Dialog " + event.text + " opened";
    case Kind::DialogCommand:
      return "Dialog click on control " + number;
    case Kind::RadioChecked:
      return "Radio button " + number + " checked";
    case Kind::DialogEnded:
      return "Dialog ended with " + number;
    case Kind::DialogFailed:
      return "Dialog " + event.text + " could not be created";
    case Kind::DebugOutput:
      return "Debug output " + Quote(event.text);
    case Kind::Sleep:
      return "Wait " + number + " ms";
    case Kind::RestartRequested:
      return "Restart requested (flags " + number + ") -> " +
             (event.answer ? "accepted" : "refused");
    case Kind::Fault:
      return "Fault injected: " + event.text + " -> error " + number;
    case Kind::ProcessExit:
      return "Process exit " + number;
  }
  return "Unknown event";
}

}  // namespace ide
