#include "ModelSpecSupport.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

#include "Commands.h"

namespace {

// Removes the temporary file unless the write completed and renamed it.
class TempFileGuard {
 public:
  explicit TempFileGuard(std::string path) : path_(std::move(path)) {}
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;
  ~TempFileGuard() {
    if (!path_.empty()) std::remove(path_.c_str());
  }
  void release() { path_.clear(); }

 private:
  std::string path_;
};

}  // namespace

std::vector<DataColumn> dataColumns(const QMXCsvMetadata& meta) {
  std::vector<DataColumn> columns;
  for (const QMXCsvColumnSummary& summary : meta.columns) {
    DataColumn column;
    column.name = summary.info.name;
    switch (summary.info.type) {
      case QMXColumnType::Double:
        column.kind = DataColumnKind::kNumeric;
        break;
      case QMXColumnType::Factor:
        column.kind = DataColumnKind::kFactor;
        break;
      case QMXColumnType::String:
        column.kind = DataColumnKind::kText;
        break;
    }
    column.levels = summary.info.levels;
    column.levelCounts = summary.levelCounts;
    column.count = summary.count;
    column.min = summary.min;
    column.max = summary.max;
    column.mean = summary.mean;
    column.sd = summary.sd;
    columns.push_back(std::move(column));
  }
  return columns;
}

std::string putSecondLevelFirst(std::vector<DataColumn>& columns, const std::string& response) {
  for (DataColumn& column : columns) {
    if (column.name != response || column.kind != DataColumnKind::kFactor ||
        column.levels.size() != 2)
      continue;
    std::swap(column.levels[0], column.levels[1]);
    if (column.levelCounts.size() == 2) std::swap(column.levelCounts[0], column.levelCounts[1]);
    return column.levels[0];
  }
  return "";
}

void writeFileAtomically(const std::string& output,
                         const std::function<bool(std::ostream&)>& write) {
  const std::string temp = output + ".tmp";
  TempFileGuard guard(temp);
  std::ofstream out(temp, std::ios::binary | std::ios::trunc);
  if (!out) throw CommandError("cannot write " + temp + ": " + std::strerror(errno));
  const bool written = write(out);
  out.close();
  if (!written || out.fail()) throw CommandError("cannot write " + temp + ": write failed");
  if (std::rename(temp.c_str(), output.c_str()) != 0)
    throw CommandError("cannot rename " + temp + " to " + output + ": " + std::strerror(errno));
  guard.release();
}
