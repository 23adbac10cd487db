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
  Job job{deepCopy(chunk.x), deepCopy(chunk.y), deepCopy(chunk.w),
          chunk.nFixed,      chunk.rowsUsed,    chunk.rowsMissing};
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
    job = Job{};
    lock.lock();
    busy_ = false;
    if (error) error_ = error;
    changed_.notify_all();
  }
}
