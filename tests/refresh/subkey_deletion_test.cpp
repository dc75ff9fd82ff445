#include "refresh/subkey_deletion.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "previous/machine_fixture.h"
#include "refresh/hdc_device_keys.h"

namespace ide {
namespace {

const std::string kKey = "Enum\\MF\\CHILD0000";

std::string ChildName(int i) {
  return "PCI&VEN_8C4E&DEV_7351&BUS_00&DEV_" + std::to_string(i) + "&FUNC_01";
}

TEST(DeleteAllSubkeys, EmptiesTheKeyWhateverTheNumberOfSubkeys) {
  // The names are gathered ten at a time; a key with more must still be
  // emptied completely.
  for (int count : {0, 1, 9, 10, 11, 20, 21, 35}) {
    SCOPED_TRACE(count);
    SimulatedMachine machine;
    machine.registry().SetString(kKey, "Kept", "value of the key itself");
    for (int i = 0; i < count; ++i) {
      fixture::AddInstance(machine, kKey + "\\" + ChildName(i), "hdc",
                           "hdc\\0002");
      machine.registry().CreateKey(kKey + "\\" + ChildName(i) +
                                   "\\Deeper\\Still");
    }
    machine.registry().CreateKey("Enum\\MF\\CHILD0001\\Sibling");
    machine.registry().CreateKey("Enum\\MF\\CHILD00000\\LookAlike");

    DeleteAllSubkeys(machine, kKey);

    EXPECT_TRUE(machine.registry().KeyExists(kKey));
    EXPECT_TRUE(machine.registry().Subkeys(kKey).empty());
    EXPECT_EQ(machine.registry().GetValue(kKey, "Kept")->data,
              std::string("value of the key itself\0", 24));
    EXPECT_TRUE(machine.registry().KeyExists("Enum\\MF\\CHILD0001\\Sibling"));
    EXPECT_TRUE(
        machine.registry().KeyExists("Enum\\MF\\CHILD00000\\LookAlike"));
  }
}

TEST(DeleteAllSubkeys, NoDeletionBeforeTheEnumerationEndsWhileTheSlotsSuffice) {
  // Up to ten names fit the slots: the enumeration runs to its failing call
  // before the first subkey goes. Only a key with more names is emptied in
  // rounds, and it is still emptied.
  struct Case {
    int count;
    bool enumeratedFirst;
  };
  for (const Case& c : std::vector<Case>{
           {1, true}, {9, true}, {10, true}, {11, false}, {25, false}}) {
    SCOPED_TRACE(c.count);
    fixture::EnumDeleteLog machine;
    machine.registry().CreateKey(kKey);
    for (int i = 0; i < c.count; ++i) {
      machine.registry().CreateKey(kKey + "\\" + ChildName(i) + "\\Deeper");
    }

    DeleteAllSubkeys(machine, kKey);

    EXPECT_EQ(machine.EveryEnumerationBeforeTheFirstDeletion(),
              c.enumeratedFirst)
        << machine.calls;
    EXPECT_TRUE(machine.registry().Subkeys(kKey).empty());
  }
}

TEST(DeleteAllSubkeys, MissingKeyChangesNothing) {
  SimulatedMachine machine;
  machine.registry().CreateKey("Enum\\MF\\CHILD0001\\X");
  const Registry before = machine.registry();
  DeleteAllSubkeys(machine, kKey);
  EXPECT_TRUE(before == machine.registry());
}

TEST(DeleteAllSubkeys, StepsOverSubkeysThatRefuseDeletion) {
  // Refused subkeys stay where they are in the enumeration; every other
  // subkey, also those after them and beyond the first ten, is deleted, and
  // the deletion comes to an end.
  struct Case {
    std::string name;
    int count;
    std::vector<int> refused;
  };
  const std::vector<Case> cases = {
      {"first of three", 3, {0}},
      {"first of twelve", 12, {0}},
      {"all of the first ten", 14, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"scattered", 25, {2, 10, 11, 19, 24}},
      {"all", 12, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    for (int i = 0; i < c.count; ++i) {
      machine.registry().CreateKey(kKey + "\\" + ChildName(i));
    }
    for (int i : c.refused) {
      Fault fault;
      fault.operation = "RegDeleteKeyA";
      fault.argument = "DEV_" + std::to_string(i) + "&";
      fault.occurrence = 0;
      machine.InjectFault(fault);
    }

    DeleteAllSubkeys(machine, kKey);

    std::vector<std::string> expected;
    for (int i : c.refused) expected.push_back(ChildName(i));
    EXPECT_EQ(machine.registry().Subkeys(kKey), expected);
  }
}

}  // namespace
}  // namespace ide

namespace ide {
namespace {

// A registry that reports every deletion as made and deletes nothing, as
// one whose keys are re-created behind the setup's back would look. Stops
// the test instead of hanging it once the calls run into the millions.
class UndeletableRegistryMachine : public SimulatedMachine {
 public:
  LONG RegDeleteKeyA(HKEY, const char*) override {
    if (++deletions > 1000000) throw std::runtime_error("deletions never end");
    return ERROR_SUCCESS;
  }
  long deletions = 0;
};

TEST(RegistryThatNeverDeletes, DeletionRoundsStillEnd) {
  UndeletableRegistryMachine machine;
  for (int i = 0; i < 25; ++i) {
    fixture::AddInstance(machine, kKey + "\\" + ChildName(i), "hdc",
                         "hdc\\0002");
    fixture::AddInstance(machine,
                         "Enum\\PCI\\VEN_8C4E&DEV_" + std::to_string(7000 + i) +
                             "\\BUS_00&DEV_01&FUNC_01",
                         "hdc", "hdc\\0001");
  }

  EXPECT_NO_THROW(DeleteAllSubkeys(machine, kKey));
  EXPECT_NO_THROW(DeleteHdcDeviceKeys(machine));
  EXPECT_GT(machine.deletions, 0);
}

}  // namespace
}  // namespace ide
