// LineReader: the line discipline for every INF file the setup reads.
//
// The file is a DOS text-mode file (the platform turns CR LF into LF and
// stops at a Ctrl-Z). Each read returns at most a fixed number of characters
// and stops after a line feed, which it keeps. A longer line arrives in
// several pieces, and the callers treat every piece as a line of its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform_services.h"

namespace ide {

// Characters per read when rewriting or copying INF files.
constexpr std::size_t kMaxLineRead = 254;
// The widest read a LineReader makes (the search for an old driver's name
// reads one character more per piece than the rewrite).
constexpr std::size_t kMaxLineReadLimit = 255;

// What separates the tokens of an INF line: space, comma, equals sign, tab
// and line feed.
inline constexpr std::string_view kInfSeparators = " ,=\t\n";

class LineReader {
 public:
  // Reads from `file`, which stays open and owned by the caller. `maxRead`
  // is the most characters one read returns, from 1 to kMaxLineReadLimit;
  // values outside that range are brought into it.
  LineReader(PlatformServices& os, TextFile file,
             std::size_t maxRead = kMaxLineRead);

  // Reads the next piece into `line` (line end kept). Returns 1, or 0 at
  // the end of the file, when `line` is left empty.
  int ReadLine(std::string& line);

  std::size_t maxRead() const { return maxRead_; }

 private:
  PlatformServices& os_;
  TextFile file_;
  std::size_t maxRead_;
  // One read plus its terminating zero; never more is asked of the platform.
  char buffer_[kMaxLineReadLimit + 1];
};

// The first token of a line: leading separators skipped, then everything up
// to the next separator or the end. Empty when the line holds nothing but
// separators. The line itself is not changed.
std::string_view FirstToken(std::string_view line,
                            std::string_view separators = kInfSeparators);

}  // namespace ide
