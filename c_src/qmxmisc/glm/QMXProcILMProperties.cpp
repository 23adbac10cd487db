// QMXProcILM: the properties ("model.vtml", "corr.with.int", "abs.corr.threshold",
// "summary.*", "fitted.model.pmml") and the model setter.
#include <cstring>
#include <sstream>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/framework/QMXPropertyTable.h"
#include "qmxmisc/glm/QMXProcILM.h"

namespace {

std::string textOf(QMXPropertyInfo& prop) {
  const char* text = prop.getString();
  return text != nullptr ? text : "";
}

}  // namespace

void QMXProcILM::setModel(const GLMModel& model) {
  fit.erase(false);
  fit.setModel(model);
}

const QMXPropertyTable& QMXProcILM::properties() {
  using Rows = QMXPropertyRows<QMXProcILM>;
  using Type = QMXPropertyType;
  using Info = QMXPropertyInfo;
  static const QMXPropertyTable table(
      nullptr, {"internal error when setting model specification", "Internal Error", true},
      {
          Rows::row("model.vtml", Type::String,
                    "the model specification document; the fit is erased", nullptr,
                    [](QMXProcILM& p, Info& v) {
                      const char* text = v.getString();
                      if (text == nullptr) QMX_ThrowException("invalid model specification");
                      const GLMModel model(text);
                      if (!model.valid()) QMX_ThrowException("invalid model specification");
                      p.setModel(model);
                    }),
          Rows::row("corr.with.int", Type::Long,
                    "1: coefficient correlations include the intercept", nullptr,
                    [](QMXProcILM& p, Info& v) { p.corrWithIntercept = v.getLong() == 1; }),
          Rows::row("abs.corr.threshold", Type::Double,
                    "smallest absolute coefficient correlation reported", nullptr,
                    [](QMXProcILM& p, Info& v) { p.absCorrThreshold = v.getDouble(); }),
          Rows::row(
              "summary.contrasts", Type::String,
              "treatment (default) or sum: the coding of the summaries", nullptr,
              [](QMXProcILM& p, Info& v) { p.setSummaryProperty("summary.contrasts", textOf(v)); }),
          Rows::row(
              "summary.reference", Type::String,
              "FACTOR=LEVEL lines: the reference levels of treatment coding", nullptr,
              [](QMXProcILM& p, Info& v) { p.setSummaryProperty("summary.reference", textOf(v)); }),
          Rows::row(
              "summary.coefficients", Type::String, "the coefficients under treatment coding",
              [](QMXProcILM& p, Info& v) { v.setString(p.codedCoefficientsText().c_str()); },
              nullptr),
          Rows::row(
              "summary.factors", Type::String, "the factors, their coding and reference level",
              [](QMXProcILM& p, Info& v) { v.setString(p.factorsText().c_str()); }, nullptr),
          Rows::row("summary.residuals", Type::Long,
                    "1: residual passes after the fit give the residual quantiles", nullptr,
                    [](QMXProcILM& p, Info& v) { p.residualSummary = v.getLong() == 1; }),
          Rows::row("summary.residuals.bound", Type::Long,
                    "most residuals kept in memory by a residual pass", nullptr,
                    [](QMXProcILM& p, Info& v) { p.residualBound = v.getLong(); }),
          Rows::row(
              "summary.residual.quantiles", Type::String, "the residual quantiles",
              [](QMXProcILM& p, Info& v) { v.setString(p.residualsText().c_str()); }, nullptr),
          Rows::row(
              "summary.loglik", Type::Double, "R's logLik of the fit",
              [](QMXProcILM& p, Info& v) { v.setDouble(p.logLikelihood); }, nullptr),
          Rows::row(
              "summary.aic", Type::Double, "R's AIC of the fit",
              [](QMXProcILM& p, Info& v) { v.setDouble(p.aicValue); }, nullptr),
          Rows::row(
              "fitted.model.pmml", Type::String, "the document of the fit",
              [](QMXProcILM& p, Info& v) { p.writeFittedModel(v); }, nullptr),
      });
  return table;
}

QMX_REGISTER_PROPERTIES(QMXProcILM, QMXProcILM::properties)

void QMXProcILM::setProperty(QMXPropertyInfo* prop) {
  properties().set(*this, prop);
}

void QMXProcILM::getProperty(QMXPropertyInfo* prop) {
  properties().get(*this, prop);
}

// The document of the fit, with the accumulator's triangular factor and rotated responses
// and the proc's extra name/value pairs.
void QMXProcILM::writeFittedModel(QMXPropertyInfo& prop) {
  fit.setR(lls.getR(true));
  fit.setQTY(lls.getQTY(true));
  const long extras = getNumModelExtras();
  fit.setModelExtras(extras, getModelExtraInfo());
  std::ostringstream os;
  fit.getXML(os);
  const std::string text = os.str();
  prop.setString(text.c_str());
}
