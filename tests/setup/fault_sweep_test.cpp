// Whatever single call Windows refuses during a whole run, the setup must end
// normally and leave the machine in a state a person can live with: every
// file as it was before the run or as a clean run leaves it, the class INF
// never half-written, and no registry key gone that a clean run keeps.
//
// Each sample machine is run once cleanly, then again with call 1, 2, 3, ...
// of any kind failing, until a run makes fewer calls than the one failed.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "setup/entry.h"
#include "setup_test_support.h"

namespace ide {
namespace {

using setup_test::LoadSample;

constexpr char kClassInf[] = "c/WINDOWS/INF/MSHDC.INF";
constexpr char kBackup[] = "c/WINDOWS/INF/MSHDC.ING";
constexpr char kLeftOverCopy[] = "c/WINDOWS/INF/MSHDC.1";

std::string Folded(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

// Files by their name folded to capitals, as Windows matches them.
std::map<std::string, std::string> FilesByName(const MachineSnapshot& s) {
  std::map<std::string, std::string> files;
  for (const auto& [path, bytes] : s.files) files[Folded(path)] = bytes;
  return files;
}

std::optional<std::string> Find(const std::map<std::string, std::string>& files,
                                const std::string& path) {
  const auto it = files.find(Folded(path));
  if (it == files.end()) return std::nullopt;
  return it->second;
}

struct Sample {
  const char* machine;
  const char* tail;
};

struct RunResult {
  MachineSnapshot snapshot;
  int exitCode = -1;
  int calls = 0;
};

RunResult RunWithRefusedCall(const Sample& sample, int failingCall) {
  std::unique_ptr<SimulatedMachine> machine = LoadSample(sample.machine);
  machine->SetDialogClicks(setup_test::Clicks({1026, 1027}));
  if (failingCall > 0) {
    Fault fault;
    fault.operation = "*";
    fault.occurrence = failingCall;
    machine->InjectFault(fault);
  }
  RunResult result;
  result.exitCode = machine->RunProcess(
      [&] { return SetupMain(*machine, sample.tail); });
  result.snapshot = machine->Snapshot();
  result.calls = machine->CallCount("*");
  return result;
}

TEST(FaultSweep, AnyOneRefusedCallLeavesTheMachineBeforeOrAfterNeverBetween) {
  const Sample samples[] = {
      {"k7351-upgrade", "/D:K7351"},
      {"k7341-fresh", "/D:K7341"},
      {"no-bridge", "/D:RBMAX"},
  };
  for (const Sample& sample : samples) {
    SCOPED_TRACE(sample.machine);
    const MachineSnapshot before = LoadSample(sample.machine)->Snapshot();
    const RunResult clean = RunWithRefusedCall(sample, 0);
    const auto beforeFiles = FilesByName(before);
    const auto cleanFiles = FilesByName(clean.snapshot);
    const std::string originalInf = *Find(beforeFiles, kClassInf);
    const std::string patchedInf = *Find(cleanFiles, kClassInf);
    ASSERT_NE(originalInf, patchedInf) << "the clean run must patch";

    int failing = 1;
    for (;; ++failing) {
      SCOPED_TRACE("call " + std::to_string(failing) + " refused");
      const RunResult run = RunWithRefusedCall(sample, failing);
      if (run.calls < failing) break;  // the run ended before that call
      ASSERT_EQ(run.exitCode, 0);
      const auto files = FilesByName(run.snapshot);

      // The class INF is the old one or the whole new one; a new one always
      // has the old one kept beside it.
      const std::string inf = *Find(files, kClassInf);
      EXPECT_TRUE(inf == originalInf || inf == patchedInf);
      if (inf == patchedInf) {
        EXPECT_EQ(Find(files, kBackup), originalInf);
      }

      // Every other file as before the run or as the clean run leaves it.
      // Only a rewrite that was not swapped in may leave its copy behind,
      // and a file the clean run replaces may be missing: the cleanup
      // removed the old miniport, and without the patched class INF the new
      // one is not placed (Windows then uses its standard driver).
      std::map<std::string, bool> names;
      for (const auto& [name, bytes] : beforeFiles) names[name] = true;
      for (const auto& [name, bytes] : cleanFiles) names[name] = true;
      for (const auto& [name, bytes] : files) names[name] = true;
      for (const auto& [name, unused] : names) {
        if (name == Folded(kLeftOverCopy)) continue;
        const auto now = Find(files, name);
        const auto was = Find(beforeFiles, name);
        const auto cleanly = Find(cleanFiles, name);
        EXPECT_TRUE(now == was || now == cleanly ||
                    (!now && cleanly != was))
            << name;
      }

      // The registry only ever loses keys, and never one a clean run keeps;
      // what stays keeps its values.
      for (const std::string& key : run.snapshot.registry.AllKeys()) {
        EXPECT_TRUE(before.registry.KeyExists(key)) << "new key " << key;
        EXPECT_EQ(run.snapshot.registry.Values(key),
                  before.registry.Values(key))
            << key;
      }
      for (const std::string& key : clean.snapshot.registry.AllKeys()) {
        EXPECT_TRUE(run.snapshot.registry.KeyExists(key)) << "lost " << key;
      }
      if (::testing::Test::HasFailure()) return;  // one broken run is enough
    }
    // The sweep went through a whole run's calls, not just its start.
    EXPECT_GT(failing, clean.calls);
  }
}

}  // namespace
}  // namespace ide
