// QMXProcILM: the fit under R's treatment coding, for the summaries. The document keeps the
// coefficients of every model-matrix column (beta = C gamma, contr.sum); the treatment-coded
// coefficients delta are their exact image: with X = Q R and T the treatment coding, X T
// delta = X beta is solved as the least-squares problem R T delta = R beta by R's limited
// pivoting of R T (the same columns aliased as in R's fit of X T). The unscaled covariance
// is Rinv Rinv' of that decomposition. A glm's last candidate (also a halved one) maps the
// same way; its factor is the one of the solve whose weights R's summary uses.
//
// Properties: "summary.contrasts" (treatment | sum), "summary.reference" (FACTOR=LEVEL, one
// per line or comma separated); "summary.coefficients" gives one line per coded column:
// name, 1 when aliased else 0, unscaled variance, the estimate of each response (tab
// separated, %.17g); "summary.factors" one line per factor of the model: name, coding
// ("contr.treatment" or "contr.sum"), reference level ("" under contr.sum).
#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/QMXProcILM.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

void QMXProcILM::computeCodedCoefficients() {
  coded = CodedCoefficients();
  if (!treatmentSummary || coefNames.empty() || lls.nCoef() == 0) return;
  ModelCoding treatment = modelCoding(true);
  // Without a factor both codings are the model matrix's own columns under its own names:
  // the document's coefficients are shown as they are.
  if (treatment.matrix.getNCol() == treatment.matrix.getNRow() && treatment.names == coefNames) {
    bool identity = true;
    for (long j = 0; j < treatment.matrix.getNCol() && identity; ++j)
      for (long k = 0; k < treatment.matrix.getNRow(); ++k)
        identity = identity && treatment.matrix(k, j) == (k == j ? 1.0 : 0.0);
    if (identity) return;
  }
  const DoubleMatrix r = lls.inputOrderR();
  const LimitedQR qr(r.multiply(treatment.matrix, TransOp::kNone, true), rankTolerance);
  const DoubleMatrix beta(fit.coefficients());
  coded.estimate = qr.solveEffects(qr.qty(r.multiply(beta, TransOp::kNone, true)));
  coded.names = std::move(treatment.names);
  coded.aliased = qr.aliased();
  const DoubleMatrix rinv = qr.rinv();
  for (long k = 0; k < rinv.getNRow(); ++k) {
    double sum = 0.0;
    for (long j = 0; j < rinv.getNCol(); ++j)
      sum += rinv(k, j) * rinv(k, j);
    coded.variance.push_back(coded.aliased[static_cast<std::size_t>(k)]
                                 ? std::numeric_limits<double>::quiet_NaN()
                                 : sum);
  }
}

std::string QMXProcILM::codedCoefficientsText() const {
  std::string out;
  for (std::size_t k = 0; k < coded.names.size(); ++k) {
    out += coded.names[k].str() + (coded.aliased[k] ? "\t1\t" : "\t0\t") +
           glm_proc::format("%.17g", coded.variance[k]);
    for (long j = 0; j < coded.estimate.getNCol(); ++j)
      out += glm_proc::format("\t%.17g", coded.estimate(static_cast<long>(k), j));
    out += "\n";
  }
  return out;
}

std::string QMXProcILM::factorsText() const {
  std::string out;
  for (long v = 0; v < fit.nVariables(); ++v) {
    const std::string name = fit.variable(v).str();
    bool inTerm = false;
    for (long t = 0; t < fit.nTerms(); ++t)
      inTerm = inTerm || fit.termsTable()(v, t) > 0;
    if (!inTerm || !fit.isFactor(name.c_str())) continue;
    out += name + "\t" + (treatmentSummary ? "contr.treatment\t" : "contr.sum\t") +
           (treatmentSummary ? fit.factorInfo(name.c_str()).levels()[referenceLevel(v)].str()
                             : std::string()) +
           "\n";
  }
  return out;
}

void QMXProcILM::checkReferences() const {
  for (const auto& [factor, level] : references) {
    long found = -1;
    for (long v = 0; v < fit.nVariables(); ++v)
      if (fit.variable(v).str() == factor && fit.isFactor(factor.c_str())) found = v;
    if (found < 0)
      QMX_ThrowException("reference %s=%s: '%s' is not a factor of the model", factor.c_str(),
                         level.c_str(), factor.c_str());
    const strVector& levels = fit.factorInfo(factor.c_str()).levels();
    std::string known;
    bool ok = false;
    for (const String& name : levels) {
      ok = ok || name.str() == level;
      known += (known.empty() ? "" : ", ") + name.str();
    }
    if (!ok)
      QMX_ThrowException("reference %s=%s: factor '%s' has no level '%s'; levels: %s",
                         factor.c_str(), level.c_str(), factor.c_str(), level.c_str(),
                         known.c_str());
  }
}

void QMXProcILM::setSummaryProperty(const std::string& name, const std::string& value) {
  if (name == "summary.contrasts") {
    if (value != "treatment" && value != "sum")
      QMX_ThrowException("contrasts takes treatment or sum, not '%s'", value.c_str());
    treatmentSummary = value == "treatment";
    return;
  }
  references.clear();
  std::string item;
  std::istringstream items(value);
  while (std::getline(items, item, '\n')) {
    std::istringstream parts(item);
    for (std::string pair; std::getline(parts, pair, ',');) {
      const std::size_t eq = pair.find('=');
      if (pair.empty()) continue;
      if (eq == std::string::npos || eq == 0 || eq + 1 == pair.size())
        QMX_ThrowException("reference '%s' is not FACTOR=LEVEL", pair.c_str());
      references.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
    }
  }
}
