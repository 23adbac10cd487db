// QMXProcPredict: rows holding a factor level the fit never saw. Counted over the run, the
// first described (row, column, level) in a closing warning; or, with "unknown.levels" set to
// "error", the first one ends the run with R's message.
#include <algorithm>
#include <cstdio>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/predict/QMXProcPredict.h"

namespace {

// The text of a factor or text cell, "" when missing.
std::string cellText(const QMXBufReader& reader, long row, int column) {
  const QMXBuf& buffer = *reader.getBuf();
  if (buffer.columnTypeIsFactor(column)) {
    const long level = reader.getLevelNum(row, column);
    const char* name = level < 0 ? nullptr : buffer.getLevelName(column, level);
    return name != nullptr ? name : "";
  }
  if (buffer.columnTypeIsString(column)) {
    const char* text = reader.getString(row, column);
    return text != nullptr ? text : "";
  }
  return "";
}

}  // namespace

void QMXProcPredict::setUnknownLevelPolicy(const char* policy) {
  const std::string text = policy != nullptr ? policy : "";
  if (text != "na" && text != "error")
    QMX_ThrowException("unknown.levels must be na or error, not '%s'", text.c_str());
  unknownLevelsError_ = text == "error";
}

void QMXProcPredict::noteUnknownLevels() {
  if (excludedRows.empty()) return;
  unknownLevelRows_ += static_cast<std::int64_t>(excludedRows.size());
  if (!firstUnknownLevel_.empty() && !unknownLevelsError_) return;
  const QMXBufReader* reader = getInputBufReader(0);
  if (reader == nullptr || reader->getBuf() == nullptr) return;
  const QMXBuf& buffer = *reader->getBuf();
  const ModelTerms& fit = getFit();
  const long row = excludedRows[0];
  for (long f = 0; f < fit.nFactors(); ++f) {
    const String& name = fit.factor(f);
    int column = -1;
    for (int c = 0; c < buffer.getNumColumns() && column < 0; ++c)
      if (buffer.getColumnName(c) != nullptr && name == String(buffer.getColumnName(c))) column = c;
    if (column < 0 || unknownLevelView_.count(column) > 0) continue;
    const std::string level = cellText(*reader, row, column);
    const strVector& levels = fit.levels(name.c_str());
    if (std::find(levels.begin(), levels.end(), String(level.c_str())) != levels.end()) continue;
    if (unknownLevelsError_)
      QMX_ThrowException("factor %s has new levels %s", name.c_str(), level.c_str());
    firstUnknownLevel_ = "row " + std::to_string(chunkStart_ + row + 1) + ", column " + name.str() +
                         ", level '" + level + "'";
    return;
  }
}

void QMXProcPredict::reportUnknownLevels() {
  if (unknownLevelRows_ == 0) return;
  const std::string text =
      std::to_string(unknownLevelRows_) +
      " rows had factor levels not seen when fitting (first: " + firstUnknownLevel_ +
      "); their outputs are NA";
  addWarning(text.c_str());
}
