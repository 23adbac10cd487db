// GLMFit::getXML: the GeneralRegressionModel element of a fitted linear or generalized linear
// model inside the VTML frame. Every number goes through QFormat (an undefined one is written
// as the text NaN), every name through Quote. t, F and chi-square probabilities come from the
// DCDFLIB-style distribution functions of Cdf.h, as R's summary.lm / anova.glm report them.
#include <cmath>
#include <string>

#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/numeric/Cdf.h"

namespace {

constexpr const char* kNaNText = "\"NaN\"";
const double kNaN = std::nan("");

// A quoted number, or "NaN" for an undefined value.
const char* number(double value) {
  return std::isnan(value) ? kNaNText : ModelTerms::QFormat(value);
}

// Two-sided Student t probability of t on df degrees of freedom; NaN when undefined.
double twoSidedT(double t, double df) {
  int which = 1, status = 0;
  double p = 0.0, q = 0.0, bound = 0.0;
  cdft(&which, &p, &q, &t, &df, &status, &bound);
  if (status != 0) return kNaN;
  return t <= 0.0 ? 2.0 * p : 2.0 * q;
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

void writePredictors(std::ostream& os, const GLMFit& fit) {
  using M = ModelTerms;
  if (fit.nFactors() == 0) {
    os << M::Indent("<FactorList", 2) << M::XMLSEOL();
  } else {
    os << M::Indent("<FactorList", 2) << M::XMLEOL();
    for (long i = 0; i < fit.nFactors(); ++i) {
      os << M::Indent("<Predictor name=", 3) << M::Quote(fit.factor(i).c_str()) << M::XMLSEOL();
    }
    os << M::Indent("</FactorList>\n", 2);
  }
  if (fit.nCovariates() == 0) {
    os << M::Indent("<CovariateList", 2) << M::XMLSEOL();
  } else {
    os << M::Indent("<CovariateList", 2) << M::XMLEOL();
    for (long i = 0; i < fit.nCovariates(); ++i) {
      os << M::Indent("<Predictor name=", 3) << M::Quote(fit.covariate(i).c_str()) << M::XMLSEOL();
    }
    os << M::Indent("</CovariateList>\n", 2);
  }
}

void writeParameters(std::ostream& os, const GLMFit& fit) {
  using M = ModelTerms;
  const TMatrix<double>& coef = fit.coefficients();
  const strVector& names = coef.getRowNames();
  os << M::Indent("<ParameterList", 2) << M::XMLEOL();
  for (long i = 0; i < coef.getNRow(); ++i) {
    os << M::Indent("<Parameter name=", 3) << M::Quote(names[static_cast<std::size_t>(i)].c_str())
       << M::XMLSEOL();
  }
  os << M::Indent("</ParameterList>\n", 2);

  const TMatrix<long>& table = fit.coefTable();
  bool anyCell = false;
  for (long k = 0; k < table.size(); ++k)
    anyCell = anyCell || table[k] != 0;
  os << M::Indent("<PPMatrix", 2) << (anyCell ? M::XMLEOL() : M::XMLSEOL());
  if (!anyCell) return;
  for (long i = 0; i < table.getNRow() && i < coef.getNRow(); ++i) {
    for (long j = 0; j < table.getNCol() && j < fit.nVariables(); ++j) {
      const long cell = table(i, j);
      if (cell == 0) continue;
      const String& variable = fit.variable(j);
      const FactorInfo* factor = findFactor(fit, variable);
      if (factor != nullptr) {
        os << M::Indent("<PPCell value=", 3) << M::Quote(factor->level(cell - 1).c_str());
      } else {
        os << M::Indent("<PPCell value=", 3) << M::QFormat(cell);
      }
      os << " predictorName=" << M::Quote(variable.c_str());
      os << " variableName=" << M::Quote(names[static_cast<std::size_t>(i)].c_str())
         << M::XMLSEOL();
    }
  }
  os << M::Indent("</PPMatrix>\n", 2);
}

void writeParamMatrix(std::ostream& os, const GLMFit& fit) {
  using M = ModelTerms;
  const TMatrix<double>& coef = fit.coefficients();
  const TMatrix<double>& se = fit.stdErr();
  const double dfError = static_cast<double>(fit.dfE());
  os << M::Indent("<ParamMatrix", 2) << M::XMLEOL();
  for (long col = 0; col < coef.getNCol(); ++col) {
    for (long row = 0; row < coef.getNRow(); ++row) {
      const double beta = coef(row, col);
      const double s = row < se.getNRow() && col < se.getNCol() ? se(row, col) : kNaN;
      os << M::Indent("<PCell targetCategory=", 3) << M::Quote(responseName(fit, coef, col));
      os << " parameterName="
         << M::Quote(coef.getRowNames()[static_cast<std::size_t>(row)].c_str());
      os << " beta=" << number(beta);
      if (std::isnan(s)) {
        os << " df=\"0\" stdErr=" << kNaNText << " t=" << kNaNText << " Pr=" << kNaNText;
      } else {
        os << " df=\"1\" stdErr=" << number(s);
        const double t = s > 0.0 ? beta / s : kNaN;
        os << " t=" << number(t);
        os << " Pr=" << number(std::isnan(t) ? kNaN : twoSidedT(t, dfError));
      }
      os << M::XMLSEOL();
    }
  }
  os << M::Indent("</ParamMatrix>\n", 2);
}

// One DevMatrix per response: the table rows with scaled deviances, F statistics and R2.
void writeDevMatrices(std::ostream& os, const GLMFit& fit) {
  using M = ModelTerms;
  const TMatrix<double>& dev = fit.deviance();
  const long errorRow = findSource(dev, "Error");
  const long totalRow = findSource(dev, fit.isGaussianIdentity() ? "Total" : "Null");
  const long dfError = errorRow >= 0 ? dfOf(fit, errorRow) : 0;
  for (long col = 0; col < dev.getNCol(); ++col) {
    os << M::Indent("<DevMatrix count=", 2) << M::QFormat(dev.getNRow());
    os << " targetCategory=" << M::Quote(responseName(fit, dev, col));
    if (totalRow >= 0 && errorRow >= 0 && dev(totalRow, col) > 0.0) {
      os << " R2=" << number(1.0 - dev(errorRow, col) / dev(totalRow, col));
    }
    os << M::XMLEOL();
    const double errorScaled =
        errorRow >= 0 && dfError > 0 ? dev(errorRow, col) / static_cast<double>(dfError) : kNaN;
    for (long row = 0; row < dev.getNRow(); ++row) {
      const long df = dfOf(fit, row);
      os << M::Indent("<DevCell source=", 3)
         << M::Quote(dev.getRowNames()[static_cast<std::size_t>(row)].c_str());
      os << " df=" << M::QFormat(df) << " dev=" << number(dev(row, col));
      if (df > 0) {
        const double scaled = dev(row, col) / static_cast<double>(df);
        os << " scaledDev=" << number(scaled);
        if (row != errorRow && row != totalRow) {
          const bool defined = !std::isnan(errorScaled) && errorScaled > 0.0;
          const double stat = defined ? scaled / errorScaled : kNaN;
          os << " stat=" << number(stat);
          os << " Pr="
             << number(defined ? upperF(stat, static_cast<double>(df), static_cast<double>(dfError))
                               : kNaN);
        }
      }
      os << M::XMLSEOL();
    }
    os << M::Indent("</DevMatrix>\n", 2);
  }
}

void writeCorrelations(std::ostream& os, const GLMFit& fit) {
  using M = ModelTerms;
  const strVector& labels = fit.corrLabels();
  if (labels.empty()) return;
  os << M::Indent("<CoefCorr count=", 2) << M::QFormat(static_cast<long>(labels.size()));
  os << " threshold=" << number(fit.corrThreshold()) << M::XMLEOL();
  for (std::size_t i = 0; i < labels.size(); ++i) {
    os << M::Indent("<CorrCell coef=", 3) << M::Quote(labels[i].c_str());
    os << " value=" << number(i < fit.corrValues().size() ? fit.corrValues()[i] : kNaN)
       << M::XMLSEOL();
  }
  os << M::Indent("</CoefCorr>\n", 2);
}

// One Importance per response: the Wald statistic of each term with an F test (Gaussian with
// identity link, scaled by the error mean deviance) or a chi-square test (other families).
void writeImportance(std::ostream& os, const GLMFit& fit) {
  using M = ModelTerms;
  const TMatrix<double>& wald = fit.waldStat();
  if (wald.size() == 0) return;
  const TMatrix<double>& dev = fit.deviance();
  const long errorRow = findSource(dev, "Error");
  const long dfError = errorRow >= 0 ? dfOf(fit, errorRow) : 0;
  const bool fTest = fit.isGaussianIdentity();
  for (long col = 0; col < wald.getNCol(); ++col) {
    os << M::Indent("<Importance count=", 2) << M::QFormat(wald.getNRow());
    os << " targetCategory=" << M::Quote(responseName(fit, wald, col)) << M::XMLEOL();
    const double sigma2 = errorRow >= 0 && dfError > 0 && col < dev.getNCol()
                              ? dev(errorRow, col) / static_cast<double>(dfError)
                              : kNaN;
    for (long row = 0; row < wald.getNRow(); ++row) {
      const strVector& names = wald.getRowNames();
      const char* name = row < static_cast<long>(names.size())
                             ? names[static_cast<std::size_t>(row)].c_str()
                             : fit.term(row).c_str();
      const double w = wald(row, col);
      const long k = row < fit.waldDf().getNRow() ? fit.waldDf()(row, 0) : 0;
      os << M::Indent("<Effect name=", 3) << M::Quote(name);
      os << " value=" << number(w) << " df=" << M::QFormat(k);
      if (fTest) {
        const bool defined = k > 0 && !std::isnan(sigma2) && sigma2 > 0.0 && !std::isnan(w);
        const double stat = defined ? w / (static_cast<double>(k) * sigma2) : kNaN;
        os << " stat=" << number(stat);
        os << " Pr="
           << number(defined ? upperF(stat, static_cast<double>(k), static_cast<double>(dfError))
                             : kNaN);
      } else {
        const bool defined = k > 0 && !std::isnan(w);
        os << " Pr=" << number(defined ? upperChi(w, static_cast<double>(k)) : kNaN);
      }
      os << M::XMLSEOL();
    }
    os << M::Indent("</Importance>\n", 2);
  }
}

void writeExtras(std::ostream& os, const GLMFit& fit) {
  using M = ModelTerms;
  const long pairs = fit.getNumModelExtras();
  if (pairs < 1) return;
  const strVector& extras = fit.getModelExtras();
  os << M::Indent("<ModelExtraInfo", 2) << M::XMLEOL();
  for (long i = 0; i < pairs; ++i) {
    const std::string open = "<" + extras[static_cast<std::size_t>(2 * i)].str() + " val=";
    os << M::Indent(open.c_str(), 3);
    os << M::Quote(extras[static_cast<std::size_t>(2 * i + 1)].c_str()) << M::XMLSEOL();
  }
  os << M::Indent("</ModelExtraInfo>\n", 2);
}

}  // namespace

void GLMFit::getDoubleMatrixXML(std::ostream& os, const char* element, const TMatrix<double>& m,
                                int level) {
  const std::string open = std::string("<") + element + " nRows=";
  os << Indent(open.c_str(), level) << QFormat(m.getNRow());
  os << " nCols=" << QFormat(m.getNCol());
  if (m.size() == 0) {
    os << XMLSEOL();
    return;
  }
  os << XMLEOL();
  for (long row = 0; row < m.getNRow(); ++row) {
    os << Indent("<Row num=", level + 1) << QFormat(row) << XMLEOL();
    for (long col = 0; col < m.getNCol(); ++col) {
      os << Indent("<Col num=", level + 2) << QFormat(col);
      os << " val=" << number(m(row, col)) << XMLSEOL();
    }
    os << Indent("</Row>\n", level + 1);
  }
  const std::string close = std::string("</") + element + ">\n";
  os << Indent(close.c_str(), level);
}

bool GLMFit::getXML(std::ostream& os) const {
  beginXMLModel(os);
  writePredictors(os, *this);
  if (nCoefficients() > 0) {
    writeParameters(os, *this);
    writeParamMatrix(os, *this);
  }
  writeDevMatrices(os, *this);
  writeCorrelations(os, *this);
  writeImportance(os, *this);
  getDoubleMatrixXML(os, "RMatrix", getR(), 2);
  getDoubleMatrixXML(os, "QTYMatrix", getQTY(), 2);
  writeExtras(os, *this);
  return endXMLModel(os);
}
