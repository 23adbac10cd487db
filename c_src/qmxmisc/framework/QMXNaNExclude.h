// QMXNaNExclude: a filter that leaves out every chunk row in which any variable is missing
// (not-a-number) or +/-infinity. The first column read computes the excluded rows; later reads
// copy the runs between them in blocks through the host reader.
#pragma once

#include "qmxmisc/framework/QMXFilterBufReader.h"

class QMXNaNExclude : public QMXFilterBufReader {
 public:
  using QMXFilterBufReader::QMXFilterBufReader;
  using QMXFilterBufReader::operator=;

  long getDoubleArray(int column, double* out) override;
  long getDoubleArray(const String& name, double* out) override;
  long getCharArray(int column, const char** out) override;
  long getCharArray(const String& name, const char** out) override;
  long createSampleIndex(long size, unsigned seed) override;

 protected:
  bool getDouble(long row, int column, double& value) override;

 private:
  // Buffer column of `name`: a variable first, then any buffer column; throws when unknown.
  int columnOf(const String& name) const;
  // True unless a variable of `row` is missing or infinite.
  bool acceptable(long row) const;
  // First read of a chunk: tests every ready row, passes each accepted row's value of
  // `column` to `emit` in order, records the rejected rows; returns the rows emitted.
  template <class Emit>
  long computeExclusions(int column, long ready, Emit&& emit);
};
