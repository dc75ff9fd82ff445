#include "unified_diff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ide {
namespace {

std::vector<std::string> Chars(const std::string& letters) {
  std::vector<std::string> lines;
  for (char c : letters) lines.emplace_back(1, c);
  return lines;
}

TEST(SplitLinesKeepingEndsTest, KeepsEachLineEnd) {
  struct Row {
    std::string text;
    std::vector<std::string> lines;
  } rows[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\nc", {"a\r\n", "b\n", "c"}},
      {"\n\n", {"\n", "\n"}},
      {"x\ry\r\n", {"x\ry\r\n"}},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(SplitLinesKeepingEnds(rows[i].text), rows[i].lines);
  }
}

// The script must rebuild both sides, be as short as the known edit
// distance, and list removals before additions within a run of changes.
TEST(DiffLinesTest, ShortestScriptRebuildsBothSides) {
  struct Row {
    std::string from, to;
    std::size_t distance;
  } rows[] = {
      {"", "", 0},
      {"", "xy", 2},
      {"abc", "", 3},
      {"abc", "abc", 0},
      {"abc", "ac", 1},
      {"abc", "abxc", 1},
      {"abcabba", "cbabac", 5},
      {"abcdefgh", "axcdyfgz", 6},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].from + " -> " +
                 rows[i].to);
    std::vector<std::string> a = Chars(rows[i].from);
    std::vector<std::string> b = Chars(rows[i].to);
    std::vector<DiffLine> script = DiffLines(a, b);
    std::string rebuiltOld, rebuiltNew;
    std::size_t changes = 0;
    bool sawAdd = false;
    for (const DiffLine& line : script) {
      if (line.op == DiffOp::Keep) {
        EXPECT_EQ(a.at(line.oldIndex), b.at(line.newIndex));
        rebuiltOld += a[line.oldIndex];
        rebuiltNew += b[line.newIndex];
        sawAdd = false;
        continue;
      }
      ++changes;
      if (line.op == DiffOp::Remove) {
        EXPECT_FALSE(sawAdd) << "removal after an addition in one run";
        rebuiltOld += a.at(line.oldIndex);
      } else {
        sawAdd = true;
        rebuiltNew += b.at(line.newIndex);
      }
    }
    EXPECT_EQ(rebuiltOld, rows[i].from);
    EXPECT_EQ(rebuiltNew, rows[i].to);
    EXPECT_EQ(changes, rows[i].distance);
  }
}

// Texts too far apart for a shortest script are shown as replaced whole,
// which still rebuilds both sides.
TEST(DiffLinesTest, TextsFarApartAreReplacedWhole) {
  std::vector<std::string> a, b;
  for (int i = 0; i < 600; ++i) {
    a.push_back("old " + std::to_string(i) + "\n");
    b.push_back("new " + std::to_string(i) + "\n");
  }
  b[300] = a[300];  // one common line does not bring them close
  std::vector<DiffLine> script = DiffLines(a, b);
  ASSERT_EQ(script.size(), a.size() + b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(script[i].op, DiffOp::Remove);
    EXPECT_EQ(script[i].oldIndex, i);
  }
  for (std::size_t j = 0; j < b.size(); ++j) {
    EXPECT_EQ(script[a.size() + j].op, DiffOp::Add);
    EXPECT_EQ(script[a.size() + j].newIndex, j);
  }
}

std::string Numbered(int from, int to, const char* end = "\n") {
  std::string text;
  for (int i = from; i <= to; ++i) text += "line " + std::to_string(i) + end;
  return text;
}

TEST(UnifiedDiffTest, EqualTextsGiveNothing) {
  EXPECT_EQ(UnifiedDiff("a\r\nb\r\n", "a\r\nb\r\n", "old", "new"), "");
}

TEST(UnifiedDiffTest, HunksCarryThreeLinesOfContext) {
  std::string before = Numbered(1, 10);
  std::string after = before;
  after.replace(after.find("line 5\n"), 7, "line five\n");
  EXPECT_EQ(UnifiedDiff(before, after, "old", "new"),
            "--- old\n+++ new\n"
            "@@ -2,7 +2,7 @@\n"
            " line 2\n line 3\n line 4\n"
            "-line 5\n+line five\n"
            " line 6\n line 7\n line 8\n");
}

