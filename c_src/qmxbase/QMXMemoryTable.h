// A whole data set in memory: a schema and all its rows in one column-major block. Used by
// tests of every proc, and by hosts that keep small results in memory.
//
// Building from C++:
//   QMXMemoryTable t;
//   t.addDoubleColumn("x", {1, 2, NAN}).addFactorColumn("g", {"a", "b", ""});
// In a factor column the empty text is missing; levels are those given, else the distinct
// texts in order of first appearance. Columns must all have the same number of rows.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "qmxbase/QMXColumnInfo.h"
#include "qmxbase/QMXRowBlock.h"

class QMXMemoryTable {
 public:
  QMXMemoryTable() = default;
  // An empty table (no rows) with these columns.
  explicit QMXMemoryTable(QMXSchema schema);

  QMXMemoryTable& addDoubleColumn(std::string name, std::vector<double> values);
  QMXMemoryTable& addFactorColumn(std::string name, const std::vector<std::string>& values,
                                  std::vector<std::string> levels = {});
  QMXMemoryTable& addStringColumn(std::string name, std::vector<std::string> values);

  const QMXSchema& schema() const { return schema_; }
  std::size_t numRows() const { return block_.rows; }
  int numColumns() const { return static_cast<int>(schema_.size()); }
  // Column number of `name`; -1 when absent.
  int columnIndex(const std::string& name) const;
  const QMXRowBlock& block() const { return block_; }

  // Cells: the double (or factor code; NaN missing), and the text (string cell, or level name
  // of a factor cell; "" when missing).
  double number(std::size_t row, int col) const;
  std::string text(std::size_t row, int col) const;
  // A whole column by name: numbers (factor codes for factor columns), or texts.
  std::vector<double> numbers(const std::string& name) const;
  std::vector<std::string> texts(const std::string& name) const;

  // Host side: replaces the schema keeping the rows (factor levels may grow), appends rows,
  // or empties the table.
  void setSchema(const QMXSchema& schema);
  void appendRows(const QMXRowBlock& from, std::size_t firstRow, std::size_t count);
  void clear();

 private:
  void addColumn(QMXColumnInfo info, std::size_t rows);

  QMXSchema schema_;
  QMXRowBlock block_;
};
