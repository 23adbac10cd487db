#include "qmxmisc/framework/QMXProcCatalog.h"

#include <string>

#include "qmxmisc/framework/QMXPropertyTable.h"

namespace {

thread_local std::string answer;

}  // namespace

extern "C" __attribute__((visibility("default"))) const char* qmx_s_proc_classes() {
  try {
    answer.clear();
    for (const auto& [className, accessor] : QMXPropertyTable::registered())
      answer += className + "\n";
  } catch (...) {
    answer.clear();
  }
  return answer.c_str();
}

extern "C" __attribute__((visibility("default"))) const char* qmx_s_proc_properties(
    const char* className) {
  try {
    const auto& tables = QMXPropertyTable::registered();
    const auto found = className != nullptr ? tables.find(className) : tables.end();
    if (found == tables.end()) return nullptr;
    answer.clear();
    for (const QMXPropertyTable::Row* row : found->second().allRows()) {
      const std::string access = std::string(row->get ? "get" : "") +
                                 (row->get && row->set ? "," : "") + (row->set ? "set" : "");
      answer += row->name + "\t" + qmxPropertyTypeName(row->type) + "\t" + access + "\t" +
                row->effect + "\n";
    }
    return answer.c_str();
  } catch (...) {
    return nullptr;
  }
}
