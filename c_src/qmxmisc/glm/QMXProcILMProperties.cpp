// QMXProcILM: the properties ("model.vtml", "corr.with.int", "abs.corr.threshold",
// "fitted.model.pmml") and the model setter.
#include <cstring>
#include <sstream>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/QMXProcILM.h"

void QMXProcILM::setModel(const GLMModel& model) {
  fit.erase(false);
  fit.setModel(model);
}

void QMXProcILM::setProperty(QMXPropertyInfo* prop) {
  if (prop == nullptr) return;
  if (prop->isName("model.vtml") || prop->isName("corr.with.int") ||
      prop->isName("abs.corr.threshold")) {
    propertyBoundary("internal error when setting model specification",
                     [&] { setOwnProperty(*prop); });
    return;
  }
  QMXProcModel::setProperty(prop);
}

void QMXProcILM::setOwnProperty(QMXPropertyInfo& prop) {
  if (prop.isName("model.vtml")) {
    const char* text = prop.getString();
    if (text == nullptr) QMX_ThrowException("invalid model specification");
    const GLMModel model(text);
    if (!model.valid()) QMX_ThrowException("invalid model specification");
    setModel(model);
  } else if (prop.isName("corr.with.int")) {
    corrWithIntercept = prop.getLong() == 1;
  } else {
    absCorrThreshold = prop.getDouble();
  }
}

void QMXProcILM::getProperty(QMXPropertyInfo* prop) {
  if (prop == nullptr) return;
  if (prop->isName("fitted.model.pmml")) {
    propertyBoundary("Internal Error", [&] { getOwnProperty(*prop); });
    return;
  }
  QMXProcModel::getProperty(prop);
}

// The document of the fit, with the accumulator's triangular factor and rotated responses
// and the proc's extra name/value pairs.
void QMXProcILM::getOwnProperty(QMXPropertyInfo& prop) {
  fit.setR(lls.getR(true));
  fit.setQTY(lls.getQTY(true));
  const long extras = getNumModelExtras();
  fit.setModelExtras(extras, getModelExtraInfo());
  std::ostringstream os;
  fit.getXML(os);
  const std::string text = os.str();
  prop.setString(text.c_str());
}
