// The element rules of ModelHandler: column definitions, levels, univariate statistics, and
// the assembly of responses, factors and terms table at the end of the document.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string_view>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/DerivedVariable.h"
#include "qmxmisc/model/ModelHandler.h"
#include "qmxmisc/model/ModelLimits.h"

namespace {

// Room reserved for the columns announced by fieldCount/numberOfFields is capped, so a
// hostile count cannot make the reader allocate more than the document actually holds.
constexpr long kMaxReservedColumns = 1024;

std::string_view trimmed(const char* text) {
  std::string_view view(text);
  const auto first = view.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = view.find_last_not_of(" \t\r\n");
  return view.substr(first, last - first + 1);
}

// The whole (trimmed) text as a decimal number, C-locale syntax.
bool parseDouble(const char* text, double& value) {
  const std::string_view view = trimmed(text);
  if (view.empty()) return false;
  const char* end = view.data() + view.size();
  const auto [ptr, ec] = std::from_chars(view.data(), end, value);
  return ec == std::errc() && ptr == end;
}

// The whole (trimmed) text as a decimal integer in [lo, hi].
bool parseInteger(const char* text, long lo, long hi, long& value) {
  const std::string_view view = trimmed(text);
  if (view.empty()) return false;
  const char* end = view.data() + view.size();
  const auto [ptr, ec] = std::from_chars(view.data(), end, value);
  return ec == std::errc() && ptr == end && value >= lo && value <= hi;
}

}  // namespace

long ModelHandler::findColumn(const char* name) const {
  const auto found = columnIndex_.find(name);
  return found == columnIndex_.end() ? -1 : found->second;
}

bool ModelHandler::isIndependent(const char* name) const {
  return independentSet_.count(name) != 0;
}

bool ModelHandler::hasCurrentColumn() const {
  return currentColumn_ >= 0 && currentColumn_ < static_cast<long>(columns_.size());
}

const char* ModelHandler::currentName() const {
  return columns_[static_cast<std::size_t>(currentColumn_)].name().c_str();
}

void ModelHandler::appendColumn(const char* name) {
  FactorInfo column;
  column.setName(name);
  columns_.push_back(std::move(column));
  ColumnRecord record;
  record.stats.fill(std::numeric_limits<double>::quiet_NaN());
  columnRecords_.push_back(std::move(record));
  currentColumn_ = static_cast<long>(columns_.size()) - 1;
  columnIndex_.emplace(name, currentColumn_);
}

void ModelHandler::startColumnDefinitions(xercesc::AttributeList& attributes) {
  setStateOn(XML_columnDefinitions);
  columns_.clear();
  columnIndex_.clear();
  columnRecords_.clear();
  pendingCounts_.clear();
  currentColumn_ = -1;
  if (getAttribute(attributes, "fieldCount") || getAttribute(attributes, "numberOfFields")) {
    long count = 0;
    if (!parseInteger(attribute(), 1, std::numeric_limits<std::int32_t>::max(), count)) {
      QMX_ThrowException("cad fieldCount or numberOfFields attribute in the %s element", element());
    }
    const auto room = static_cast<std::size_t>(std::min(count, kMaxReservedColumns));
    columns_.reserve(room);
    columnRecords_.reserve(room);
  }
}

void ModelHandler::startColumnInfo(xercesc::AttributeList& attributes) {
  setStateOn(XML_columnInfo);
  String name;
  if (!getAttribute(attributes, "name", name)) {
    QMX_ThrowException("bad name attribute in %s element", element());
  }
  if (getAttribute(attributes, "role") && std::string_view(attribute()) == "offset") {
    readOffset(attributes);
    return;
  }
  // A column read before keeps its place; the current column does not change.
  if (findColumn(name.c_str()) >= 0) return;
  appendColumn(name.c_str());
  if (!getAttribute(attributes, "role")) return;
  const std::string_view role(attribute());
  if (role == "independent") {
    independentNames_.push_back(name);
    independentSet_.insert(name.str());
    if (getAttribute(attributes, "expression")) readExpression(name);
  } else if (role == "dependent") {
    dependentNames_.push_back(name);
  } else if (role == "weights") {
    model().setWeights(name);
  }
}

void ModelHandler::readExpression(const String& name) {
  try {
    const DerivedVariable derived(attribute());
    if (derived.label() != name.str())
      QMX_ThrowException("the expression is %s, not %s", derived.label().c_str(), name.c_str());
  } catch (const QMXException& error) {
    QMX_ThrowException("column %s in the %s element: %s", name.c_str(), element(), error.what());
  }
  model().setExpression(name, attribute());
}

