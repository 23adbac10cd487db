#include "qmxbase/QMXProc.h"

#include <algorithm>
#include <string>

namespace {

std::string countText(int count, const char* what) {
  return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// "this proc takes 1 input buffer, 0 were attached" and the like.
std::string bufferCountMessage(const char* what, int minCount, int maxCount, int actual) {
  std::string message = "this proc takes ";
  if (minCount == maxCount)
    message += countText(minCount, what);
  else
    message += std::to_string(minCount) + " to " + countText(maxCount, what);
  message += ", " + std::to_string(actual) + (actual == 1 ? " was" : " were") + " attached";
  return message;
}

}  // namespace

void QMXProc::init() {
  clearMessages();
  done_ = false;
  executeCount_ = 0;
  rowsDone_ = 0;
  outputRowsDone_ = 0;
}

void QMXProc::setProperty(QMXPropertyInfo* prop) {
  if (!prop) return;
  addError(("unknown property " + prop->name()).c_str());
}

void QMXProc::getProperty(QMXPropertyInfo* prop) {
  if (!prop) return;
  addError(("unknown property " + prop->name()).c_str());
}

void QMXProc::execute() {}

bool QMXProc::isReady() {
  return getError() == nullptr;
}

void QMXProc::setDone(int done) {
  done_ = done != 0;
}

bool QMXProc::isDone() const {
  return done_;
}

long QMXProc::getExecuteCount() const {
  return executeCount_;
}

void QMXProc::setExecuteCount(long count) {
  executeCount_ = count;
}

std::int64_t QMXProc::getRowsDone() const {
  return rowsDone_;
}

void QMXProc::setRowsDone(std::int64_t rows) {
  rowsDone_ = rows;
}

void QMXProc::incrementRowsDone(std::int64_t rows) {
  rowsDone_ += rows;
}

void QMXProc::setNumRows(long rows) {
  numRows_ = rows;
}

long QMXProc::getNumRows() const {
  return numRows_;
}

std::int64_t QMXProc::getOutputRowsDone() const {
  return outputRowsDone_;
}

void QMXProc::setOutputRowsDone(std::int64_t rows) {
  outputRowsDone_ = rows;
}

long QMXProc::executeRequestRows() {
  QMXBufReader* reader = getInputBufReader(0);
  if (!reader || reader->exhausted()) return -1;
  return std::min(reader->getRowsReady(), reader->getRequestRows());
}

void QMXProc::executeReleaseRows(long inRows, long outRows) {
  QMXBufReader* reader = getInputBufReader(0);
  if (reader && inRows > 0) {
    reader->releaseRows(inRows);
    incrementRowsDone(inRows);
  }
  if (outRows > 0) {
    if (QMXBufWriter* writer = getOutputBufWriter(0)) {
      writer->releaseRows(outRows);
      outputRowsDone_ += outRows;
    } else {
      setError("executeReleaseRows: output rows released but the proc has no output buffer",
               outRows);
    }
  }
  if (reader && reader->exhausted()) setDone(1);
}

void QMXProc::executeReleaseRows(long rows) {
  executeReleaseRows(rows, rows);
}

int QMXProc::checkBufs(int minInputs, int maxInputs, int minOutputs, int maxOutputs) {
  const int inputs = getNumInputs();
  const int outputs = getNumOutputs();
  if (inputs < minInputs || inputs > maxInputs) {
    setError(bufferCountMessage("input buffer", minInputs, maxInputs, inputs).c_str());
    return -1;
  }
  if (outputs < minOutputs || outputs > maxOutputs) {
    setError(bufferCountMessage("output buffer", minOutputs, maxOutputs, outputs).c_str());
    return -1;
  }
  return 0;
}

int QMXProc::checkBufs(int numInputs, int numOutputs) {
  return checkBufs(numInputs, numInputs, numOutputs, numOutputs);
}

QMXBufReader* QMXProc::getInputBufReader(int i) const {
  return i >= 0 && i < getNumInputs() ? inputs_[i] : nullptr;
}

QMXBufWriter* QMXProc::getOutputBufWriter(int i) const {
  return i >= 0 && i < getNumOutputs() ? outputs_[i] : nullptr;
}

QMXBuf* QMXProc::getInputBuf(int i) const {
  QMXBufReader* reader = getInputBufReader(i);
  return reader ? reader->getBuf() : nullptr;
}

QMXBuf* QMXProc::getOutputBuf(int i) const {
  QMXBufWriter* writer = getOutputBufWriter(i);
  return writer ? writer->getBuf() : nullptr;
}

void QMXProc::doCallback() {
  if (!progress_) return;
  QMXBufReader* reader = getInputBufReader(0);
  progress_(getRowsDone(), reader ? reader->getTotalNumRows() : -1);
}

void QMXProc::detachBuffers() {
  inputs_.clear();
  outputs_.clear();
}
