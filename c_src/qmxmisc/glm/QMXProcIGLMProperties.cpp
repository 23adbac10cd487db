// QMXProcIGLM: the properties and the model extras written as ModelExtraInfo.
#include <cstdlib>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/QMXProcIGLM.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

namespace {

bool isOwnSetProperty(QMXPropertyInfo& prop) {
  return prop.isName("max.iterations") || prop.isName("epsilon") || prop.isName("iglm.family") ||
         prop.isName("iglm.link") || prop.isName("iglm.var") || prop.isName("iglm.mean") ||
         prop.isName("model.vtml");
}

bool isOwnGetProperty(QMXPropertyInfo& prop) {
  return prop.isName("max.iterations") || prop.isName("epsilon") || prop.isName("iterations") ||
         prop.isName("max.step") || prop.isName("del.deviance") || prop.isName("data.pass.count") ||
         prop.isName("iglm.family") || prop.isName("iglm.link") || prop.isName("iglm.var") ||
         prop.isName("iglm.mean");
}

String textOf(QMXPropertyInfo& prop) {
  const char* text = prop.getString();
  return String(text != nullptr ? text : "");
}

}  // namespace

void QMXProcIGLM::setProperty(QMXPropertyInfo* prop) {
  if (prop == nullptr) return;
  if (!isOwnSetProperty(*prop)) {
    QMXProcILM::setProperty(prop);
    return;
  }
  propertyBoundary("failed to set model specification", [&] { setOwnProperty(*prop); });
}

void QMXProcIGLM::setOwnProperty(QMXPropertyInfo& prop) {
  if (prop.isName("max.iterations")) {
    maxIterations = static_cast<std::int32_t>(prop.getLong());
  } else if (prop.isName("epsilon")) {
    epsilon = prop.getDouble();
  } else if (prop.isName("iglm.family")) {
    familyText = textOf(prop);
  } else if (prop.isName("iglm.link")) {
    linkText = textOf(prop);
  } else if (prop.isName("iglm.var")) {
    varText = textOf(prop);
  } else if (prop.isName("iglm.mean")) {
    meanText = textOf(prop);
    mean = std::strtod(meanText.c_str(), nullptr);
  } else {
    // "model.vtml": the stored family, link and variance names replace the document's.
    const char* text = prop.getString();
    if (text == nullptr) QMX_ThrowException("Invalid model specification");
    GLMModel model(text);
    if (!model.valid()) QMX_ThrowException("Invalid model specification");
    model.setFamily(familyText, linkText, varText);
    setModel(model);
    linkOfMean = fit.hasFamily() ? fit.link().eval(mean) : mean;
  }
}

void QMXProcIGLM::getProperty(QMXPropertyInfo* prop) {
  if (prop == nullptr) return;
  if (!isOwnGetProperty(*prop)) {
    QMXProcILM::getProperty(prop);
    return;
  }
  propertyBoundary("Internal Error", [&] { getOwnProperty(*prop); });
}

void QMXProcIGLM::getOwnProperty(QMXPropertyInfo& prop) {
  if (prop.isName("max.iterations")) {
    prop.setLong(maxIterations);
  } else if (prop.isName("epsilon")) {
    prop.setDouble(epsilon);
  } else if (prop.isName("iterations") || prop.isName("data.pass.count")) {
    prop.setLong(iterations);
  } else if (prop.isName("max.step")) {
    prop.setDouble(maxStepSize);
  } else if (prop.isName("del.deviance")) {
    prop.setDouble(delDeviance);
  } else if (prop.isName("iglm.family")) {
    prop.setString(familyText.c_str());
  } else if (prop.isName("iglm.link")) {
    prop.setString(linkText.c_str());
  } else if (prop.isName("iglm.var")) {
    prop.setString(varText.c_str());
  } else {
    prop.setString(meanText.c_str());
  }
}

const String* QMXProcIGLM::getModelExtraInfo() {
  extras[0] = "Family";
  extras[1] = familyText;
  extras[2] = "Link";
  extras[3] = linkText;
  extras[4] = "Mean";
  extras[5] = meanText;
  extras[6] = "Var";
  extras[7] = varText;
  extras[8] = "Iterations";
  extras[9] = glm_proc::format("%ld", static_cast<long>(iterations));
  return extras.data();
}
