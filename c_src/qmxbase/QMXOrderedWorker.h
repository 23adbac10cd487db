// QMXOrderedWorker: runs tasks on one background thread, in the order given, while the caller
// goes on. At most `maxWaiting` tasks wait (the caller blocks beyond), so what they hold stays
// bounded. The first task that throws stops the rest: `submit` and `drain` then rethrow its
// exception on the caller's thread, once. The destructor drops the tasks still waiting and
// joins the thread.
//
//   QMXOrderedWorker worker(4);
//   worker.submit([batch = std::move(batch)] { format(batch); });  ... worker.drain();
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class QMXOrderedWorker {
 public:
  explicit QMXOrderedWorker(std::size_t maxWaiting = 4);
  ~QMXOrderedWorker();
  QMXOrderedWorker(const QMXOrderedWorker&) = delete;
  QMXOrderedWorker& operator=(const QMXOrderedWorker&) = delete;

  // Queues `task`; rethrows an earlier task's exception instead.
  void submit(std::function<void()> task);
  // Waits until every task given has run; rethrows the first exception of one.
  void drain();

 private:
  void run();
  void rethrowLocked(std::unique_lock<std::mutex>& lock);

  std::size_t maxWaiting_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> tasks_;
  bool busy_ = false;
  bool stop_ = false;
  std::exception_ptr error_;
  std::thread thread_;
};