// An offset's expression is read as the inside of I().
void ModelHandler::readOffset(xercesc::AttributeList& attributes) {
  if (!getAttribute(attributes, "expression"))
    QMX_ThrowException("an offset in the %s element has no expression", element());
  const std::string expression(attribute());
  try {
    const DerivedVariable derived("I(" + expression + ")");
  } catch (const QMXException& error) {
    QMX_ThrowException("the offset in the %s element: %s", element(), error.what());
  }
  model().addOffset(expression);
}

void ModelHandler::startLevel(xercesc::AttributeList& attributes) {
  if (!getAttribute(attributes, "value")) {
    QMX_ThrowException("bad category level in %s element", element());
  }
  // A ColumnDefinitions nested inside the open ColumnInfo has emptied the columns: there is
  // no column for the level to go to.
  if (!hasCurrentColumn()) return;
  FactorInfo& column = columns_[static_cast<std::size_t>(currentColumn_)];
  const long levelIdx = column.length();
  if (levelIdx >= kMaxFactorLevels) {
    QMX_ThrowException("column %s has more than %ld levels in the %s element", currentName(),
                       kMaxFactorLevels, element());
  }
  // resize grows the label list geometrically (and counts, when present, with a 0).
  column.resize(levelIdx + 1);
  column.level(levelIdx) = String(attribute());
  columnRecords_[static_cast<std::size_t>(currentColumn_)].levelIndex.emplace(attribute(),
                                                                              levelIdx);
}

void ModelHandler::startUnivariateStats(xercesc::AttributeList& attributes) {
  setStateOn(XML_univariateStats);
  if (!getAttribute(attributes, "field") && !getAttribute(attributes, "name")) {
    QMX_ThrowException("no field or variable name in UnivariateStats element");
  }
  const long column = findColumn(attribute());
  if (column < 0) {
    QMX_ThrowException(
        "variable name %s in UnivariateStats element not defined in the ColumnDefinitions or "
        "DataDictionary",
        attribute());
  }
  currentColumn_ = column;
}

double ModelHandler::requiredNumber(xercesc::AttributeList& attributes, const char* name,
                                    const char* missingFormat) {
  double value = 0.0;
  if (!getAttribute(attributes, name) || !parseDouble(attribute(), value)) {
    QMX_ThrowException(missingFormat, currentName());
  }
  return value;
}

void ModelHandler::startNumericInfo(xercesc::AttributeList& attributes) {
  if (!isState(XML_univariateStats) || !hasCurrentColumn()) throwUnexpected();
  const double mean =
      requiredNumber(attributes, "mean", "no mean for variable %s in NumericInfo element");
  const double minimum =
      requiredNumber(attributes, "minimum", "no minimum for variable %s in NumericInfo element");
  const double maximum =
      requiredNumber(attributes, "maximum", "no maximum for variable %s in NumericInfo element");
  const double stdDev =
      requiredNumber(attributes, "standardDeviation",
                     "no standard deviation for variable %s in NumericInfo element");
  StatRow& stats = columnRecords_[static_cast<std::size_t>(currentColumn_)].stats;
  stats[kStatMean] = mean;
  stats[kStatMin] = minimum;
  stats[kStatMax] = maximum;
  stats[kStatStdDev] = stdDev;
}

void ModelHandler::startCounts(xercesc::AttributeList& attributes) {
  if (!isState(XML_univariateStats) || !hasCurrentColumn()) throwUnexpected();
  const double total =
      requiredNumber(attributes, "totalFreq", "no totalFreq for variable %s in Counts element");
  columnRecords_[static_cast<std::size_t>(currentColumn_)].stats[kStatTotalFreq] = total;
  if (columns_[static_cast<std::size_t>(currentColumn_)].length() > 0) setStateOn(XML_counts);
}

void ModelHandler::startCategory(xercesc::AttributeList& attributes) {
  if (!isState(XML_counts) || !hasCurrentColumn()) {
    QMX_ThrowException("Unexpected Category element");
  }
  const FactorInfo& column = columns_[static_cast<std::size_t>(currentColumn_)];
  ColumnRecord& record = columnRecords_[static_cast<std::size_t>(currentColumn_)];
  if (!getAttribute(attributes, "value")) {
    QMX_ThrowException("no value attribute for variable %s in Category element", currentName());
  }
  const auto level = record.levelIndex.find(attribute());
  if (level == record.levelIndex.end()) {
    QMX_ThrowException(
        "factor level %s was not specifed for variable %s in the ColumnDefinitions or "
        "DataDictionary",
        attribute(), currentName());
  }
  long freq = 0;
  if (!getAttribute(attributes, "freq") ||
      !parseInteger(attribute(), std::numeric_limits<std::int32_t>::min(),
                    std::numeric_limits<std::int32_t>::max(), freq)) {
    QMX_ThrowException("no freq attribute for variable %s in Category element", currentName());
  }
  record.counts.resize(static_cast<std::size_t>(column.length()), 0);
  record.counts[static_cast<std::size_t>(level->second)] = static_cast<std::int32_t>(freq);
  if (!record.countsPending) {
    record.countsPending = true;
    pendingCounts_.push_back(currentColumn_);
  }
}

