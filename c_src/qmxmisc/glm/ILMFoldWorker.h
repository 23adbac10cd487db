// ILMFoldWorker: folds the chunks of a linear-model pass into an ILMAccumulator on a second
// thread (QMXOrderedWorker), while the proc's thread reads and builds the next chunks. The
// chunks are folded in the order given, so the accumulator ends exactly as if they were
// folded on the proc's thread. At most a few chunks wait (memory stays bounded). Before
// anything reads or resets the accumulator, drain() waits for the folds and rethrows a fold's
// exception.
//
// Without a second thread (qmx --threads 1) update folds at once.
#pragma once

#include <cstdint>
#include <memory>

#include "qmxbase/QMXOrderedWorker.h"
#include "qmxmisc/glm/QMXProcILMAccumulator.h"

class ILMFoldWorker {
 public:
  ILMFoldWorker() = default;
  // A copy is idle: it shares no thread and no pending chunk.
  ILMFoldWorker(const ILMFoldWorker&) {}
  ILMFoldWorker& operator=(const ILMFoldWorker&) { return *this; }

  // Folds `chunk` into `acc`: on the worker thread (a copy of the chunk) when the host may
  // use more than one thread, else at once. Every update until drain() must name the same
  // accumulator.
  void update(ILMAccumulator& acc, const ILMChunk& chunk);
  // As update, but a worker thread takes the blocks of x, y and w instead of copying them,
  // and leaves the three empty (0 x 0).
  void take(ILMAccumulator& acc, DoubleMatrix& x, DoubleMatrix& y, DoubleMatrix& w, long nFixed,
            std::int64_t rowsUsed, std::int64_t rowsMissing);
  // Waits until every chunk given is folded; rethrows the first fold's exception.
  void drain();

 private:
  struct Job {
    DoubleMatrix x, y, w;
    long nFixed = 0;
    std::int64_t rowsUsed = 0, rowsMissing = 0;
  };
  static constexpr std::size_t kMaxWaiting = 4;

  void queue(ILMAccumulator& acc, Job job);

  std::unique_ptr<QMXOrderedWorker> worker_;
};
