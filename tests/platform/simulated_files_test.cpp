// Files on the simulated machine: Windows paths, file calls and DOS text
// mode.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/simulated_machine.h"

namespace ide {
namespace {

namespace fs = std::filesystem;

constexpr DWORD kInvalidName = 123;
constexpr DWORD kNameTooLong = 206;
constexpr DWORD kFileExists = 80;
constexpr DWORD kSharingViolation = 32;

class SimulatedFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.PutFile("C:\\WINDOWS\\INF\\MSHDC.INF", "[Version]\r\n");
    machine.MakeFolder("C:\\WINDOWS\\SYSTEM\\IOSUBSYS");
    machine.PutFile("A:\\ZELHDD.INF", "zel\r\n");
    machine.PutFile("A:\\k7351.mpd", "miniport");
    machine.PutFile("A:\\DISK1\\notes.txt", "notes");
  }

  // The error of opening `path` for reading, 0 when it opens.
  DWORD OpenError(const std::string& path) {
    TextFile file = machine.OpenTextFile(path.c_str(), TextMode::Read);
    if (!file) return machine.GetLastError();
    machine.CloseTextFile(file);
    return 0;
  }

  std::string Contents(const std::string& path) {
    auto bytes = machine.FileBytes(path);
    return bytes ? *bytes : "<missing>";
  }

  SimulatedMachine machine;
};

TEST_F(SimulatedFilesTest, WindowsPathsFindFilesAsWindowsDoes) {
  struct Row {
    std::string path;
    DWORD error;  // 0: found
  };
  const std::vector<Row> rows = {
      {"C:\\WINDOWS\\INF\\MSHDC.INF", 0},
      {"c:\\windows\\inf\\mshdc.inf", 0},
      {"c:/Windows/Inf/MsHdc.Inf", 0},
      {"zelhdd.inf", 0},
      {"A:\\\\k7351.mpd", 0},
      {"A:k7351.mpd", 0},
      {"\\ZELHDD.INF", 0},
      {"DISK1\\..\\zelhdd.inf", 0},
      {"disk1\\.\\NOTES.TXT", 0},
      {"A:\\..\\..\\zelhdd.inf", 0},
      {"C:\\WINDOWS\\INF\\\\MSHDC.INF", 0},
      {"zelhdd.inf ", 0},
      {"A:\\ZELHDD.INF. .", 0},
      {"C:\\WINDOWS\\INF\\..", static_cast<DWORD>(ERROR_ACCESS_DENIED)},
      {"C:\\WINDOWS\\NOPE\\MSHDC.INF", static_cast<DWORD>(ERROR_PATH_NOT_FOUND)},
      {"C:\\WINDOWS\\INF\\NOPE.INF", static_cast<DWORD>(ERROR_FILE_NOT_FOUND)},
      {"C:\\WINDOWS\\INF", static_cast<DWORD>(ERROR_ACCESS_DENIED)},
      {"C:\\WINDOWS\\INF\\MSHDC.INF\\x", static_cast<DWORD>(ERROR_PATH_NOT_FOUND)},
      {"Q:\\x", static_cast<DWORD>(ERROR_PATH_NOT_FOUND)},
      {"", static_cast<DWORD>(ERROR_PATH_NOT_FOUND)},
      {"\\\\server\\share\\x", static_cast<DWORD>(ERROR_PATH_NOT_FOUND)},
      {"C:\\WIN*\\INF\\MSHDC.INF", kInvalidName},
      {"A:\\k7351.mpd:stream", kInvalidName},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(OpenError(row.path), row.error);
    EXPECT_EQ(machine.FileExists(row.path), row.error == 0);
    const HFILE exists = machine.OpenFile(row.path.c_str(), OF_EXIST);
    EXPECT_EQ(exists == HFILE_ERROR, row.error != 0);
  }
}

