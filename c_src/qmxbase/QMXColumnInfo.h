// The description of one column of a data set or buffer: its name, its type and, for a
// factor column, its level names. Factor levels are numbered 0..L-1 in the order of
// `levels`; a missing level is QMXObj::getLevelNumNA() (-1).
#pragma once

#include <string>
#include <vector>

enum class QMXColumnType : int { Double = 0, Factor = 1, String = 2 };

struct QMXColumnInfo {
  std::string name;
  QMXColumnType type = QMXColumnType::Double;
  std::vector<std::string> levels;  // factor columns only

  bool operator==(const QMXColumnInfo&) const = default;
};

using QMXSchema = std::vector<QMXColumnInfo>;

// The type's name as the CLI and messages print it: "double", "factor" or "string".
constexpr const char* QMXColumnTypeName(QMXColumnType type) {
  switch (type) {
    case QMXColumnType::Double:
      return "double";
    case QMXColumnType::Factor:
      return "factor";
    case QMXColumnType::String:
      return "string";
  }
  return "?";
}