TEST(UnifiedDiffTest, ChangesFarApartMakeTwoHunksAndCloseOnesOne) {
  std::string before = Numbered(1, 20);
  std::string far = before;
  far.replace(far.find("line 2\n"), 7, "");
  far.replace(far.find("line 18\n"), 8, "");
  EXPECT_EQ(UnifiedDiff(before, far, "a", "b"),
            "--- a\n+++ b\n"
            "@@ -1,5 +1,4 @@\n"
            " line 1\n-line 2\n line 3\n line 4\n line 5\n"
            "@@ -15,6 +14,5 @@\n"
            " line 15\n line 16\n line 17\n-line 18\n line 19\n line 20\n");

  // Six unchanged lines between two changes still make one hunk.
  std::string close = before;
  close.replace(close.find("line 4\n"), 7, "");
  close.replace(close.find("line 11\n"), 8, "");
  EXPECT_EQ(UnifiedDiff(before, close, "a", "b"),
            "--- a\n+++ b\n"
            "@@ -1,14 +1,12 @@\n"
            " line 1\n line 2\n line 3\n-line 4\n line 5\n line 6\n line 7\n"
            " line 8\n line 9\n line 10\n-line 11\n line 12\n line 13\n"
            " line 14\n");
}

TEST(UnifiedDiffTest, EmptySidesAreCountedFromTheLineBefore) {
  EXPECT_EQ(UnifiedDiff("b\n", "a\nb\n", "o", "n", 0),
            "--- o\n+++ n\n@@ -0,0 +1 @@\n+a\n");
  EXPECT_EQ(UnifiedDiff("a\nb\nc\n", "a\nc\n", "o", "n", 0),
            "--- o\n+++ n\n@@ -2 +1,0 @@\n-b\n");
  EXPECT_EQ(UnifiedDiff("", "x\ny\n", "o", "n"),
            "--- o\n+++ n\n@@ -0,0 +1,2 @@\n+x\n+y\n");
}

TEST(UnifiedDiffTest, ShowsLineEndsThatDifferFromTheUsualOne) {
  struct Row {
    std::string before, after, hunk;
  } rows[] = {
      // CR LF file: its line ends are not shown, a bare LF is.
      {"a\r\nb\r\nc\r\n", "a\r\nb\nc\r\n",
       "@@ -1,3 +1,3 @@\n a\n-b\n+b<LF>\n c\n"},
      // LF file: a CR before the LF shows.
      {"a\nb\n", "a\nb\r\n", "@@ -1,2 +1,2 @@\n a\n-b\n+b<CR>\n"},
      // A last line without a line end.
      {"a\r\nb\r\n", "a\r\nb", "@@ -1,2 +1,2 @@\n a\n-b\n+b\n\\ No newline at end of file\n"},
      // Control characters in a line, Ctrl-Z at the end of a DOS file.
      {"x\r\n", "x\r\n\x1a", "@@ -1 +1,2 @@\n x\n+<1A>\n\\ No newline at end of file\n"},
      {"a\tb\r\n", "a\tb\x01\r\n", "@@ -1 +1 @@\n-a\tb\n+a\tb<01>\n"},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(UnifiedDiff(rows[i].before, rows[i].after, "o", "n"),
              "--- o\n+++ n\n" + rows[i].hunk);
  }
}

TEST(LooksBinaryTest, ZeroBytesAndControlCharactersMakeBinary) {
  struct Row {
    std::string bytes;
    bool binary;
  } rows[] = {
      {"", false},
      {"[Version]\r\nSignature=\"$CHICAGO$\"\r\n\x1a", false},
      {"caf\xe9 \t\f\r\n", false},
      {std::string("MZ\x90\0\x03", 5), true},
      {"\x01\x02\x03\x04 text", true},
      {"one stray \x07 in a long enough line of text", false},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(LooksBinary(rows[i].bytes), rows[i].binary);
  }
}

}  // namespace
}  // namespace ide
