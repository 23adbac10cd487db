// ILMAccumulator: the chunk state of the linear-model fit, as a QMXAccumulator
// (qmxmisc/base/QMXAccumulator.h): the least-squares factor of the weighted model matrix and
// responses (DoubleLRLS: R, Q'Y, the response means and centred cross-products, N and the
// weight sum) and the counts of used rows and of rows left out for missing values.
//
// QMXProcILM owns one and only drives it: each chunk's model matrix goes to update, the end
// of input takes finalize (the pooled factor) and solves R's parametrisation on it; the
// statistics are derived from that result alone. Each pass of
// QMXProcIGLM gathers the working responses and weights of that pass in one.
#pragma once

#include <cmath>
#include <cstdint>

#include "qmxmisc/base/QMXAccumulator.h"
#include "qmxmisc/numeric/DoubleLRLS.h"

struct ILMChunk {
  const DoubleMatrix& x;  // model matrix of the used rows (no rows: counts only)
  const DoubleMatrix& y;
  const DoubleMatrix& w;  // n x 1 case weights, or empty
  long nFixed = 0;        // not used: the folds do not pivot
  std::int64_t rowsUsed = 0;
  std::int64_t rowsMissing = 0;
};

struct ILMPooled {
  DoubleLRLS factor;
  std::int64_t rowsUsed = 0;
  std::int64_t rowsMissing = 0;
  double sumLogWeights = 0;  // of the positive case weights (R's logLik.lm)
};

class ILMAccumulator {
 public:
  using Chunk = ILMChunk;
  using Result = ILMPooled;

  void update(const ILMChunk& chunk) {
    if (chunk.x.isValid() && chunk.x.getNRow() > 0)
      factor_.rowBind(chunk.x, chunk.y, chunk.w, chunk.nFixed);
    if (chunk.w.isValid())
      for (long row = 0; row < chunk.w.getNRow(); ++row)
        if (chunk.w(row, 0) > 0) sumLogWeights_ += std::log(chunk.w(row, 0));
    rowsUsed_ += chunk.rowsUsed;
    rowsMissing_ += chunk.rowsMissing;
  }
  void merge(const ILMAccumulator& other) {
    factor_.merge(other.factor_);
    rowsUsed_ += other.rowsUsed_;
    rowsMissing_ += other.rowsMissing_;
    sumLogWeights_ += other.sumLogWeights_;
  }
  ILMPooled finalize() const { return ILMPooled{factor_, rowsUsed_, rowsMissing_, sumLogWeights_}; }
  // Empty again (a new pass).
  void reset() {
    factor_.resize(0, 0, 0);
    rowsUsed_ = 0;
    rowsMissing_ = 0;
    sumLogWeights_ = 0;
  }

  std::int64_t rowsUsed() const { return rowsUsed_; }
  std::int64_t rowsMissing() const { return rowsMissing_; }
  double sumLogWeights() const { return sumLogWeights_; }

 private:
  DoubleLRLS factor_;
  std::int64_t rowsUsed_ = 0;
  std::int64_t rowsMissing_ = 0;
  double sumLogWeights_ = 0;
};

static_assert(QMXAccumulator<ILMAccumulator>);
