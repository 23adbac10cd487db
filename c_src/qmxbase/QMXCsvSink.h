// Output rows written to a CSV file. The rows go to "<path>.tmp", which `commit` renames
// to <path>; `abandon`, or destruction without `commit`, removes the temporary file, so
// a failed run never leaves a file that looks finished. Format: a header line, numbers in
// the shortest text that reads back to the same double (QMXNumberText.h), missing values
// as NA, infinities as Inf and -Inf, factor cells as level text, and texts quoted (quotes
// doubled) when they hold the separator, a quote or a line end. When the host may use more
// than one thread (QMXReadThreads), the rows are formatted and written on a thread of their
// own while the next chunk is computed; a write that fails there fails the next `write` or
// the `commit`.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "qmxbase/QMXDataSink.h"
#include "qmxbase/QMXOrderedWorker.h"

class QMXCsvSink : public QMXDataSink {
 public:
  // Creates "<path>.tmp". Throws QMXDataError: "cannot create <path>.tmp: <reason>".
  explicit QMXCsvSink(std::string path, char separator = ',');
  // Writes to `file`, which the caller opened and closes (and renames, if it wants);
  // `name` names it in messages. `commit` flushes it.
  QMXCsvSink(std::FILE* file, std::string name, char separator = ',');
  ~QMXCsvSink() override;
  QMXCsvSink(const QMXCsvSink&) = delete;
  QMXCsvSink& operator=(const QMXCsvSink&) = delete;

  const std::string& path() const { return path_; }
  const std::string& tempPath() const { return tempPath_; }

  void begin(const QMXSchema& schema) override;
  void write(const QMXSchema& schema, const QMXRowBlock& block, std::size_t firstRow,
             std::size_t count) override;
  // Throws QMXDataError when a write, the close or the rename fails (disk full, ...);
  // the temporary file is then removed.
  void commit() override;
  void abandon() override;

 private:
  void checkLevels(const QMXSchema& schema, const QMXRowBlock& block, std::size_t firstRow,
                   std::size_t count) const;
  void format(const QMXRowBlock& block, std::size_t firstRow, std::size_t count);
  void appendText(std::string_view text);
  void appendNumber(double x);
  void flush();
  void closeAndRemove() noexcept;
  [[noreturn]] void failWrite(int error) const;

  std::string path_;
  std::string tempPath_;
  char separator_;
  std::FILE* file_ = nullptr;
  std::string pending_;  // formatted text not yet handed to the file
  bool committed_ = false;
  bool ownsFile_ = true;
  QMXSchema schema_;                          // of `begin`, which the rows follow
  std::unique_ptr<QMXOrderedWorker> worker_;  // formats the rows, when there is one
};
