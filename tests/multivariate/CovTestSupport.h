// Helpers of the covariance tests: the fixed-seed table of tests/ref/multivariate (t1, t2, c1,
// c2, c3 with missing values), a run of the proc through the host pipeline, its properties,
// a proc driven by hand, and a relative comparison in which not-a-number matches only not-a-number.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "qmxbase/QMXBuf.h"
#include "qmxbase/QMXBufReader.h"
#include "qmxbase/QMXMemorySource.h"
#include "qmxbase/QMXMemoryTable.h"
#include "qmxbase/QMXPipeline.h"
#include "qmxmisc/multivariate/QMXProcCov.h"
#include "support/RefCsv.h"

namespace covtest {

// The columns of tests/ref/multivariate/<name> as a table, named as in its header.
inline QMXMemoryTable refTable(const std::string& name) {
  const auto cells = readRefCells(refPath("multivariate", name));
  QMXMemoryTable table;
  for (std::size_t col = 0; col < cells[0].size(); ++col) {
    std::vector<double> values;
    for (std::size_t row = 1; row < cells.size(); ++row)
      values.push_back(RefRow::refNumber(cells[row][col]));
    table.addDoubleColumn(cells[0][col], values);
  }
  return table;
}

inline void defineColumns(QMXProc& proc, const std::vector<long>& targets,
                          const std::vector<long>& correlations) {
  for (const auto& [name, columns] : {std::pair{"define.target.column", &targets},
                                      std::pair{"define.correlation.column", &correlations}}) {
    for (const long col : *columns) {
      QMXPropertyInfo prop(name, {std::to_string(col)});
      proc.setProperty(&prop);
    }
  }
}

// The proc driven by hand over one buffer holding every row, to watch single execute calls.
struct ManualCov {
  ManualCov(const QMXMemoryTable& table, long requestRows, const std::vector<long>& targets = {0},
            const std::vector<long>& correlations = {1})
      : buf(table.schema(), static_cast<long>(table.numRows())), reader(&buf) {
    buf.block() = table.block();
    reader.setRequestRows(requestRows);
    reader.setTotalNumRows(static_cast<std::int64_t>(table.numRows()));
    reader.setEOF(true);
    proc.attachInput(&reader);
    proc.setNumRows(requestRows);
    defineColumns(proc, targets, correlations);
  }
  QMXBuf buf;
  QMXBufReader reader;
  QMXProcCov proc;
};

struct CovRun {
  bool ok = false;
  std::string error;
  std::int64_t executeCalls = 0;
};

// Runs `proc` over the table through the host pipeline with the given columns.
inline CovRun runCov(QMXProcCov& proc, const QMXMemoryTable& table,
                     const std::vector<long>& targets, const std::vector<long>& correlations,
                     long chunkRows) {
  QMXMemorySource source(table);
  QMXPipeline pipeline(proc, "QMXProcCov");
  pipeline.addInput(source);
  pipeline.setChunkRows(chunkRows);
  pipeline.attach();
  defineColumns(proc, targets, correlations);
  CovRun run;
  run.ok = pipeline.run();
  run.error = pipeline.error();
  run.executeCalls = pipeline.executeCalls();
  return run;
}

// The answer of a get property with integer arguments.
inline QMXPropertyInfo::Answer get(QMXProc& proc, const char* name, std::vector<long> args = {}) {
  std::vector<std::string> texts;
  for (const long v : args)
    texts.push_back(std::to_string(v));
  QMXPropertyInfo prop(name, texts);
  proc.getProperty(&prop);
  return prop.answer();
}

inline double getDouble(QMXProc& proc, const char* name, std::vector<long> args) {
  return std::get<double>(get(proc, name, std::move(args)));
}

// |a - b| <= tol * max(1, |b|); not-a-number only matches not-a-number.
inline ::testing::AssertionResult close(double a, double b, double tol) {
  if (std::isnan(a) || std::isnan(b)) {
    if (std::isnan(a) && std::isnan(b)) return ::testing::AssertionSuccess();
  } else if (std::fabs(a - b) <= tol * std::fmax(1.0, std::fabs(b))) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << a << " vs " << b << " (tol " << tol << ")";
}

}  // namespace covtest
