// Helpers shared by the setup tests: sample machines, a readable transcript
// of what the user saw, and machine comparison.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/simulated_machine.h"

namespace ide::setup_test {

inline std::unique_ptr<SimulatedMachine> LoadSample(const std::string& name) {
  return SimulatedMachine::Load(std::string(IDE_SOURCE_DIR) +
                                "/examples/machines/" + name);
}

// One line per event, compact enough to compare whole runs at a glance.
// Injected faults are left out: what they cause is what the tests check.
inline std::string Line(const MachineEvent& event) {
  using Kind = MachineEvent::Kind;
  switch (event.kind) {
    case Kind::MessageBox:
      return "box[" + (event.hasCaption ? event.caption : "(none)") + "|" +
             (event.buttons == MB_YESNO ? "YESNO" : "OK") + "] " + event.text;
    case Kind::DialogOpened:
      return "dialog " + event.text;
    case Kind::DialogCommand:
      return "click " + std::to_string(event.number);
    case Kind::RadioChecked:
      return "radio " + std::to_string(event.number);
    case Kind::DialogEnded:
      return "end " + std::to_string(event.number);
    case Kind::DialogFailed:
      return "dialog failed";
    case Kind::DebugOutput:
      return "debug " + event.text;
    case Kind::Sleep:
      return "sleep " + std::to_string(event.number);
    case Kind::RestartRequested:
      return "restart " + std::to_string(event.number) +
             (event.answer != 0 ? " accepted" : " refused");
    case Kind::Fault:
      return "fault " + event.text;
    case Kind::ProcessExit:
      return "exit " + std::to_string(event.number);
  }
  return "?";
}

inline std::vector<std::string> Transcript(const SimulatedMachine& machine) {
  std::vector<std::string> lines;
  for (const MachineEvent& event : machine.events()) {
    if (event.kind != MachineEvent::Kind::Fault) lines.push_back(Line(event));
  }
  return lines;
}

inline bool Contains(const std::vector<std::string>& lines,
                     const std::string& line) {
  for (const std::string& l : lines) {
    if (l == line) return true;
  }
  return false;
}

inline bool HasPrefix(const std::vector<std::string>& lines,
                      const std::string& prefix) {
  for (const std::string& l : lines) {
    if (l.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

// Files (names and bytes) and registry of two machine states.
inline void ExpectSameMachine(const MachineSnapshot& before,
                              const MachineSnapshot& after) {
  EXPECT_EQ(before.files, after.files);
  EXPECT_TRUE(before.registry == after.registry)
      << "the registry changed; now:\n"
      << after.registry.ToRegedit4();
}

// Makes the first call of `operation` fail with `error`.
inline Fault FailCall(const char* operation,
                      DWORD error = static_cast<DWORD>(ERROR_ACCESS_DENIED)) {
  Fault fault;
  fault.operation = operation;
  fault.error = error;
  return fault;
}

// A click sequence for SetDialogClicks.
inline std::function<std::vector<int>()> Clicks(std::vector<int> ids) {
  return [ids] { return ids; };
}

}  // namespace ide::setup_test
