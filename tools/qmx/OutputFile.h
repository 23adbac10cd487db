// An output file of a command (a fitted document, a specification, scores), written so that
// nothing under the output's name ever looks complete before it is:
//   - a regular file or a new name: written to a temporary file of a unique name in the same
//     directory ("<name>.XXXXXX.tmp", created with O_EXCL), renamed over the name when
//     complete; the file keeps the mode (and, for root, the owner) of the file it replaces;
//   - a symbolic link: what it points to is replaced, the link stays;
//   - "-", /dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N: that descriptor, written
//     directly; other devices, pipes and sockets: opened and written directly.
// The temporary file is removed on failure, on destruction without commit and on SIGINT,
// SIGTERM, SIGHUP and SIGPIPE (TempFiles.h).
#pragma once

#include <cstdio>
#include <string>

class OutputFile {
 public:
  // Throws CommandError "cannot write TARGET: reason".
  explicit OutputFile(std::string target);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::FILE* stream() const { return file_; }
  const std::string& target() const { return target_; }

  // Writes `text` to the stream; throws CommandError "cannot write TARGET: reason".
  void write(const std::string& text);

  // Flushes the stream and, for a temporary file, renames it over the target. Throws
  // CommandError "cannot write TARGET: reason" (the temporary file is then removed).
  void commit();

 private:
  void openTemporary(const std::string& path);
  void openDirect(int fd, bool owned);
  void discard() noexcept;
  [[noreturn]] void fail(int error);

  std::string target_;
  std::string final_;  // the regular file replaced (symbolic links resolved)
  std::string temp_;   // "" when written directly
  int slot_ = -1;
  std::FILE* file_ = nullptr;
  bool ownsFile_ = true;
};

// Writes `text` as the output `target`.
void writeOutputFile(const std::string& target, const std::string& text);
