#include "qmxmisc/model/QMXProcModel.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/framework/QMXNaNExclude.h"
#include "qmxmisc/framework/QMXProcBoundary.h"

namespace {

[[noreturn]] void throwExtractFailure() {
  QMX_ThrowException("failed to extract all of the data from the buffer");
}

[[noreturn]] void throwUnknownResponseLevel(const FactorInfo& response, const char* level) {
  QMX_ThrowException("model object categorical variable %s does not have level %s",
                     response.name().c_str(), level);
}

bool hasLevel(const FactorInfo& factor, const char* label) {
  const String text(label);
  return std::any_of(factor.levels().begin(), factor.levels().end(),
                     [&](const String& level) { return level == text; });
}

}  // namespace

void QMXProcModel::eraseChunk() {
  modelMatrix.erase(true);
  response = DoubleMatrix();
  weights = DoubleMatrix();
  offset = DoubleMatrix();
}

void QMXProcModel::init() {
  modelMatrix.erase(false);
  response = DoubleMatrix();
  weights = DoubleMatrix();
  responseColumns.clear();
  termIndices.clear();
  rowsUsed = 0;
  rowsMissing = 0;
  passes_.reset();
  clearMessages();
  QMXProc::init();
  checkBufs(1, static_cast<int>(maxInputs), 0, 1);
  if (getError() != nullptr) {
    // The buffer-count error is set; done so that no chunk is ever read.
    setDone(1);
    return;
  }
  qmxBoundary(*this, initInternalErrorText_, kQMXRunBoundary, [&] { bindModel(); });
}

void QMXProcModel::bindModel() {
  const ModelTerms& model = getModel();
  QMXBuf* buffer = getInputBuf(0);
  if (buffer == nullptr) QMX_ThrowException("Bad input buffer");
  const long nResponse = model.nResponse();
  if (nResponse < 1) QMX_ThrowException("no dependent variables(s)");
  responseColumns.assign(static_cast<std::size_t>(nResponse), -1);

  for (int column = 0; column < buffer->getNumColumns(); ++column) {
    const char* name = buffer->getColumnName(column);
    if (name == nullptr) QMX_ThrowException("Bad input buffer");
    const bool categorical = buffer->columnTypeIsFactor(column);
    for (long k = 0; k < nResponse; ++k) {
      const FactorInfo& resp = model.response(k);
      if (!(resp.name() == String(name))) continue;
      responseColumns[static_cast<std::size_t>(k)] = column;
      const bool modelLevels = resp.length() > 0;
      if (!categorical && modelLevels) {
        QMX_ThrowException(
            "data buffer has variable %s marked as continuous but the model object does not", name);
      }
      if (categorical && !modelLevels) {
        QMX_ThrowException(
            "data buffer has variable %s marked as categorical but the model object does not",
            name);
      }
      if (!categorical) continue;
      if (k != 0)
        QMX_ThrowException(
            "cannot have multivariate models with factors as the dependent variable");
      const long bufferLevels = buffer->getNumLevels(column);
      if (bufferLevels != resp.length()) {
        QMX_ThrowException(
            "data buffer has %d categories for variable %s but the model object has %d",
            static_cast<int>(bufferLevels), name, static_cast<int>(resp.length()));
      }
      for (long level = 0; level < bufferLevels; ++level) {
        const char* label = buffer->getLevelName(column, level);
        if (label == nullptr || *label == '\0') continue;
        if (!hasLevel(resp, label)) throwUnknownResponseLevel(resp, label);
      }
    }
  }
  for (long k = 0; k < nResponse; ++k) {
    if (responseColumns[static_cast<std::size_t>(k)] == -1) {
      QMX_ThrowException("dependent variable %s specified in the model is not in the data buffer",
                         model.response(k).name().c_str());
    }
  }
  modelMatrix.setModel(model);
  modelMatrix.init(*buffer);
  passes_ = std::make_shared<DerivedVariablePasses>(model, *buffer);
  if (passes_->empty()) {
    passes_.reset();
    return;
  }
  if (preparedModel() == nullptr)
    QMX_ThrowException("factor() of a numeric column and poly() are not available in this fit");
  passes_->startPass();
}

