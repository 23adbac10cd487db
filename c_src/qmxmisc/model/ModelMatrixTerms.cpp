// Chunk construction: the intercept, one block per variable, then each term in
// terms-table order, a main effect as its variable's block and an interaction as the
// product of the blocks of its variables.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "qmxmisc/base/QMXAssert.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/ModelFormula.h"
#include "qmxmisc/model/ModelMatrixInternal.h"

namespace model_matrix_detail {

void throwComputeFailure() {
  QMX_ThrowException("failed to compute model matrix");
}

Block interact(const Block& left, const Block& right) {
  if (left.rows != right.rows || left.rows == 0 || left.cols == 0 || right.cols == 0)
    throwComputeFailure();
  Block product(left.rows, left.cols * right.cols);
  for (long a = 0; a < left.cols; ++a) {
    for (long b = 0; b < right.cols; ++b) {
      const long col = a * right.cols + b;
      for (long row = 0; row < left.rows; ++row)
        product.at(row, col) = left.at(row, a) * right.at(row, b);
      product.names.push_back(left.names[static_cast<std::size_t>(a)] + ":" +
                              right.names[static_cast<std::size_t>(b)]);
    }
  }
  return product;
}

Block power(const Block& block, long exponent) {
  if (exponent == 1) return block;
  Block out = block;
  // As R's x^k: x * x for the square, pow otherwise (one call per value, whatever k is).
  for (double& value : out.values)
    value = exponent == 2 ? value * value : std::pow(value, static_cast<double>(exponent));
  for (std::string& name : out.names)  // as R names the column of I(x^k)
    name = rPowerLabel(name, exponent);
  return out;
}

}  // namespace model_matrix_detail

namespace {

// Rows entering the matrix. The first column read of a chunk makes the filter decide which
// rows it leaves out, so one read of its first variable (or of any column) gives n before
// the blocks are built.
long readRowCount(QMXFilterBufReader& reader, long ready) {
  std::vector<double> scratch(static_cast<std::size_t>(ready));
  if (reader.nVariables() > 0) return reader.getDoubleArray(reader.variables()[0], scratch.data());
  if (reader.buffer().getNumColumns() > 0) return reader.getDoubleArray(0, scratch.data());
  return reader.N();
}

}  // namespace

unsigned ModelMatrix::construct(QMXFilterBufReader& reader) {
  erase(true);
  if (!reader.valid() || reader.rowsReady() < 1) return 0;
  if (static_cast<long>(variableMap_.size()) != model_.nVariables())
    QMX_ThrowException("model matrix is not bound to a data buffer");
  try {
    return build(reader);
  } catch (...) {
    erase(true);
    throw;
  }
}

void ModelMatrix::placeBlock(const Block& block, unsigned firstColumn, strVector& names) {
  QMX_ASSERT(firstColumn + block.cols <= maxCol_, "term columns exceed maxCol");
  QMX_ASSERT(block.rows == getNRow() || block.cols == 0, "block rows differ from the matrix");
  for (long col = 0; col < block.cols; ++col) {
    const long target = static_cast<long>(firstColumn) + col;
    std::memcpy(getPtr(0, target), block.values.data() + static_cast<std::size_t>(block.rows * col),
                static_cast<std::size_t>(block.rows) * sizeof(double));
    names[static_cast<std::size_t>(target)] = block.names[static_cast<std::size_t>(col)];
  }
}

unsigned ModelMatrix::build(QMXFilterBufReader& reader) {
  ChunkRows rows;
  rows.ready = reader.rowsReady();
  rows.n = readRowCount(reader, rows.ready);
  rowsExcluded_ = reader.rowsExcluded();
  if (rows.n < 1) return 0;
  if (!reader.rowIndex().empty()) {
    rows.chunkRow.assign(reader.rowIndex().begin(), reader.rowIndex().end());
  } else {
    std::size_t next = 0;
    for (long r = 0; r < rows.ready; ++r) {
      if (next < rowsExcluded_.size() && static_cast<long>(rowsExcluded_[next]) == r) {
        ++next;
        continue;
      }
      rows.chunkRow.push_back(static_cast<std::uint32_t>(r));
    }
  }
  QMX_ASSERT(static_cast<long>(rows.chunkRow.size()) == rows.n, "chunk rows disagree with n");

  if (maxCol_ > 0) TMatrix<double>::init(rows.n, maxCol_);
  const long nTerms = model_.nTerms();
  const long nVariables = model_.nVariables();
  termIndicies_.assign(static_cast<std::size_t>(nTerms + 1), 0);
  strVector names(maxCol_);
  unsigned next = 0;
  if (model_.intercept()) {
    std::fill_n(getPtr(0, 0), rows.n, 1.0);
    names[0] = "(Intercept)";
    next = 1;
  }
  termIndicies_[0] = next;

  std::vector<Block> blocks;
  blocks.reserve(static_cast<std::size_t>(nVariables));
  for (long v = 0; v < nVariables; ++v)
    blocks.push_back(variableBlock(reader, rows, v));

  const TMatrix<long>& terms = model_.termsTable();
  long mainEffects = 0;
  for (long t = 0; t < nTerms; ++t) {
    // The variables of the term in row order, with their powers.
    std::vector<std::pair<long, long>> listed;
    for (long v = 0; v < nVariables; ++v) {
      const long power = terms(v, t);
      if (power > 1 && model_.isFactor(model_.variable(v).c_str()))
        QMX_ThrowException(
            "order > 1 for categorical variables (nested effect) is not implemented yet");
      if (power > 0) listed.emplace_back(v, power);
    }
    termIndicies_[static_cast<std::size_t>(t)] = next;
    if (listed.size() == 1 && listed[0].second == 1) {
      if (++mainEffects > nVariables)
        QMX_ThrowException("number of main effects exceeded the number of variables");
      const Block& block = blocks[static_cast<std::size_t>(listed[0].first)];
      placeBlock(block, next, names);
      next += static_cast<unsigned>(block.cols);
    } else {
      if (listed.empty()) model_matrix_detail::throwComputeFailure();
      Block product;
      for (const auto& [v, power] : listed) {
        Block factor = model_matrix_detail::power(blocks[static_cast<std::size_t>(v)], power);
        product =
            product.cols == 0 ? std::move(factor) : model_matrix_detail::interact(product, factor);
      }
      placeBlock(product, next, names);
      next += static_cast<unsigned>(product.cols);
    }
    termIndicies_[static_cast<std::size_t>(t + 1)] = next;
  }

  if (next == 0) {
    TMatrix<double>::init(0, 0);
  } else {
    TMatrix<double>::resize(static_cast<unsigned>(rows.n), next);
    names.resize(next);
    setColNames(names);
  }
  return static_cast<unsigned>(rows.n);
}
