// QMXProcIGLM: the properties and the model extras written as ModelExtraInfo.
#include <cmath>
#include <cstdlib>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/framework/QMXPropertyTable.h"
#include "qmxmisc/glm/QMXProcIGLM.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

namespace {

String textOf(QMXPropertyInfo& prop) {
  const char* text = prop.getString();
  return String(text != nullptr ? text : "");
}

// A double as the document stores it: 17 digits, "NaN" when undefined.
String numberText(double value) {
  return String(std::isnan(value) ? std::string("NaN") : glm_proc::format("%.17g", value));
}

}  // namespace

const QMXPropertyTable& QMXProcIGLM::properties() {
  using Rows = QMXPropertyRows<QMXProcIGLM>;
  using Type = QMXPropertyType;
  using Info = QMXPropertyInfo;
  static const QMXPropertyTable table(
      &QMXProcILM::properties(), {"failed to set model specification", "Internal Error", true},
      {
          Rows::row(
              "max.iterations", Type::Long, "most iterations (weighted least-squares solves)",
              [](QMXProcIGLM& p, Info& v) { v.setLong(p.maxIterations); },
              [](QMXProcIGLM& p, Info& v) {
                p.maxIterations = static_cast<std::int32_t>(v.getLong());
              }),
          Rows::row(
              "epsilon", Type::Double, "convergence tolerance of the convergence rule",
              [](QMXProcIGLM& p, Info& v) { v.setDouble(p.epsilon); },
              [](QMXProcIGLM& p, Info& v) { p.epsilon = v.getDouble(); }),
          Rows::row(
              "convergence.rule", Type::String,
              "deviance (R's glm: relative deviance change) or relative (also the step)",
              [](QMXProcIGLM& p, Info& v) {
                v.setString(p.rule == QMXProcIGLM::ConvergenceRule::Deviance ? "deviance"
                                                                             : "relative");
              },
              [](QMXProcIGLM& p, Info& v) {
                const String text = textOf(v);
                if (text == String("deviance")) {
                  p.rule = QMXProcIGLM::ConvergenceRule::Deviance;
                } else if (text == String("relative")) {
                  p.rule = QMXProcIGLM::ConvergenceRule::Relative;
                } else {
                  QMX_ThrowException("convergence.rule takes deviance or relative, not '%s'",
                                     text.c_str());
                }
              }),
          Rows::row(
              "halve.on.increase", Type::Long,
              "1: a step that raises the deviance is halved (default); 0: R's glm.fit path",
              [](QMXProcIGLM& p, Info& v) { v.setLong(p.halveOnIncrease ? 1 : 0); },
              [](QMXProcIGLM& p, Info& v) { p.halveOnIncrease = v.getLong() != 0; }),
          Rows::row("summary.anova", Type::Long,
                    "1: the fit also fits the sequential models of R's anova.glm", nullptr,
                    [](QMXProcIGLM& p, Info& v) { p.anovaFits = v.getLong() == 1; }),
          Rows::row(
              "summary.anova.table", Type::String,
              "the sequential models' residual df and deviance (NULL first, one line each)",
              [](QMXProcIGLM& p, Info& v) { v.setString(p.anovaText().c_str()); }, nullptr),
          Rows::row(
              "iglm.family", Type::String, "family name, applied by the next model.vtml",
              [](QMXProcIGLM& p, Info& v) { v.setString(p.familyText.c_str()); },
              [](QMXProcIGLM& p, Info& v) { p.familyText = textOf(v); }),
          Rows::row(
              "iglm.link", Type::String, "link name, applied by the next model.vtml",
              [](QMXProcIGLM& p, Info& v) { v.setString(p.linkText.c_str()); },
              [](QMXProcIGLM& p, Info& v) { p.linkText = textOf(v); }),
          Rows::row(
              "iglm.var", Type::String, "variance name, applied by the next model.vtml",
              [](QMXProcIGLM& p, Info& v) { v.setString(p.varText.c_str()); },
              [](QMXProcIGLM& p, Info& v) { p.varText = textOf(v); }),
          Rows::row(
              "iglm.mean", Type::String, "starting mean, applied by the next model.vtml",
              [](QMXProcIGLM& p, Info& v) { v.setString(p.meanText.c_str()); },
              [](QMXProcIGLM& p, Info& v) {
                p.meanText = textOf(v);
                p.mean = std::strtod(p.meanText.c_str(), nullptr);
              }),
          // The stored family, link and variance names replace the document's.
          Rows::row("model.vtml", Type::String,
                    "the model specification document, with the iglm.* names; the fit is erased",
                    nullptr,
                    [](QMXProcIGLM& p, Info& v) {
                      const char* text = v.getString();
                      if (text == nullptr) QMX_ThrowException("Invalid model specification");
                      GLMModel model(text);
                      if (!model.valid()) QMX_ThrowException("Invalid model specification");
                      model.setFamily(p.familyText, p.linkText, p.varText);
                      p.setModel(model);
                      p.linkOfMean = p.fit.hasFamily() ? p.fit.link().eval(p.mean) : p.mean;
                    }),
          Rows::row(
              "iterations", Type::Long, "iterations of the last fit (R's iter)",
              [](QMXProcIGLM& p, Info& v) { v.setLong(p.iterations); }, nullptr),
          Rows::row(
              "converged", Type::Long, "1 when the last fit met the convergence rule, else 0",
              [](QMXProcIGLM& p, Info& v) { v.setLong(p.converged ? 1 : 0); }, nullptr),
          Rows::row(
              "dispersion", Type::Double, "dispersion of the last fit (R's summary.glm)",
              [](QMXProcIGLM& p, Info& v) { v.setDouble(p.dispersion); }, nullptr),
          Rows::row(
              "aic", Type::Double, "AIC of the last fit (R's glm; NaN for quasi)",
              [](QMXProcIGLM& p, Info& v) { v.setDouble(p.aic); }, nullptr),
          Rows::row(
              "max.step", Type::Double, "largest relative coefficient step of the last pass",
              [](QMXProcIGLM& p, Info& v) { v.setDouble(p.maxStepSize); }, nullptr),
          Rows::row(
              "deviance", Type::Double, "deviance at the coefficients of the last pass",
              [](QMXProcIGLM& p, Info& v) { v.setDouble(p.deviance); }, nullptr),
          Rows::row(
              "del.deviance", Type::Double, "deviance change of the last pass",
              [](QMXProcIGLM& p, Info& v) { v.setDouble(p.delDeviance); }, nullptr),
          Rows::row(
              "data.pass.count", Type::Long, "passes over the data of the last fit",
              [](QMXProcIGLM& p, Info& v) { v.setLong(p.passes); }, nullptr),
      });
  return table;
}

QMX_REGISTER_PROPERTIES(QMXProcIGLM, QMXProcIGLM::properties)

void QMXProcIGLM::setProperty(QMXPropertyInfo* prop) {
  properties().set(*this, prop);
}

void QMXProcIGLM::getProperty(QMXPropertyInfo* prop) {
  properties().get(*this, prop);
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
  extras[10] = "Converged";
  extras[11] = converged ? "true" : "false";
  extras[12] = "Dispersion";
  extras[13] = numberText(dispersion);
  extras[14] = "AIC";
  extras[15] = numberText(aic);
  std::size_t next = 16;
  if (!failures.empty()) {
    extras[next++] = "Failures";
    extras[next++] = failures;
  }
  if (!fittedWarning.empty()) {
    extras[next++] = "Warning";
    extras[next++] = fittedWarning;
  }
  return extras.data();
}