bool QMXProcModel::prepareStep() {
  if (!passes_) return false;
  QMXBufReader* reader = getInputBufReader(0);
  if (reader == nullptr) QMX_ThrowException("Bad input buffer");
  const long ready = reader->getRowsReady();
  if (ready > 0) {
    QMXNaNExclude filter(*reader);
    setFilterVariables(filter);
    passes_->add(filter, *reader);
    reader->releaseRows(ready);
  }
  if (!reader->getEOF() || reader->getRowsReady() > 0) return true;
  if (passes_->endPass()) {
    ModelTerms& model = *preparedModel();
    passes_->apply(model);
    passes_.reset();
    modelMatrix.setModel(model);
    modelMatrix.init(*getInputBuf(0));
  } else {
    passes_->startPass();
  }
  reader->setChunkPosition(0);
  setRowsDone(0);
  reader->setRequestRows(getNumRows());
  return true;
}

void QMXProcModel::setFilterVariables(QMXFilterBufReader& filter) const {
  const ModelTerms& model = getModel();
  const strVector variables = model.inputColumns();
  if (filter.nVariables() == 0) {
    filter.setVariables(variables);
  } else {
    filter.addVariables(variables);
  }
  strVector responses;
  for (long k = 0; k < model.nResponse(); ++k)
    responses.push_back(model.response(k).name());
  filter.addVariables(responses);
  if (!model.weights().empty()) filter.addVariable(model.weights());
}

long QMXProcModel::getDataChunk() {
  QMXBufReader* reader = getInputBufReader(0);
  const long ready = reader == nullptr ? 0 : std::min(reader->getRowsReady(), getNumRows());
  if (ready < 1) {
    eraseChunk();
    return 0;
  }
  QMXNaNExclude filter(*reader);
  return getDataChunk(filter);
}

long QMXProcModel::getDataChunk(QMXFilterBufReader& filter) {
  const long ready = filter.rowsReady();
  if (!filter.valid() || ready < 1) {
    eraseChunk();
    return 0;
  }
  const ModelTerms& model = getModel();
  setFilterVariables(filter);

  const long n = modelMatrix.construct(filter);
  if (n == 0) {
    // Every ready row had a missing value: they all count as missing, nothing is used.
    response = DoubleMatrix();
    weights = DoubleMatrix();
    rowsMissing += ready;
    return 0;
  }
  readResponse(filter, n);
  if (!model.weights().empty()) readWeights(filter, n);
  offset = chunkOffset(model, filter, n);
  if (checkValues) checkChunkValues(n, rowsUsed + rowsMissing);
  rowsUsed += n;
  rowsMissing += ready - n;
  if (termIndices.empty()) termIndices = modelMatrix.termIndicies();
  return n;
}

void QMXProcModel::readResponse(QMXFilterBufReader& filter, long n) {
  const ModelTerms& model = getModel();
  const long nResponse = model.nResponse();
  const FactorInfo& first = model.response(0);
  if (first.length() == 0) {
    // Continuous responses: one column each, named after the response.
    response = DoubleMatrix(n, nResponse);
    strVector names;
    bool anyName = false;
    for (long k = 0; k < nResponse; ++k) {
      names.push_back(model.response(k).name());
      anyName = anyName || !model.response(k).name().empty();
    }
    if (anyName) response.setColNames(names);
    for (long k = 0; k < nResponse; ++k) {
      const int column = responseColumns[static_cast<std::size_t>(k)];
      if (filter.getDoubleArray(column, response.getPtr(0, k)) != n) throwExtractFailure();
    }
    return;
  }
  // A categorical response with L levels: L - 1 indicator columns, the last level all 0.
  const long levels = first.length();
  std::vector<const char*> labels(static_cast<std::size_t>(filter.rowsReady()), nullptr);
  if (filter.getCharArray(responseColumns[0], labels.data()) != n) throwExtractFailure();
  if (levels < 2) {
    response = DoubleMatrix();
  } else {
    response = DoubleMatrix(n, levels - 1);
    strVector names(first.levels().begin(), first.levels().begin() + (levels - 1));
    response.setColNames(names);
  }
  for (long row = 0; row < n; ++row) {
    const char* label = labels[static_cast<std::size_t>(row)];
    const String text(label);
    long level = -1;
    for (long u = 0; u < levels && level < 0; ++u)
      if (first.level(u) == text) level = u;
    if (level < 0) throwUnknownResponseLevel(first, text.c_str());
    if (level < levels - 1) response(row, level) = 1.0;
  }
}

void QMXProcModel::readWeights(QMXFilterBufReader& filter, long n) {
  const String& name = getModel().weights();
  weights = DoubleMatrix(n, 1);
  if (filter.getDoubleArray(name, weights.data()) != n) throwExtractFailure();
  const double* values = weights.constData();
  if (std::any_of(values, values + n, [](double w) { return w < 0.0; }))
    QMX_ThrowException("weight vector, %s, has negative values", name.c_str());
}
