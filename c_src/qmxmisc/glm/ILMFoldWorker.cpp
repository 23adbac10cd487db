#include "qmxmisc/glm/ILMFoldWorker.h"

#include <cstring>
#include <utility>

#include "qmxbase/QMXReadSettings.h"

namespace {

// `to` becomes an owned copy of `from` (matrices share their blocks when copied), in its
// own block when the shapes agree.
void copyInto(DoubleMatrix& to, const DoubleMatrix& from) {
  if (!from.isValid() || from.size() == 0) {
    to = DoubleMatrix();
    return;
  }
  if (!to.isValid() || to.getNRow() != from.getNRow() || to.getNCol() != from.getNCol())
    to = DoubleMatrix(from.getNRow(), from.getNCol());
  std::memcpy(to.data(), from.constData(), static_cast<std::size_t>(from.size()) * sizeof(double));
}

// m's block for another thread, m left empty. Reference counts are not atomic: a block
// shared with another matrix stays on this thread and its copy leaves.
DoubleMatrix handOver(DoubleMatrix& m) {
  if (m.useCount() > 1) {
    DoubleMatrix copy;
    copyInto(copy, m);
    m = DoubleMatrix();
    return copy;
  }
  return std::exchange(m, DoubleMatrix());
}

}  // namespace

ILMFoldWorker::~ILMFoldWorker() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ILMFoldWorker::update(ILMAccumulator& acc, const ILMChunk& chunk) {
  if (QMXReadThreads() < 2) {
    acc.update(chunk);
    return;
  }
  Job job;
  std::unique_lock<std::mutex> lock(mutex_);
  if (!spare_.empty()) {
    job = std::move(spare_.back());
    spare_.pop_back();
  }
  lock.unlock();
  copyInto(job.x, chunk.x);
  copyInto(job.y, chunk.y);
  copyInto(job.w, chunk.w);
  job.nFixed = chunk.nFixed;
  job.rowsUsed = chunk.rowsUsed;
  job.rowsMissing = chunk.rowsMissing;
  queue(acc, std::move(job));
}

void ILMFoldWorker::take(ILMAccumulator& acc, DoubleMatrix& x, DoubleMatrix& y, DoubleMatrix& w,
                         long nFixed, std::int64_t rowsUsed, std::int64_t rowsMissing) {
  if (QMXReadThreads() < 2) {
    acc.update(ILMChunk{x, y, w, nFixed, rowsUsed, rowsMissing});
    return;
  }
  Job job{handOver(x), handOver(y), handOver(w), nFixed, rowsUsed, rowsMissing};
  queue(acc, std::move(job));
}

void ILMFoldWorker::queue(ILMAccumulator& acc, Job job) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return jobs_.size() < kMaxWaiting || error_ != nullptr; });
  if (error_) {
    lock.unlock();
    drain();  // rethrows the fold's exception
    return;
  }
  acc_ = &acc;
  jobs_.push_back(std::move(job));
  if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
  lock.unlock();
  changed_.notify_all();
}

void ILMFoldWorker::drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return (jobs_.empty() && !busy_) || error_ != nullptr; });
  if (!error_) return;
  // A failed fold drops the chunks after it; the pass is over.
  jobs_.clear();
  changed_.wait(lock, [&] { return !busy_; });
  const std::exception_ptr error = std::exchange(error_, nullptr);
  std::rethrow_exception(error);
}

void ILMFoldWorker::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stop_ || (!jobs_.empty() && error_ == nullptr); });
    if (stop_) return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    busy_ = true;
    ILMAccumulator* acc = acc_;
    lock.unlock();
    changed_.notify_all();
    std::exception_ptr error;
    try {
      acc->update(ILMChunk{job.x, job.y, job.w, job.nFixed, job.rowsUsed, job.rowsMissing});
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    if (spare_.size() < kMaxWaiting) spare_.push_back(std::move(job));  // its blocks, for reuse
    busy_ = false;
    if (error) error_ = error;
    changed_.notify_all();
  }
}
