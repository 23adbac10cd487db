#include "qmxmisc/glm/GLMModel.h"

#include <cmath>

#include "qmxmisc/base/QMXAssert.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMClamp.h"
#include "qmxmisc/glm/GLMFamilyNames.h"
#include "qmxmisc/glm/GLMFitHandler.h"
#include "qmxmisc/glm/QMX_NewFamily.h"
#include "qmxmisc/model/ModelParse.h"
#include "qmxmisc/model/VtmlWriter.h"

namespace {

[[noreturn]] void throwInvalidFamily() {
  QMX_ThrowException("Invalid Family");
}

}  // namespace

GLMModel::GLMModel(const GLMModel& other)
    : ModelTerms(other),
      family_(other.family_ ? other.family_->clone() : nullptr),
      name_(other.name_),
      familyName_(other.familyName_),
      linkName_(other.linkName_),
      varName_(other.varName_) {}

GLMModel& GLMModel::operator=(const GLMModel& other) {
  if (this == &other) return *this;
  std::unique_ptr<GLMFamily> family = other.family_ ? other.family_->clone() : nullptr;
  ModelTerms::operator=(other);
  family_ = std::move(family);
  name_ = other.name_;
  familyName_ = other.familyName_;
  linkName_ = other.linkName_;
  varName_ = other.varName_;
  return *this;
}

GLMModel::GLMModel(const char* xml) {
  ModelParseXMLString(GLMFitHandler(*this), xml);
}

GLMModel::~GLMModel() = default;

void GLMModel::erase(bool keep) {
  if (keep) return;
  ModelTerms::erase(false);
  family_.reset();
  name_ = String();
  familyName_ = String();
  linkName_ = String();
  varName_ = String();
}

bool GLMModel::valid(bool quick) const {
  if (!ModelTerms::valid(quick)) return false;
  return family_ == nullptr || family_->valid();
}

// --- family ---

void GLMModel::setFamily(const GLMFamily& family) {
  family_ = family.clone();
}

void GLMModel::setFamily(GLMFamily::Distribution distribution, GLMLink::Link link) {
  family_.reset();
  family_ = QMX_NewFamily(distribution, link, static_cast<GLMQuasiVariance::VARIANCES>(0));
}

void GLMModel::setFamily(const String& family, const String& link, const String& variance) {
  const std::optional<GLMFamilyCodes> codes = glmFamilyCodesFromNames(family, link, variance);
  if (!codes) return;
  // Copies first: the arguments may be this model's own names.
  const String familyName = family, linkName = link, varName = variance;
  family_.reset();
  familyName_ = familyName;
  linkName_ = linkName;
  varName_ = varName;
  family_ = QMX_NewFamily(codes->distribution, codes->link, codes->variance);
}

void GLMModel::setFamily() {
  setFamily(familyName_, linkName_, varName_);
}

const GLMFamily& GLMModel::family() const {
  if (!family_) throwInvalidFamily();
  return *family_;
}

GLMFamily::Distribution GLMModel::distType() const {
  if (!family_ || !family_->valid()) throwInvalidFamily();
  return family_->distType();
}

GLMLink::Link GLMModel::linkType() const {
  if (!family_ || !family_->valid()) throwInvalidFamily();
  return family_->linkType();
}

const char* GLMModel::distName() const {
  if (!family_ || !family_->valid()) throwInvalidFamily();
  return family_->distName();
}

const char* GLMModel::linkName() const {
  if (!family_ || !family_->valid()) throwInvalidFamily();
  return family_->linkName();
}

const GLMLink& GLMModel::link() const {
  if (!family_ || !family_->valid()) throwInvalidFamily();
  return family_->link();
}

bool GLMModel::isGaussianIdentity() const {
  if (!family_ || !family_->valid()) return true;
  return family_->distType() == GLMFamily::Distribution::Gaussian &&
         family_->linkType() == GLMLink::Link::Identity;
}

// --- chunk helpers (the quantities of R's glm.fit: mu.eta, variance, dev.resids) ---

void GLMModel::FitWeightsDMuDEta(const TMatrix<double>& eta, TMatrix<double>& w,
                                 TMatrix<double>& dmudeta) const {
  TMatrix<double> weights = eta;
  TMatrix<double> derivs = eta;
  double* wOut = weights.data();
  double* dOut = derivs.data();
  for (long k = 0; k < eta.size(); ++k) {
    if (!family_) {
      wOut[k] = 1.0;
      dOut[k] = 1.0;
      continue;
    }
    double mu = 0.0, d = 0.0;
    family_->link().evalDeriv(eta[k], mu, d);
    const double v = family_->variance(mu);
    wOut[k] = d * d / (v > glm::kEps ? v : glm::kEps);
    dOut[k] = d;
  }
  w = weights;
  dmudeta = derivs;
}

TMatrix<double> GLMModel::computeVariance(const TMatrix<double>& mu) const {
  TMatrix<double> result = mu;
  double* out = result.data();
  for (long k = 0; k < mu.size(); ++k)
    out[k] = family_ ? family_->variance(mu[k]) : 1.0;
  return result;
}

double GLMModel::computeNullDev(const TMatrix<double>& y, const TMatrix<double>& w,
                                double mean) const {
  const long n = y.getNRow();
  const bool perColumnWeights = w.getNCol() == y.getNCol() && w.getNRow() == n;
  double dev = 0.0;
  for (long col = 0; col < y.getNCol(); ++col) {
    for (long row = 0; row < n; ++row) {
      const double yi = y(row, col);
      const double unit = family_ ? family_->deviance(yi, mean) : (yi - mean) * (yi - mean);
      double weight = 1.0;
      if (w.size() > 0) weight = perColumnWeights ? w(row, col) : w(row, 0);
      dev += unit * weight;
    }
  }
  return dev;
}

void GLMModel::getWorkResp(TMatrix<double>& y, TMatrix<double>& w, double& deviance,
                           const TMatrix<double>& eta) const {
  if (family_) {
    family_->eval(y, w, deviance, eta);
    return;
  }
  QMX_ASSERT(eta.size() == y.size(), "one linear predictor per response value");
  for (long k = 0; k < y.size(); ++k) {
    const double r = y[k] - eta[k];
    deviance += r * r;
  }
  double* weights = w.data();
  for (long k = 0; k < w.size(); ++k)
    weights[k] = 1.0;
}

// --- the GeneralRegressionModel element around the fit's content ---

namespace {

const char* modelTypeOf(const GLMFamily* family) {
  if (family == nullptr || !family->valid()) return "generalLinear";
  switch (family->distType()) {
    case GLMFamily::Distribution::Gaussian:
      return "generalLinear";
    case GLMFamily::Distribution::Binomial:
      return "multinomialLogistic";
    case GLMFamily::Distribution::Poisson:
      return "loglinear";
    default:
      return "GLM";
  }
}

}  // namespace

bool GLMModel::beginXMLModel(std::ostream& os) const {
  // A model without responses throws before anything is written.
  const FactorInfo& target = response(0);
  ModelTerms::beginXMLModel(os);
  VtmlWriter w(os, 1);
  w.begin("GeneralRegressionModel");
  if (!name_.empty()) w.attr("modelName", name_);
  w.attr("targetVariableName", target.name()).attr("modelType", modelTypeOf(family_.get())).open();
  return os.good();
}

bool GLMModel::endXMLModel(std::ostream& os) const {
  VtmlWriter(os, 1).close("GeneralRegressionModel");
  return ModelTerms::endXMLModel(os);
}
