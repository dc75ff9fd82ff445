// Line diffs of text files for idesetup's report: a shortest edit script
// (Myers' algorithm) turned into a unified diff with a few lines of context.
//
// Lines keep their line ends when they are compared, so a line whose CR LF
// became a bare LF counts as changed. When they are shown, the line end the
// two texts mostly use is left out; any other line end, and every other
// control character, is shown in angle brackets ("<LF>", "<CR>", "<1A>").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ide {

// Lines of context around each change.
constexpr std::size_t kDiffContextLines = 3;

// Splits a text into lines, each keeping its line end ("\n" or "\r\n"); a
// last line without one is kept as it is.
std::vector<std::string> SplitLinesKeepingEnds(std::string_view text);

enum class DiffOp { Keep, Remove, Add };

struct DiffLine {
  DiffOp op;
  std::size_t oldIndex;  // position in the old lines (Keep and Remove)
  std::size_t newIndex;  // position in the new lines (Keep and Add)
};

// A shortest edit script turning `oldLines` into `newLines`: every old line
// is kept or removed, every new line kept or added, in order. Removals come
// before additions where both are at the same place.
std::vector<DiffLine> DiffLines(const std::vector<std::string>& oldLines,
                                const std::vector<std::string>& newLines);

// The unified diff of two texts ("--- oldLabel", "+++ newLabel", "@@"
// hunks), or an empty string when they are equal.
std::string UnifiedDiff(std::string_view oldText, std::string_view newText,
                        const std::string& oldLabel,
                        const std::string& newLabel,
                        std::size_t context = kDiffContextLines);

// Whether bytes are better shown as "binary file" than as lines of text: a
// zero byte, or many control characters other than the ones DOS text files
// hold (tab, line feed, carriage return, form feed, Ctrl-Z).
bool LooksBinary(std::string_view bytes);

}  // namespace ide
