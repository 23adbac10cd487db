// ModelMatrix: the numeric design matrix of one chunk of buffer rows for a model: an
// optional "(Intercept)" column, the columns of each main-effect term and the product
// columns of each interaction, in terms-table order. Categorical variables are coded by
// their FactorInfo::matrixCoding (indicator, sum-to-zero, last level as reference,
// orthogonal polynomial, or the numeric level code). Rows come through a filtered reader,
// so rows with missing values are already gone; the reader's record of them is kept.
//
// Use: setModel(terms); init(buffer) once (binds variables to buffer columns, checks
// factor levels, computes maxCol); then construct(filter) per chunk.
//
// Implementation files: ModelMatrix.cpp (model, binding, accessors), ModelMatrixBlocks.cpp
// (the per-variable column blocks and factor codings), ModelMatrixTerms.cpp (chunk
// construction: main effects and interaction products).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "qmxbase/QMXBuf.h"
#include "qmxmisc/framework/QMXFilterBufReader.h"
#include "qmxmisc/model/DerivedVariable.h"
#include "qmxmisc/model/ModelTerms.h"
#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/Index.h"
#include "qmxmisc/numeric/String.h"

namespace model_matrix_detail {
struct Block;
struct ChunkRows;
}  // namespace model_matrix_detail

// Replacement level labels for factor levels a model does not know, keyed by buffer column.
using UnknownLevelMap = std::map<long, String>;

// The level number of each label of a factor (the first of repeated labels wins), looked up
// by any string_view without a copy.
struct LevelHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};
using LevelIndex = std::unordered_map<std::string, long, LevelHash, std::equal_to<>>;

class ModelMatrix : public DoubleMatrix {
 public:
  ModelMatrix() = default;
  ModelMatrix(const ModelMatrix&) = default;
  ModelMatrix(ModelMatrix&&) noexcept = default;
  // An unbound matrix of this model (= ModelMatrix() then setModel).
  explicit ModelMatrix(const ModelTerms& model) { setModel(model); }
  ModelMatrix& operator=(const ModelMatrix&) = default;
  ModelMatrix& operator=(ModelMatrix&&) noexcept = default;
  ~ModelMatrix() override = default;

  // Copies factors, responses, terms table, intercept and weights name.
  void setModel(const ModelTerms& model);
  const ModelTerms& model() const { return model_; }

  // Binds the model's variables to the buffer's columns by exact name, checks that the
  // buffer and the model agree on which variables are categorical (and, with
  // validateFactorLevels, on their levels), and computes maxCol. Throws, with the variable
  // names joined by ", ", when model variables are missing from the buffer. A model that is
  // not valid() leaves the matrix unbound.
  void init(QMXBuf& buffer);

  // Builds the matrix of the reader's current chunk; returns its row count (0 when the
  // reader is not valid or has no usable row). The matrix must be bound (init) first.
  // A failure leaves the matrix erased.
  unsigned construct(QMXFilterBufReader& reader);

  // Subtracts c[j] from every element of column j; c must hold exactly ncol values, else
  // "center vector has length %d but expected %d".
  void center(const TMatrix<double>& c);

  // The embedded model's valid(false).
  bool valid() const { return model_.valid(false); }
  // Empties the matrix, term positions, excluded and unknown-level rows. keep false also
  // erases the model and unbinds the buffer (variable map, maxCol).
  void erase(bool keep = false);

  // Entry t: first column of term t; entry t + 1: one past its last column.
  const Index& termIndicies() const { return termIndicies_; }
  // Chunk rows the reader left out (missing values, filters), ascending.
  const Index& rowsExcluded() const { return rowsExcluded_; }
  void setRowsExcluded(const Index& rows) { rowsExcluded_ = rows; }
  long nMissing() const { return static_cast<long>(rowsExcluded_.size()); }
  // Columns the model can need; computed by init.
  unsigned maxCol() const { return maxCol_; }
  // Buffer column of each model variable (terms-table row), -1 when absent, the first column
  // it reads for a derived variable; empty while unbound.
  const lVector& variableMap() const { return variableMap_; }

