#include "refresh/hdc_device_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "previous/machine_fixture.h"

namespace ide {
namespace {

using fixture::kPci;

// One PCI device key and its instances, each instance with a Class value
// (an empty text leaves Class out).
struct Device {
  std::string name;
  std::vector<std::pair<std::string, std::string>> instances;
};

void AddDevice(SimulatedMachine& machine, const Device& device) {
  const std::string path = std::string(kPci) + "\\" + device.name;
  machine.registry().CreateKey(path);
  for (const auto& [instance, className] : device.instances) {
    fixture::AddInstance(machine, path + "\\" + instance, className, "");
  }
}

TEST(DeleteHdcDeviceKeys, DeletesDevicesWhoseFirstInstanceIsHdc) {
  struct Case {
    std::string name;
    Device device;
    bool deleted;
  };
  const std::vector<Case> cases = {
      {"hdc", {"VEN_5A11&DEV_0640", {{"BUS_00&DEV_04&FUNC_00", "hdc"}}}, true},
      {"HDC in capitals",
       {"VEN_4E56&DEV_0100", {{"BUS_00&DEV_01&FUNC_01", "HDC"}}},
       false},
      {"Hdc", {"VEN_4E56&DEV_0100", {{"BUS_00&DEV_01&FUNC_01", "Hdc"}}}, false},
      {"hdc with a trailing blank",
       {"VEN_4E56&DEV_0100", {{"BUS_00&DEV_01&FUNC_01", "hdc "}}},
       false},
      {"other class",
       {"VEN_1A2B&DEV_0300", {{"BUS_00&DEV_08&FUNC_00", "DISPLAY"}}},
       false},
      {"no Class value",
       {"VEN_1A2B&DEV_0300", {{"BUS_00&DEV_08&FUNC_00", ""}}},
       false},
      {"no instances", {"VEN_5A11&DEV_0640", {}}, false},
      {"only a later instance is hdc",
       {"VEN_5A11&DEV_0640",
        {{"BUS_00&DEV_04&FUNC_00", "SCSIAdapter"},
         {"BUS_00&DEV_05&FUNC_00", "hdc"}}},
       false},
      {"first instance hdc, later one not",
       {"VEN_5A11&DEV_0640",
        {{"BUS_00&DEV_04&FUNC_00", "hdc"}, {"BUS_00&DEV_05&FUNC_00", "Net"}}},
       true},
      // The instance path is opened from the root and must stay under 128
      // characters; an instance that cannot be inspected is not deleted.
      {"instance path of 127 characters",
       {std::string(60, 'V'), {{std::string(57, 'I'), "hdc"}}},
       true},
      {"instance path of 128 characters",
       {std::string(60, 'V'), {{std::string(58, 'I'), "hdc"}}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    AddDevice(machine,
              {"VEN_8C4E&DEV_7001", {{"BUS_00&DEV_00&FUNC_00", "System"}}});
    AddDevice(machine, c.device);
    // A device key carries no class of its own; should one say "hdc", it
    // still does not stand in for a missing instance.
    machine.registry().SetString(std::string(kPci) + "\\" + c.device.name,
                                 "Class", "hdc");
    AddDevice(machine,
              {"VEN_9999&DEV_0001", {{"BUS_00&DEV_0A&FUNC_00", "hdc"}}});
    fixture::AddInstance(machine, "Enum\\ESDI\\DISK\\0000", "hdc", "");

    DeleteHdcDeviceKeys(machine);

    const std::string path = std::string(kPci) + "\\" + c.device.name;
    EXPECT_EQ(machine.registry().KeyExists(path), !c.deleted);
    EXPECT_TRUE(machine.registry().KeyExists(std::string(kPci) +
                                             "\\VEN_8C4E&DEV_7001"));
    EXPECT_FALSE(machine.registry().KeyExists(std::string(kPci) +
                                              "\\VEN_9999&DEV_0001"));
    EXPECT_TRUE(machine.registry().KeyExists("Enum\\ESDI\\DISK\\0000"));
  }
}

TEST(DeleteHdcDeviceKeys, CleansEveryControllerOnABusyBus) {
  // Matches are held nineteen at a time; however many controllers and other
  // devices there are, every controller goes and every other device stays.
  struct Case {
    std::string name;
    std::string pattern;  // per device: 'h' hdc, 'o' other class
  };
  const std::vector<Case> cases = {
      {"nineteen controllers", std::string(19, 'h')},
      {"twenty controllers", std::string(20, 'h')},
      {"forty controllers", std::string(40, 'h')},
      {"twenty-five devices, nineteen controllers first",
       std::string(19, 'h') + std::string(6, 'o')},
      {"mixed, more than twenty devices", "hohhohhhohhhhohhhhhohhhhhhohhhhho"},
      {"others first", std::string(25, 'o') + std::string(21, 'h')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    for (std::size_t i = 0; i < c.pattern.size(); ++i) {
      AddDevice(machine, {"VEN_" + std::to_string(1000 + i) + "&DEV_0001",
                          {{"BUS_00", c.pattern[i] == 'h' ? "hdc" : "Net"}}});
    }

    DeleteHdcDeviceKeys(machine);

    std::vector<std::string> expected;
    for (std::size_t i = 0; i < c.pattern.size(); ++i) {
      if (c.pattern[i] == 'o') {
        expected.push_back("VEN_" + std::to_string(1000 + i) + "&DEV_0001");
      }
    }
    EXPECT_EQ(machine.registry().Subkeys(kPci), expected);
  }
}

TEST(DeleteHdcDeviceKeys,
     NoDeletionBeforeTheEnumerationEndsWhileTheSlotsSuffice) {
  // Up to nineteen matches fit the slots, whatever the number of devices:
  // every device is examined before the first one goes. Only a twentieth
  // controller makes the search delete in rounds.
  struct Case {
    std::string name;
    std::string pattern;  // per device: 'h' hdc, 'o' other class
    bool enumeratedFirst;
  };
  const std::vector<Case> cases = {
      {"one controller among others", "ohoo", true},
      {"nineteen controllers", std::string(19, 'h'), true},
      {"nineteen controllers, then others",
       std::string(19, 'h') + std::string(6, 'o'), true},
      {"nineteen controllers among thirty devices",
       "oh" + std::string(9, 'h') + "oooooooooo" + std::string(9, 'h'), true},
      {"twenty controllers", std::string(20, 'h'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fixture::EnumDeleteLog machine;
    for (std::size_t i = 0; i < c.pattern.size(); ++i) {
      AddDevice(machine, {"VEN_" + std::to_string(1000 + i) + "&DEV_0001",
                          {{"BUS_00", c.pattern[i] == 'h' ? "hdc" : "Net"}}});
    }

    DeleteHdcDeviceKeys(machine);

    EXPECT_EQ(machine.EveryEnumerationBeforeTheFirstDeletion(),
              c.enumeratedFirst)
        << machine.calls;
    for (const std::string& device : machine.registry().Subkeys(kPci)) {
      EXPECT_EQ(FirstInstanceIsHdc(machine, device), false) << device;
    }
  }
}

TEST(DeleteHdcDeviceKeys, ControllersAfterRefusedDeletionsStillGo) {
  // Twenty-two controllers; the deletions of the second and the twentieth
  // are refused. The rest must go, also those examined after a full round.
  SimulatedMachine machine;
  for (int i = 0; i < 22; ++i) {
    AddDevice(machine, {"VEN_" + std::to_string(1000 + i) + "&DEV_0001",
                        {{"BUS_00", "hdc"}}});
  }
  for (int i : {1, 19}) {
    Fault fault;
    fault.operation = "RegDeleteKeyA";
    fault.argument = "VEN_" + std::to_string(1000 + i) + "&";
    fault.occurrence = 0;
    machine.InjectFault(fault);
  }

  DeleteHdcDeviceKeys(machine);

  EXPECT_EQ(
      machine.registry().Subkeys(kPci),
      (std::vector<std::string>{"VEN_1001&DEV_0001", "VEN_1019&DEV_0001"}));
}

TEST(DeleteHdcDeviceKeys, NoPciKeyChangesNothing) {
  SimulatedMachine machine;
  fixture::AddInstance(machine, "Enum\\ESDI\\DISK\\0000", "hdc", "");
  const Registry before = machine.registry();
  DeleteHdcDeviceKeys(machine);
  EXPECT_TRUE(before == machine.registry());
}

}  // namespace
}  // namespace ide
