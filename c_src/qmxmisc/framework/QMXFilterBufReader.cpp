#include "qmxmisc/framework/QMXFilterBufReader.h"

#include <algorithm>

#include "qmxmisc/base/QMXException.h"

QMXFilterBufReader::QMXFilterBufReader(const QMXBufReader& reader)
    : reader_(const_cast<QMXBufReader*>(&reader)) {}

QMXFilterBufReader& QMXFilterBufReader::operator=(const QMXBufReader& reader) {
  reader_ = const_cast<QMXBufReader*>(&reader);
  resetRows();  // the exclusions and sample belonged to the old chunk
  return *this;
}

bool QMXFilterBufReader::valid() const {
  return reader_ != nullptr && reader_->getBuf() != nullptr;
}

void QMXFilterBufReader::validate() const {
  if (!valid()) QMX_ThrowException("Invalid QMXBufReader");
}

QMXBufReader& QMXFilterBufReader::reader() const {
  validate();
  return *reader_;
}

QMXBuf& QMXFilterBufReader::buffer() const {
  validate();
  return *reader_->getBuf();
}

bool QMXFilterBufReader::isVariable(const String& name) const {
  return std::find(variables_.begin(), variables_.end(), name) != variables_.end();
}

void QMXFilterBufReader::resetRows() {
  exclusionState_ = -1;
  rowsExcluded_.clear();
  rowIndex_.clear();
}

long QMXFilterBufReader::setVariables(const strVector& names) {
  variables_.clear();
  columns_.clear();
  return addVariables(names);
}

long QMXFilterBufReader::addVariable(const String& name) {
  validate();
  if (isVariable(name)) return nVariables();
  resetRows();
  const QMXBuf& buf = buffer();
  for (int c = 0; c < buf.getNumColumns(); ++c) {
    const char* columnName = buf.getColumnName(c);
    if (columnName != nullptr && name == String(columnName)) {
      columns_.push_back(static_cast<std::uint32_t>(c));
      variables_.push_back(name);
      break;
    }
  }
  return nVariables();
}

long QMXFilterBufReader::addVariables(const strVector& names) {
  if (names.empty()) return nVariables();
  validate();
  resetRows();
  const QMXBuf& buf = buffer();
  for (int c = 0; c < buf.getNumColumns(); ++c) {
    const char* columnName = buf.getColumnName(c);
    if (columnName == nullptr || columnName[0] == '\0') continue;
    const String name(columnName);
    if (std::find(names.begin(), names.end(), name) == names.end() || isVariable(name)) continue;
    columns_.push_back(static_cast<std::uint32_t>(c));
    variables_.push_back(name);
  }
  return nVariables();
}

long QMXFilterBufReader::rowsReady() const {
  if (!valid()) return 0;
  return std::min(reader_->getRowsReady(), reader_->getRequestRows());
}

long QMXFilterBufReader::N() const {
  if (!rowIndex_.empty()) return static_cast<long>(rowIndex_.size());
  return rowsReady() - nExcluded();
}
