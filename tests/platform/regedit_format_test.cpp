// The registry's text form, through Registry::Parse and ToRegedit4.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/simulated_machine.h"

namespace ide {
namespace {

using Names = std::vector<std::string>;

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

std::string Text(const std::string& s) { return s + std::string(1, '\0'); }

// 8-bit text (code points below 0x100, plus an escape for the Euro sign and
// one character no ANSI code page position holds) as UTF-16 LE with a
// byte-order mark.
std::string Utf16(const std::u16string& text) {
  std::string out = "\xFF\xFE";
  for (char16_t unit : text) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
  return out;
}

// Written by hand in the form the writer produces: CR LF, parents before
// children, hex data wrapped before 77 columns, other roots at the end.
const char kOwnForm[] =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE]\r\n"
    "\"RootValue\"=\"at the top\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_8C4E&DEV_7351]\r\n"
    "@=\"Default\"\r\n"
    "\"Driver\"=\"hdc\\\\0001  \"\r\n"
    "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
    "\"Count\"=dword:0000abcd\r\n"
    "\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    "  16,17,18,19,1a,1b,1c,1d\r\n"
    "\"Expand\"=hex(2):25,53,00\r\n"
    "\"Multi\"=hex(7):61,00,62,00,00\r\n"
    "\"NoZero\"=hex(1):61,62\r\n"
    "\"Empty\"=hex:\r\n"
    "\"ShortDword\"=hex(4):01,02\r\n"
    "\"Big\"=hex(100):ff\r\n"
    "\"High\"=\"caf\xE9\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\Root]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\System]\r\n"
    "\"Lines\"=hex(1):61,0d,0a,62,00\r\n"
    "\"Inner\"=hex(1):61,00,62,00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software]\r\n"
    "\"Kept\"=\"as is\"\r\n"
    "\r\n";

TEST(RegeditFormatTest, OwnFormReadsAndWritesBackByteForByte) {
  const Registry registry = Registry::Parse(kOwnForm, "own.reg");
  EXPECT_EQ(registry.ToRegedit4(), kOwnForm);

  const std::string dev = "Enum\\PCI\\VEN_8C4E&DEV_7351";
  EXPECT_EQ(registry.AllKeys(),
            (Names{"Enum", "Enum\\PCI", dev, "Enum\\Root", "System"}));
  struct Row {
    std::string name;
    DWORD type;
    std::string data;
  };
  std::string thirty;
  for (int i = 0; i < 30; ++i) thirty.push_back(static_cast<char>(i));
  const std::vector<Row> rows = {
      {"", REG_SZ, Text("Default")},
      {"Driver", REG_SZ, Text("hdc\\0001  ")},
      {"Quote", REG_SZ, Text("say \"hi\"")},
      {"Count", REG_DWORD, Bytes({0xcd, 0xab, 0, 0})},
      {"Bin", REG_BINARY, thirty},
      {"Expand", REG_EXPAND_SZ, Bytes({0x25, 0x53, 0})},
      {"Multi", REG_MULTI_SZ, Bytes({'a', 0, 'b', 0, 0})},
      {"NoZero", REG_SZ, "ab"},
      {"Empty", REG_BINARY, ""},
      {"ShortDword", REG_DWORD, Bytes({1, 2})},
      {"Big", 0x100, Bytes({0xff})},
      {"High", REG_SZ, Text("caf\xE9")},
  };
  const std::vector<RegistryValue> values = registry.Values(dev);
  ASSERT_EQ(values.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    EXPECT_EQ(values[i].name, rows[i].name);
    EXPECT_EQ(values[i].type, rows[i].type);
    EXPECT_EQ(values[i].data, rows[i].data);
  }
  EXPECT_EQ(registry.GetValue("", "RootValue")->data, Text("at the top"));
  EXPECT_EQ(registry.GetValue("System", "Lines")->data,
            Bytes({'a', '\r', '\n', 'b', 0}));
}

TEST(RegeditFormatTest, ValuesSetInCodeSurviveTheTextForm) {
  // Texts that a quoted value cannot carry (a line break, an inner zero,
  // no terminating zero) must still come back with the same bytes.
  Registry registry;
  registry.SetString("Quirks", "Quote\\Name\"", "C:\\WINDOWS\\\"x\"");
  registry.SetValue("Quirks", {"Break", REG_SZ, Text("one\ntwo")});
  registry.SetValue("Quirks", {"Inner", REG_SZ, std::string("a\0b\0", 4)});
  registry.SetValue("Quirks", {"Bare", REG_SZ, "nozero"});
  registry.SetValue("Quirks", {"Odd", 0x1234, Bytes({1})});
  std::string big(1000, '\x5a');
  registry.SetValue("Quirks", {"Long", REG_BINARY, big});
  const std::string text = registry.ToRegedit4();
  const Registry back = Registry::Parse(text, "quirks.reg");
  EXPECT_TRUE(back == registry);
  EXPECT_EQ(back.ToRegedit4(), text);
  for (const RegistryValue& value : registry.Values("Quirks")) {
    SCOPED_TRACE(value.name);
    const auto read = back.GetValue("Quirks", value.name);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->data, value.data);
    EXPECT_EQ(read->type, value.type);
  }
  // No written line is overly long: hex data is wrapped.
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "every line ends in CR LF";
    EXPECT_LE(end - start, 80u);
    start = end + 2;
  }
}

