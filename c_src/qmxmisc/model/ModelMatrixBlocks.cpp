// The column block of each model variable for one chunk: the values of a continuous
// variable, or the coded columns of a factor.
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/ModelMatrixInternal.h"
#include "qmxmisc/model/PolynomialContrasts.h"

namespace {

// What an unknown level of one variable turns into, decided at its first unknown level.
enum class Replacement {
  kNotConsulted,  // no unknown level seen yet
  kLevel,         // the map gives a known level: use it
  kNone,          // no usable replacement: undefined row, or an error when validating
  kForbidden,     // the map gives an empty label: every unknown level is an error
};

[[noreturn]] void throwUnknownLevel(const String& variable, const char* label) {
  QMX_ThrowException("model object categorical variable %s does not have level %s",
                     variable.c_str(), label);
}

}  // namespace

ModelMatrix::Block ModelMatrix::derivedBlock(QMXFilterBufReader& reader, const ChunkRows& rows,
                                             long v) {
  const DerivedInput& input = derived_[static_cast<std::size_t>(v)];
  std::vector<std::vector<double>> values;
  values.reserve(input.columns.size());
  std::vector<const double*> inputs;
  for (const int column : input.columns) {
    values.emplace_back(static_cast<std::size_t>(rows.ready));
    if (reader.getDoubleArray(column, values.back().data()) != rows.n)
      model_matrix_detail::throwComputeFailure();
    inputs.push_back(values.back().data());
  }
  if (needsData(v))
    QMX_ThrowException("%s needs a pass over the data before the model matrix",
                       input.variable->label().c_str());
  const long width = input.variable->width();
  Block block(rows.n, width);
  input.variable->evaluateColumns(inputs, static_cast<std::size_t>(rows.n), block.values.data());
  // R names the columns of a matrix-valued variable by appending their numbers.
  for (long col = 1; col <= width; ++col)
    block.names.push_back(model_.variable(v).str() + (width > 1 ? std::to_string(col) : ""));
  return block;
}

ModelMatrix::Block ModelMatrix::variableBlock(QMXFilterBufReader& reader, const ChunkRows& rows,
                                              long v) {
  const String& name = model_.variable(v);
  if (derived_[static_cast<std::size_t>(v)].variable && !model_.isFactor(name.c_str()))
    return derivedBlock(reader, rows, v);
  const int column = variableMap_[static_cast<std::size_t>(v)];
  if (model_.isFactor(name.c_str())) {
    const FactorInfo& factor = std::as_const(model_).factorInfo(name.c_str());
    if (factor.matrixCoding() != MatrixCoding::kNumeric)
      return factorBlock(reader, rows, v, factor);
  }
  // A continuous variable, or a factor taken by its numeric level code.
  Block block(rows.n, 1);
  std::vector<double> values(static_cast<std::size_t>(rows.ready));
  if (reader.getDoubleArray(column, values.data()) != rows.n)
    model_matrix_detail::throwComputeFailure();
  std::copy_n(values.begin(), rows.n, block.values.begin());
  block.names.push_back(name.str());
  return block;
}

ModelMatrix::Block ModelMatrix::factorBlock(QMXFilterBufReader& reader, const ChunkRows& rows,
                                            long v, const FactorInfo& factor) {
  const String& name = model_.variable(v);
  const int column = variableMap_[static_cast<std::size_t>(v)];
  const MatrixCoding coding = factor.matrixCoding();
  const long levels = factor.length();
  const long lastLevel = levels - 1;
  DoubleMatrix contrasts;
  if (coding == MatrixCoding::kPolynomial) contrasts = polynomialContrasts(levels);

  const long width = static_cast<long>(variableWidth(v));
  Block block(rows.n, width);
  for (long col = 0; col < width; ++col) {
    const char* label = coding == MatrixCoding::kPolynomial ? polynomialContrastName(col + 1)
                                                            : factor.level(col).c_str();
    block.names.push_back(name.str() + "(" + label + ")");
  }

  std::vector<long> rowLevels;
  std::vector<const char*> labels;
  std::vector<std::string> texts;
  factorLevels(reader, rows, v, rowLevels, labels, texts);
  const LevelIndex& levelOf = levelIndex_[static_cast<std::size_t>(v)];

  Replacement replacement = Replacement::kNotConsulted;
  long replacementLevel = -1;
  for (long row = 0; row < rows.n; ++row) {
    long level = rowLevels[static_cast<std::size_t>(row)];
    const char* label = labels[static_cast<std::size_t>(row)];
    if (label == nullptr) label = "";
    if (level < 0) {
      if (replacement == Replacement::kNotConsulted) {
        replacement = Replacement::kNone;
        if (unknownLevelMap_ != nullptr) {
          const auto entry = unknownLevelMap_->find(column);
          if (entry != unknownLevelMap_->end()) {
            const auto known = levelOf.find(std::string_view(entry->second.str()));
            if (entry->second.empty()) {
              replacement = Replacement::kForbidden;
            } else if (known != levelOf.end()) {
              replacement = Replacement::kLevel;
              replacementLevel = known->second;
            }
          }
        }
      }
      if (replacement == Replacement::kLevel) {
        level = replacementLevel;
      } else if (replacement == Replacement::kNone && !validateFactorLevels_) {
        noteUndefinedRow(rows, row);
        continue;
      } else {
        throwUnknownLevel(name, label);
      }
    }
    switch (coding) {
      case MatrixCoding::kIndicator:
        block.at(row, level) = 1.0;
        break;
      case MatrixCoding::kSumToZero:
      case MatrixCoding::kLastReference:
        if (level < lastLevel) {
          block.at(row, level) = 1.0;
        } else if (coding == MatrixCoding::kSumToZero) {
          for (long col = 0; col < width; ++col)
            block.at(row, col) = -1.0;
        }
        break;
      case MatrixCoding::kPolynomial:
        for (long col = 0; col < width; ++col)
          block.at(row, col) = contrasts(level, col);
        break;
      case MatrixCoding::kNumeric:
        break;
    }
  }
  return block;
}

