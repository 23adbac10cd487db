// QMXProcPredict properties: the model text, output definitions, the C generator switch, the
// unknown-level map and the stored "iglm.*" texts. Names are tested in a fixed order; a name
// that is none of them goes to QMXProc.
#include <cstdint>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/framework/QMXProcBoundary.h"
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

void QMXProcPredict::setProperty(QMXPropertyInfo* prop) {
  if (prop == nullptr) return;
  // A failure inside one of our own properties is added as an error (output definitions set
  // theirs as the error, below); it never reaches the host.
  bool own = true;
  qmxBoundary(*this, kInternalErrorText, kQMXPropertyBoundary, [&] { own = setOwnProperty(prop); });
  if (!own) QMXProc::setProperty(prop);
}

bool QMXProcPredict::setOwnProperty(QMXPropertyInfo* prop) {
  if (prop->isName("model.xml")) {
    setXML(prop->getString());
  } else if (prop->isName("clear.outputs")) {
    clearOutputs();
  } else if (prop->isName("define.output")) {
    // An output definition that fails is set as the proc's error.
    qmxBoundary(*this, kInternalErrorText, kQMXPropertyBoundarySetError,
                [&] { setOutputProperty(prop); });
  } else if (prop->isName("clear.cgenerator")) {
    // Clearing the directories also withdraws the request, so the proc scores again.
    cSourceDirectory_ = String();
    cDistributionDirectory_ = String();
    cGeneratorRequested_ = false;
  } else if (prop->isName("define.cgenerator")) {
    setCGeneratorProperty(prop);
  } else if (prop->isName("clear.unknown.level.map")) {
    clearUnknownLevelMap();
  } else if (prop->isName("add.unknown.level.map")) {
    setUnknownLevelProperty(prop);
  } else if (prop->isName("iglm.family")) {
    family_ = String(prop->getString());
  } else if (prop->isName("iglm.link")) {
    link_ = String(prop->getString());
  } else if (prop->isName("iglm.var")) {
    variance_ = String(prop->getString());
  } else if (prop->isName("iglm.mean")) {
    mean_ = String(prop->getString());
  } else {
    return false;
  }
  return true;
}

void QMXProcPredict::getProperty(QMXPropertyInfo* prop) {
  QMXProc::getProperty(prop);
}

void QMXProcPredict::setOutputProperty(QMXPropertyInfo* prop) {
  const long index = prop->getLong();
  QMXPropertyInfo* type = nextValue(prop);
  QMXPropertyInfo* name = nextValue(type);
  defineOutput(static_cast<int>(index), stringOf(type), stringOf(name));
}

void QMXProcPredict::setCGeneratorProperty(QMXPropertyInfo* prop) {
  cSourceDirectory_ = String(prop->getString());
  cDistributionDirectory_ = String(stringOf(nextValue(prop)));
  cGeneratorRequested_ = true;
}

void QMXProcPredict::setUnknownLevelProperty(QMXPropertyInfo* prop) {
  const long column = prop->getLong();
  addUnknownLevelMap(column, stringOf(nextValue(prop)));
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
