#include "previous/device_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "previous/machine_fixture.h"

namespace ide {
namespace {

using fixture::kPci;

struct SearchCase {
  std::string name;
  std::vector<std::string> subkeys;  // in enumeration order
  std::string text;
  std::string expectedName;  // empty: not found
};

TEST(FindFirstSubkeyContaining, TakesTheFirstNameHoldingTheText) {
  const std::string n128(128, 'A');
  const std::string n127 = std::string(120, 'B') + "7351XYZ";
  const std::vector<SearchCase> cases = {
      {"text inside a longer name",
       {"VEN_5A11&DEV_0640", "VEN_8C4E&DEV_7351&SUBSYS_00000000&REV_01"},
       "7351",
       "VEN_8C4E&DEV_7351&SUBSYS_00000000&REV_01"},
      // Any name holding the digits will do, whoever's device it is.
      {"another vendor's key listed first",
       {"VEN_7351&DEV_0001", "VEN_8C4E&DEV_7351"},
       "7351",
       "VEN_7351&DEV_0001"},
      {"first of two matches",
       {"VEN_8C4E&DEV_7351&REV_01", "VEN_8C4E&DEV_7351&REV_02"},
       "7351",
       "VEN_8C4E&DEV_7351&REV_01"},
      {"the other chip's key is no match", {"VEN_8C4E&DEV_7341"}, "7351", ""},
      {"text must be contiguous", {"VEN_8C4E&DEV_73_51"}, "7351", ""},
      {"letters compared exactly", {"ven_8c4e&dev_7351"}, "VEN_8C4E", ""},
      {"no subkeys", {}, "7351", ""},
      // A name too long for a name slot ends the search right there.
      {"name of 128 characters ends the search",
       {n128, "VEN_8C4E&DEV_7351"},
       "7351",
       ""},
      {"match before the long name",
       {"VEN_8C4E&DEV_7351", n128},
       "7351",
       "VEN_8C4E&DEV_7351"},
      // Base, backslash and name must stay under 128 characters.
      {"matching name whose path would not fit", {n127}, "7351", ""},
      // The search ends at the first match, whether or not its path fits.
      {"a later match after one whose path would not fit",
       {n127, "VEN_8C4E&DEV_7351"},
       "7351",
       ""},
      {"matching name whose path just fits",
       {std::string(114, 'C') + "7351"},
       "7351",
       std::string(114, 'C') + "7351"},
  };
  for (const SearchCase& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.registry().CreateKey(kPci);
    for (const std::string& subkey : c.subkeys) {
      machine.registry().CreateKey(std::string(kPci) + "\\" + subkey);
    }
    DeviceKeyRecord record;
    record.key = "left over";
    record.found = 1;
    const int result = FindFirstSubkeyContaining(machine, kPci, c.text, record);
    if (c.expectedName.empty()) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(record.found, 0);
      EXPECT_EQ(record.key, "");
    } else {
      EXPECT_EQ(result, 1);
      EXPECT_EQ(record.found, 1);
      EXPECT_EQ(record.key, std::string(kPci) + "\\" + c.expectedName);
      EXPECT_LE(record.key.size(), 127u);
    }
  }
}

TEST(FindFirstSubkeyContaining, MissingBaseKeyIsNotFound) {
  SimulatedMachine machine;
  DeviceKeyRecord record;
  record.found = 1;
  EXPECT_EQ(
      FindFirstSubkeyContaining(machine, "Enum\\MF\\CHILD0000", "7351", record),
      0);
  EXPECT_EQ(record.found, 0);
}

TEST(ComposeInstancePath, TakesOnlyTheFirstInstance) {
  struct Case {
    std::string name;
    std::vector<std::string> instances;
    std::string expected;  // empty: fails
  };
  const std::string device = std::string(kPci) + "\\VEN_8C4E&DEV_7351";
  const std::vector<Case> cases = {
      {"one instance",
       {"BUS_00&DEV_07&FUNC_01"},
       device + "\\BUS_00&DEV_07&FUNC_01"},
      {"first of two",
       {"BUS_00&DEV_07&FUNC_01", "BUS_00&DEV_09&FUNC_01"},
       device + "\\BUS_00&DEV_07&FUNC_01"},
      {"no instance", {}, ""},
      {"path would reach 128 characters",
       {std::string(127 - device.size(), 'I')},
       ""},
      {"path of 127 characters",
       {std::string(126 - device.size(), 'I')},
       device + "\\" + std::string(126 - device.size(), 'I')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.registry().CreateKey(device);
    for (const std::string& instance : c.instances) {
      machine.registry().CreateKey(device + "\\" + instance);
    }
    std::string output;
    const int result = ComposeInstancePath(machine, device, output);
    EXPECT_EQ(result, c.expected.empty() ? 0 : 1);
    if (!c.expected.empty()) {
      EXPECT_EQ(output, c.expected);
    }
  }
}

TEST(ReadDriverClassKey, BuildsTheClassKeyFromTheDriverValue) {
  const std::string root = fixture::kClassRoot + std::string("\\");
  const std::string text87 = "hdc\\" + std::string(83, '0');
  struct Case {
    std::string name;
    RegistryValue driver;  // name empty: no Driver value at all
    std::string expected;  // empty: fails
  };
  auto sz = [](const std::string& text) {
    return RegistryValue{"Driver", REG_SZ, text + std::string(1, '\0')};
  };
  const std::vector<Case> cases = {
      {"plain", sz("hdc\\0001"), root + "hdc\\0001"},
      {"trailing spaces removed", sz("hdc\\0003   "), root + "hdc\\0003"},
      {"only a trailing tab is kept", sz("hdc\\0003\t"), root + "hdc\\0003\t"},
      {"only spaces", sz("   "), ""},
      {"empty", sz(""), ""},
      {"no Driver value", RegistryValue{}, ""},
      // Whatever the value's type, its bytes are the text, up to the zero
      // and never beyond the length returned.
      {"binary without a zero",
       RegistryValue{"Driver", REG_BINARY, "hdc\\0007"}, root + "hdc\\0007"},
      {"text ends at its first zero",
       RegistryValue{"Driver", REG_SZ, std::string("hdc\\0001\0xyz\0", 13)},
       root + "hdc\\0001"},
      {"longest text that fits", sz(text87), root + text87},
      {"text one too long", sz(text87 + "0"), ""},
      {"value over 128 bytes", sz(std::string(130, 'x')), ""},
      // A Driver value names one driver instance; anything else would make
      // the cleanup delete a whole class or the class root.
      {"bare class name", sz("hdc"), ""},
      {"bare class name with blanks", sz("hdc  "), ""},
      {"trailing backslash", sz("hdc\\"), ""},
      {"leading backslash", sz("\\hdc"), ""},
      {"doubled backslash", sz("hdc\\\\0001"), ""},
      {"backslash only", sz("\\"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    const std::string key =
        std::string(fixture::kChild0) + "\\PCI&VEN_8C4E&DEV_7351";
    machine.registry().CreateKey(key);
    if (!c.driver.name.empty()) machine.registry().SetValue(key, c.driver);
    DeviceKeyRecord record;
    record.classKey = "left over";
    const int result = ReadDriverClassKey(machine, record, key);
    EXPECT_EQ(result, c.expected.empty() ? 0 : 1);
    EXPECT_EQ(record.classKey, c.expected);
  }
}

TEST(ReadDriverClassKey, MissingKeyFails) {
  SimulatedMachine machine;
  DeviceKeyRecord record;
  record.classKey = "left over";
  EXPECT_EQ(ReadDriverClassKey(machine, record, "Enum\\PCI\\NOWHERE"), 0);
  EXPECT_EQ(record.classKey, "");
}

}  // namespace
}  // namespace ide