void ModelMatrix::noteUndefinedRow(const ChunkRows& rows, long row) {
  const std::uint32_t chunkRow = rows.chunkRow[static_cast<std::size_t>(row)];
  const auto at = std::lower_bound(undefFactorIndex_.begin(), undefFactorIndex_.end(), chunkRow);
  if (at == undefFactorIndex_.end() || *at != chunkRow) undefFactorIndex_.insert(at, chunkRow);
}

void ModelMatrix::factorLabels(QMXFilterBufReader& reader, const ChunkRows& rows, long v,
                               std::vector<const char*>& labels, std::vector<std::string>& texts) {
  const DerivedInput& input = derived_[static_cast<std::size_t>(v)];
  const int column = variableMap_[static_cast<std::size_t>(v)];
  labels.assign(static_cast<std::size_t>(rows.ready), nullptr);
  if (!input.variable || input.categoricalInput) {
    if (reader.getCharArray(column, labels.data()) != rows.n)
      model_matrix_detail::throwComputeFailure();
    return;
  }
  std::vector<double> values(static_cast<std::size_t>(rows.ready));
  if (reader.getDoubleArray(column, values.data()) != rows.n)
    model_matrix_detail::throwComputeFailure();
  texts.resize(static_cast<std::size_t>(rows.n));
  for (std::size_t row = 0; row < texts.size(); ++row) {
    texts[row] = rNumberText(values[row]);
    labels[row] = texts[row].c_str();
  }
}

void ModelMatrix::factorLevels(QMXFilterBufReader& reader, const ChunkRows& rows, long v,
                               std::vector<long>& rowLevels, std::vector<const char*>& labels,
                               std::vector<std::string>& texts) {
  const DerivedInput& input = derived_[static_cast<std::size_t>(v)];
  const int column = variableMap_[static_cast<std::size_t>(v)];
  const LevelIndex& levelOf = levelIndex_[static_cast<std::size_t>(v)];
  const auto find = [&](const char* label) -> long {
    if (label == nullptr || *label == '\0') return -1;
    const auto found = levelOf.find(std::string_view(label));
    return found != levelOf.end() ? found->second : -1;
  };
  rowLevels.assign(static_cast<std::size_t>(rows.n), -1);
  const QMXBuf& buffer = reader.buffer();
  const long bufferLevels = buffer.getNumLevels(column);
  if ((!input.variable || input.categoricalInput) && bufferLevels <= 4 * rows.n + 64) {
    // A data column's level codes: each of the buffer's levels is looked up once per chunk.
    std::vector<long> levelOfCode(static_cast<std::size_t>(bufferLevels));
    for (long code = 0; code < bufferLevels; ++code)
      levelOfCode[static_cast<std::size_t>(code)] = find(buffer.getLevelName(column, code));
    std::vector<double> codes(static_cast<std::size_t>(rows.ready));
    if (reader.getDoubleArray(column, codes.data()) != rows.n)
      model_matrix_detail::throwComputeFailure();
    labels.assign(static_cast<std::size_t>(rows.n), nullptr);
    for (long row = 0; row < rows.n; ++row) {
      const double code = codes[static_cast<std::size_t>(row)];
      long level = -1;
      if (code >= 0.0 && code < static_cast<double>(bufferLevels) && code == std::floor(code))
        level = levelOfCode[static_cast<std::size_t>(code)];
      rowLevels[static_cast<std::size_t>(row)] = level;
      // The label only serves the unknown levels (replacement and messages).
      if (level < 0) labels[static_cast<std::size_t>(row)] = buffer.mapDoubleToLevel(column, code);
    }
    return;
  }
  factorLabels(reader, rows, v, labels, texts);
  for (long row = 0; row < rows.n; ++row)
    rowLevels[static_cast<std::size_t>(row)] = find(labels[static_cast<std::size_t>(row)]);
}
