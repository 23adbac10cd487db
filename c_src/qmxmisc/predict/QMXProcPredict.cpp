// QMXProcPredict lifecycle: init, isReady, valid, release, the chunk loop of execute and the
// model matrix of each chunk.
#include "qmxmisc/predict/QMXProcPredict.h"

#include <cstdio>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/framework/QMXNaNExclude.h"
#include "qmxmisc/framework/QMXProcBoundary.h"
#include "qmxmisc/model/QMXProcModel.h"
#include "qmxmisc/predict/QMXProcPredictInternal.h"

using predict_detail::kInternalErrorText;

void QMXProcPredict::init() {
  QMXProc::init();
  // Scoring reads one input and writes at most one output; C generation touches no buffer.
  if (cGeneratorRequested_) {
    checkBufs(0, 0, 0, 0);
  } else {
    checkBufs(1, 1, 0, 1);
  }
  if (getError() != nullptr) {
    setDone(1);
    return;
  }
  firstTermIndicies.clear();
  missingRows.clear();
  excludedRows.clear();
  missingRowTotal_ = 0;
  unknownLevelRows_ = 0;
  firstUnknownLevel_.clear();
  chunkStart_ = 0;
  if (!qmxBoundary(*this, kInternalErrorText, kQMXRunBoundary, [&] { prepare(); })) release();
}

void QMXProcPredict::prepare() {
  release();
  if (!valid()) QMX_ThrowException("Invalid fit object");
  if (cGeneratorRequested_) return;
  QMXBuf* buffer = getInputBuf(0);
  if (buffer == nullptr || buffer->getNumRows() < 1 || buffer->getNumColumns() < 1)
    QMX_ThrowException("Invalid number of rows and/or columns the input buffer");
  // Scoring data may hold levels the fit never saw: they are found row by row in
  // construct (and replaced through the unknown-level map) rather than refused here.
  modelMatrix.setModel(getFit());
  modelMatrix.setValidateFactorLevels(false);
  modelMatrix.init(*buffer);
  modelMatrix.setUnknownLevelMap(&unknownLevelView_);
}

bool QMXProcPredict::isReady() {
  if (!valid()) return false;
  return QMXProc::isReady();
}

bool QMXProcPredict::valid() const {
  return getFit().valid(false);
}

void QMXProcPredict::release() {
  modelMatrix.erase();
  modelMatrix.setUnknownLevelMap(nullptr);
  columnData_.clear();
}

void QMXProcPredict::generatePredictCSource() {}

void QMXProcPredict::execute() {
  if (!qmxBoundary(*this, kInternalErrorText, kQMXRunBoundary, [&] { runChunk(); })) release();
}

void QMXProcPredict::runChunk() {
  if (cGeneratorRequested_) {
    if (cSourceDirectory_.empty() || cDistributionDirectory_.empty()) {
      addError("Cannot generate C Code without source and distribution directories set.");
    } else {
      generatePredictCSource();
      cSourceDirectory_ = String();
      cDistributionDirectory_ = String();
    }
    setDone(1);
    return;
  }
  const long rows = executeRequestRows();
  if (rows > 0) processChunk();
  executeReleaseRows(rows);
  if (rows > 0) chunkStart_ += rows;
  // No ready row and the input is over: nothing more can come.
  if (rows < 0) setDone(1);
  if (!isDone()) return;
  if (missingRowTotal_ > 0) {
    char text[96];
    std::snprintf(text, sizeof text, "data set has %d rows with one or more missing values",
                  static_cast<int>(missingRowTotal_));
    addInformation(text);
  }
  reportUnknownLevels();
  release();
}

long QMXProcPredict::getDataChunk() {
  QMXBufReader* reader = getInputBufReader(0);
  QMXNaNExclude filter;
  if (reader != nullptr) filter = *reader;
  return getDataChunk(filter);
}

long QMXProcPredict::getDataChunk(QMXFilterBufReader& reader) {
  modelMatrix.erase(true);
  missingRows.clear();
  excludedRows.clear();
  const ModelTerms& fit = getFit();
  reader.setVariables(fit.inputColumns());
  const long n = modelMatrix.construct(reader);
  offset = n > 0 ? chunkOffset(fit, reader, n) : DoubleMatrix();
  missingRows = modelMatrix.rowsExcluded();
  excludedRows = modelMatrix.undefFactorIndex();
  noteUnknownLevels();
  missingRowTotal_ += static_cast<std::int64_t>(missingRows.size());
  if (n > 0) {
    // The column layout is a function of the model alone; a different one means the
    // prediction columns no longer line up with the coefficients.
    if (firstTermIndicies.empty()) {
      firstTermIndicies = modelMatrix.termIndicies();
    } else if (!(firstTermIndicies == modelMatrix.termIndicies())) {
      QMX_ThrowException("model matrix term indicies are not consistant between data blocks");
    }
  }
  return n;
}

const char* QMXProcPredict::keepColumnString(const char* text) {
  columnData_.emplace_back(text);
  return columnData_.back().get();
}
