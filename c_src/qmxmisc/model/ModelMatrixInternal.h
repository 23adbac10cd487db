// Scratch structures of ModelMatrix chunk construction, shared by ModelMatrix*.cpp only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qmxmisc/model/ModelMatrix.h"

namespace model_matrix_detail {

// The columns one variable (or one interaction) contributes: rows x cols values, column
// major, with a name per column.
struct Block {
  long rows = 0;
  long cols = 0;
  std::vector<double> values;
  std::vector<std::string> names;

  Block() = default;
  Block(long nrow, long ncol)
      : rows(nrow), cols(ncol), values(static_cast<std::size_t>(nrow * ncol), 0.0) {}
  double& at(long row, long col) { return values[static_cast<std::size_t>(row + rows * col)]; }
  double at(long row, long col) const { return values[static_cast<std::size_t>(row + rows * col)]; }
  double* column(long col) { return values.data() + static_cast<std::size_t>(rows * col); }
};

// The rows of the chunk that enter the matrix: n, and for each matrix row the chunk row it
// came from (the reader's sample, or the ready rows minus the excluded ones).
struct ChunkRows {
  long ready = 0;
  long n = 0;
  std::vector<std::uint32_t> chunkRow;
};

// The message of every failed block read or interaction product.
[[noreturn]] void throwComputeFailure();

// Product columns of two blocks: every column a of `left` times every column b of `right`,
// a varying slowest, named "left:right".
Block interact(const Block& left, const Block& right);

// The block of a continuous variable raised to `exponent` (at least 1), valued as R's x^k,
// named as the interaction of the variable with itself (x:x for the square).
Block power(const Block& block, long exponent);

}  // namespace model_matrix_detail