struct ValidFile {
  const char* name;
  std::string text;
  std::function<void(const Registry&)> check;
};

TEST(RegeditFormatTest, AnyValidFileReadsBackToTheSameKeysValuesAndOrder) {
  const std::vector<ValidFile> files = {
      {"continuations, spacing and LF line ends",
       "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n"
       "\"Bin\" = HEX:0A, 0b,\\\n\t   0C ,\\\n  0d\n"
       "\"T\"=hex(2):41,\\\n00\n",
       [](const Registry& r) {
         EXPECT_EQ(r.GetValue("A", "Bin")->data, Bytes({10, 11, 12, 13}));
         EXPECT_EQ(r.GetValue("A", "T")->type, REG_EXPAND_SZ);
         EXPECT_EQ(r.GetValue("A", "T")->data, Bytes({'A', 0}));
       }},
      {"escapes",
       "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n"
       "\"Pa\\\\th\"=\"C:\\\\WINDOWS\\\\\"\r\n"
       "\"Q\"=\"\\\"quoted\\\" = \\\"x\\\"\"\r\n"
       "@=\"\"\r\n"
       "\"Lines\"=\"a\\nb\\r\\0\"\r\n",
       [](const Registry& r) {
         EXPECT_EQ(r.GetValue("A", "Lines")->data,
                   Bytes({'a', '\n', 'b', '\r', 0, 0}));
         EXPECT_EQ(r.GetValue("A", "Pa\\th")->data, Text("C:\\WINDOWS\\"));
         EXPECT_EQ(r.GetValue("A", "Q")->data, Text("\"quoted\" = \"x\""));
         EXPECT_EQ(r.GetValue("A", "")->data, Text(""));
       }},
      {"mixed-case names and a key named twice",
       "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Enum\\PCI]\r\n\"Val\"=\"1\"\r\n\r\n"
       "[hkey_local_machine\\ENUM\\Root]\r\n\r\n"
       "[HKEY_LOCAL_MACHINE\\enum\\pci\\Dev]\r\n\r\n"
       "[HKEY_LOCAL_MACHINE\\Enum\\Pci]\r\n\"VAL\"=\"2\"\r\n\"New\"=dword:1\r\n",
       [](const Registry& r) {
         EXPECT_EQ(r.AllKeys(), (Names{"Enum", "Enum\\PCI", "Enum\\PCI\\Dev",
                                       "Enum\\Root"}));
         const auto values = r.Values("enum\\pci");
         ASSERT_EQ(values.size(), 2u);
         EXPECT_EQ(values[0].name, "Val");
         EXPECT_EQ(values[0].data, Text("2"));
         EXPECT_EQ(values[1].data, Bytes({1, 0, 0, 0}));
       }},
      {"other roots and comments around the machine's keys",
       "REGEDIT4\r\n\r\n; exported for the tests\r\n"
       "[HKEY_CLASSES_ROOT\\.inf]\r\n@=\"inffile\"\r\n\r\n"
       "[HKEY_LOCAL_MACHINE\\Software]\r\n\"A\"=\"b\"\r\n\r\n"
       "[HKEY_USERS\\.Default]\r\n\"Strange\"=hex:01,\\\r\n  02\r\n",
       [](const Registry& r) {
         EXPECT_EQ(r.AllKeys(), Names{"Software"});
         const std::string text = r.ToRegedit4();
         EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\.inf]\r\n@=\"inffile\"\r\n\r\n"),
                   std::string::npos);
         EXPECT_NE(text.find("[HKEY_USERS\\.Default]\r\n\"Strange\"=hex:01,\\"
                             "\r\n  02\r\n"),
                   std::string::npos);
       }},
      {"dwords of every width and values on the root",
       "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n\"One\"=dword:1\r\n"
       "\"All\"=dword:FFFFFFFF\r\n\"Mixed\"=DWORD:0000aBcD\r\n",
       [](const Registry& r) {
         EXPECT_EQ(r.GetValue("", "One")->data, Bytes({1, 0, 0, 0}));
         EXPECT_EQ(r.GetValue("", "All")->data, Bytes({255, 255, 255, 255}));
         EXPECT_EQ(r.GetValue("", "Mixed")->data, Bytes({0xcd, 0xab, 0, 0}));
         EXPECT_TRUE(r.AllKeys().empty());
       }},
  };
  for (const ValidFile& file : files) {
    SCOPED_TRACE(file.name);
    const Registry parsed = Registry::Parse(file.text, "valid.reg");
    file.check(parsed);
    const Registry again = Registry::Parse(parsed.ToRegedit4(), "again.reg");
    EXPECT_TRUE(again == parsed);
    EXPECT_EQ(again.ToRegedit4(), parsed.ToRegedit4());
  }
}

