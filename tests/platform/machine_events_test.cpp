// Transcript lines of machine events.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/simulated_machine.h"

namespace ide {
namespace {

using Kind = MachineEvent::Kind;

MachineEvent Event(Kind kind, std::string text = "", std::int64_t number = 0) {
  MachineEvent event;
  event.kind = kind;
  event.text = std::move(text);
  event.number = number;
  return event;
}

MachineEvent Box(std::string text, const char* caption, UINT buttons,
                 int answer) {
  MachineEvent event = Event(Kind::MessageBox, std::move(text));
  event.hasCaption = caption != nullptr;
  event.caption = caption ? caption : "";
  event.buttons = buttons;
  event.answer = answer;
  return event;
}

TEST(MachineEventsTest, EachEventReadsAsOneLine) {
  struct Row {
    MachineEvent event;
    std::string line;
  };
  MachineEvent accepted = Event(Kind::RestartRequested, "", EWX_REBOOT);
  accepted.answer = 1;
  const std::vector<Row> rows = {
      {Box("Driver Name Not Found! ", "SET UP ERROR!", MB_OK, IDOK),
       "MessageBox [SET UP ERROR!] \"Driver Name Not Found! \" (OK) -> OK"},
      {Box("Are you sure to set up the BUS MASTER IDE driver?", "Title",
           MB_YESNO, IDNO),
       "MessageBox [Title] \"Are you sure to set up the BUS MASTER IDE "
       "driver?\" (Yes/No) -> No"},
      {Box("OpenProcessToken Error #5", nullptr, MB_OK, IDOK),
       "MessageBox (default caption) \"OpenProcessToken Error #5\" (OK) -> OK"},
      {Box("tab\there\nC:\\x \"q\"", "c", MB_OK, IDOK),
       "MessageBox [c] \"tab\\there\\nC:\\\\x \\\"q\\\"\" (OK) -> OK"},
      {Event(Kind::DialogOpened, "DIALOG_COMPLETE"),
       "Dialog DIALOG_COMPLETE opened"},
      {Event(Kind::DialogCommand, "", 1026), "Dialog click on control 1026"},
      {Event(Kind::RadioChecked, "", 1025), "Radio button 1025 checked"},
      {Event(Kind::DialogEnded, "", 1), "Dialog ended with 1"},
      {Event(Kind::DialogFailed, "DIALOG_COMPLETE"),
       "Dialog DIALOG_COMPLETE could not be created"},
      {Event(Kind::DebugOutput, "Setting token"),
       "Debug output \"Setting token\""},
      {Event(Kind::Sleep, "", 30000), "Wait 30000 ms"},
      {accepted, "Restart requested (flags 2) -> accepted"},
      {Event(Kind::RestartRequested, "", EWX_REBOOT),
       "Restart requested (flags 2) -> refused"},
      {Event(Kind::Fault, "CopyFileA(A:\\k7351.mpd, C:\\x)", 112),
       "Fault injected: CopyFileA(A:\\k7351.mpd, C:\\x) -> error 112"},
      {Event(Kind::ProcessExit, "", 0), "Process exit 0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(DescribeEvent(row.event), row.line);
  }
}

TEST(MachineEventsTest, ARunReadsBackAsItsTranscript) {
  SimulatedMachine machine;
  machine.SetMessageBoxAnswerer([](const MessageBoxRequest&) { return IDNO; });
  const int code = machine.RunProcess([&]() -> int {
    if (machine.MessageBoxA(nullptr, "Go?", "T", MB_YESNO) != IDYES) {
      machine.ExitProcess(0);
    }
    machine.Sleep(30000);
    return 1;
  });
  EXPECT_EQ(code, 0);
  std::vector<std::string> lines;
  for (const MachineEvent& event : machine.events()) {
    lines.push_back(DescribeEvent(event));
  }
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "MessageBox [T] \"Go?\" (Yes/No) -> No",
                       "Process exit 0"}));
}

}  // namespace
}  // namespace ide