TEST_F(SimulatedFilesTest, PathsLongerThanWindowsTakesAreRefused) {
  // 259 characters is the most a path may have; OpenFile's own record
  // holds 127.
  const std::string folder = "C:\\" + std::string(200, 'D');
  machine.MakeFolder(folder);
  struct Row {
    std::string path;
    DWORD openError;      // OpenTextFile for reading
    bool existenceTest;   // OpenFile finds it
  };
  const std::string at127 = "A:\\" + std::string(120, 'x') + ".txt";
  const std::string at259 = folder + "\\" + std::string(51, 'y') + ".txt";
  const std::string at260 = folder + "\\" + std::string(52, 'y') + ".txt";
  machine.PutFile(at127, "a");
  machine.PutFile(at259, "b");
  // The disk may hold what the calls cannot reach.
  machine.PutFile(at260, "c");
  EXPECT_TRUE(machine.FileExists(at260));
  const std::vector<Row> rows = {
      {at127, 0, true},
      {at127.substr(0, 3) + "\\" + at127.substr(3), 0, false},  // 128 long
      {at259, 0, false},
      {at260, kNameTooLong, false},
  };
  ASSERT_EQ(at127.size(), 127u);
  ASSERT_EQ(at259.size(), 259u);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path.size());
    EXPECT_EQ(OpenError(row.path), row.openError);
    EXPECT_EQ(machine.OpenFile(row.path.c_str(), OF_EXIST) != HFILE_ERROR,
              row.existenceTest);
  }
  // A short relative path can name a long one.
  machine.config().currentDir = folder;
  EXPECT_EQ(OpenError(std::string(51, 'y') + ".txt"), 0u);
  EXPECT_EQ(OpenError(std::string(52, 'y') + ".txt"), kNameTooLong);
}

TEST_F(SimulatedFilesTest, RelativePathsFollowTheCurrentFolder) {
  machine.config().currentDir = "A:\\DISK1";
  EXPECT_TRUE(machine.FileExists("notes.txt"));
  EXPECT_TRUE(machine.FileExists("A:notes.txt"));
  EXPECT_TRUE(machine.FileExists("..\\zelhdd.inf"));
  EXPECT_FALSE(machine.FileExists("zelhdd.inf"));
  EXPECT_TRUE(machine.FileExists("\\zelhdd.inf"));
  // On another drive "C:name" starts at that drive's root.
  machine.PutFile("C:\\ROOT.TXT", "r");
  EXPECT_TRUE(machine.FileExists("C:root.txt"));
}