TEST(RegeditFormatTest, ReadsTheUtf16FormWithItsTextsIn8Bits) {
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Caf\u00e9]\r\n"
      u"\"Name\"=\"\u20ac 5 \u4e2d\"\r\n"
      u"\"Path\"=hex(2):25,00,53,00,79,00,73,00,00,00\r\n"
      u"\"List\"=hex(7):61,00,00,00,e9,00,00,00,00,00\r\n"
      u"\"Raw\"=hex:e9,00\r\n"
      u"\"Num\"=dword:00000010\r\n\r\n"
      u"[HKEY_CURRENT_USER\\Console]\r\n\"x\"=dword:1\r\n";
  const Registry registry = Registry::Parse(Utf16(text), "export.reg");
  const std::string key = "SOFTWARE\\Caf\xE9";
  ASSERT_TRUE(registry.KeyExists(key));
  EXPECT_EQ(registry.GetValue(key, "Name")->data, Text("\x80 5 ?"));
  EXPECT_EQ(registry.GetValue(key, "Path")->type, REG_EXPAND_SZ);
  EXPECT_EQ(registry.GetValue(key, "Path")->data, Text("%Sys"));
  EXPECT_EQ(registry.GetValue(key, "List")->data,
            Bytes({'a', 0, 0xE9, 0, 0}));
  EXPECT_EQ(registry.GetValue(key, "Raw")->data, Bytes({0xE9, 0}));
  EXPECT_EQ(registry.GetValue(key, "Num")->data, Bytes({16, 0, 0, 0}));
  // Written back as REGEDIT4, it reads the same.
  const std::string written = registry.ToRegedit4();
  EXPECT_EQ(written.rfind("REGEDIT4\r\n\r\n", 0), 0u);
  EXPECT_TRUE(Registry::Parse(written, "written.reg") == registry);
}

TEST(RegeditFormatTest, MalformedFilesNameTheFileAndLine) {
  struct Row {
    const char* what;
    std::string text;
    int line;
    const char* fragment;
  };
  const std::string head = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n";
  const std::vector<Row> rows = {
      {"no header", "[HKEY_LOCAL_MACHINE\\A]\r\n", 1, "REGEDIT4"},
      {"empty file", "", 1, "REGEDIT4"},
      {"key deletion", "REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\A]\r\n", 3,
       "deleting a key"},
      {"value deletion", head + "\"x\"=-\r\n", 4, "deleting a value"},
      {"unknown root", "REGEDIT4\r\n[HKEY_NOWHERE\\A]\r\n", 2, "HKEY_NOWHERE"},
      {"value before any key", "REGEDIT4\r\n\"x\"=\"1\"\r\n", 2,
       "before the first"},
      {"unterminated text", head + "\"x\"=\"open\r\n", 4, "closing"},
      {"unknown escape", head + "\"x\"=\"a\\tb\"\r\n", 4, "escape"},
      {"junk after text", head + "\"x\"=\"a\" b\r\n", 4, "after the closing"},
      {"dword too long", head + "\"x\"=dword:123456789\r\n", 4, "dword"},
      {"dword not hex", head + "\"x\"=dword:12g4\r\n", 4, "dword"},
      {"bad hex byte", head + "\"x\"=hex:01,2x3\r\n", 4, "hex byte"},
      {"hole in hex data", head + "\"x\"=hex:01,,02\r\n", 4, "empty byte"},
      {"bad continuation reported at its start",
       head + "\"x\"=hex:01,\\\r\n  zz\r\n", 4, "hex byte"},
      {"missing equals", head + "\"x\" \"1\"\r\n", 4, "'='"},
      {"bare name", head + "x=\"1\"\r\n", 4, "value name"},
      {"unknown data", head + "\"x\"=str(2):\"a\"\r\n", 4, "unrecognised"},
      {"key without bracket", head + "[HKEY_LOCAL_MACHINE\\B\r\n", 4, "']'"},
      {"empty key name", head + "[HKEY_LOCAL_MACHINE\\B\\\\C]\r\n", 4,
       "empty key name"},
      {"carriage return in a value name", head + "\"a\rb\"=\"1\"\r\n", 4,
       "line break"},
      {"escaped line feed in a value name", head + "\"a\\nb\"=\"1\"\r\n", 4,
       "line break"},
      {"carriage return in a key name", head + "[HKEY_LOCAL_MACHINE\\B\rC]\r\n",
       4, "line break"},
      {"odd UTF-16", std::string("\xFF\xFEW\0i\0n", 7), 1, "odd length"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    try {
      Registry::Parse(row.text, "machine/registry.reg");
      ADD_FAILURE() << "parsed without error";
    } catch (const MachineError& error) {
      const std::string message = error.what();
      EXPECT_EQ(message.rfind("machine/registry.reg:" + std::to_string(row.line) +
                                  ": ",
                              0),
                0u)
          << message;
      EXPECT_NE(message.find(row.fragment), std::string::npos) << message;
    }
  }
}

}  // namespace
}  // namespace ide
