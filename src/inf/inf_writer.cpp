#include "inf/inf_writer.h"

#include <string>

namespace ide {

InfWriter::InfWriter(PlatformServices& os, TextFile file)
    : os_(os), file_(file) {}

void InfWriter::Write(std::string_view text) {
  if (text.empty() || !ok_) return;
  // Nothing reaches a file that never opened or is closed already.
  if (file_ == nullptr) {
    ok_ = false;
    return;
  }
  // A zero inside the text would end it early on its way to the file; such
  // a text cannot be written whole.
  if (text.find('\0') != std::string_view::npos) {
    ok_ = false;
    return;
  }
  const std::string copy(text);
  if (!os_.WriteText(file_, copy.c_str())) {
    ok_ = false;
    return;
  }
  atLineStart_ = text.back() == '\n';
}

void InfWriter::EndLine() {
  if (!atLineStart_) Write("\n");
}

bool InfWriter::Close() {
  if (file_ == nullptr) return false;
  const bool closed = os_.CloseTextFile(file_);
  file_ = nullptr;
  return ok_ && closed;
}

}  // namespace ide
