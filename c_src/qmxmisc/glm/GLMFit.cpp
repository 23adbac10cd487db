#include "qmxmisc/glm/GLMFit.h"

#include <cmath>

#include <string>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMFitHandler.h"
#include "qmxmisc/model/ModelParse.h"

namespace {

// Row names of the three-row tables of the iterative fit.
std::vector<std::string> threeRowSources(const GLMModel& model) {
  return {"Regression", "Error", model.isGaussianIdentity() ? "Total" : "Null"};
}

// Column names of a one-column table: the first response's name, when there is one.
std::vector<std::string> firstResponseName(const GLMModel& model) {
  if (model.nResponse() < 1) return {};
  return {model.response(0).name().str()};
}

}  // namespace

GLMFit::GLMFit(const char* xml) {
  ModelParseXMLString(GLMFitHandler(*this), xml);
}

GLMFit::~GLMFit() = default;

bool GLMFit::isAliased(long row, long col) const {
  if (row >= 0 && static_cast<std::size_t>(row) < aliased_.size())
    return aliased_[static_cast<std::size_t>(row)];
  return row < stdErr_.getNRow() && col < stdErr_.getNCol() && std::isnan(stdErr_(row, col));
}

void GLMFit::erase(bool keepModel) {
  coefficients_ = TMatrix<double>();
  stdErr_ = TMatrix<double>();
  aliased_.clear();
  coefTable_ = TMatrix<long>();
  deviance_ = TMatrix<double>();
  df_ = TMatrix<long>();
  missing_ = 0;
  waldStat_ = TMatrix<double>();
  waldDf_ = TMatrix<long>();
  corrThreshold_ = 0.0;
  corrLabels_.clear();
  corrValues_.clear();
  extras_.clear();
  R_ = DoubleMatrix();
  QTY_ = DoubleMatrix();
  termIndices_.clear();
  if (!keepModel) GLMModel::erase(false);
}

bool GLMFit::valid(bool quick) const {
  if (!GLMModel::valid(quick)) return false;
  if (quick) return true;
  const long p = coefficients_.getNRow();
  if (p < 1) return false;
  if (stdErr_.getNRow() != p || stdErr_.getNCol() != coefficients_.getNCol()) return false;
  // An intercept-only model has no variables, so no coefficient table either.
  if (p == 1 && intercept() && nVariables() == 0) return coefTable_.size() == 0;
  return coefTable_.getNRow() == p;
}

void GLMFit::setModel(const GLMModel& model) {
  erase(false);
  GLMModel::operator=(model);
}

void GLMFit::setDeviance(double deviance, double nullDeviance) {
  const double regression = nullDeviance - deviance > 0.0 ? nullDeviance - deviance : 0.0;
  const double values[] = {regression, deviance, nullDeviance};
  deviance_ = TMatrix<double>(values, 3, 1, threeRowSources(*this), firstResponseName(*this));
}

void GLMFit::setDf(long total, long error) {
  const long values[] = {total - error, error, total};
  df_ = TMatrix<long>(values, 3, 1, threeRowSources(*this), std::vector<std::string>());
}

long GLMFit::dfE() const {
  const strVector& sources =
      df_.getRowNames().empty() ? deviance_.getRowNames() : df_.getRowNames();
  for (std::size_t row = 0; row < sources.size(); ++row) {
    if (sources[row] == String("Error") && static_cast<long>(row) < df_.getNRow()) {
      return df_(static_cast<long>(row), 0);
    }
  }
  return 0;
}

void GLMFit::setWaldStat(const TMatrix<double>& stat, const TMatrix<long>& df) {
  waldStat_ = stat;
  waldDf_ = df;
}

void GLMFit::setCorrelations(double threshold, const strVector& labels, const dVector& values) {
  corrThreshold_ = threshold;
  corrLabels_ = labels;
  corrValues_ = values;
}

void GLMFit::setModelExtras(long count, const String* array) {
  extras_.clear();
  if (count < 1 || array == nullptr) return;
  extras_.assign(array, array + 2 * count);
}

void GLMFit::initialize(TMatrix<double>& eta, double mean, const TMatrix<double>& weights) const {
  if (!hasFamily() || eta.size() < 1) return;
  // The family reads the prior weights through a mutable pointer; give it a copy.
  std::vector<double> prior;
  if (weights.size() >= eta.size())
    prior.assign(weights.constData(), weights.constData() + eta.size());
  family().initialize(eta.size(), eta.data(), mean, prior.empty() ? nullptr : prior.data());
}

TMatrix<double> GLMFit::invLink(const TMatrix<double>& eta) const {
  return link().evalInv(eta);
}
