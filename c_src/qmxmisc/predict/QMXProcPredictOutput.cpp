// QMXProcPredict::writeOutputData: one output row per input row of the chunk. Each output
// definition is resolved once per chunk (input columns, response, matrices it reads), then
// every row is written: rows left out get NaN in every column, the others take the next
// row of the prediction matrices.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/predict/QMXProcPredict.h"
#include "qmxmisc/predict/ResidualModel.h"

namespace {

using Matrix = TMatrix<double>;

// One output definition bound to the chunk's buffers and matrices.
struct BoundOutput {
  PredictOutputType type = PredictOutputType::kNone;
  long index = 0;
  // copy: the column copied; residual, agreement: the observed response; weight: the
  // model's weight column (-1 when the model has none).
  int inputColumn = -1;
  // The matrix the value comes from (prediction, weights, eta), and its column `index`
  // (null while the chunk has no complete row).
  const Matrix* source = nullptr;
  const double* values = nullptr;
  // residual of a model with a family: column `index` of dmu/deta.
  const double* derivatives = nullptr;
  // R's residual types: the model's weights column and a cbind response's failures column
  // (-1 when there is none).
  int weightsColumn = -1;
  int failuresColumn = -1;
  // category, agreement: the response whose levels are predicted.
  const FactorInfo* response = nullptr;
  // clusterMembership into a text or factor column.
  bool text = false;
};

struct ChunkMatrices {
  const Matrix& prediction;
  const Matrix* weights;
  const Matrix* eta;
  const Matrix* derivative;
  bool scaled;
  const ResidualModel* residualModel;
};

int findColumn(const QMXBuf& buffer, const String& name) {
  for (int column = 0; column < buffer.getNumColumns(); ++column) {
    const char* columnName = buffer.getColumnName(column);
    if (columnName != nullptr && name == String(columnName)) return column;
  }
  return -1;
}

int requireColumn(const QMXBuf& buffer, const String& name) {
  const int column = findColumn(buffer, name);
  if (column < 0) QMX_ThrowException("column %s was not found in the input buffer", name.c_str());
  return column;
}

[[noreturn]] void throwUnexpectedType(PredictOutputType type) {
  QMX_ThrowException("unexpeced output type %s", predictOutputTypeName(type));
}

// The matrix a type reads must have been handed over by the proc, and hold column `index`
// (checked only when the chunk has complete rows: an empty chunk has empty matrices).
const Matrix* requireMatrix(const Matrix* matrix, PredictOutputType type, long index, long rows) {
  if (matrix == nullptr) throwUnexpectedType(type);
  if (rows > 0 && (index < 0 || index >= matrix->getNCol()))
    QMX_ThrowException("bad index %d", static_cast<int>(index));
  return matrix;
}

const FactorInfo& classResponse(const ModelTerms& fit, long index, const Matrix& prediction) {
  const FactorInfo& response = fit.response(index);
  if (response.length() == 0)
    QMX_ThrowException(
        "cannot predict category outcome since the dependent variable has no levels");
  if (prediction.getNRow() > 0 && prediction.getNCol() != response.length()) {
    QMX_ThrowException(
        "the number of predict category probabilities, %d,does not equal the number  of levels, %d",
        static_cast<int>(prediction.getNCol()), static_cast<int>(response.length()));
  }
  return response;
}

BoundOutput bindOutput(const PredictOutput& def, const ModelTerms& fit, const QMXBuf& input,
                       const QMXBuf& output, int outputColumn, const ChunkMatrices& m) {
  BoundOutput bound;
  bound.type = def.type;
  bound.index = def.index;
  const long rows = m.prediction.getNRow();
  switch (def.type) {
    case PredictOutputType::kCopy:
      bound.inputColumn = requireColumn(input, def.name);
      break;
    case PredictOutputType::kResidual:
      bound.inputColumn = requireColumn(input, fit.response(def.index).name());
      bound.source = requireMatrix(&m.prediction, def.type, def.index, rows);
      if (m.scaled) requireMatrix(m.derivative, def.type, def.index, rows);
      break;
    case PredictOutputType::kResidualDefault:
    case PredictOutputType::kResidualResponse:
    case PredictOutputType::kResidualPearson:
    case PredictOutputType::kResidualDeviance:
    case PredictOutputType::kResidualWorking: {
      bound.response = &fit.response(def.index);
      bound.inputColumn = requireColumn(input, bound.response->name());
      bound.source = requireMatrix(&m.prediction, def.type, def.index, rows);
      if (def.type == PredictOutputType::kResidualWorking && m.scaled)
        requireMatrix(m.derivative, def.type, def.index, rows);
      if (!fit.weights().empty()) bound.weightsColumn = requireColumn(input, fit.weights());
      const char* failures = m.residualModel ? m.residualModel->failuresColumn() : nullptr;
      if (failures != nullptr && *failures != '\0')
        bound.failuresColumn = requireColumn(input, String(failures));
      break;
    }
    case PredictOutputType::kWeight:
      bound.source = requireMatrix(m.weights, def.type, def.index, rows);
      if (!fit.weights().empty()) {
        bound.inputColumn = findColumn(input, fit.weights());
        if (bound.inputColumn < 0)
          QMX_ThrowException("Weight column %s was not found in the input buffer",
                             fit.weights().c_str());
      }
      break;
    case PredictOutputType::kEta:
      bound.source = requireMatrix(m.eta, def.type, def.index, rows);
      break;
    case PredictOutputType::kCategory:
      bound.response = &classResponse(fit, def.index, m.prediction);
      break;
    case PredictOutputType::kAgreement:
      bound.response = &classResponse(fit, def.index, m.prediction);
      bound.inputColumn = requireColumn(input, bound.response->name());
      break;
    case PredictOutputType::kClusterMembership:
      bound.source = requireMatrix(&m.prediction, def.type, def.index, rows);
      bound.text =
          output.columnTypeIsString(outputColumn) || output.columnTypeIsFactor(outputColumn);
      break;
    case PredictOutputType::kFittedValue:
    case PredictOutputType::kProbability:
    case PredictOutputType::kDistanceToCenter:
    case PredictOutputType::kScore:
    case PredictOutputType::kRisk:
    case PredictOutputType::kRiskSE:
    case PredictOutputType::kSurvival:
    case PredictOutputType::kSurvivalSE:
      bound.source = requireMatrix(&m.prediction, def.type, def.index, rows);
      break;
    case PredictOutputType::kNone:
      throwUnexpectedType(def.type);
  }
  if (rows > 0 && bound.source != nullptr) {
    bound.values = bound.source->data() + bound.index * bound.source->getNRow();
    if ((def.type == PredictOutputType::kResidual ||
         def.type == PredictOutputType::kResidualWorking) &&
        m.scaled)
      bound.derivatives = m.derivative->data() + bound.index * m.derivative->getNRow();
  }
  return bound;
}

// The predicted class of prediction row `row`: the first column holding the largest
// probability; -1 when every probability is missing.
long predictedLevel(const Matrix& prediction, long row) {
  long best = -1;
  for (long level = 0; level < prediction.getNCol(); ++level) {
    const double p = prediction(row, level);
    if (std::isnan(p)) continue;
    if (best < 0 || p > prediction(row, best)) best = level;
  }
  return best;
}

// The observed level name of an input row (null when missing): a factor cell by its level
// name, a text cell as is, a number as a level number of the model's response.
const char* observedLevel(const QMXBufReader& reader, long row, const BoundOutput& out) {
  const QMXBuf& buffer = *reader.getBuf();
  const int column = out.inputColumn;
  if (buffer.columnTypeIsFactor(column)) {
    const long level = reader.getLevelNum(row, column);
    if (level < 0) return nullptr;
    const char* name = buffer.getLevelName(column, level);
    if (name == nullptr) QMX_ThrowException("bad index %d", static_cast<int>(level));
    return name;
  }
  if (buffer.columnTypeIsString(column)) return reader.getString(row, column);
  const double code = reader.getDouble(row, column);
  if (std::isnan(code)) return nullptr;
  if (code != std::floor(code)) QMX_ThrowException("bad index %d", static_cast<int>(code));
  return out.response->level(static_cast<long>(code)).c_str();
}

// R's residual of an input row: the observed response as R's family sees it (a factor
// response 1 for the model's first level, else 0; cbind(s, f) the proportion s / (s + f),
// the trials s + f multiplying the prior weight).
double rowResidual(const QMXBufReader& reader, long row, const BoundOutput& out, double mu,
                   double dmudeta, const ChunkMatrices& m) {
  const QMXBuf& buffer = *reader.getBuf();
  double y = 0;
  if (buffer.columnTypeIsFactor(out.inputColumn) || buffer.columnTypeIsString(out.inputColumn)) {
    const char* level = observedLevel(reader, row, out);
    if (level == nullptr) return QMXObj::getDoubleNaN();
    y = out.response->length() > 0 && out.response->level(0) == String(level) ? 1.0 : 0.0;
  } else {
    y = reader.getDouble(row, out.inputColumn);
  }
  double w = out.weightsColumn >= 0 ? reader.getDouble(row, out.weightsColumn) : 1.0;
  if (out.failuresColumn >= 0) {
    const double trials = y + reader.getDouble(row, out.failuresColumn);
    y = trials > 0 ? y / trials : 0.0;
    w *= trials;
  }
  if (QMXObj::isDoubleNaN(y) || QMXObj::isDoubleNaN(w)) return QMXObj::getDoubleNaN();
  return rResidual(out.type, m.scaled, y, mu, w, dmudeta, m.residualModel);
}

int decimalWidth(long count) {
  int width = 1;
  for (long rest = count; rest >= 10; rest /= 10)
    ++width;
  return width;
}

}  // namespace

