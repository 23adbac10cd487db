#include "qmxbase/QMXMemorySink.h"

void QMXMemorySink::begin(const QMXSchema& schema) {
  table_ = QMXMemoryTable(schema);
  state_ = QMXSinkState::Writing;
}

void QMXMemorySink::write(const QMXSchema& schema, const QMXRowBlock& block, std::size_t firstRow,
                          std::size_t count) {
  table_.setSchema(schema);
  table_.appendRows(block, firstRow, count);
}

void QMXMemorySink::commit() {
  state_ = QMXSinkState::Committed;
}

void QMXMemorySink::abandon() {
  table_.clear();
  state_ = QMXSinkState::Abandoned;
}
