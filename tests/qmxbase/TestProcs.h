// Small procs that exercise the host: used by the driver tests and built into the test
// library that the loader tests open.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "qmxbase/QMXProc.h"

// One pass: sums column `column` of input 0 (read with getDoubleArray) through
// executeRequestRows/executeReleaseRows and records what the reader showed at each call.
class SumProc : public QMXProc {
 public:
  // Rows usable (executeRequestRows), rows ready, EOF, chunk position, total rows.
  using Call = std::tuple<long, long, bool, std::int64_t, std::int64_t>;

  void setProperty(QMXPropertyInfo* prop) override {
    if (prop->isName("sum.column")) {
      column = static_cast<int>(prop->getLong());
      return;
    }
    if (prop->isName("label")) {  // one text; missing clears it
      const char* text = prop->getString();
      label = text ? text : "";
      return;
    }
    if (prop->isName("note")) {  // no value
      addInformation("note received");
      addWarning("Using default note");
      addDebug("note traced");
      return;
    }
    QMXProc::setProperty(prop);
  }
  void getProperty(QMXPropertyInfo* prop) override {
    if (prop->isName("label")) {
      prop->setString(label.c_str());
      return;
    }
    if (prop->isName("echo")) {  // the input values joined by '|'
      std::string joined;
      for (QMXPropertyInfo* value = prop; value; value = value->getNext()) {
        const char* text = value->getString();
        joined += (joined.empty() ? "" : "|") + std::string(text ? text : "");
      }
      prop->setString(joined.c_str());
      return;
    }
    if (prop->isName("sum")) {
      prop->setDouble(sum);
      return;
    }
    QMXProc::getProperty(prop);
  }
  void init() override {
    QMXProc::init();
    checkBufs(1, 0);
    sum = 0;
    calls.clear();
  }
  void execute() override {
    const long n = executeRequestRows();
    QMXBufReader* reader = getInputBufReader(0);
    calls.push_back({n, reader->getRowsReady(), reader->getEOF(), reader->getChunkPosition(),
                     reader->getTotalNumRows()});
    if (n < 0) {
      setDone(1);
      return;
    }
    std::vector<double> chunk(static_cast<std::size_t>(n));
    if (n > 0) reader->getDoubleArray(0, column, n, chunk.data());
    for (long row = 0; row < n; ++row)
      if (!std::isnan(chunk[row])) sum += chunk[row];
    executeReleaseRows(n, 0);
  }

  int column = 0;
  std::string label;
  double sum = 0;
  std::vector<Call> calls;
};

// Three passes over input 0 through reader releaseRows and rewinds; sums each pass (the
// driver tests read the sums).
class MultiPassProc : public QMXProc {
 public:
  void init() override {
    QMXProc::init();
    checkBufs(1, 0);
    pass = 0;
    passSums.assign(1, 0.0);
    rowsPerPass.clear();
  }
  void execute() override {
    QMXBufReader* reader = getInputBufReader(0);
    const long n = std::min(reader->getRowsReady(), reader->getRequestRows());
    for (long row = 0; row < n; ++row)
      passSums.back() += reader->getDouble(row, 0);
    reader->releaseRows(n);
    incrementRowsDone(n);
    if (reader->getEOF() && reader->getRowsReady() == 0) {
      rowsPerPass.push_back(getRowsDone());
      if (++pass < 3) {
        reader->setChunkPosition(0);
        setRowsDone(0);
        reader->setRequestRows(getNumRows());
        passSums.push_back(0.0);
      } else {
        setDone(1);
        reader->releaseAll();
      }
    }
  }

  int pass = 0;
  std::vector<double> passSums;
  std::vector<std::int64_t> rowsPerPass;
};

// Never releases a row and never finishes.
class NoReleaseProc : public QMXProc {
 public:
  void execute() override { executeRequestRows(); }
};

// One output row per input row: out 0 = 2 * in 0 (double), out 1 = "big"/"small" by name
// (factor), out 2 = input column 1 copied with its type; sets an error at input row
// `failAtRow` (global) when that is >= 0.
class CopyProc : public QMXProc {
 public:
  void setProperty(QMXPropertyInfo* prop) override {
    if (prop->isName("fail.at.row")) {
      failAtRow = prop->getLong();
      return;
    }
    QMXProc::setProperty(prop);
  }
  void init() override {
    QMXProc::init();
    checkBufs(1, 1);
  }
  void execute() override {
    const long n = executeRequestRows();
    if (n < 0) {
      setDone(1);
      return;
    }
    QMXBufReader* reader = getInputBufReader(0);
    QMXBufWriter* writer = getOutputBufWriter(0);
    for (long row = 0; row < n; ++row) {
      if (reader->getChunkPosition() + row == failAtRow) {
        setError("bad row", static_cast<long>(failAtRow));
        return;
      }
      const double x = reader->getDouble(row, 0);
      writer->setDouble(row, 0, 2 * x);
      writer->setConvertFactor(row, 1, std::isnan(x) ? nullptr : (x > 2 ? "big" : "small"));
      writer->copyBufData(row, 2, *reader, row, 1);
    }
    executeReleaseRows(n);
  }

  std::int64_t failAtRow = -1;
};
