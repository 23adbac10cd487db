// The properties a proc answers, declared as a table: one row per property with its name,
// value type, reader (get), writer (set) and a one-line effect text. A derived proc's table
// names its base proc's table; its rows come first, so a row may shadow a base row of the
// same name (for the direction it supports).
//
//   const QMXPropertyTable& QMXProcFoo::properties() {
//     using Rows = QMXPropertyRows<QMXProcFoo>;
//     static const QMXPropertyTable table(
//         nullptr, {"internal error in foo", "internal error in foo"},
//         {Rows::row("max.size", QMXPropertyType::Long, "largest size kept",
//                    [](QMXProcFoo& p, QMXPropertyInfo& v) { v.setLong(p.maxSize_); },
//                    [](QMXProcFoo& p, QMXPropertyInfo& v) { p.maxSize_ = v.getLong(); })});
//     return table;
//   }
//   void QMXProcFoo::setProperty(QMXPropertyInfo* prop) { properties().set(*this, prop); }
//   QMX_REGISTER_PROPERTIES(QMXProcFoo, QMXProcFoo::properties)
//
// A name without a row for the direction asked goes to QMXProc (which reports
// "unknown property <name>"); a null request does nothing. A row's reader or writer runs
// inside qmxBoundary with the fixed text of the table that declares the row.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "qmxbase/QMXProc.h"
#include "qmxbase/QMXPropertyInfo.h"

// The value a property takes (set) or answers (get). Values: a chain of several values
// (described by the effect text); Action: no value.
enum class QMXPropertyType { Action, Long, LongLong, Double, Bool, String, Values };

// "action", "long", "long long", "double", "bool", "string", "values".
const char* qmxPropertyTypeName(QMXPropertyType type);

enum class QMXPropertyDirection { Get, Set };

class QMXPropertyTable {
 public:
  using Access = std::function<void(QMXProc&, QMXPropertyInfo&)>;

  struct Row {
    std::string name;
    QMXPropertyType type = QMXPropertyType::Action;
    std::string effect;
    Access get;  // empty: the property cannot be read
    Access set;  // empty: the property cannot be set
  };

  // How a failing reader or writer of this table's rows is reported: the fixed texts for an
  // exception that is not a QMXException (setting, getting), and whether a QMXException's
  // message is set as the proc's error (true) or added as an error (false).
  struct Boundary {
    const char* setFixedMessage;
    const char* getFixedMessage;
    bool libraryErrorsSetError = false;
  };

  // `base` (may be null) must outlive this table.
  QMXPropertyTable(const QMXPropertyTable* base, Boundary boundary, std::vector<Row> rows);

  // The request's property for `direction`: this table's rows in order, then the base's.
  // `table` is the table declaring the row; both null when no row answers.
  struct Found {
    const Row* row = nullptr;
    const QMXPropertyTable* table = nullptr;
  };
  Found find(const QMXPropertyInfo& prop, QMXPropertyDirection direction) const;

  // The host's setProperty/getProperty for `proc` (an object of the table's proc class).
  void set(QMXProc& proc, QMXPropertyInfo* prop) const;
  void get(QMXProc& proc, QMXPropertyInfo* prop) const;

  // This table's own rows in declaration order, and the table it extends.
  const std::vector<Row>& ownRows() const { return rows_; }
  const QMXPropertyTable* base() const { return base_; }
  // Every property of the class: own rows, then the base's rows not shadowed by name.
  std::vector<const Row*> allRows() const;

  // The tables registered with QMX_REGISTER_PROPERTIES, by proc class name.
  using Accessor = const QMXPropertyTable& (*)();
  static const std::map<std::string, Accessor>& registered();
  static bool registerClass(const char* className, Accessor accessor);

 private:
  void dispatch(QMXProc& proc, QMXPropertyInfo* prop, QMXPropertyDirection direction) const;

  const QMXPropertyTable* base_;
  Boundary boundary_;
  std::vector<Row> rows_;
};

// Builds the rows of a table for proc class Proc: the reader and writer take the proc as
// Proc& (capture-free lambdas declared in a member function may use its private members).
template <class Proc>
struct QMXPropertyRows {
  using Fn = void (*)(Proc&, QMXPropertyInfo&);

  static QMXPropertyTable::Row row(const char* name, QMXPropertyType type, const char* effect,
                                   Fn get, Fn set) {
    return QMXPropertyTable::Row{name, type, effect, wrap(get), wrap(set)};
  }

 private:
  static QMXPropertyTable::Access wrap(Fn fn) {
    if (fn == nullptr) return {};
    return [fn](QMXProc& proc, QMXPropertyInfo& prop) { fn(static_cast<Proc&>(proc), prop); };
  }
};

// Makes the table of proc class Class known under its name (for enumeration).
#define QMX_REGISTER_PROPERTIES(Class, accessor)                      \
  [[maybe_unused]] static const bool qmxPropertiesRegistered##Class = \
      QMXPropertyTable::registerClass(#Class, &accessor);