void QMXProcPredict::writeOutputData(const TMatrix<double>& prediction,
                                     const TMatrix<double>* weights, const TMatrix<double>* eta,
                                     const TMatrix<double>* derivative, bool scaled,
                                     const ResidualModel* residualModel) {
  QMXBufWriter* writer = getOutputBufWriter(0);
  if (writer == nullptr || writer->getBuf() == nullptr)
    QMX_ThrowException("No output buffer writer");
  QMXBufReader* reader = getInputBufReader(0);
  if (reader == nullptr || reader->getBuf() == nullptr) QMX_ThrowException("Invalid QMXBufReader");
  const long inputRows = std::min(reader->getRowsReady(), reader->getRequestRows());
  const long predicted = prediction.getNRow();
  const long missing = static_cast<long>(missingRows.size());
  if (inputRows != predicted + missing) {
    QMX_ThrowException(
        "number of rows in the input buffer %d does not equal the number of predicted values %d "
        "plus the number of missing values %d",
        static_cast<int>(inputRows), static_cast<int>(predicted), static_cast<int>(missing));
  }
  const QMXBuf& output = *writer->getBuf();
  if (output.getNumRows() < inputRows) {
    QMX_ThrowException(
        "number of rows in the output buffer %d is less that the number of rows in the input "
        "buffer %d",
        static_cast<int>(output.getNumRows()), static_cast<int>(inputRows));
  }
  // Every prediction matrix has one row per complete input row (their columns are read
  // through plain pointers below).
  for (const Matrix* m : {weights, eta, derivative})
    if (m != nullptr && m->getNRow() != predicted)
      QMX_ThrowException("a prediction matrix has %d rows for %d complete rows",
                         static_cast<int>(m->getNRow()), static_cast<int>(predicted));

  const ChunkMatrices matrices{prediction, weights, eta, derivative, scaled, residualModel};
  const ModelTerms& fit = getFit();
  const QMXBuf& input = *reader->getBuf();
  std::vector<BoundOutput> bound;
  bound.reserve(outputs_.size());
  for (std::size_t k = 0; k < outputs_.size(); ++k)
    bound.push_back(bindOutput(outputs_[k], fit, input, output, static_cast<int>(k), matrices));

  // Cluster numbers written as text are padded with zeros to the width of the largest one.
  char clusterFormat[16];
  std::snprintf(clusterFormat, sizeof clusterFormat, "%%0%dd", decimalWidth(clusterCount_));

  const double nan = QMXObj::getDoubleNaN();
  std::size_t nextMissing = 0;
  std::size_t nextExcluded = 0;
  long predRow = 0;
  for (long row = 0; row < inputRows; ++row) {
    while (nextMissing < missingRows.size() && missingRows[nextMissing] < row)
      ++nextMissing;
    while (nextExcluded < excludedRows.size() && excludedRows[nextExcluded] < row)
      ++nextExcluded;
    const bool isMissing = nextMissing < missingRows.size() && missingRows[nextMissing] == row;
    const bool isExcluded = nextExcluded < excludedRows.size() && excludedRows[nextExcluded] == row;
    if (isMissing || isExcluded) {
      // No prediction; the copied columns (a row's identifier) keep their values.
      for (std::size_t k = 0; k < bound.size(); ++k) {
        if (bound[k].type == PredictOutputType::kCopy)
          writer->copyBufData(row, static_cast<int>(k), *reader, row, bound[k].inputColumn);
        else
          writer->setDouble(row, static_cast<int>(k), nan);
      }
      // An excluded row is in the model matrix: its prediction row is skipped.
      if (!isMissing) ++predRow;
      continue;
    }
    for (std::size_t k = 0; k < bound.size(); ++k) {
      const BoundOutput& out = bound[k];
      const int col = static_cast<int>(k);
      switch (out.type) {
        case PredictOutputType::kCopy:
          writer->copyBufData(row, col, *reader, row, out.inputColumn);
          break;
        case PredictOutputType::kResidual: {
          const double observed = reader->getDouble(row, out.inputColumn);
          double residual = nan;
          if (!QMXObj::isDoubleNaN(observed)) {
            residual = observed - out.values[predRow];
            // The working residual of a model with a family: (y - mu) / (dmu/deta).
            if (scaled) residual /= out.derivatives[predRow];
          }
          writer->setDouble(row, col, residual);
          break;
        }
        case PredictOutputType::kResidualDefault:
        case PredictOutputType::kResidualResponse:
        case PredictOutputType::kResidualPearson:
        case PredictOutputType::kResidualDeviance:
        case PredictOutputType::kResidualWorking: {
          const double dmudeta = out.derivatives != nullptr ? out.derivatives[predRow] : 1.0;
          writer->setDouble(row, col,
                            rowResidual(*reader, row, out, out.values[predRow], dmudeta, matrices));
          break;
        }
        case PredictOutputType::kWeight: {
          double weight = out.values[predRow];
          // The weight the row carries in the fit: the working weight times its case weight.
          if (out.inputColumn >= 0) weight *= reader->getDouble(row, out.inputColumn);
          writer->setDouble(row, col, weight);
          break;
        }
        case PredictOutputType::kCategory:
        case PredictOutputType::kAgreement: {
          const long level = predictedLevel(prediction, predRow);
          if (level < 0) {
            writer->setDouble(row, col, nan);
            break;
          }
          const char* predictedName = out.response->level(level).c_str();
          if (out.type == PredictOutputType::kCategory) {
            writer->setConvertFactor(row, col, predictedName);
            break;
          }
          const char* observed = observedLevel(*reader, row, out);
          writer->setDouble(
              row, col,
              observed == nullptr ? nan : (std::strcmp(observed, predictedName) == 0 ? 1.0 : 0.0));
          break;
        }
        case PredictOutputType::kClusterMembership: {
          const double value = out.values[predRow];
          if (std::isnan(value)) {
            writer->setDouble(row, col, nan);
          } else if (out.text) {
            char text[32];
            std::snprintf(text, sizeof text, clusterFormat, static_cast<int>(std::lround(value)));
            writer->setConvertFactor(row, col, text);
          } else {
            writer->setDouble(row, col, static_cast<double>(std::lround(value)));
          }
          break;
        }
        default:
          // fitted.value, probability, eta and the other values read as they are.
          writer->setDouble(row, col, out.values[predRow]);
          break;
      }
    }
    ++predRow;
  }
}
