#include "qmxmisc/glm/QMXProcGLMFit.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "qmxbase/QMXProc.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/base/QMXProcRegistry.h"
#include "qmxmisc/framework/QMXPropertyTable.h"
#include "qmxmisc/glm/GLMFitHandler.h"
#include "qmxmisc/model/ModelParse.h"

QMX_REGISTER_PROC(QMXProcGLMFit)
// The scoring base's properties: this proc adds none.
QMX_REGISTER_PROPERTIES(QMXProcGLMFit, QMXProcPredict::properties)

namespace {

bool isAccessibleDirectory(const String& path) {
  std::error_code error;
  return std::filesystem::is_directory(std::filesystem::path(path.str()), error) && !error;
}

// The names of the two probability columns of a Binomial model: the response's two levels
// (the first level is the event the model's mu is the probability of), or, for a 0/1
// response without levels, its name and "1 - " its name.
strVector binomialColumnNames(const GLMFit& fit) {
  if (fit.nResponse() < 1) return strVector();
  const FactorInfo& response = fit.response(0);
  if (response.length() == 2) return strVector{response.level(0), response.level(1)};
  const std::string name = response.name().str();
  return strVector{String(name), String("1 - " + name)};
}

// R's residual types from the fit's family (none: Gaussian) and the failures column a fit of
// cbind(successes, failures) records among its extras.
class FitResiduals : public ResidualModel {
 public:
  explicit FitResiduals(const GLMFit& fit) : fit_(fit) {
    const strVector& extras = fit.getModelExtras();
    for (std::size_t i = 0; i + 1 < extras.size(); i += 2)
      if (extras[i].str() == "Failures") failures_ = extras[i + 1].str();
  }
  double variance(double mu) const override {
    return fit_.hasFamily() ? fit_.family().variance(mu) : 1.0;
  }
  double unitDeviance(double y, double mu) const override {
    return fit_.hasFamily() ? fit_.family().deviance(y, mu) : (y - mu) * (y - mu);
  }
  const char* failuresColumn() const override {
    return failures_.empty() ? nullptr : failures_.c_str();
  }

 private:
  const GLMFit& fit_;
  std::string failures_;
};

}  // namespace

void QMXProcGLMFit::setXML(const char* xml) {
  GLMFit parsed;
  ModelParseXMLString(GLMFitHandler(parsed), xml);
  setFit(parsed);
}

TMatrix<double> QMXProcGLMFit::linearPredictor(const DoubleMatrix& x, const TMatrix<double>& beta) {
  const long n = x.getNRow();
  const long p = beta.getNRow();
  const long responses = beta.getNCol();
  if (x.getNCol() < p)
    QMX_ThrowException("model matrix has %d columns for %d coefficients",
                       static_cast<int>(x.getNCol()), static_cast<int>(p));
  TMatrix<double> eta(n, responses);
  // Column by column of X (both column-major): each row's sum still adds the coefficients'
  // terms in their order.
  const double* xData = x.data();
  const double* betaData = beta.data();
  double* etaData = eta.data();
  for (long respIdx = 0; respIdx < responses; ++respIdx) {
    double* out = etaData + respIdx * n;
    std::fill(out, out + n, 0.0);
    for (long coefIdx = 0; coefIdx < p; ++coefIdx) {
      const double b = betaData[coefIdx + respIdx * p];
      const double* column = xData + coefIdx * n;
      for (long rowIdx = 0; rowIdx < n; ++rowIdx)
        out[rowIdx] += column[rowIdx] * b;
    }
  }
  if (static_cast<long>(beta.getColNames().size()) == responses)
    eta.setColNames(beta.getColNames());
  return eta;
}

TMatrix<double> QMXProcGLMFit::predictionMatrix(const GLMFit& fit, const TMatrix<double>& mu) {
  const long n = mu.getNRow();
  if (fit.hasFamily() && fit.distType() == GLMFamily::Distribution::Binomial) {
    // One response (the iterative proc allows no more with a Binomial family): P(event) and
    // its complement.
    TMatrix<double> prediction(n, 2);
    for (long rowIdx = 0; rowIdx < n; ++rowIdx) {
      prediction(rowIdx, 0) = mu(rowIdx, 0);
      prediction(rowIdx, 1) = 1.0 - mu(rowIdx, 0);
    }
    const strVector names = binomialColumnNames(fit);
    if (names.size() == 2) prediction.setColNames(names);
    return prediction;
  }
  TMatrix<double> prediction = mu;
  strVector names;
  for (long k = 0; k < fit.nResponse(); ++k)
    names.push_back(fit.response(k).name());
  if (static_cast<long>(names.size()) == prediction.getNCol()) prediction.setColNames(names);
  return prediction;
}

void QMXProcGLMFit::processChunk() {
  const long rows = getDataChunk();
  // A model with a family name (a GLM) reports working residuals.
  const bool scaled = !fit_.getFamilyName().empty();
  // The working weights and dmu/deta only when an output reads them.
  bool weighted = false;
  for (const PredictOutput& output : outputs())
    weighted = weighted || output.type == PredictOutputType::kWeight ||
               (scaled && (output.type == PredictOutputType::kResidual ||
                           output.type == PredictOutputType::kResidualWorking));
  TMatrix<double> prediction;
  TMatrix<double> weights;
  TMatrix<double> eta;
  TMatrix<double> dmudeta;
  if (rows > 0) {
    if (modelMatrix.getNCol() != fit_.nCoefficients()) {
      QMX_ThrowException(
          "number of columns in the model matrix does not match the number of coefficients");
    }
    eta = linearPredictor(modelMatrix, fit_.coefficients());
    if (offset.getNRow() == rows)  // R's predict adds the offset to the linear predictor
      for (long col = 0; col < eta.getNCol(); ++col)
        for (long row = 0; row < rows; ++row)
          eta(row, col) += offset(row, 0);
    prediction = predictionMatrix(fit_, fit_.invLink(eta));
    if (weighted) fit_.FitWeightsDMuDEta(eta, weights, dmudeta);
  }
  const FitResiduals residuals(fit_);
  writeOutputData(prediction, weighted ? &weights : nullptr, &eta, weighted ? &dmudeta : nullptr,
                  scaled, &residuals);
  modelMatrix.erase(true);
}

void QMXProcGLMFit::generatePredictCSource() {
  const String& source = cSourceDirectory();
  const String& distribution = cDistributionDirectory();
  if (source.empty() || distribution.empty()) QMX_ThrowException("Missing directory names");
  if (!isAccessibleDirectory(source) || !isAccessibleDirectory(distribution)) {
    QMX_ThrowException("cannot access one of directories: %s, %s", source.c_str(),
                       distribution.c_str());
  }
  fit_.generatePredictCSource(source.c_str(), distribution.c_str());
}
