#include "qmxbase/QMXOrderedWorker.h"

#include <utility>

QMXOrderedWorker::QMXOrderedWorker(std::size_t maxWaiting)
    : maxWaiting_(maxWaiting < 1 ? 1 : maxWaiting) {}

QMXOrderedWorker::~QMXOrderedWorker() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    tasks_.clear();
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void QMXOrderedWorker::rethrowLocked(std::unique_lock<std::mutex>& lock) {
  // A failed task drops the ones after it.
  tasks_.clear();
  changed_.wait(lock, [&] { return !busy_; });
  const std::exception_ptr error = std::exchange(error_, nullptr);
  lock.unlock();
  std::rethrow_exception(error);
}

void QMXOrderedWorker::submit(std::function<void()> task) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return tasks_.size() < maxWaiting_ || error_ != nullptr; });
  if (error_) rethrowLocked(lock);
  tasks_.push_back(std::move(task));
  if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
  lock.unlock();
  changed_.notify_all();
}

void QMXOrderedWorker::drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return (tasks_.empty() && !busy_) || error_ != nullptr; });
  if (error_) rethrowLocked(lock);
}

void QMXOrderedWorker::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stop_ || (!tasks_.empty() && error_ == nullptr); });
    if (stop_) return;
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    busy_ = true;
    lock.unlock();
    changed_.notify_all();
    std::exception_ptr error;
    try {
      task();
    } catch (...) {
      error = std::current_exception();
    }
    task = nullptr;  // what it holds goes on this thread, before the caller may see the end
    lock.lock();
    busy_ = false;
    if (error) error_ = error;
    changed_.notify_all();
  }
}
