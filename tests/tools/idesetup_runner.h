// Helpers for the tests that run idesetup as a whole: a scratch folder, a
// machine folder read into memory, and the built program run through the
// shell with its output and status captured.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace ide::testing {

inline std::filesystem::path SampleMachine(const std::string& name) {
  return std::filesystem::path(IDE_SOURCE_DIR) / "examples" / "machines" / name;
}

// A fresh folder, removed with everything in it at the end of the test.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "idesetup-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot make a scratch folder from " + pattern);
    }
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Every file below a folder (relative path -> bytes), so two states of a
// folder compare byte for byte.
inline std::map<std::string, std::string> ReadTree(const std::filesystem::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) {
      files[std::filesystem::relative(entry.path(), root).generic_string()] =
          ReadFile(entry.path());
    }
  }
  return files;
}

inline std::string ShellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

struct CommandResult {
  int status = -1;  // exit status, -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs the built idesetup with standard input from `stdinPath`.
inline CommandResult RunIdesetupProgram(const std::vector<std::string>& args,
                                        const std::string& stdinPath = "/dev/null") {
  ScratchFolder capture;
  std::string command = ShellQuoted(IDE_IDESETUP_PATH);
  for (const std::string& arg : args) command += " " + ShellQuoted(arg);
  command += " <" + ShellQuoted(stdinPath) + " >" +
             ShellQuoted((capture.path() / "out").string()) + " 2>" +
             ShellQuoted((capture.path() / "err").string());
  int raw = std::system(command.c_str());
  CommandResult result;
  if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  result.out = ReadFile(capture.path() / "out");
  result.err = ReadFile(capture.path() / "err");
  return result;
}

inline std::size_t LineCount(const std::string& text) {
  std::size_t lines = 0;
  for (char c : text) lines += (c == '\n');
  if (!text.empty() && text.back() != '\n') ++lines;
  return lines;
}

}  // namespace ide::testing
