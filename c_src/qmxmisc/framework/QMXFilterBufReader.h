// QMXFilterBufReader: reads whole columns of the current chunk of a QMXBufReader through a row
// filter, by column number or by name, as numbers or as level names. The filter knows a list
// of variables (buffer columns); implementations decide which rows pass. A filter is made for
// one chunk: the exclusion list and any sample belong to that chunk.
#pragma once

#include "qmxbase/QMXBuf.h"
#include "qmxbase/QMXBufReader.h"
#include "qmxmisc/numeric/Index.h"
#include "qmxmisc/numeric/String.h"
#include "qmxmisc/numeric/Vectors.h"

class QMXFilterBufReader {
 public:
  QMXFilterBufReader() = default;
  explicit QMXFilterBufReader(const QMXBufReader& reader);
  QMXFilterBufReader(const QMXFilterBufReader&) = default;
  QMXFilterBufReader& operator=(const QMXFilterBufReader&) = default;
  // Re-seats the filter on another reader; the exclusions are discarded.
  QMXFilterBufReader& operator=(const QMXBufReader& reader);
  virtual ~QMXFilterBufReader() = default;

  // Each returns the number of rows written to out.
  virtual long getDoubleArray(int column, double* out) = 0;
  virtual long getDoubleArray(const String& name, double* out) = 0;
  // Level names are owned by the buffer (the host maps levels to const char*).
  virtual long getCharArray(int column, const char** out) = 0;
  virtual long getCharArray(const String& name, const char** out) = 0;
  // Draws a sample of `size` acceptable rows; returns its size.
  virtual long createSampleIndex(long size, unsigned seed) = 0;

  bool valid() const;
  // Each throws "Invalid QMXBufReader" when the filter is not valid.
  void validate() const;
  QMXBufReader& reader() const;
  QMXBuf& buffer() const;

  long setVariables(const strVector& names);
  long addVariable(const String& name);
  // Adds the named columns in the buffer's column order.
  long addVariables(const strVector& names);

  const strVector& variables() const { return variables_; }
  const Index& rowsExcluded() const { return rowsExcluded_; }
  const Index& rowIndex() const { return rowIndex_; }
  long nVariables() const { return static_cast<long>(variables_.size()); }
  long nExcluded() const { return static_cast<long>(rowsExcluded_.size()); }
  // min(ready rows, request rows) of the reader; 0 when not valid.
  long rowsReady() const;
  // Rows a read returns: the sample size when a sample is set, else ready minus excluded.
  long N() const;

 protected:
  // value = the reader's value at (row, column); returns whether the row is acceptable.
  virtual bool getDouble(long row, int column, double& value) = 0;

  bool isVariable(const String& name) const;
  void resetRows();

  QMXBufReader* reader_ = nullptr;  // not owned
  strVector variables_;
  Index columns_;
  Index rowsExcluded_;
  Index rowIndex_;
  long exclusionState_ = -1;
};
