#include "qmxmisc/glm/ILMFoldWorker.h"

#include <cstring>
#include <utility>

#include "qmxbase/QMXReadSettings.h"

namespace {

// An owned copy of m (matrices share their blocks when copied).
DoubleMatrix deepCopy(const DoubleMatrix& m) {
  if (!m.isValid() || m.size() == 0) return DoubleMatrix();
  DoubleMatrix copy(m.getNRow(), m.getNCol());
  std::memcpy(copy.data(), m.constData(), static_cast<std::size_t>(m.size()) * sizeof(double));
  return copy;
}

// m's block for another thread, m left empty. Reference counts are not atomic: a block
// shared with another matrix stays on this thread and its copy leaves.
DoubleMatrix handOver(DoubleMatrix& m) {
  if (m.useCount() > 1) {
    DoubleMatrix copy = deepCopy(m);
    m = DoubleMatrix();
    return copy;
  }
  return std::exchange(m, DoubleMatrix());
}

}  // namespace

void ILMFoldWorker::update(ILMAccumulator& acc, const ILMChunk& chunk) {
  if (QMXReadThreads() < 2) {
    acc.update(chunk);
    return;
  }
  queue(acc, Job{deepCopy(chunk.x), deepCopy(chunk.y), deepCopy(chunk.w), chunk.nFixed,
                 chunk.rowsUsed, chunk.rowsMissing});
}

void ILMFoldWorker::take(ILMAccumulator& acc, DoubleMatrix& x, DoubleMatrix& y, DoubleMatrix& w,
                         long nFixed, std::int64_t rowsUsed, std::int64_t rowsMissing) {
  if (QMXReadThreads() < 2) {
    acc.update(ILMChunk{x, y, w, nFixed, rowsUsed, rowsMissing});
    return;
  }
  queue(acc, Job{handOver(x), handOver(y), handOver(w), nFixed, rowsUsed, rowsMissing});
}

void ILMFoldWorker::queue(ILMAccumulator& acc, Job job) {
  if (!worker_) worker_ = std::make_unique<QMXOrderedWorker>(kMaxWaiting);
  // The task owns the job's blocks and drops them on the worker's thread.
  auto owned = std::make_shared<Job>(std::move(job));
  worker_->submit([&acc, owned]() mutable {
    acc.update(
        ILMChunk{owned->x, owned->y, owned->w, owned->nFixed, owned->rowsUsed, owned->rowsMissing});
    owned.reset();
  });
}

void ILMFoldWorker::drain() {
  if (worker_) worker_->drain();
}
