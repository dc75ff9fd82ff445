// Helpers for the class INF tests: a simulated machine with a class INF and
// a distribution INF in place, and ways to run the rewrite on it.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "inf/class_inf.h"
#include "platform/simulated_machine.h"
#include "setup/entry.h"
#include "setup/setup_state.h"

namespace ide::inf_test {

inline constexpr char kClassInf[] = "C:\\WINDOWS\\INF\\MSHDC.INF";
inline constexpr char kNewCopy[] = "C:\\WINDOWS\\INF\\MSHDC.1";
inline constexpr char kBackup[] = "C:\\WINDOWS\\INF\\MSHDC.ING";
inline constexpr char kIosubsys[] = "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\";
// The current folder of every run: the driver diskette.
inline constexpr char kDiskette[] = "A:\\";

// A text written with LF line ends, stored as a DOS file with CR LF.
inline std::string Dos(std::string_view text) {
  std::string bytes;
  for (char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return bytes;
}

// A file of tests/inf/data, byte for byte.
inline std::string DataFile(const std::string& name) {
  std::ifstream in(std::string(IDE_SOURCE_DIR) + "/tests/inf/data/" + name,
                   std::ios::binary);
  EXPECT_TRUE(in.good()) << "missing test data " << name;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string DistributionInfName(SetupVariant variant) {
  return variant == kVariantRbMax ? "rbhdd.inf" : "zelhdd.inf";
}

inline std::string DriverFileName(SetupVariant variant) {
  switch (variant) {
    case kVariantK7341: return "k7341.mpd";
    case kVariantK7351: return "k7351.mpd";
    default: return "rbide.mpd";
  }
}

inline std::string CommandLine(SetupVariant variant) {
  switch (variant) {
    case kVariantK7341: return "/D:K7341";
    case kVariantK7351: return "/D:K7351";
    default: return "/D:RBMAX";
  }
}

// A Windows 95 machine with the second bridge, the class INF, the variant's
// distribution INF and its miniport on the diskette.
inline void PrepareMachine(SimulatedMachine& machine, SetupVariant variant,
                           const std::string& classInfBytes,
                           const std::string& distributionBytes) {
  machine.config().pci[7] = 0x74508C4Eu;
  machine.PutFile(kClassInf, classInfBytes);
  machine.PutFile(std::string(kDiskette) + DistributionInfName(variant),
                  distributionBytes);
  machine.PutFile(std::string(kDiskette) + DriverFileName(variant),
                  "miniport " + DriverFileName(variant));
  machine.MakeFolder("C:\\WINDOWS\\SYSTEM\\IOSUBSYS");
}

// Runs the rewrite and, on success, the swap, as the setup does; returns
// PatchClassInf's result (or -1 when the process ended inside it).
inline int RunPatchSteps(SimulatedMachine& machine, SetupState& state) {
  int patched = -1;
  machine.RunProcess([&] {
    patched = PatchClassInf(machine, state);
    if (patched == 1) SwapClassInf(machine);
    return 0;
  });
  return patched;
}

// A whole setup run with the variant's command line.
inline int RunWholeSetup(SimulatedMachine& machine, SetupVariant variant) {
  const std::string tail = CommandLine(variant);
  return machine.RunProcess([&] { return SetupMain(machine, tail); });
}

inline std::string Bytes(const SimulatedMachine& machine,
                         const std::string& path) {
  return machine.FileBytes(path).value_or("<no such file>");
}

// Message boxes the run showed, "caption|text" each.
inline std::vector<std::string> MessageBoxes(const SimulatedMachine& machine) {
  std::vector<std::string> shown;
  for (const MachineEvent& event : machine.events()) {
    if (event.kind == MachineEvent::Kind::MessageBox) {
      shown.push_back(event.caption + "|" + event.text);
    }
  }
  return shown;
}

}  // namespace ide::inf_test
