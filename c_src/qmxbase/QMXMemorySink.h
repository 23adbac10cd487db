// A data sink into a QMXMemoryTable that it owns. The state records how the run ended:
// rows are only final after commit; abandon empties the table.
#pragma once

#include "qmxbase/QMXDataSink.h"
#include "qmxbase/QMXMemoryTable.h"

enum class QMXSinkState : int { Idle = 0, Writing = 1, Committed = 2, Abandoned = 3 };

class QMXMemorySink : public QMXDataSink {
 public:
  void begin(const QMXSchema& schema) override;
  void write(const QMXSchema& schema, const QMXRowBlock& block, std::size_t firstRow,
             std::size_t count) override;
  void commit() override;
  void abandon() override;

  const QMXMemoryTable& table() const { return table_; }
  QMXSinkState state() const { return state_; }

 private:
  QMXMemoryTable table_;
  QMXSinkState state_ = QMXSinkState::Idle;
};
