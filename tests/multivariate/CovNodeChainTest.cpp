#include "qmxmisc/multivariate/CovNodeChain.h"

#include <gtest/gtest.h>

#include <vector>

#include "multivariate/CovTestData.h"

namespace {

// Feeds `chunks` chunks of `rowsPerChunk` table rows, each through take / fill / pushFront /
// combine(false) as one execute call does.
void feed(CovNodeChain& chain, const covtest::Table& table, long chunks, long rowsPerChunk) {
  const long targets[] = {0};
  const long correlations[] = {1, 2};
  std::vector<long> used;
  for (long chunkIdx = 0; chunkIdx < chunks; ++chunkIdx) {
    used.clear();
    for (long r = 0; r < rowsPerChunk; ++r)
      used.push_back((chunkIdx * rowsPerChunk + r) % static_cast<long>(table.rows));
    std::unique_ptr<CovNode> node = chain.take();
    ASSERT_NE(node, nullptr);
    node->fill(used, targets, correlations, [&](long row, long col) { return table.at(row, col); });
    chain.pushFront(std::move(node));
    chain.combine(false);
  }
}

TEST(CovNodeChain, RecordsFollowABinaryCounter) {
  const covtest::Table table = covtest::makeTable(64, 3, 5, 0.0);
  struct Case {
    long chunks;
    long allocated;    // floor(log2 chunks) + 1
    std::size_t live;  // number of one bits of chunks
  };
  const Case cases[] = {{1, 1, 1}, {2, 2, 1},      {3, 2, 2},     {4, 3, 1},    {7, 3, 3},
                        {8, 4, 1}, {1023, 10, 10}, {1024, 11, 1}, {1025, 11, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chunks);
    CovNodeChain chain;
    chain.reset(1, 2);
    feed(chain, table, c.chunks, 3);
    EXPECT_EQ(chain.allocatedNodes(), c.allocated);
    EXPECT_EQ(chain.liveCount(), c.live);
    EXPECT_EQ(chain.liveCount() + chain.poolCount(), static_cast<std::size_t>(c.allocated));
    long previous = 0;
    long total = 0;
    for (const CovNode* node = chain.head(); node != nullptr; node = node->next.get()) {
      EXPECT_GT(node->blockCount, previous);  // strictly increasing towards the oldest
      EXPECT_EQ(node->blockCount & (node->blockCount - 1), 0);  // a power of two
      EXPECT_EQ(node->rows, 3 * node->blockCount);
      previous = node->blockCount;
      total += node->blockCount;
    }
    EXPECT_EQ(total, c.chunks);

    chain.combine(true);
    ASSERT_NE(chain.head(), nullptr);
    EXPECT_EQ(chain.liveCount(), 1u);
    EXPECT_EQ(chain.head()->blockCount, c.chunks);
    EXPECT_EQ(chain.head()->rows, 3 * c.chunks);
    chain.releasePool();
    EXPECT_EQ(chain.poolCount(), 0u);
    EXPECT_EQ(chain.allocatedNodes(), c.allocated);  // counts records created, not live ones
  }
}

TEST(CovNodeChain, ForcedCombinationMatchesOneRecordOfAllRows) {
  const covtest::Table table = covtest::makeTable(7 * 13, 3, 9, 0.0);
  CovNodeChain chunked;
  chunked.reset(1, 2);
  feed(chunked, table, 13, 7);
  chunked.combine(true);
  CovNodeChain whole;
  whole.reset(1, 2);
  feed(whole, table, 1, 7 * 13);
  const CovNode& a = *chunked.head();
  const CovNode& b = *whole.head();
  EXPECT_EQ(a.rows, b.rows);
  // Tolerance: 1e-12 relative.
  EXPECT_TRUE(covtest::near(a.targetSumSquares[0], b.targetSumSquares[0], 1e-12));
  for (std::size_t j = 0; j < 2; ++j) {
    EXPECT_TRUE(covtest::near(a.correlationSums[j], b.correlationSums[j], 1e-12));
    EXPECT_TRUE(covtest::near(a.correlationSumSquares[j], b.correlationSumSquares[j], 1e-12));
    EXPECT_TRUE(covtest::near(a.crossProducts[j], b.crossProducts[j], 1e-12));
  }
}

TEST(CovNodeChain, TakeReusesPooledRecordsAndResetStartsOver) {
  const covtest::Table table = covtest::makeTable(16, 3, 1, 0.0);
  CovNodeChain chain;
  chain.reset(1, 2);
  feed(chain, table, 2, 2);  // the second record was absorbed into the pool
  EXPECT_EQ(chain.poolCount(), 1u);
  std::unique_ptr<CovNode> reused = chain.take();
  ASSERT_NE(reused, nullptr);
  EXPECT_EQ(reused->blockCount, 0);
  EXPECT_EQ(reused->rows, 0);
  EXPECT_EQ(chain.allocatedNodes(), 2);
  EXPECT_EQ(chain.poolCount(), 0u);
  std::unique_ptr<CovNode> fresh = chain.take();
  EXPECT_EQ(chain.allocatedNodes(), 3);
  EXPECT_EQ(fresh->nTargets(), 1);
  EXPECT_EQ(fresh->nCorrelations(), 2);

  chain.reset(4, 5);
  EXPECT_EQ(chain.head(), nullptr);
  EXPECT_EQ(chain.allocatedNodes(), 0);
  std::unique_ptr<CovNode> shaped = chain.take();
  EXPECT_EQ(shaped->nTargets(), 4);
  EXPECT_EQ(shaped->crossProducts.size(), 20u);
  EXPECT_EQ(chain.allocatedNodes(), 1);
}

}  // namespace
