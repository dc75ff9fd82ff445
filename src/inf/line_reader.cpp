#include "inf/line_reader.h"

#include <algorithm>

namespace ide {

LineReader::LineReader(PlatformServices& os, TextFile file,
                       std::size_t maxRead)
    : os_(os),
      file_(file),
      maxRead_(std::clamp<std::size_t>(maxRead, 1, kMaxLineReadLimit)) {}

int LineReader::ReadLine(std::string& line) {
  line.clear();
  if (file_ == nullptr) return 0;
  // The platform reads at most size - 1 characters and adds the zero.
  const std::size_t count = os_.ReadTextLine(file_, buffer_, maxRead_ + 1);
  if (count == 0) return 0;
  // Trust the count only as far as the buffer goes.
  line.assign(buffer_, std::min(count, maxRead_));
  return 1;
}

std::string_view FirstToken(std::string_view line,
                            std::string_view separators) {
  const std::size_t start = line.find_first_not_of(separators);
  if (start == std::string_view::npos) return {};
  const std::size_t end = line.find_first_of(separators, start);
  return line.substr(start, end == std::string_view::npos ? end : end - start);
}

}  // namespace ide