void ModelHandler::syncAllCounts() {
  for (const long columnIdx : pendingCounts_) {
    if (columnIdx >= static_cast<long>(columns_.size())) continue;
    FactorInfo& column = columns_[static_cast<std::size_t>(columnIdx)];
    ColumnRecord& record = columnRecords_[static_cast<std::size_t>(columnIdx)];
    record.counts.resize(static_cast<std::size_t>(column.length()), 0);
    column.setCounts(record.counts);
    record.countsPending = false;
  }
  pendingCounts_.clear();
}

void ModelHandler::buildStatistics() {
  const long nColumns = static_cast<long>(columns_.size());
  if (nColumns == 0) {
    columnStats_ = DoubleMatrix();
    return;
  }
  DoubleMatrix stats(nColumns, static_cast<long>(kStatCount));
  strVector rowNames;
  rowNames.reserve(columns_.size());
  for (long columnIdx = 0; columnIdx < nColumns; ++columnIdx) {
    const auto& record = columnRecords_[static_cast<std::size_t>(columnIdx)];
    for (std::size_t statIdx = 0; statIdx < kStatCount; ++statIdx) {
      stats(columnIdx, static_cast<long>(statIdx)) = record.stats[statIdx];
    }
    rowNames.push_back(columns_[static_cast<std::size_t>(columnIdx)].name());
  }
  stats.setRowNames(rowNames);
  stats.setColNames(
      strVector{String("min"), String("max"), String("mean"), String("std.dev"), String("")});
  columnStats_ = stats;
}

void ModelHandler::assembleModel() {
  ModelTerms& target = model();
  for (std::size_t depIdx = 0; depIdx < dependentNames_.size(); ++depIdx) {
    const long column = findColumn(dependentNames_[depIdx].c_str());
    if (column < 0) {
      QMX_ThrowException(
          "dependent variable %s was not defined in the ColumnDefinitions or DataDictionary",
          dependentNames_[depIdx].c_str());
    }
    target.setResponse(columns_[static_cast<std::size_t>(column)], static_cast<long>(depIdx));
  }
  factVector factors;
  for (const String& name : independentNames_) {
    const long column = findColumn(name.c_str());
    if (column < 0) {
      QMX_ThrowException(
          "independent variable %s was not defined in the ColumnDefinitions or DataDictionary",
          name.c_str());
    }
    const FactorInfo& info = columns_[static_cast<std::size_t>(column)];
    if (info.length() > 0) factors.push_back(info);
  }
  if (independentNames_.empty()) return;
  target.setTermsTable(buildTermsTable());
  // Factors are set after the terms table: every factor must name one of its rows.
  if (!factors.empty()) target.setFactors(factors);
}

TMatrix<long> ModelHandler::buildTermsTable() const {
  const long nVariables = static_cast<long>(independentNames_.size());
  std::unordered_map<std::string, long> rowOf;
  for (long rowIdx = 0; rowIdx < nVariables; ++rowIdx) {
    rowOf.emplace(independentNames_[static_cast<std::size_t>(rowIdx)].str(), rowIdx);
  }
  // The mining schema's main-effect terms, when each names one of the independent variables;
  // otherwise one main-effect term per independent variable.
  bool fromSchema = !schemaTerms_.empty();
  for (const String& term : schemaTerms_) {
    if (rowOf.count(term.str()) == 0) fromSchema = false;
  }
  const strVector& termNames = fromSchema ? schemaTerms_ : independentNames_;
  const long nTerms = static_cast<long>(termNames.size());
  TMatrix<long> table(nVariables, nTerms);
  for (long termIdx = 0; termIdx < nTerms; ++termIdx) {
    const long rowIdx =
        fromSchema ? rowOf.at(termNames[static_cast<std::size_t>(termIdx)].str()) : termIdx;
    table(rowIdx, termIdx) = 1;
  }
  table.setRowNames(independentNames_);
  table.setColNames(termNames);
  return table;
}
