// A data source that leaves out the rows whose case weight is exactly zero, as R's lm and glm
// do: such rows add nothing to a fit but would count in its degrees of freedom, and the
// binomial family refuses a zero trial count. Rows with a missing or negative weight are
// passed on, so the proc reports them. It counts the rows it leaves out in the first pass
// (the summary reports them) and reads one source chunk ahead, so that atEnd() is exact
// even when zero-weight rows end the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "qmxbase/QMXDataSource.h"
#include "qmxbase/QMXRowBlock.h"

class FitRowFilter : public QMXDataSource {
 public:
  // `passOnAsMissing`: the zero-weight rows are passed on with a missing weight instead, so
  // that the fit leaves them out while poly() still sees them (R's model frame keeps them).
  FitRowFilter(std::unique_ptr<QMXDataSource> source, std::size_t weightsColumn,
               bool passOnAsMissing = false);

  const QMXSchema& schema() const override { return source_->schema(); }
  // Unknown (-1) until the first pass is over, then the rows of one pass kept.
  std::int64_t totalRows() const override { return firstPassKept_; }
  std::size_t read(std::size_t maxRows, QMXRowBlock& block) override;
  bool atEnd() const override { return next_ == kept_.size() && exhausted_; }
  void rewind() override;
  const char* describe() const override { return source_->describe(); }

  // The zero-weight rows of the first pass.
  std::int64_t zeroWeightRows() const { return zeroWeightRows_; }

 private:
  // Reads source chunks until one holds a row to keep; false when the source is over.
  bool fill(std::size_t maxRows);

  std::unique_ptr<QMXDataSource> source_;
  std::size_t weightsColumn_;
  bool passOnAsMissing_;
  QMXRowBlock raw_;                // the last chunk read from the source
  std::vector<std::size_t> kept_;  // its rows to pass on
  std::size_t next_ = 0;           // the next of kept_ to pass on
  bool exhausted_ = false;
  std::int64_t passKept_ = 0;        // rows passed on in the current pass
  std::int64_t firstPassKept_ = -1;  // rows passed on in the first pass, once it is over
  std::int64_t zeroWeightRows_ = 0;
};
