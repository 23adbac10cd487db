// What qmx says on standard error besides its errors: -q/--quiet keeps only errors and
// warnings, -v/--verbose adds the library's info and debug messages (which name internals
// such as the model matrix size per chunk). A progress line is drawn while a pass over the
// data takes more than a second, on a terminal (QMX_PROGRESS=1: anywhere; =always: from the
// first row; =0: never), never with --quiet.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "qmxbase/QMXProc.h"

enum class Verbosity { kQuiet, kNormal, kVerbose };

void setVerbosity(Verbosity level);
Verbosity verbosity();

// A line for the user ("wrote FILE", a note about the data) on stderr, unless --quiet.
void printNote(const std::string& text);

// A message of a proc: errors and warnings always, info unless --quiet (`infoVerboseOnly`:
// only with --verbose), debug only with --verbose. Texts are escaped for the terminal.
void printProcMessage(const QMXMessage& message, bool infoVerboseOnly);

// The progress of one command ("qmx fit: pass 2, 40000 of 100000 rows") as the pipeline
// reports rows; a pass starts when the rows done go back.
class ProgressLine {
 public:
  explicit ProgressLine(std::string command);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void update(std::int64_t rowsDone, std::int64_t totalRows);
  // Removes the line (before any other message, and at the end).
  void clear();

 private:
  std::string command_;
  bool enabled_;
  bool shown_ = false;
  int pass_ = 0;
  std::int64_t lastDone_ = -1;
  std::chrono::steady_clock::time_point passStart_;
  std::chrono::steady_clock::time_point lastDrawn_;
};
