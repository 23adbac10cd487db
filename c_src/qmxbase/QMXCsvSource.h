// A CSV file as a data source: read chunk by chunk, any number of passes, with the
// schema and row count from a metadata pass (QMXCsvMetadata). Double columns hold numbers
// (NaN for missing), factor columns level numbers in the metadata's level order, string
// columns their texts. When the metadata pass kept the parsed cells (QMXCsvMetadata::spill,
// same path and options) and they can serve the schema, the rows come from them and the
// text is not read again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qmxbase/QMXCsvMetadata.h"
#include "qmxbase/QMXCsvOptions.h"
#include "qmxbase/QMXCsvRecords.h"
#include "qmxbase/QMXCsvSpillReader.h"
#include "qmxbase/QMXCsvTextMap.h"
#include "qmxbase/QMXDataSource.h"

class QMXCsvSource : public QMXDataSource {
 public:
  // Runs the metadata pass itself (keeping the parsed cells), then serves the rows.
  explicit QMXCsvSource(const std::string& path, const QMXCsvOptions& options = {});
  // Uses metadata from an earlier scanCsvMetadata of the same file with the same options.
  // Throws QMXDataError when the header disagrees with it.
  QMXCsvSource(const std::string& path, QMXCsvMetadata metadata, const QMXCsvOptions& options = {});

  const QMXCsvMetadata& metadata() const { return metadata_; }

  const QMXSchema& schema() const override { return schema_; }
  std::int64_t totalRows() const override { return metadata_.rows; }
  // Throws QMXDataError naming file and line: a field count that differs from the
  // header's, a field of a Double column that is not a number (unless the metadata made
  // the column Double with readAsNumbers: the field is then missing), a factor level the
  // metadata pass did not see, a quoted field left open, or a row count that differs
  // from the metadata's (the file changed since it was scanned), "not enough memory".
  std::size_t read(std::size_t maxRows, QMXRowBlock& block) override;
  bool atEnd() const override { return rowsRead_ >= metadata_.rows; }
  void rewind() override;
  const char* describe() const override { return metadata_.path.c_str(); }

 private:
  std::size_t readRows(std::size_t maxRows, QMXRowBlock& block);
  void checkHeader() const;
  void appendRecord(QMXRowBlock& block);
  void checkNoMoreRows();

  QMXCsvMetadata metadata_;
  QMXSchema schema_;
  std::unique_ptr<QMXCsvRecords> records_;  // null when reading the spill
  std::unique_ptr<QMXCsvSpillReader> spillReader_;
  std::vector<QMXCsvTextMap<double>> levelCodes_;  // per column; empty unless Factor
  std::vector<bool> notNumbersMissing_;            // per column: read non-numbers as NaN
  std::int64_t rowsRead_ = 0;
};
