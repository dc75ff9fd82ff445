#include "previous/chipset.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "previous/machine_fixture.h"

namespace ide {
namespace {

using fixture::kFirstBridge;
using fixture::kMakerHostBridge;
using fixture::kOtherDisplay;
using fixture::kSecondBridge;
using fixture::PciId;

struct DetectCase {
  std::string name;
  std::map<int, std::uint32_t> pci;
  ChipsetIndex expected;
};

TEST(DetectChipset, FindsTheBridgeWithTheHighestDeviceNumber) {
  const std::vector<DetectCase> cases = {
      {"empty bus", {}, kNoChipset},
      {"other devices only",
       {{0, kMakerHostBridge}, {8, kOtherDisplay}},
       kNoChipset},
      {"first bridge", {{0, kMakerHostBridge}, {7, kFirstBridge}}, 0},
      {"second bridge", {{0, kMakerHostBridge}, {7, kSecondBridge}}, 1},
      {"device 0", {{0, kSecondBridge}}, 1},
      {"device 31, the last one scanned", {{31, kFirstBridge}}, 0},
      {"second bridge later on the bus",
       {{3, kFirstBridge}, {9, kSecondBridge}},
       1},
      {"first bridge later on the bus",
       {{3, kSecondBridge}, {9, kFirstBridge}},
       0},
      // The IDE controllers themselves are no bridges.
      {"controllers only",
       {{1, PciId(0x8C4E, 0x7341)}, {2, PciId(0x8C4E, 0x7351)}},
       kNoChipset},
      // A bridge device ID under another vendor is someone else's device.
      {"bridge ID of another vendor",
       {{7, PciId(0x1A2B, 0x7450)}, {8, PciId(0x7450, 0x8C4E)}},
       kNoChipset},
      // An empty slot reads as all ones.
      {"all ones", {{7, 0xFFFFFFFFu}}, kNoChipset},
      {"maker device after the bridge changes nothing",
       {{7, kSecondBridge}, {12, PciId(0x8C4E, 0x7441)}},
       1},
  };
  for (const DetectCase& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.config().pci = c.pci;
    EXPECT_EQ(DetectChipset(machine), c.expected);
  }
}

TEST(DetectChipset, RefusedPortAccessMeansNoBridge) {
  // The NT family does not let a program touch the ports; the scan must
  // come back empty-handed instead of faulting or reading stale values.
  SimulatedMachine machine;
  machine.config().family = WindowsFamily::NT;
  machine.config().pci = {{0, kSecondBridge}, {7, kFirstBridge}};
  EXPECT_EQ(DetectChipset(machine), kNoChipset);
}

TEST(DetectChipset, ARefusedAccessHidesOnlyThatDevice) {
  // A single refused access must neither stop the scan nor let the data
  // port's previous answer stand in for the device that was not addressed.
  struct Case {
    std::string name;
    std::string operation;
    std::map<int, std::uint32_t> pci;
    ChipsetIndex expected;
  };
  const std::vector<Case> cases = {
      {"refused address write, bridge there unseen",
       "WritePortDword",
       {{7, kSecondBridge}, {9, kFirstBridge}},
       1},
      {"refused address write, later bridge still found",
       "WritePortDword",
       {{7, kFirstBridge}, {12, kSecondBridge}},
       1},
      {"refused data read, bridge there unseen",
       "ReadPortDword",
       {{7, kSecondBridge}, {9, kFirstBridge}},
       1},
      {"refused data read, later bridge still found",
       "ReadPortDword",
       {{7, kFirstBridge}, {12, kSecondBridge}},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.config().pci = c.pci;
    // Device 9 is the tenth device scanned.
    Fault fault;
    fault.operation = c.operation;
    fault.occurrence = 10;
    machine.InjectFault(fault);
    EXPECT_EQ(DetectChipset(machine), c.expected);
  }
}

}  // namespace
}  // namespace ide
