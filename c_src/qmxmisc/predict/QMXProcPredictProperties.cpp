// QMXProcPredict properties: the model text, output definitions, the C generator switch, the
// unknown-level map and the stored "iglm.*" texts; a name that is none of them goes to
// QMXProc. Also the output definitions and the unknown-level map themselves.
#include <cstdint>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/framework/QMXProcBoundary.h"
#include "qmxmisc/framework/QMXPropertyTable.h"
#include "qmxmisc/predict/QMXProcPredict.h"
#include "qmxmisc/predict/QMXProcPredictInternal.h"

using predict_detail::kInternalErrorText;

namespace {

// The value after `prop` in its chain, or null.
QMXPropertyInfo* nextValue(QMXPropertyInfo* prop) {
  return prop != nullptr ? prop->getNext() : nullptr;
}

const char* stringOf(QMXPropertyInfo* value) {
  return value != nullptr ? value->getString() : nullptr;
}

}  // namespace

const QMXPropertyTable& QMXProcPredict::properties() {
  using Rows = QMXPropertyRows<QMXProcPredict>;
  using Type = QMXPropertyType;
  using Info = QMXPropertyInfo;
  static const QMXPropertyTable table(
      nullptr, {kInternalErrorText, kInternalErrorText},
      {
          Rows::row("model.xml", Type::String, "the model document to score with", nullptr,
                    [](QMXProcPredict& p, Info& v) { p.setXML(v.getString()); }),
          Rows::row("clear.outputs", Type::Action, "forgets the output definitions", nullptr,
                    [](QMXProcPredict& p, Info&) { p.clearOutputs(); }),
          // An output definition that fails is set as the proc's error.
          Rows::row("define.output", Type::Values,
                    "adds an output column: response or column index, output type, variable name",
                    nullptr,
                    [](QMXProcPredict& p, Info& v) {
                      qmxBoundary(p, kInternalErrorText, kQMXPropertyBoundarySetError, [&] {
                        const long index = v.getLong();
                        QMXPropertyInfo* type = nextValue(&v);
                        QMXPropertyInfo* name = nextValue(type);
                        p.defineOutput(static_cast<int>(index), stringOf(type), stringOf(name));
                      });
                    }),
          // Clearing the directories also withdraws the request, so the proc scores again.
          Rows::row("clear.cgenerator", Type::Action, "scores again instead of writing C source",
                    nullptr,
                    [](QMXProcPredict& p, Info&) {
                      p.cSourceDirectory_ = String();
                      p.cDistributionDirectory_ = String();
                      p.cGeneratorRequested_ = false;
                    }),
          Rows::row("define.cgenerator", Type::Values,
                    "writes the C scoring package instead of scoring: source and distribution "
                    "directories",
                    nullptr,
                    [](QMXProcPredict& p, Info& v) {
                      p.cSourceDirectory_ = String(v.getString());
                      p.cDistributionDirectory_ = String(stringOf(nextValue(&v)));
                      p.cGeneratorRequested_ = true;
                    }),
          Rows::row("clear.unknown.level.map", Type::Action,
                    "unknown factor levels are errors again", nullptr,
                    [](QMXProcPredict& p, Info&) { p.clearUnknownLevelMap(); }),
          Rows::row("add.unknown.level.map", Type::Values,
                    "scores unknown levels of an input factor column as a level: column, level",
                    nullptr,
                    [](QMXProcPredict& p, Info& v) {
                      const long column = v.getLong();
                      p.addUnknownLevelMap(column, stringOf(nextValue(&v)));
                    }),
          Rows::row("unknown.levels", Type::String,
                    "rows of factor levels the fit never saw: na (missing scores and a closing "
                    "warning, the default) or error",
                    nullptr,
                    [](QMXProcPredict& p, Info& v) {
                      qmxBoundary(p, kInternalErrorText, kQMXPropertyBoundarySetError,
                                  [&] { p.setUnknownLevelPolicy(v.getString()); });
                    }),
          Rows::row("iglm.family", Type::String,
                    "family name; when set, residual is the working residual", nullptr,
                    [](QMXProcPredict& p, Info& v) { p.family_ = String(v.getString()); }),
          Rows::row("iglm.link", Type::String, "link name (kept)", nullptr,
                    [](QMXProcPredict& p, Info& v) { p.link_ = String(v.getString()); }),
          Rows::row("iglm.var", Type::String, "variance name (kept)", nullptr,
                    [](QMXProcPredict& p, Info& v) { p.variance_ = String(v.getString()); }),
          Rows::row("iglm.mean", Type::String, "starting mean (kept)", nullptr,
                    [](QMXProcPredict& p, Info& v) { p.mean_ = String(v.getString()); }),
      });
  return table;
}

void QMXProcPredict::setProperty(QMXPropertyInfo* prop) {
  properties().set(*this, prop);
}

void QMXProcPredict::getProperty(QMXPropertyInfo* prop) {
  properties().get(*this, prop);
}

void QMXProcPredict::defineOutput(int index, const char* typeName, const char* name) {
  if (typeName == nullptr || *typeName == '\0')
    QMX_ThrowException("Invalid output type when defining output information");
  const auto type = findPredictOutputType(typeName);
  if (!type)
    QMX_ThrowException("invalid output type, %s, when defining output information", typeName);
  const bool noName = name == nullptr || *name == '\0';
  if (noName && !predictOutputAllowsEmptyName(*type))
    QMX_ThrowException("Invalid variable name when defining output information");
  outputs_.push_back(PredictOutput{static_cast<std::int32_t>(index), *type, String(name)});
}

void QMXProcPredict::addUnknownLevelMap(long column, const char* level) {
  // A null level is kept as an empty replacement: unknown levels of the column stay errors.
  unknownLevels_.insert_or_assign(column, HostString(level != nullptr ? level : ""));
  syncUnknownLevelView();
}

void QMXProcPredict::clearUnknownLevelMap() {
  unknownLevels_.clear();
  syncUnknownLevelView();
}

void QMXProcPredict::syncUnknownLevelView() {
  // Rebuilt in place: the model matrix keeps a pointer to this map.
  unknownLevelView_.clear();
  for (const auto& [column, level] : unknownLevels_)
    unknownLevelView_.emplace(column, String(level.c_str()));
}
