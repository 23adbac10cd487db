// The records of partial covariance results of one run: `head`, the list of filled
// records, newest first, and `freeNodes`, a pool of records kept for reuse.
//
// Records are combined like a binary counter: a new chunk's record (blockCount 1) is put
// in front and merged with its successor while both combine the same number of chunks, so
// along `head` the block counts are distinct powers of two increasing towards the oldest.
// At most floor(log2 N) + 1 records are ever created for N chunks; the end of input forces
// every record into one.
#pragma once

#include <cstddef>
#include <memory>

#include "qmxmisc/multivariate/CovNode.h"

class CovNodeChain {
 public:
  CovNodeChain() = default;
  // Copies the filled records (not the pool) and the shape; the copy counts the records it
  // holds as created.
  CovNodeChain(const CovNodeChain& other);
  CovNodeChain& operator=(const CovNodeChain& other);
  CovNodeChain(CovNodeChain&& other) noexcept = default;
  CovNodeChain& operator=(CovNodeChain&& other) noexcept = default;
  ~CovNodeChain();

  // Frees every record of both lists and sets the shape of records created from now on;
  // the count of created records restarts at 0.
  void reset(long nTargets, long nCorrelations);
  // Frees every record of both lists (the count of created records is kept).
  void clear();

  // A record to fill: the first of the pool, or a new one (counted) when the pool is
  // empty. Null when a new record cannot be allocated.
  std::unique_ptr<CovNode> take() noexcept;
  // Puts a filled record in front of `head`.
  void pushFront(std::unique_ptr<CovNode> node);
  // Merges `head` with its successor while their block counts are equal (or always, when
  // force is set); each absorbed record goes to the front of the pool.
  void combine(bool force);
  // Frees every record in the pool.
  void releasePool();
  // Combines every record of this chain into one, then absorbs the records of `other`
  // (combined in a copy, as combine(true) would) as the older part. Throws std::bad_alloc
  // when a record cannot be allocated.
  void absorbChain(const CovNodeChain& other);

  const CovNode* head() const { return head_.get(); }
  long allocatedNodes() const { return allocatedNodes_; }
  std::size_t liveCount() const { return countList(head_.get()); }
  std::size_t poolCount() const { return countList(freeNodes_.get()); }

 private:
  static std::size_t countList(const CovNode* node);
  static void freeList(std::unique_ptr<CovNode>& list);

  long nTargets_ = 0;
  long nCorrelations_ = 0;
  long allocatedNodes_ = 0;
  std::unique_ptr<CovNode> head_;
  std::unique_ptr<CovNode> freeNodes_;
};