  // true (default, what fitting needs): a buffer level the model lacks is an error at init,
  // an unknown label at construct too; false (scoring): rows with an unknown level are
  // listed in undefFactorIndex and their factor columns stay 0, unless the unknown-level
  // map gives a replacement.
  void setValidateFactorLevels(bool validate) { validateFactorLevels_ = validate; }
  bool validateFactorLevels() const { return validateFactorLevels_; }
  // Chunk rows (buffer row numbers, as rowsExcluded) holding a level unknown to the model,
  // sorted, without repeats.
  const Index& undefFactorIndex() const { return undefFactorIndex_; }
  // Replacement labels for unknown levels, by buffer column; not owned, may be null.
  void setUnknownLevelMap(const UnknownLevelMap* map) { unknownLevelMap_ = map; }
  const UnknownLevelMap* unknownLevelMap() const { return unknownLevelMap_; }

 private:
  using Block = model_matrix_detail::Block;
  using ChunkRows = model_matrix_detail::ChunkRows;

  // Columns of variable v: 1 for a continuous variable or a numerically coded factor, else
  // the width of its coding.
  unsigned variableWidth(long v) const;
  // Throws unless v's buffer column and the model agree on being categorical (and, with
  // validateFactorLevels, on the levels).
  void checkVariable(const QMXBuf& buffer, int column, long v) const;
  // Throws when a term's power or order, or the matrix's width, is beyond ModelLimits.h.
  void checkTerms() const;
  // A derived variable bound to the buffer columns it reads.
  struct DerivedInput {
    std::shared_ptr<const DerivedVariable> variable;  // null for a data column
    std::vector<int> columns;                         // buffer column of each input
    bool categoricalInput = false;                    // factor() of a factor column
  };
  // factor() of a numeric column without its levels, or poly() without its coefficients:
  // what a fitting proc finds from the data first (QMXProcModel).
  bool needsData(long v) const;
  // Binds a derived variable; its columns absent from the buffer are added to `missing`.
  DerivedInput bindDerived(const QMXBuf& buffer, const std::string& expression,
                           std::string& missing) const;
  // ModelMatrixBlocks.cpp
  Block derivedBlock(QMXFilterBufReader& reader, const ChunkRows& rows, long v);
  Block variableBlock(QMXFilterBufReader& reader, const ChunkRows& rows, long v);
  Block factorBlock(QMXFilterBufReader& reader, const ChunkRows& rows, long v,
                    const FactorInfo& factor);
  void noteUndefinedRow(const ChunkRows& rows, long row);
  // The level labels of a factor's chunk rows: its labels, or R's text of the numbers of
  // factor(x) (kept in `texts`).
  void factorLabels(QMXFilterBufReader& reader, const ChunkRows& rows, long v,
                    std::vector<const char*>& labels, std::vector<std::string>& texts);
  // The model level of each chunk row of a factor (-1 when unknown), and the labels of the
  // rows whose level is unknown (every row's label when the levels come from texts).
  void factorLevels(QMXFilterBufReader& reader, const ChunkRows& rows, long v,
                    std::vector<long>& rowLevels, std::vector<const char*>& labels,
                    std::vector<std::string>& texts);
  // ModelMatrixTerms.cpp
  unsigned build(QMXFilterBufReader& reader);
  void placeBlock(const Block& block, unsigned firstColumn, strVector& names);

  ModelTerms model_;
  unsigned maxCol_ = 0;
  lVector variableMap_;
  // Per model variable: the level index of a factor, empty otherwise; filled by init.
  std::vector<LevelIndex> levelIndex_;
  // Per model variable: its expression and input columns when derived; filled by init.
  std::vector<DerivedInput> derived_;
  Index termIndicies_;
  Index rowsExcluded_;
  Index undefFactorIndex_;
  bool validateFactorLevels_ = true;
  const UnknownLevelMap* unknownLevelMap_ = nullptr;
};
