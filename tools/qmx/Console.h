// What qmx says on standard error besides its errors: -q/--quiet keeps only errors and
// warnings, -v/--verbose adds the library's info and debug messages (which name internals
// such as the model matrix size per chunk). A progress line is drawn while a pass over the
// data takes more than a second, on a terminal (QMX_PROGRESS=1: anywhere; =always: from the
// first row; =0: never), never with --quiet.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
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

// The progress of one command ("qmx fit: pass 2, 40000 of 100000 rows (40%)", then the
// detail, for a glm ", iteration 3, deviance 1234.5678") as the pipeline reports rows; a pass
// starts when the rows done go back.
class ProgressLine {
 public:
  explicit ProgressLine(std::string command);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void update(std::int64_t rowsDone, std::int64_t totalRows);
  // A text appended to every drawn line (after ", "; nothing while it is empty).
  void setDetail(std::function<std::string()> detail) { detail_ = std::move(detail); }
  // Removes the line (before any other message, and at the end).
  void clear();

 private:
  std::string command_;
  std::function<std::string()> detail_;
  bool enabled_;
  bool shown_ = false;
  int pass_ = 0;
  std::int64_t lastDone_ = -1;
  std::chrono::steady_clock::time_point passStart_;
  std::chrono::steady_clock::time_point lastDrawn_;
};

// The detail of a glm fit's progress line: "iteration N, deviance D" from the iterative
// proc's "iterations" (completed) and "deviance" (of the last pass); "" before the first.
std::string irlsProgress(QMXProc& proc);
