// The Windows layer against Windows' own API (run under Wine): the real
// registry, real files, the C runtime's DOS text mode, the dialog resource
// and the guarded port access. Each test builds what it needs with the plain
// Win32 API and checks what the layer did through it, so neither side is
// taken on trust.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <cstring>
#include <string>
#include <vector>

#include "platform/pci_table_win32.h"
#include "platform/platform_win32.h"
#include "resources/dialog_ids.h"

#include <windows.h>

namespace {

using ide::Win32Platform;

// Scratch keys live below Enum, where the setup itself works.
constexpr const char* kScratchKey = "Enum\\IdeLayerTest";

::HKEY Hklm() { return HKEY_LOCAL_MACHINE; }
ide::HKEY LayerHklm() { return ide::LocalMachineKey(); }

void CreateKey(const std::string& path) {
  ::HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegCreateKeyExA(Hklm(), path.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr))
      << path;
  ::RegCloseKey(key);
}

void SetValue(const std::string& path, const char* name, DWORD type,
              const std::string& bytes) {
  ::HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegCreateKeyExA(Hklm(), path.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr));
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegSetValueExA(key, name, 0, type,
                             reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())));
  ::RegCloseKey(key);
}

bool KeyExists(const std::string& path) {
  ::HKEY key = nullptr;
  if (::RegOpenKeyExA(Hklm(), path.c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(key);
  return true;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::RegDeleteTreeA(Hklm(), kScratchKey);
    ::RegDeleteKeyA(Hklm(), kScratchKey);
    CreateKey(kScratchKey);
  }
  void TearDown() override {
    ::RegDeleteTreeA(Hklm(), kScratchKey);
    ::RegDeleteKeyA(Hklm(), kScratchKey);
  }
  static std::string Path(const std::string& below) {
    return std::string(kScratchKey) + "\\" + below;
  }
  ide::HKEY Open(const std::string& path) {
    ide::HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, os_.RegOpenKeyExA(LayerHklm(), path.c_str(), 0,
                                               KEY_ALL_ACCESS, &key))
        << path;
    return key;
  }

  Win32Platform os_;
};

TEST_F(RegistryTest, EnumerationListsEverySubkeyThenEnds) {
  const std::vector<std::string> names = {
      "VEN_8C4E&DEV_7351&SUBSYS_00000000&REV_01", "CHILD0000", "x",
      std::string(127, 'n')};
  for (const auto& name : names) CreateKey(Path("list\\" + name));
  CreateKey(Path("list\\VEN_8C4E&DEV_7351&SUBSYS_00000000&REV_01\\deeper"));

  ide::HKEY key = Open(Path("list"));
  std::vector<std::string> seen;
  ide::DWORD index = 0;
  for (;; ++index) {
    char name[128];
    std::memset(name, 0xdd, sizeof name);
    ide::DWORD size = sizeof name;
    ide::LONG status = os_.RegEnumKeyExA(key, index, name, &size);
    if (status != ERROR_SUCCESS) {
      EXPECT_EQ(ERROR_NO_MORE_ITEMS, status);
      break;
    }
    EXPECT_EQ(std::strlen(name), size) << "index " << index;
    seen.emplace_back(name);
  }
  EXPECT_EQ(ERROR_SUCCESS, os_.RegCloseKey(key));
  // Only direct subkeys, each once; the order is the system's.
  std::sort(seen.begin(), seen.end());
  std::vector<std::string> expected = names;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, seen);
}

TEST_F(RegistryTest, EnumerationRefusesANameThatDoesNotFitTheBuffer) {
  CreateKey(Path("long\\" + std::string(128, 'L')));
  ide::HKEY key = Open(Path("long"));
  char name[128];
  ide::DWORD size = sizeof name;
  EXPECT_EQ(ERROR_MORE_DATA, os_.RegEnumKeyExA(key, 0, name, &size));
  os_.RegCloseKey(key);
}

TEST_F(RegistryTest, OpeningAMissingKeyFailsAndLeavesTheResult) {
  ide::HKEY key = reinterpret_cast<ide::HKEY>(0x1234);
  EXPECT_NE(ERROR_SUCCESS,
            os_.RegOpenKeyExA(LayerHklm(), Path("absent").c_str(), 0,
                              KEY_ALL_ACCESS, &key));
  EXPECT_EQ(reinterpret_cast<ide::HKEY>(0x1234), key);
}

