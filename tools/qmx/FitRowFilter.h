// A data source that leaves out the rows whose case weight is exactly zero, as R's lm and glm
// do: such rows add nothing to a fit but would count in its degrees of freedom, and the
// binomial family refuses a zero trial count. Rows with a missing or negative weight are
// passed on, so the proc reports them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "qmxbase/QMXDataSource.h"
#include "qmxbase/QMXRowBlock.h"

class FitRowFilter : public QMXDataSource {
 public:
  // `keptRows` is the number of rows of one pass whose weight is not zero.
  FitRowFilter(std::unique_ptr<QMXDataSource> source, std::size_t weightsColumn,
               std::int64_t keptRows);

  const QMXSchema& schema() const override { return source_->schema(); }
  std::int64_t totalRows() const override { return keptRows_; }
  std::size_t read(std::size_t maxRows, QMXRowBlock& block) override;
  bool atEnd() const override { return source_->atEnd(); }
  void rewind() override { source_->rewind(); }
  const char* describe() const override { return source_->describe(); }

 private:
  std::unique_ptr<QMXDataSource> source_;
  std::size_t weightsColumn_;
  std::int64_t keptRows_;
  QMXRowBlock scratch_;
};
