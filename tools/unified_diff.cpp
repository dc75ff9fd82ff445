#include "unified_diff.h"

#include <algorithm>
#include <cstdio>

namespace ide {
namespace {

// Beyond this many differing lines a shortest edit script is not worth its
// cost (time and memory grow with the square of the distance: about 8 MB
// here); the texts are then shown as all old lines removed and all new lines
// added.
constexpr std::size_t kMaxEditDistance = 1000;

// A control character makes a file binary once it is more than this share
// of the bytes (1 in 20).
constexpr std::size_t kBinaryControlShare = 20;

std::vector<DiffLine> ReplaceEverything(std::size_t oldCount,
                                        std::size_t newCount) {
  std::vector<DiffLine> script;
  for (std::size_t i = 0; i < oldCount; ++i) {
    script.push_back({DiffOp::Remove, i, 0});
  }
  for (std::size_t j = 0; j < newCount; ++j) {
    script.push_back({DiffOp::Add, oldCount, j});
  }
  return script;
}

// Within each run of changes, removals first: the usual way to read a
// replaced block.
void RemovalsFirst(std::vector<DiffLine>& script) {
  auto runStart = script.begin();
  while (runStart != script.end()) {
    if (runStart->op == DiffOp::Keep) {
      ++runStart;
      continue;
    }
    auto runEnd = std::find_if(runStart, script.end(), [](const DiffLine& l) {
      return l.op == DiffOp::Keep;
    });
    std::stable_partition(runStart, runEnd, [](const DiffLine& l) {
      return l.op == DiffOp::Remove;
    });
    runStart = runEnd;
  }
}

enum class LineEnd { None, Lf, CrLf };

LineEnd EndOf(std::string_view line) {
  if (line.ends_with("\r\n")) return LineEnd::CrLf;
  if (line.ends_with("\n")) return LineEnd::Lf;
  return LineEnd::None;
}

std::string Escaped(std::string_view bytes) {
  std::string shown;
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      shown += "<CR>";
    } else if (c == '\n') {
      shown += "<LF>";
    } else if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", byte);
      shown += hex;
    } else {
      shown += c;
    }
  }
  return shown;
}

// One diff line's text after its marker: the line without the usual line
// end, other line ends and control characters made visible.
std::string Shown(std::string_view line, LineEnd usual) {
  LineEnd end = EndOf(line);
  if (end == LineEnd::CrLf && usual == LineEnd::CrLf) {
    return Escaped(line.substr(0, line.size() - 2));
  }
  if (end != LineEnd::None) {
    // With LF usual, a CR LF line shows its CR: "text<CR>".
    std::string shown = Escaped(line.substr(0, line.size() - 1));
    if (usual == LineEnd::CrLf) shown += "<LF>";
    return shown;
  }
  return Escaped(line);
}

LineEnd UsualLineEnd(const std::vector<std::string>& a,
                     const std::vector<std::string>& b) {
  std::size_t crlf = 0;
  std::size_t lf = 0;
  for (const auto* lines : {&a, &b}) {
    for (const std::string& line : *lines) {
      LineEnd end = EndOf(line);
      if (end == LineEnd::CrLf) ++crlf;
      if (end == LineEnd::Lf) ++lf;
    }
  }
  return (crlf > 0 && crlf >= lf) ? LineEnd::CrLf : LineEnd::Lf;
}

// "start,count" of a hunk side in the usual notation: lines from 1, the
// count left out when it is 1, and an empty side placed after the line
// before it.
std::string HunkRange(std::size_t first, std::size_t count) {
  if (count == 0) return std::to_string(first) + ",0";
  if (count == 1) return std::to_string(first + 1);
  return std::to_string(first + 1) + "," + std::to_string(count);
}

}  // namespace

std::vector<std::string> SplitLinesKeepingEnds(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end + 1 - start));
    start = end + 1;
  }
  return lines;
}