// Where a call has nowhere to put its result, the layer refuses it, as the
// simulated machine does, instead of writing through a null pointer (or
// leaving a key open that nobody can close).
TEST_F(RegistryTest, NullResultPointersAreRefusedNotWrittenThrough) {
  CreateKey(Path("null\\child"));
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            os_.RegOpenKeyExA(LayerHklm(), Path("null").c_str(), 0,
                              KEY_ALL_ACCESS, nullptr));
  ide::HKEY key = Open(Path("null"));
  char name[128];
  ide::DWORD size = sizeof name;
  EXPECT_EQ(ERROR_INVALID_PARAMETER, os_.RegEnumKeyExA(key, 0, name, nullptr));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, os_.RegEnumKeyExA(key, 0, nullptr, &size));
  EXPECT_EQ(sizeof name, size);
  EXPECT_EQ(ERROR_SUCCESS, os_.RegEnumKeyExA(key, 0, name, &size));
  EXPECT_STREQ("child", name);
  os_.RegCloseKey(key);
}

// Every value type the setup may meet, read into 128 bytes as it does.
TEST_F(RegistryTest, ValuesOfEveryTypeReadIntoOneHundredTwentyEightBytes) {
  struct Case {
    const char* name;
    DWORD type;
    std::string stored;  // bytes as written
    ide::LONG status;
    std::string read;  // bytes expected back (when status is success)
  };
  const std::string text127(127, 't');
  const std::string text128(128, 'u');
  const Case cases[] = {
      {"Driver", REG_SZ, std::string("hdc\\0001\0", 9), ERROR_SUCCESS,
       std::string("hdc\\0001\0", 9)},
      {"Trailing", REG_SZ, std::string("hdc\\0002   \0", 12), ERROR_SUCCESS,
       std::string("hdc\\0002   \0", 12)},
      {"InfPath", REG_EXPAND_SZ, std::string("oem3.inf\0", 9), ERROR_SUCCESS,
       std::string("oem3.inf\0", 9)},
      {"Binary", REG_BINARY, std::string("\x00\x1a\xff\x7f", 4),
       ERROR_SUCCESS, std::string("\x00\x1a\xff\x7f", 4)},
      {"Flags", REG_DWORD, std::string("\x01\x00\x00\x80", 4), ERROR_SUCCESS,
       std::string("\x01\x00\x00\x80", 4)},
      {"Multi", REG_MULTI_SZ, std::string("a\0bc\0\0", 6), ERROR_SUCCESS,
       std::string("a\0bc\0\0", 6)},
      {"Empty", REG_SZ, std::string("\0", 1), ERROR_SUCCESS,
       std::string("\0", 1)},
      {"Fits", REG_SZ, text127 + '\0', ERROR_SUCCESS, text127 + '\0'},
      {"TooLong", REG_SZ, text128 + '\0', ERROR_MORE_DATA, ""},
      {"BinaryTooLong", REG_BINARY, std::string(129, '\x5a'), ERROR_MORE_DATA,
       ""},
  };
  for (const auto& c : cases) SetValue(Path("values"), c.name, c.type, c.stored);

  ide::HKEY key = Open(Path("values"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ide::BYTE data[128 + 16];
    std::memset(data, 0xdd, sizeof data);
    ide::DWORD type = 0xdeadbeef;
    ide::DWORD size = 128;
    ASSERT_EQ(c.status, os_.RegQueryValueExA(key, c.name, &type, data, &size));
    if (c.status != ERROR_SUCCESS) continue;
    EXPECT_EQ(c.type, type);
    ASSERT_EQ(c.read.size(), size);
    EXPECT_EQ(c.read, std::string(reinterpret_cast<char*>(data), size));
    // Nothing written past the value.
    for (std::size_t i = size; i < sizeof data; ++i) {
      ASSERT_EQ(0xdd, data[i]) << "byte " << i;
    }
  }
  ide::DWORD size = 128;
  ide::BYTE data[128];
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            os_.RegQueryValueExA(key, "Missing", nullptr, data, &size));
  os_.RegCloseKey(key);
}

