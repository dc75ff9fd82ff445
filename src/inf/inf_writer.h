// InfWriter: an INF file being written, which remembers whether every
// character reached it. A class INF that lost a line to a full disk must
// never replace the real one, so the rewrite asks this before it reports
// success.
#pragma once

#include <string_view>

#include "platform/platform_services.h"

namespace ide {

class InfWriter {
 public:
  // Writes to `file`, which stays owned by the caller.
  InfWriter(PlatformServices& os, TextFile file);

  // Writes text as it is. After the first failed write nothing more is
  // written, so the file ends where the failure happened.
  void Write(std::string_view text);
  // Writes a line end unless the last text written ended in one (or nothing
  // was written yet), so the next text starts on a line of its own.
  void EndLine();

  // True while every write so far reached the file whole.
  bool ok() const { return ok_; }
  // Closes the file. Returns true when it was written whole, including
  // what the close itself flushed.
  bool Close();

 private:
  PlatformServices& os_;
  TextFile file_;
  bool ok_ = true;
  bool atLineStart_ = true;
};

}  // namespace ide