std::vector<DiffLine> DiffLines(const std::vector<std::string>& a,
                                const std::vector<std::string>& b) {
  const auto n = static_cast<std::ptrdiff_t>(a.size());
  const auto m = static_cast<std::ptrdiff_t>(b.size());
  const std::ptrdiff_t maxD =
      std::min<std::ptrdiff_t>(n + m, static_cast<std::ptrdiff_t>(kMaxEditDistance));

  // furthest[k + offset]: the furthest old-line position reached on
  // diagonal k (k = old position - new position). history[d] keeps the
  // diagonals -d..d after step d, for walking the path back.
  const std::ptrdiff_t offset = maxD + 1;
  std::vector<std::ptrdiff_t> furthest(static_cast<std::size_t>(2 * offset + 1), 0);
  std::vector<std::vector<std::ptrdiff_t>> history;
  auto at = [&](std::ptrdiff_t k) -> std::ptrdiff_t& {
    return furthest[static_cast<std::size_t>(k + offset)];
  };

  std::ptrdiff_t found = -1;
  for (std::ptrdiff_t d = 0; d <= maxD && found < 0; ++d) {
    for (std::ptrdiff_t k = -d; k <= d; k += 2) {
      std::ptrdiff_t x;
      if (k == -d || (k != d && at(k - 1) < at(k + 1))) {
        x = at(k + 1);  // a new line added
      } else {
        x = at(k - 1) + 1;  // an old line removed
      }
      std::ptrdiff_t y = x - k;
      while (x < n && y < m && a[static_cast<std::size_t>(x)] == b[static_cast<std::size_t>(y)]) {
        ++x;
        ++y;
      }
      at(k) = x;
      if (x >= n && y >= m) found = d;
    }
    history.emplace_back(furthest.begin() + (offset - d),
                         furthest.begin() + (offset + d + 1));
  }
  if (found < 0) return ReplaceEverything(a.size(), b.size());

  std::vector<DiffLine> reversed;
  std::ptrdiff_t x = n;
  std::ptrdiff_t y = m;
  auto keep = [&]() {
    --x;
    --y;
    reversed.push_back({DiffOp::Keep, static_cast<std::size_t>(x),
                        static_cast<std::size_t>(y)});
  };
  for (std::ptrdiff_t d = found; d > 0; --d) {
    const std::vector<std::ptrdiff_t>& before = history[static_cast<std::size_t>(d - 1)];
    auto prev = [&](std::ptrdiff_t k) {
      return before[static_cast<std::size_t>(k + (d - 1))];
    };
    std::ptrdiff_t k = x - y;
    bool added = (k == -d || (k != d && prev(k - 1) < prev(k + 1)));
    std::ptrdiff_t prevK = added ? k + 1 : k - 1;
    std::ptrdiff_t prevX = prev(prevK);
    std::ptrdiff_t prevY = prevX - prevK;
    while (x > prevX && y > prevY) keep();
    if (added) {
      --y;
      reversed.push_back({DiffOp::Add, static_cast<std::size_t>(x),
                          static_cast<std::size_t>(y)});
    } else {
      --x;
      reversed.push_back({DiffOp::Remove, static_cast<std::size_t>(x),
                          static_cast<std::size_t>(y)});
    }
  }
  while (x > 0 && y > 0) keep();

  std::vector<DiffLine> script(reversed.rbegin(), reversed.rend());
  RemovalsFirst(script);
  return script;
}

std::string UnifiedDiff(std::string_view oldText, std::string_view newText,
                        const std::string& oldLabel,
                        const std::string& newLabel, std::size_t context) {
  if (oldText == newText) return {};
  std::vector<std::string> a = SplitLinesKeepingEnds(oldText);
  std::vector<std::string> b = SplitLinesKeepingEnds(newText);
  std::vector<DiffLine> script = DiffLines(a, b);
  LineEnd usual = UsualLineEnd(a, b);

  std::string out = "--- " + oldLabel + "\n+++ " + newLabel + "\n";
  std::size_t i = 0;
  while (i < script.size()) {
    if (script[i].op == DiffOp::Keep) {
      ++i;
      continue;
    }
    // A hunk: from `context` lines before this change to `context` lines
    // after the last change that is no more than 2 * context lines away.
    std::size_t first = i >= context ? i - context : 0;
    while (first < i && script[first].op != DiffOp::Keep) ++first;
    std::size_t last = i;  // one past the last change of the hunk
    std::size_t j = i;
    while (j < script.size()) {
      if (script[j].op != DiffOp::Keep) {
        last = j + 1;
        ++j;
        continue;
      }
      std::size_t keeps = 0;
      while (j + keeps < script.size() && script[j + keeps].op == DiffOp::Keep) {
        ++keeps;
      }
      if (j + keeps == script.size() || keeps > 2 * context) break;
      j += keeps;
    }
    std::size_t end = std::min(script.size(), last + context);

    std::size_t oldStart = script[first].oldIndex;
    std::size_t newStart = script[first].newIndex;
    std::size_t oldCount = 0;
    std::size_t newCount = 0;
    std::string body;
    for (std::size_t h = first; h < end; ++h) {
      const DiffLine& line = script[h];
      const std::string& text =
          line.op == DiffOp::Add ? b[line.newIndex] : a[line.oldIndex];
      char marker = line.op == DiffOp::Keep ? ' '
                    : line.op == DiffOp::Add ? '+'
                                             : '-';
      if (line.op != DiffOp::Add) ++oldCount;
      if (line.op != DiffOp::Remove) ++newCount;
      body += marker;
      body += Shown(text, usual);
      body += '\n';
      if (EndOf(text) == LineEnd::None) body += "\\ No newline at end of file\n";
    }
    out += "@@ -" + HunkRange(oldStart, oldCount) + " +" +
           HunkRange(newStart, newCount) + " @@\n" + body;
    i = end;
  }
  return out;
}

bool LooksBinary(std::string_view bytes) {
  std::size_t controls = 0;
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    if (byte == 0) return true;
    bool dosText = c == '\t' || c == '\n' || c == '\r' || c == '\f' || byte == 0x1A;
    if ((byte < 0x20 && !dosText) || byte == 0x7F) ++controls;
  }
  return controls * kBinaryControlShare > bytes.size();
}

}  // namespace ide
