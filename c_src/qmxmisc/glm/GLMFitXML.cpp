// GLMFit::getXML: the GeneralRegressionModel element of a fitted linear or generalized linear
// model inside the VTML frame, through VtmlWriter. t, z, F and chi-square probabilities come from
// the DCDFLIB-style distribution functions of Cdf.h, as R's summary.lm, summary.glm and
// anova.glm report them.
#include <cmath>
#include <string>

#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/model/VtmlWriter.h"
#include "qmxmisc/numeric/Cdf.h"

namespace {

const double kNaN = std::nan("");

// Two-sided Student t probability of t on df degrees of freedom; NaN when undefined.
double twoSidedT(double t, double df) {
  int which = 1, status = 0;
  double p = 0.0, q = 0.0, bound = 0.0;
  cdft(&which, &p, &q, &t, &df, &status, &bound);
  if (status != 0) return kNaN;
  return t <= 0.0 ? 2.0 * p : 2.0 * q;
}

// Two-sided standard normal probability of z; NaN when undefined.
double twoSidedZ(double z) {
  int which = 1, status = 0;
  double p = 0.0, q = 0.0, x = -std::fabs(z), mean = 0.0, sd = 1.0, bound = 0.0;
  cdfnor(&which, &p, &q, &x, &mean, &sd, &status, &bound);
  return status == 0 ? 2.0 * p : kNaN;
}

// R's summary.glm tests the coefficients of the binomial and Poisson families (dispersion 1)
// with z, the others with t on the residual degrees of freedom.
bool zTests(const GLMFit& fit) {
  if (!fit.hasFamily() || !fit.family().valid()) return false;
  const GLMFamily::Distribution family = fit.family().distType();
  return family == GLMFamily::Distribution::Binomial || family == GLMFamily::Distribution::Poisson;
}

// Upper-tail F probability of f on (dfn, dfd); NaN when undefined.
double upperF(double f, double dfn, double dfd) {
  int which = 1, status = 0;
  double p = 0.0, q = 0.0, bound = 0.0;
  cdff(&which, &p, &q, &f, &dfn, &dfd, &status, &bound);
  return status == 0 ? q : kNaN;
}

// Upper-tail chi-square probability of x on df; NaN when undefined.
double upperChi(double x, double df) {
  int which = 1, status = 0;
  double p = 0.0, q = 0.0, bound = 0.0;
  cdfchi(&which, &p, &q, &x, &df, &status, &bound);
  return status == 0 ? q : kNaN;
}

// Row of the table whose name is `source`, -1 when none.
long findSource(const TMatrix<double>& table, const char* source) {
  const strVector& names = table.getRowNames();
  for (std::size_t row = 0; row < names.size(); ++row) {
    if (names[row] == String(source)) return static_cast<long>(row);
  }
  return -1;
}

// Name of column `col` of a results table, else of response `col` of the model.
const char* responseName(const GLMFit& fit, const TMatrix<double>& table, long col) {
  const strVector& names = table.getColNames();
  if (col < static_cast<long>(names.size())) return names[static_cast<std::size_t>(col)].c_str();
  return fit.response(col).name().c_str();
}

// The factor of that name among the model's factors (not its responses), or null.
const FactorInfo* findFactor(const GLMFit& fit, const String& name) {
  for (const FactorInfo& factor : fit.factors()) {
    if (factor.name() == name) return &factor;
  }
  return nullptr;
}

long dfOf(const GLMFit& fit, long row) {
  return row < fit.df().getNRow() ? fit.df()(row, 0) : 0;
}

void writePredictors(VtmlWriter& w, const GLMFit& fit) {
  w.begin("FactorList");
  if (w.open(fit.nFactors() > 0)) {
    for (long i = 0; i < fit.nFactors(); ++i)
      w.begin("Predictor").attr("name", fit.factor(i)).leaf();
    w.close();
  }
  w.begin("CovariateList");
  if (w.open(fit.nCovariates() > 0)) {
    for (long i = 0; i < fit.nCovariates(); ++i)
      w.begin("Predictor").attr("name", fit.covariate(i)).leaf();
    w.close();
  }
}

void writeParameters(VtmlWriter& w, const GLMFit& fit) {
  const TMatrix<double>& coef = fit.coefficients();
  const strVector& names = coef.getRowNames();
  w.begin("ParameterList").open();
  for (long i = 0; i < coef.getNRow(); ++i)
    w.begin("Parameter").attr("name", names[static_cast<std::size_t>(i)]).leaf();
  w.close();

  const TMatrix<long>& table = fit.coefTable();
  bool anyCell = false;
  for (long k = 0; k < table.size(); ++k)
    anyCell = anyCell || table[k] != 0;
  if (!w.begin("PPMatrix").open(anyCell)) return;
  for (long i = 0; i < table.getNRow() && i < coef.getNRow(); ++i) {
    for (long j = 0; j < table.getNCol() && j < fit.nVariables(); ++j) {
      const long cell = table(i, j);
      if (cell == 0) continue;
      const String& variable = fit.variable(j);
      const FactorInfo* factor = findFactor(fit, variable);
      w.begin("PPCell");
      if (factor != nullptr) {
        w.attr("value", factor->level(cell - 1));
      } else {
        w.attr("value", cell);
      }
      w.attr("predictorName", variable).attr("variableName", names[static_cast<std::size_t>(i)]);
      w.leaf();
    }
  }
  w.close();
}

void writeParamMatrix(VtmlWriter& w, const GLMFit& fit) {
  const TMatrix<double>& coef = fit.coefficients();
  const TMatrix<double>& se = fit.stdErr();
  const double dfError = static_cast<double>(fit.dfE());
  const bool z = zTests(fit);
  w.begin("ParamMatrix").open();
  for (long col = 0; col < coef.getNCol(); ++col) {
    for (long row = 0; row < coef.getNRow(); ++row) {
      const double beta = coef(row, col);
      const double s = row < se.getNRow() && col < se.getNCol() ? se(row, col) : kNaN;
      w.begin("PCell").attr("targetCategory", responseName(fit, coef, col));
      w.attr("parameterName", coef.getRowNames()[static_cast<std::size_t>(row)]);
      w.attr("beta", beta);
      if (fit.isAliased(row, col)) {
        w.attr("df", 0).attr("stdErr", kNaN).attr("t", kNaN).attr("Pr", kNaN);
      } else {
        const double t = s > 0.0 ? beta / s : kNaN;
        w.attr("df", 1).attr("stdErr", s).attr("t", t);
        w.attr("Pr", std::isnan(t) ? kNaN : z ? twoSidedZ(t) : twoSidedT(t, dfError));
      }
      w.leaf();
    }
  }
  w.close();
}

// One DevMatrix per response: the table rows with scaled deviances, F statistics and R2.
void writeDevMatrices(VtmlWriter& w, const GLMFit& fit) {
  const TMatrix<double>& dev = fit.deviance();
  const long errorRow = findSource(dev, "Error");
  const long totalRow = findSource(dev, fit.isGaussianIdentity() ? "Total" : "Null");
  const long dfError = errorRow >= 0 ? dfOf(fit, errorRow) : 0;
  for (long col = 0; col < dev.getNCol(); ++col) {
    w.begin("DevMatrix").attr("count", dev.getNRow());
    w.attr("targetCategory", responseName(fit, dev, col));
    if (totalRow >= 0 && errorRow >= 0 && dev(totalRow, col) > 0.0) {
      w.attr("R2", 1.0 - dev(errorRow, col) / dev(totalRow, col));
    }
    w.open();
    const double errorScaled =
        errorRow >= 0 && dfError > 0 ? dev(errorRow, col) / static_cast<double>(dfError) : kNaN;
    for (long row = 0; row < dev.getNRow(); ++row) {
      const long df = dfOf(fit, row);
      w.begin("DevCell").attr("source", dev.getRowNames()[static_cast<std::size_t>(row)]);
      w.attr("df", df).attr("dev", dev(row, col));
      if (df > 0) {
        const double scaled = dev(row, col) / static_cast<double>(df);
        w.attr("scaledDev", scaled);
        if (row != errorRow && row != totalRow) {
          const bool defined = !std::isnan(errorScaled) && errorScaled > 0.0;
          const double stat = defined ? scaled / errorScaled : kNaN;
          w.attr("stat", stat);
          w.attr("Pr", defined ? upperF(stat, static_cast<double>(df), static_cast<double>(dfError))
                               : kNaN);
        }
      }
      w.leaf();
    }
    w.close();
  }
}

void writeCorrelations(VtmlWriter& w, const GLMFit& fit) {
  const strVector& labels = fit.corrLabels();
  if (labels.empty()) return;
  w.begin("CoefCorr").attr("count", labels.size()).attr("threshold", fit.corrThreshold()).open();
  for (std::size_t i = 0; i < labels.size(); ++i) {
    w.begin("CorrCell").attr("coef", labels[i]);
    w.attr("value", i < fit.corrValues().size() ? fit.corrValues()[i] : kNaN).leaf();
  }
  w.close();
}

// One Importance per response: the Wald statistic of each term with an F test (Gaussian with
// identity link, scaled by the error mean deviance) or a chi-square test (other families).
void writeImportance(VtmlWriter& w, const GLMFit& fit) {
  const TMatrix<double>& wald = fit.waldStat();
  if (wald.size() == 0) return;
  const TMatrix<double>& dev = fit.deviance();
  const long errorRow = findSource(dev, "Error");
  const long dfError = errorRow >= 0 ? dfOf(fit, errorRow) : 0;
  const bool fTest = fit.isGaussianIdentity();
  for (long col = 0; col < wald.getNCol(); ++col) {
    w.begin("Importance").attr("count", wald.getNRow());
    w.attr("targetCategory", responseName(fit, wald, col)).open();
    const double sigma2 = errorRow >= 0 && dfError > 0 && col < dev.getNCol()
                              ? dev(errorRow, col) / static_cast<double>(dfError)
                              : kNaN;
    for (long row = 0; row < wald.getNRow(); ++row) {
      const strVector& names = wald.getRowNames();
      const char* name = row < static_cast<long>(names.size())
                             ? names[static_cast<std::size_t>(row)].c_str()
                             : fit.term(row).c_str();
      const double value = wald(row, col);
      const long k = row < fit.waldDf().getNRow() ? fit.waldDf()(row, 0) : 0;
      w.begin("Effect").attr("name", name).attr("value", value).attr("df", k);
      if (fTest) {
        const bool defined = k > 0 && !std::isnan(sigma2) && sigma2 > 0.0 && !std::isnan(value);
        const double stat = defined ? value / (static_cast<double>(k) * sigma2) : kNaN;
        w.attr("stat", stat);
        w.attr("Pr",
               defined ? upperF(stat, static_cast<double>(k), static_cast<double>(dfError)) : kNaN);
      } else {
        const bool defined = k > 0 && !std::isnan(value);
        w.attr("Pr", defined ? upperChi(value, static_cast<double>(k)) : kNaN);
      }
      w.leaf();
    }
    w.close();
  }
}

void writeExtras(VtmlWriter& w, const GLMFit& fit) {
  const long pairs = fit.getNumModelExtras();
  if (pairs < 1) return;
  const strVector& extras = fit.getModelExtras();
  w.begin("ModelExtraInfo").open();
  for (long i = 0; i < pairs; ++i) {
    w.begin(extras[static_cast<std::size_t>(2 * i)].str());
    w.attr("val", extras[static_cast<std::size_t>(2 * i + 1)]).leaf();
  }
  w.close();
}

}  // namespace

void GLMFit::getDoubleMatrixXML(std::ostream& os, const char* element, const TMatrix<double>& m,
                                int level) {
  VtmlWriter w(os, level);
  w.begin(element).attr("nRows", m.getNRow()).attr("nCols", m.getNCol());
  if (!w.open(m.size() > 0)) return;
  for (long row = 0; row < m.getNRow(); ++row) {
    w.begin("Row").attr("num", row).open();
    for (long col = 0; col < m.getNCol(); ++col)
      w.begin("Col").attr("num", col).attr("val", m(row, col)).leaf();
    w.close();
  }
  w.close();
}

bool GLMFit::getXML(std::ostream& os) const {
  beginXMLModel(os);
  VtmlWriter w(os, 2);
  writePredictors(w, *this);
  if (nCoefficients() > 0) {
    writeParameters(w, *this);
    writeParamMatrix(w, *this);
  }
  writeDevMatrices(w, *this);
  writeCorrelations(w, *this);
  writeImportance(w, *this);
  getDoubleMatrixXML(os, "RMatrix", getR(), 2);
  getDoubleMatrixXML(os, "QTYMatrix", getQTY(), 2);
  writeExtras(w, *this);
  return endXMLModel(os);
}