TEST_F(SimulatedFilesTest, DotDotNeverLeavesTheDriveFolder) {
  const fs::path driveC = machine.HostPath("C:\\");
  const fs::path outside = driveC.parent_path() / "secret.txt";
  { std::ofstream(outside) << "outside"; }
  const fs::path twoUp = driveC.parent_path().parent_path() / "secret2.txt";
  { std::ofstream(twoUp) << "outside"; }
  for (const std::string path :
       {"C:\\..\\secret.txt", "C:\\WINDOWS\\..\\..\\secret.txt",
        "C:/../../secret2.txt", "..\\..\\..\\secret.txt"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(OpenError(path), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  }
  // Writing through ".." lands at the drive's root.
  TextFile file = machine.OpenTextFile("C:\\..\\..\\escape.txt", TextMode::Write);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(machine.CloseTextFile(file));
  EXPECT_TRUE(fs::exists(driveC / "escape.txt"));
  EXPECT_FALSE(fs::exists(driveC.parent_path() / "escape.txt"));
  EXPECT_EQ(machine.HostPath("A:\\..\\..\\x").parent_path(),
            machine.HostPath("A:\\"));
  fs::remove(outside);
  fs::remove(twoUp);
}

TEST_F(SimulatedFilesTest, CopyFileOverwritesKeepsNamesAndRefusesWhatWindowsRefuses) {
  const char* target = "C:\\WINDOWS\\SYSTEM\\iosubsys\\k7351.mpd";
  ASSERT_TRUE(machine.CopyFileA("A:\\\\k7351.mpd", target, kFalse));
  EXPECT_EQ(Contents(target), "miniport");
  EXPECT_EQ(machine.HostPath(target).filename(), "k7351.mpd");
  // The folder keeps its stored spelling.
  EXPECT_EQ(machine.HostPath(target).parent_path().filename(), "IOSUBSYS");

  machine.PutFile("A:\\k7351.mpd", "newer");
  machine.PutFile("C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\OLD.MPD", "old");
  ASSERT_TRUE(machine.CopyFileA("A:\\k7351.mpd",
                                "c:\\windows\\system\\iosubsys\\old.mpd", kFalse));
  EXPECT_EQ(Contents("C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\OLD.MPD"), "newer");
  EXPECT_EQ(machine.HostPath("c:\\windows\\system\\iosubsys\\old.mpd").filename(),
            "OLD.MPD");

  struct Row {
    const char* what;
    std::string from;
    std::string to;
    BOOL failIfExists;
    DWORD error;
  };
  const std::vector<Row> rows = {
      {"missing source", "A:\\none.mpd", target, kFalse,
       static_cast<DWORD>(ERROR_FILE_NOT_FOUND)},
      {"source is a folder", "A:\\DISK1", "A:\\copy", kFalse,
       static_cast<DWORD>(ERROR_ACCESS_DENIED)},
      {"target folder missing", "A:\\k7351.mpd", "C:\\NOPE\\k7351.mpd", kFalse,
       static_cast<DWORD>(ERROR_PATH_NOT_FOUND)},
      {"target is a folder", "A:\\k7351.mpd", "C:\\WINDOWS\\SYSTEM\\IOSUBSYS",
       kFalse, static_cast<DWORD>(ERROR_ACCESS_DENIED)},
      {"target exists and must not", "A:\\k7351.mpd", target, kTrue,
       kFileExists},
      {"onto itself", "A:\\k7351.mpd", "a:\\K7351.MPD", kFalse,
       kSharingViolation},
      {"empty source name from an empty driver name", "A:\\\\", target, kFalse,
       static_cast<DWORD>(ERROR_ACCESS_DENIED)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const MachineSnapshot before = machine.Snapshot();
    EXPECT_EQ(machine.CopyFileA(row.from.c_str(), row.to.c_str(),
                                row.failIfExists),
              kFalse);
    EXPECT_EQ(machine.GetLastError(), row.error);
    EXPECT_EQ(machine.Snapshot().files, before.files);
  }
}

TEST_F(SimulatedFilesTest, DeleteFileRemovesOnlyAClosedFile) {
  EXPECT_EQ(machine.DeleteFileA("A:\\none"), kFalse);
  EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(machine.DeleteFileA("A:\\DISK1"), kFalse);
  EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  TextFile open = machine.OpenTextFile("a:\\disk1\\notes.txt", TextMode::Read);
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(machine.DeleteFileA("A:\\DISK1\\NOTES.TXT"), kFalse);
  EXPECT_EQ(machine.GetLastError(), kSharingViolation);
  EXPECT_TRUE(machine.CloseTextFile(open));
  EXPECT_NE(machine.DeleteFileA("A:\\DISK1\\NOTES.TXT"), kFalse);
  EXPECT_FALSE(machine.FileExists("A:\\DISK1\\notes.txt"));
  EXPECT_EQ(machine._lclose(machine.OpenFile("zelhdd.inf", OF_EXIST)), 0);
}

TEST_F(SimulatedFilesTest, FolderCallsFollowTheBufferConvention) {
  machine.config().windowsDir = "C:\\WINDOWS";
  char buffer[16];
  std::fill(std::begin(buffer), std::end(buffer), '\xdd');
  EXPECT_EQ(machine.GetWindowsDirectoryA(buffer, 10), 11u);  // 10 + zero
  EXPECT_EQ(buffer[0], '\xdd');                              // untouched
  EXPECT_EQ(machine.GetWindowsDirectoryA(buffer, 11), 10u);
  EXPECT_STREQ(buffer, "C:\\WINDOWS");
  EXPECT_EQ(machine.GetCurrentDirectoryA(sizeof buffer, buffer), 3u);
  EXPECT_STREQ(buffer, "A:\\");
  EXPECT_EQ(machine.GetSystemDirectoryA(buffer, sizeof buffer), 18u);
  char wide[32];
  EXPECT_EQ(machine.GetSystemDirectoryA(wide, 18), 17u);
  EXPECT_STREQ(wide, "C:\\WINDOWS\\SYSTEM");
}

// ---- DOS text mode ----

struct ReadCase {
  const char* what;
  std::string bytes;
  std::size_t bufferSize;
  std::vector<std::string> pieces;
};

TEST_F(SimulatedFilesTest, ReadingFollowsDosTextMode) {
  const std::vector<ReadCase> cases = {
      {"CR LF becomes LF", "a\r\nb\r\n", 256, {"a\n", "b\n"}},
      {"lone CR stays", "a\rb\r\n", 256, {"a\rb\n"}},
      {"CR at the very end stays", "a\r", 256, {"a\r"}},
      {"LF alone stays", "a\nb", 256, {"a\n", "b"}},
      {"Ctrl-Z ends the file mid-line", std::string("a\r\nb\x1a" "c\r\n"), 256,
       {"a\n", "b"}},
      {"Ctrl-Z first", std::string("\x1a" "text\r\n"), 256, {}},
      {"CR then Ctrl-Z", std::string("a\r\x1a\n"), 256, {"a\r"}},
      {"zero bytes are characters", std::string("a\0b\n", 4), 256,
       {std::string("a\0b\n", 4)}},
      {"pieces of size - 1", "abcdef\r\n", 4, {"abc", "def", "\n"}},
      {"CR LF across a piece boundary", "abc\r\nd", 4, {"abc", "\n", "d"}},
      {"CR LF as the last place", "abc\r\nd", 5, {"abc\n", "d"}},
      {"254-character pieces", std::string(300, 'x') + "\r\n", 255,
       {std::string(254, 'x'), std::string(46, 'x') + "\n"}},
      {"empty file", "", 256, {}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.what);
    machine.PutFile("C:\\T.TXT", c.bytes);
    TextFile file = machine.OpenTextFile("C:\\T.TXT", TextMode::Read);
    ASSERT_NE(file, nullptr);
    std::vector<char> buffer(c.bufferSize + 1, '\xdd');
    std::vector<std::string> pieces;
    for (int guard = 0; guard < 100; ++guard) {
      const std::size_t n = machine.ReadTextLine(file, buffer.data(), c.bufferSize);
      if (n == 0) break;
      ASSERT_LT(n, c.bufferSize);
      EXPECT_EQ(buffer[n], '\0');
      EXPECT_EQ(buffer[c.bufferSize], '\xdd') << "wrote past the buffer";
      pieces.emplace_back(buffer.data(), n);
    }
    EXPECT_EQ(pieces, c.pieces);
    EXPECT_EQ(machine.ReadTextLine(file, buffer.data(), c.bufferSize), 0u)
        << "the end stays the end";
    EXPECT_TRUE(machine.CloseTextFile(file));
  }
}

TEST_F(SimulatedFilesTest, TinyBuffersReadNothingAndLoseNothing) {
  machine.PutFile("C:\\T.TXT", "ab\n");
  TextFile file = machine.OpenTextFile("C:\\T.TXT", TextMode::Read);
  char buffer[4] = {'\xdd', '\xdd', '\xdd', '\xdd'};
  EXPECT_EQ(machine.ReadTextLine(file, buffer, 1), 0u);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(machine.ReadTextLine(file, buffer, 0), 0u);
  EXPECT_EQ(machine.ReadTextLine(file, buffer, sizeof buffer), 3u);
  EXPECT_STREQ(buffer, "ab\n");
  machine.CloseTextFile(file);
}

TEST_F(SimulatedFilesTest, AFailedReadOrWriteIsToldApartFromTheEnd) {
  machine.PutFile("C:\\IN.INF", "one\r\ntwo\r\n");
  machine.InjectFault(Fault{"ReadTextLine", "in.inf", 2});
  char buffer[256];

  TextFile in = machine.OpenTextFile("C:\\IN.INF", TextMode::Read);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(machine.ReadTextLine(in, buffer, sizeof buffer), 4u);
  EXPECT_FALSE(machine.TextFileFailed(in));
  EXPECT_EQ(machine.ReadTextLine(in, buffer, sizeof buffer), 0u);
  EXPECT_TRUE(machine.TextFileFailed(in));
  machine.CloseTextFile(in);

  // Read to its real end, the same file has not failed.
  in = machine.OpenTextFile("C:\\IN.INF", TextMode::Read);
  ASSERT_NE(in, nullptr);
  while (machine.ReadTextLine(in, buffer, sizeof buffer) != 0) {
  }
  EXPECT_FALSE(machine.TextFileFailed(in));
  machine.CloseTextFile(in);

  // A full disk sets the flag of the file written.
  Fault full{"WriteText", "out.inf"};
  full.afterBytes = 3;
  machine.InjectFault(full);
  TextFile out = machine.OpenTextFile("C:\\OUT.INF", TextMode::Write);
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(machine.WriteText(out, "ab"));
  EXPECT_FALSE(machine.TextFileFailed(out));
  EXPECT_FALSE(machine.WriteText(out, "cd\n"));
  EXPECT_TRUE(machine.TextFileFailed(out));
  machine.CloseTextFile(out);
}

TEST_F(SimulatedFilesTest, WritingTurnsEveryLineFeedIntoCrLf) {
  machine.PutFile("C:\\OUT.TXT", "old contents that must go");
  TextFile file = machine.OpenTextFile("c:\\out.txt", TextMode::Write);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(machine.WriteText(file, "[Strings]\n"));
  EXPECT_TRUE(machine.WriteText(file, "a\r\n"));  // the CR is a character too
  EXPECT_TRUE(machine.WriteText(file, ""));
  EXPECT_TRUE(machine.WriteText(file, "\n\nend"));
  EXPECT_FALSE(machine.ReadTextLine(file, nullptr, 0));
  EXPECT_TRUE(machine.CloseTextFile(file));
  EXPECT_EQ(Contents("C:\\OUT.TXT"), "[Strings]\r\na\r\r\n\r\n\r\nend");
  EXPECT_EQ(machine.HostPath("c:\\out.txt").filename(), "OUT.TXT");

  // Calls on a closed or unknown file fail without harm, also when another
  // file has been opened since.
  TextFile later = machine.OpenTextFile("C:\\LATER.TXT", TextMode::Write);
  ASSERT_NE(later, nullptr);
  EXPECT_FALSE(machine.WriteText(file, "x"));
  EXPECT_TRUE(machine.CloseTextFile(later));
  EXPECT_EQ(Contents("C:\\LATER.TXT"), "");
  EXPECT_FALSE(machine.CloseTextFile(file));
  EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(machine.OpenTextFile("C:\\NOPE\\OUT.TXT", TextMode::Write), nullptr);
  EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(machine.OpenTextFile("C:\\WINDOWS", TextMode::Write), nullptr);
  EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(SimulatedFilesTest, BigFilesAreStreamedNotHeld) {
  const std::string line(99, 'L');
  constexpr int kLines = 40000;  // 4 MB on disk
  TextFile out = machine.OpenTextFile("C:\\BIG.INF", TextMode::Write);
  ASSERT_NE(out, nullptr);
  for (int i = 0; i < kLines; ++i) ASSERT_TRUE(machine.WriteText(out, (line + "\n").c_str()));
  // Before the close the bytes are already on the host, short of one
  // buffer: nothing is gathered in memory until the end.
  const std::uintmax_t onDisk = fs::file_size(machine.HostPath("C:\\BIG.INF"));
  EXPECT_GT(onDisk + 65536, static_cast<std::uintmax_t>(kLines) * 101);
  ASSERT_TRUE(machine.CloseTextFile(out));
  EXPECT_EQ(fs::file_size(machine.HostPath("C:\\BIG.INF")),
            static_cast<std::uintmax_t>(kLines) * 101);

  TextFile in = machine.OpenTextFile("C:\\BIG.INF", TextMode::Read);
  ASSERT_NE(in, nullptr);
  char buffer[256];
  int lines = 0;
  while (std::size_t n = machine.ReadTextLine(in, buffer, sizeof buffer)) {
    ASSERT_EQ(n, 100u);
    ++lines;
  }
  EXPECT_EQ(lines, kLines);
  machine.CloseTextFile(in);
}

}  // namespace
}  // namespace ide