TEST_F(RegistryTest, DeletingAKeyRemovesItsWholeTreeAndNothingElse) {
  struct Case {
    const char* label;
    bool throughOpenParent;  // delete below an open key, not below HKLM
  };
  for (Case c : {Case{"below HKEY_LOCAL_MACHINE", false},
                 Case{"below an open key", true}}) {
    SCOPED_TRACE(c.label);
    const std::string tree = Path("tree");
    CreateKey(tree + "\\VEN_1\\BUS_00&DEV_07&FUNC_01\\a\\b\\c");
    CreateKey(tree + "\\VEN_1\\BUS_00&DEV_07&FUNC_02");
    SetValue(tree + "\\VEN_1\\BUS_00&DEV_07&FUNC_01", "Class", REG_SZ,
             std::string("hdc\0", 4));
    CreateKey(tree + "\\VEN_2\\inst");
    CreateKey(tree + "\\VEN_10");

    if (c.throughOpenParent) {
      ide::HKEY parent = Open(tree);
      EXPECT_EQ(ERROR_SUCCESS, os_.RegDeleteKeyA(parent, "VEN_1"));
      os_.RegCloseKey(parent);
    } else {
      EXPECT_EQ(ERROR_SUCCESS,
                os_.RegDeleteKeyA(LayerHklm(), (tree + "\\VEN_1").c_str()));
    }
    EXPECT_FALSE(KeyExists(tree + "\\VEN_1"));
    EXPECT_TRUE(KeyExists(tree + "\\VEN_2\\inst"));
    EXPECT_TRUE(KeyExists(tree + "\\VEN_10"));
    ::RegDeleteTreeA(Hklm(), tree.c_str());
  }
}

TEST_F(RegistryTest, DeletingAMissingOrUnnamedKeyChangesNothing) {
  CreateKey(Path("keep\\child"));
  ide::HKEY parent = Open(Path("keep"));
  EXPECT_NE(ERROR_SUCCESS, os_.RegDeleteKeyA(parent, "absent"));
  // An empty name would mean the open key itself, with all below it.
  EXPECT_NE(ERROR_SUCCESS, os_.RegDeleteKeyA(parent, ""));
  EXPECT_NE(ERROR_SUCCESS, os_.RegDeleteKeyA(parent, nullptr));
  os_.RegCloseKey(parent);
  EXPECT_TRUE(KeyExists(Path("keep\\child")));
}

// ---- Files ----

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathA(sizeof temp, temp));
    folder_ = std::string(temp) + "ide-layer-test";
    ::CreateDirectoryA(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const auto& name : created_) ::DeleteFileA(name.c_str());
    ::RemoveDirectoryA(folder_.c_str());
  }
  std::string File(const std::string& name) {
    std::string path = folder_ + "\\" + name;
    created_.push_back(path);
    return path;
  }
  static void Put(const std::string& path, const std::string& bytes) {
    ::HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << path;
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()),
                            &written, nullptr));
    ::CloseHandle(h);
  }
  static std::string Bytes(const std::string& path) {
    ::HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<absent>";
    std::string bytes;
    char chunk[512];
    DWORD got = 0;
    while (::ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0) {
      bytes.append(chunk, got);
    }
    ::CloseHandle(h);
    return bytes;
  }

  Win32Platform os_;
  std::string folder_;
  std::vector<std::string> created_;
};

TEST_F(FileTest, CopyOverwritesAnExistingTargetAndFailsWithoutASource) {
  const std::string source = File("K7351.MPD");
  const std::string target = File("k7351.mpd.old");
  Put(source, std::string("new miniport\x00\x1a\r\n", 16));
  Put(target, "an older, longer miniport image");
  EXPECT_NE(0, os_.CopyFileA(source.c_str(), target.c_str(), FALSE));
  EXPECT_EQ(Bytes(source), Bytes(target));

  Put(target, "kept");
  EXPECT_EQ(0, os_.CopyFileA(File("missing.mpd").c_str(), target.c_str(),
                             FALSE));
  EXPECT_EQ("kept", Bytes(target));
  // The setup's copy when no driver was named: the source is a folder.
  EXPECT_EQ(0, os_.CopyFileA((folder_ + "\\").c_str(), target.c_str(), FALSE));
  EXPECT_EQ("kept", Bytes(target));
}

