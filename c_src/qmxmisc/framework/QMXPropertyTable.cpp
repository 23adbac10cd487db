#include "qmxmisc/framework/QMXPropertyTable.h"

#include <set>
#include <utility>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/framework/QMXProcBoundary.h"

const char* qmxPropertyTypeName(QMXPropertyType type) {
  switch (type) {
    case QMXPropertyType::Action:
      return "action";
    case QMXPropertyType::Long:
      return "long";
    case QMXPropertyType::LongLong:
      return "long long";
    case QMXPropertyType::Double:
      return "double";
    case QMXPropertyType::Bool:
      return "bool";
    case QMXPropertyType::String:
      return "string";
    case QMXPropertyType::Values:
      return "values";
  }
  return "unknown";
}

QMXPropertyTable::QMXPropertyTable(const QMXPropertyTable* base, Boundary boundary,
                                   std::vector<Row> rows)
    : base_(base), boundary_(boundary), rows_(std::move(rows)) {}

QMXPropertyTable::Found QMXPropertyTable::find(const QMXPropertyInfo& prop,
                                               QMXPropertyDirection direction) const {
  for (const QMXPropertyTable* table = this; table != nullptr; table = table->base_) {
    for (const Row& row : table->rows_) {
      const Access& access = direction == QMXPropertyDirection::Set ? row.set : row.get;
      if (access && prop.isName(row.name.c_str())) return Found{&row, table};
    }
  }
  return Found{};
}

void QMXPropertyTable::set(QMXProc& proc, QMXPropertyInfo* prop) const {
  dispatch(proc, prop, QMXPropertyDirection::Set);
}

void QMXPropertyTable::get(QMXProc& proc, QMXPropertyInfo* prop) const {
  dispatch(proc, prop, QMXPropertyDirection::Get);
}

void QMXPropertyTable::dispatch(QMXProc& proc, QMXPropertyInfo* prop,
                                QMXPropertyDirection direction) const {
  if (prop == nullptr) return;
  const bool setting = direction == QMXPropertyDirection::Set;
  const Found found = find(*prop, direction);
  if (found.row == nullptr) {
    if (setting) {
      proc.QMXProc::setProperty(prop);
    } else {
      proc.QMXProc::getProperty(prop);
    }
    return;
  }
  const Boundary& boundary = found.table->boundary_;
  const char* fixed = setting ? boundary.setFixedMessage : boundary.getFixedMessage;
  const Access& access = setting ? found.row->set : found.row->get;
  qmxBoundary(proc, fixed, kQMXPropertyBoundary, [&] {
    if (!boundary.libraryErrorsSetError) return access(proc, *prop);
    try {
      access(proc, *prop);
    } catch (const QMXException& e) {
      proc.setError(e.message() != nullptr ? e.message() : fixed);
    }
  });
}

std::vector<const QMXPropertyTable::Row*> QMXPropertyTable::allRows() const {
  std::vector<const Row*> rows;
  std::set<std::string> seen;
  for (const QMXPropertyTable* table = this; table != nullptr; table = table->base_) {
    for (const Row& row : table->rows_)
      if (seen.insert(row.name).second) rows.push_back(&row);
  }
  return rows;
}

namespace {

std::map<std::string, QMXPropertyTable::Accessor>& registry() {
  static std::map<std::string, QMXPropertyTable::Accessor> tables;
  return tables;
}

}  // namespace

const std::map<std::string, QMXPropertyTable::Accessor>& QMXPropertyTable::registered() {
  return registry();
}

bool QMXPropertyTable::registerClass(const char* className, Accessor accessor) {
  return registry().emplace(className, accessor).second;
}
