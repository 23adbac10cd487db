#include "Console.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <variant>

#include "TerminalText.h"
#include "qmxbase/QMXPropertyInfo.h"

namespace {

Verbosity currentLevel = Verbosity::kNormal;

// The line being drawn, cleared before any other text reaches stderr.
ProgressLine* activeLine = nullptr;

void clearActiveLine() {
  if (activeLine != nullptr) activeLine->clear();
}

// QMX_PROGRESS: "0" never, "always" from the first row, anything else as on a terminal.
const char* progressSetting() {
  const char* setting = std::getenv("QMX_PROGRESS");
  return setting != nullptr ? setting : "";
}

bool progressWanted() {
  if (currentLevel == Verbosity::kQuiet) return false;
  const char* setting = progressSetting();
  if (*setting != '\0') return std::strcmp(setting, "0") != 0;
  return isatty(STDERR_FILENO) != 0;
}

}  // namespace

void setVerbosity(Verbosity level) {
  currentLevel = level;
}

Verbosity verbosity() {
  return currentLevel;
}

void printNote(const std::string& text) {
  if (currentLevel == Verbosity::kQuiet) return;
  clearActiveLine();
  std::fprintf(stderr, "%s\n", terminalText(text).c_str());
}

void printProcMessage(const QMXMessage& message, bool infoVerboseOnly) {
  const bool verbose = currentLevel == Verbosity::kVerbose;
  switch (message.kind) {
    case QMXMessageKind::Debug:
      if (!verbose) return;
      break;
    case QMXMessageKind::Information:
      if (currentLevel == Verbosity::kQuiet || (infoVerboseOnly && !verbose)) return;
      break;
    default:
      break;
  }
  clearActiveLine();
  std::fprintf(stderr, "%s: %s\n", QMXMessageKindName(message.kind),
               terminalText(message.text).c_str());
}

ProgressLine::ProgressLine(std::string command)
    : command_(std::move(command)), enabled_(progressWanted()) {
  if (enabled_) activeLine = this;
}

ProgressLine::~ProgressLine() {
  clear();
  if (activeLine == this) activeLine = nullptr;
}

void ProgressLine::update(std::int64_t rowsDone, std::int64_t totalRows) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (rowsDone < lastDone_ || pass_ == 0) {
    ++pass_;
    passStart_ = now;
  }
  lastDone_ = rowsDone;
  static const bool immediate = std::strcmp(progressSetting(), "always") == 0;
  if (!immediate && now - passStart_ < std::chrono::seconds(1)) return;
  if (!immediate && shown_ && now - lastDrawn_ < std::chrono::milliseconds(200)) return;
  lastDrawn_ = now;
  shown_ = true;
  std::string line = "\r" + command_ + ": pass " + std::to_string(pass_) + ", " +
                     std::to_string(rowsDone) + " rows";
  if (totalRows > 0)
    line += " of " + std::to_string(totalRows) + " (" + std::to_string(100 * rowsDone / totalRows) +
            "%)";
  if (detail_)
    if (const std::string detail = detail_(); !detail.empty()) line += ", " + detail;
  std::fprintf(stderr, "%s\033[K", line.c_str());
  std::fflush(stderr);
}

void ProgressLine::clear() {
  if (!shown_) return;
  shown_ = false;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
}

std::string irlsProgress(QMXProc& proc) {
  QMXPropertyInfo iterations("iterations");
  QMXPropertyInfo deviance("deviance");
  proc.getProperty(&iterations);
  proc.getProperty(&deviance);
  const std::string count = iterations.answerText();
  if (count.empty() || count == "0" || !deviance.hasAnswer()) return "";
  const auto* value = std::get_if<double>(&deviance.answer());
  char text[64];
  std::snprintf(text, sizeof text, "iteration %s, deviance %.8g", count.c_str(),
                value != nullptr ? *value : 0.0);
  return text;
}