TEST_F(FileTest, DeleteRemovesAFileAndReportsAMissingOne) {
  const std::string path = File("mshdc.1");
  Put(path, "x");
  EXPECT_NE(0, os_.DeleteFileA(path.c_str()));
  EXPECT_EQ("<absent>", Bytes(path));
  EXPECT_EQ(0, os_.DeleteFileA(path.c_str()));
}

TEST_F(FileTest, ExistenceTestFindsFilesOnly) {
  const std::string present = File("oem3.inf");
  Put(present, "[Version]\r\n");
  struct Case {
    std::string path;
    bool exists;
  };
  const Case cases[] = {
      {present, true},
      {folder_ + "\\OEM3.INF", true},  // names ignore case
      {File("oem4.inf"), false},
      {folder_ + "\\nofolder\\oem3.inf", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ide::HFILE result = os_.OpenFile(c.path.c_str(), OF_EXIST);
    EXPECT_EQ(c.exists, result != HFILE_ERROR);
    os_._lclose(result);
  }
}

// The value an existence test returns is a handle OpenFile has already
// closed; the system may hand the same number to the next file opened.
// Closing the test's value must not close that file.
TEST_F(FileTest, ClosingAnExistenceResultLeavesOtherFilesOpen) {
  const std::string present = File("probe.inf");
  const std::string other = File("other.txt");
  Put(present, "x");
  ide::HFILE result = os_.OpenFile(present.c_str(), OF_EXIST);
  ASSERT_NE(HFILE_ERROR, result);
  ::HANDLE open = ::CreateFileA(other.c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, open);
  EXPECT_EQ(0, os_._lclose(result));
  DWORD written = 0;
  EXPECT_TRUE(::WriteFile(open, "still open", 10, &written, nullptr))
      << "result " << result << ", open file "
      << reinterpret_cast<std::uintptr_t>(open);
  EXPECT_TRUE(::CloseHandle(open));
}

TEST_F(FileTest, FoldersHaveNoTrailingBackslashExceptAtTheRoot) {
  char buffer[MAX_PATH];
  ide::UINT length = os_.GetWindowsDirectoryA(buffer, sizeof buffer);
  ASSERT_GT(length, 3u);
  EXPECT_EQ(std::strlen(buffer), length);
  EXPECT_NE('\\', buffer[length - 1]) << buffer;
  // Too small a buffer: the size needed, with the zero.
  char tiny[2];
  EXPECT_EQ(length + 1, os_.GetWindowsDirectoryA(tiny, sizeof tiny));

  length = os_.GetSystemDirectoryA(buffer, sizeof buffer);
  ASSERT_GT(length, 3u);
  EXPECT_NE('\\', buffer[length - 1]) << buffer;

  char saved[MAX_PATH];
  ASSERT_NE(0u, ::GetCurrentDirectoryA(sizeof saved, saved));
  ASSERT_TRUE(::SetCurrentDirectoryA("C:\\"));
  ide::DWORD current = os_.GetCurrentDirectoryA(sizeof buffer, buffer);
  EXPECT_EQ(std::string("C:\\"), std::string(buffer, current));
  ASSERT_TRUE(::SetCurrentDirectoryA(folder_.c_str()));
  current = os_.GetCurrentDirectoryA(sizeof buffer, buffer);
  EXPECT_EQ(folder_, std::string(buffer, current));
  ::SetCurrentDirectoryA(saved);
}

TEST(StringCompareTest, CaseMattersOnlyWhenAsked) {
  Win32Platform os;
  struct Case {
    const char* a;
    const char* b;
    bool equal;
    bool equalIgnoringCase;
  };
  const Case cases[] = {
      {"mshdc.inf", "mshdc.inf", true, true},
      {"MSHDC.INF", "mshdc.inf", false, true},
      {"mshdc.inf", "mshdc.ing", false, false},
      {"", "", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    EXPECT_EQ(c.equal, os.lstrcmpA(c.a, c.b) == 0);
    EXPECT_EQ(c.equalIgnoringCase, os.lstrcmpiA(c.a, c.b) == 0);
  }
}

// ---- DOS text mode ----

TEST_F(FileTest, WritingTurnsEveryLineFeedIntoCarriageReturnLineFeed) {
  struct Case {
    const char* label;
    std::vector<std::string> writes;
    std::string bytes;
  };
  const Case cases[] = {
      {"lines", {"[ControlFlags]\n", "ExcludeFromSelect=*\n"},
       "[ControlFlags]\r\nExcludeFromSelect=*\r\n"},
      {"line end kept from a read", {"a\n", "\n", "b"}, "a\r\n\r\nb"},
      {"nothing", {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = File("written.inf");
    Put(path, "old contents, to be emptied");
    ide::TextFile file = os_.OpenTextFile(path.c_str(), ide::TextMode::Write);
    ASSERT_NE(nullptr, file);
    for (const auto& text : c.writes) EXPECT_TRUE(os_.WriteText(file, text.c_str()));
    EXPECT_TRUE(os_.CloseTextFile(file));
    EXPECT_EQ(c.bytes, Bytes(path));
  }
}

TEST_F(FileTest, ReadingJoinsCarriageReturnLineFeedAndStopsAtControlZ) {
  struct Case {
    const char* label;
    std::string bytes;
    std::size_t bufferSize;
    std::vector<std::string> lines;
  };
  const std::string longLine(300, 'w');
  const Case cases[] = {
      {"CR LF lines", "[Strings]\r\nZEL=\"Zelmont\"\r\n", 255,
       {"[Strings]\n", "ZEL=\"Zelmont\"\n"}},
      {"last line without end", "a\r\nb", 255, {"a\n", "b"}},
      {"Ctrl-Z ends the text", std::string("x\r\ny\x1az\r\n"), 255,
       {"x\n", "y"}},
      {"Ctrl-Z at a line start", std::string("x\r\n\x1a\r\nmore\r\n"), 255,
       {"x\n"}},
      {"lone CR kept", "a\rb\r\n", 255, {"a\rb\n"}},
      {"bare LF", "a\nb\n", 255, {"a\n", "b\n"}},
      {"long line in pieces", longLine + "\r\n", 255,
       {std::string(254, 'w'), std::string(46, 'w') + "\n"}},
      {"empty file", "", 255, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = File("read.inf");
    Put(path, c.bytes);
    ide::TextFile file = os_.OpenTextFile(path.c_str(), ide::TextMode::Read);
    ASSERT_NE(nullptr, file);
    std::vector<std::string> lines;
    std::vector<char> buffer(c.bufferSize + 8, '\xdd');
    for (int guard = 0; guard < 100; ++guard) {
      std::size_t got = os_.ReadTextLine(file, buffer.data(), c.bufferSize);
      if (got == 0) break;
      ASSERT_EQ(std::strlen(buffer.data()), got);
      ASSERT_LT(got, c.bufferSize);
      lines.emplace_back(buffer.data(), got);
    }
    EXPECT_TRUE(os_.CloseTextFile(file));
    EXPECT_EQ(c.lines, lines);
  }
}

TEST_F(FileTest, OpeningAndWritingReportFailures) {
  EXPECT_EQ(nullptr,
            os_.OpenTextFile(File("absent.inf").c_str(), ide::TextMode::Read));
  EXPECT_EQ(nullptr, os_.OpenTextFile((folder_ + "\\no\\such.inf").c_str(),
                                      ide::TextMode::Write));
  // A file open for reading takes no writes: the layer says so.
  const std::string path = File("readonly.inf");
  Put(path, "kept\r\n");
  ide::TextFile file = os_.OpenTextFile(path.c_str(), ide::TextMode::Read);
  ASSERT_NE(nullptr, file);
  EXPECT_FALSE(os_.TextFileFailed(file));
  EXPECT_FALSE(os_.WriteText(file, "lost\n"));
  EXPECT_TRUE(os_.TextFileFailed(file));
  os_.CloseTextFile(file);
  EXPECT_EQ("kept\r\n", Bytes(path));
}

TEST_F(FileTest, AZeroByteInALineIsCountedNotTakenForItsEnd) {
  const std::string path = File("zero.inf");
  Put(path, std::string("ab\0cd\r\nnext\r\n", 13));
  ide::TextFile file = os_.OpenTextFile(path.c_str(), ide::TextMode::Read);
  ASSERT_NE(nullptr, file);
  char buffer[256];
  ASSERT_EQ(6u, os_.ReadTextLine(file, buffer, sizeof buffer));
  EXPECT_EQ(std::string("ab\0cd\n", 6), std::string(buffer, 6));
  ASSERT_EQ(5u, os_.ReadTextLine(file, buffer, sizeof buffer));
  EXPECT_STREQ("next\n", buffer);
  EXPECT_EQ(0u, os_.ReadTextLine(file, buffer, sizeof buffer));
  // The end of the file is no failure.
  EXPECT_FALSE(os_.TextFileFailed(file));
  EXPECT_TRUE(os_.CloseTextFile(file));
}

// A text file that could not be opened is null, and a closed one is gone:
// handing either to the layer again is a failure, never a fault in the C
// runtime, as on the simulated machine.
TEST_F(FileTest, NullAndClosedTextFilesFailInsteadOfFaulting) {
  char buffer[16];
  std::memset(buffer, 0xdd, sizeof buffer);
  EXPECT_EQ(0u, os_.ReadTextLine(nullptr, buffer, sizeof buffer));
  EXPECT_FALSE(os_.WriteText(nullptr, "x\n"));
  EXPECT_TRUE(os_.TextFileFailed(nullptr));
  EXPECT_FALSE(os_.CloseTextFile(nullptr));

  const std::string path = File("closed.inf");
  Put(path, "line\r\n");
  ide::TextFile reading = os_.OpenTextFile(path.c_str(), ide::TextMode::Read);
  ASSERT_NE(nullptr, reading);
  EXPECT_EQ(0u, os_.ReadTextLine(reading, nullptr, sizeof buffer));
  EXPECT_EQ(5u, os_.ReadTextLine(reading, buffer, sizeof buffer));
  EXPECT_TRUE(os_.CloseTextFile(reading));
  EXPECT_EQ(0u, os_.ReadTextLine(reading, buffer, sizeof buffer));
  EXPECT_TRUE(os_.TextFileFailed(reading));
  EXPECT_FALSE(os_.CloseTextFile(reading));

  ide::TextFile writing = os_.OpenTextFile(path.c_str(), ide::TextMode::Write);
  ASSERT_NE(nullptr, writing);
  EXPECT_FALSE(os_.WriteText(writing, nullptr));
  EXPECT_TRUE(os_.CloseTextFile(writing));
  EXPECT_FALSE(os_.WriteText(writing, "lost\n"));
  EXPECT_FALSE(os_.CloseTextFile(writing));
  EXPECT_EQ("", Bytes(path));
}

// ---- The dialog ----

struct DialogRecord {
  Win32Platform* os = nullptr;
  std::vector<ide::UINT> messages;
  bool sawInit = false;
};

ide::INT_PTR RecordingProc(void* context, ide::HWND dialog, ide::UINT message,
                           ide::WPARAM, ide::LPARAM) {
  auto* record = static_cast<DialogRecord*>(context);
  record->messages.push_back(message);
  if (message == WM_INITDIALOG) {
    record->sawInit = true;
    record->os->CheckRadioButton(dialog, IDC_RESTART_NOW, IDC_RESTART_LATER,
                                 IDC_RESTART_LATER);
    // What the setup's procedure sees is the program's own dialog.
    ::HWND window = reinterpret_cast<::HWND>(dialog);
    EXPECT_EQ(BST_CHECKED, ::IsDlgButtonChecked(window, IDC_RESTART_LATER));
    EXPECT_EQ(BST_UNCHECKED, ::IsDlgButtonChecked(window, IDC_RESTART_NOW));
    char caption[64] = {};
    ::GetWindowTextA(window, caption, sizeof caption);
    EXPECT_STREQ(" Setup Complete!", caption);
    record->os->EndDialog(dialog, 42);
    return 1;
  }
  return 0;
}

TEST(DialogTest, TheProcedureGetsItsContextAndEndsTheDialog) {
  Win32Platform os;
  DialogRecord record;
  record.os = &os;
  EXPECT_EQ(42, os.DialogBoxParamA(IDE_DIALOG_COMPLETE_NAME, nullptr,
                                   RecordingProc, &record));
  EXPECT_TRUE(record.sawInit);
}

TEST(DialogTest, AMissingTemplateFails) {
  Win32Platform os;
  DialogRecord record;
  record.os = &os;
  EXPECT_EQ(-1, os.DialogBoxParamA("NO_SUCH_DIALOG", nullptr, RecordingProc,
                                   &record));
  EXPECT_FALSE(record.sawInit);
}

// ---- Privileges ----

TEST(PrivilegeTest, NullResultPointersAreRefusedNotWrittenThrough) {
  Win32Platform os;
  EXPECT_EQ(0, os.LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, nullptr));
  ide::HANDLE token = nullptr;
  ASSERT_NE(0, os.OpenProcessToken(os.GetCurrentProcess(),
                                   TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                                   &token));
  EXPECT_EQ(0, os.AdjustTokenPrivileges(token, FALSE, nullptr));
  EXPECT_EQ(static_cast<ide::DWORD>(ERROR_INVALID_PARAMETER),
            os.GetLastError());
  ::CloseHandle(token);
}

// ---- Ports ----

TEST(PortTest, TheNtFamilyNeverTouchesThePorts) {
  Win32Platform os;
  if (os.GetVersion() & ide::kWin95FamilyBit) {
    GTEST_SKIP() << "a Windows 95 family system";
  }
  std::uint32_t value = 0x12345678;
  EXPECT_FALSE(os.WritePortDword(0xCF8, 0x80000000u));
  EXPECT_FALSE(os.ReadPortDword(0xCFC, &value));
  EXPECT_EQ(0x12345678u, value);
}

// Where the processor refuses port access (here), the guard must turn the
// fault into a failure, every time, and leave the thread's exception chain
// as it found it.
TEST(PortTest, ARefusedPortAccessFailsInsteadOfEndingTheProgram) {
  if (Win32Platform().GetVersion() & ide::kWin95FamilyBit) {
    GTEST_SKIP() << "ports are open to programs on this system";
  }
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    std::uint32_t value = 0xA5A5A5A5u;
    EXPECT_FALSE(ide::GuardedPortWriteDword(0xCF8, 0x80000000u));
    EXPECT_FALSE(ide::GuardedPortReadDword(0xCFC, &value));
    EXPECT_EQ(0xA5A5A5A5u, value);
  }
  // The program's own exception handling still works afterwards.
  bool caught = false;
  try {
    throw std::runtime_error("after the guard");
  } catch (const std::runtime_error&) {
    caught = true;
  }
  EXPECT_TRUE(caught);
}

// ---- The test-only PCI table ----

TEST(PciTableTest, ParsesTheSampleMachinesEntries) {
  struct Case {
    const char* text;
    bool valid;
    ide::PciTable table;
  };
  const Case cases[] = {
      {"7=8C4E:7450", true, {{7, 0x74508C4Eu}}},
      {"0=8C4E:7001;7=8c4e:7440, 31=1A2B:0300", true,
       {{0, 0x70018C4Eu}, {7, 0x74408C4Eu}, {31, 0x03001A2Bu}}},
      {"", true, {}},
      {"32=8C4E:7450", false, {}},
      {"7=8C4E7450", false, {}},
      {"7=8C4:7450", false, {}},
      {"x=8C4E:7450", false, {}},
      {"7=8C4E:745G", false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto table = ide::ParsePciTable(c.text);
    ASSERT_EQ(c.valid, table.has_value());
    if (table) {
      EXPECT_EQ(c.table, *table);
    }
  }
}

TEST(PciTableTest, AnswersConfigurationReadsOfBusZeroFunctionZero) {
  ide::PciTableWin32Platform os({{7, 0x74508C4Eu}});
  struct Case {
    std::uint32_t address;
    std::uint32_t value;
  };
  const Case cases[] = {
      {0x80000000u + 7 * 0x800, 0x74508C4Eu},  // device 7
      {0x80000000u + 6 * 0x800, 0xFFFFFFFFu},  // empty slot
      {0x80000000u + 7 * 0x800 + 0x100, 0xFFFFFFFFu},  // function 1
      {0x80010000u + 7 * 0x800, 0xFFFFFFFFu},  // bus 1
      {0x00000000u + 7 * 0x800, 0xFFFFFFFFu},  // not enabled
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    std::uint32_t value = 0;
    EXPECT_TRUE(os.WritePortDword(0xCF8, c.address));
    EXPECT_TRUE(os.ReadPortDword(0xCFC, &value));
    EXPECT_EQ(c.value, value);
  }
}

}  // namespace
