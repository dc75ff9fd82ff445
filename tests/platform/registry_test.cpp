#include "platform/registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ide {
namespace {

using Names = std::vector<std::string>;

TEST(RegistryTest, KeyAndValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
  Registry registry;
  EXPECT_TRUE(registry.CreateKey("Enum\\PCI\\VEN_8C4E&DEV_7351"));
  EXPECT_FALSE(registry.CreateKey("ENUM\\pci\\ven_8c4e&dev_7351"));
  EXPECT_TRUE(registry.KeyExists("enum\\Pci"));
  EXPECT_EQ(registry.Subkeys("ENUM"), Names{"PCI"});

  registry.SetString("Enum\\PCI", "DeviceDesc", "first");
  registry.SetString("enum\\pci", "DEVICEDESC", "second");
  const std::vector<RegistryValue> values = registry.Values("Enum\\PCI");
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "DeviceDesc");
  EXPECT_EQ(values[0].data, std::string("second\0", 7));
  ASSERT_TRUE(registry.GetValue("ENUM\\PCI", "devicedesc").has_value());
}

TEST(RegistryTest, SubkeysAndValuesKeepTheOrderTheyWereFirstNamed) {
  Registry registry;
  for (const char* path : {"K\\Zeta", "K\\alpha", "K\\Mid", "K\\ALPHA\\x"}) {
    registry.CreateKey(path);
  }
  registry.SetDword("K", "b", 2);
  registry.SetDword("K", "a", 1);
  registry.SetDword("K", "B", 3);  // replaced in place, not moved
  EXPECT_EQ(registry.Subkeys("K"), (Names{"Zeta", "alpha", "Mid"}));
  const std::vector<RegistryValue> values = registry.Values("K");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].name, "b");
  EXPECT_EQ(values[0].data, std::string("\x03\0\0\0", 4));
  EXPECT_EQ(values[1].name, "a");
  EXPECT_EQ(registry.AllKeys(),
            (Names{"K", "K\\Zeta", "K\\alpha", "K\\alpha\\x", "K\\Mid"}));
  ASSERT_TRUE(registry.SubkeyAt("k", 2).has_value());
  EXPECT_EQ(*registry.SubkeyAt("k", 2), "Mid");
  EXPECT_FALSE(registry.SubkeyAt("k", 3).has_value());
  EXPECT_FALSE(registry.SubkeyAt("missing", 0).has_value());
}

TEST(RegistryTest, DeleteKeyRemovesTheWholeTreeAndOnlyIt) {
  Registry registry;
  registry.CreateKey("Enum\\MF\\CHILD0000\\PCI&VEN_8C4E\\0001");
  registry.CreateKey("Enum\\MF\\CHILD0001");
  registry.CreateKey("Enum\\MFX");
  EXPECT_TRUE(registry.DeleteKey("enum\\mf"));
  EXPECT_FALSE(registry.KeyExists("Enum\\MF\\CHILD0000\\PCI&VEN_8C4E"));
  EXPECT_FALSE(registry.KeyExists("Enum\\MF"));
  EXPECT_TRUE(registry.KeyExists("Enum\\MFX"));
  EXPECT_FALSE(registry.DeleteKey("Enum\\MF"));
  EXPECT_FALSE(registry.DeleteKey(""));  // the root stays
  // A key made again goes after its siblings.
  registry.CreateKey("Enum\\MF");
  EXPECT_EQ(registry.Subkeys("Enum"), (Names{"MFX", "MF"}));
}

TEST(RegistryTest, CopiesAreIndependentAndCompareByContent) {
  Registry original;
  original.SetString("A\\B", "v", "1");
  Registry copy = original;
  EXPECT_TRUE(copy == original);
  copy.SetString("A\\B", "v", "2");
  EXPECT_FALSE(copy == original);
  EXPECT_EQ(original.GetValue("A\\B", "v")->data, std::string("1\0", 2));

  Registry reordered;
  reordered.CreateKey("Y");
  reordered.CreateKey("X");
  Registry ordered;
  ordered.CreateKey("X");
  ordered.CreateKey("Y");
  EXPECT_FALSE(reordered == ordered);  // order is part of the content

  Registry moved = std::move(copy);
  EXPECT_TRUE(moved.KeyExists("A\\B"));
  EXPECT_FALSE(copy.KeyExists("A"));  // NOLINT: a moved-from registry is empty
}

}  // namespace
}  // namespace ide
