#include "qmxmisc/glm/FamilyQuasi.h"

#include <algorithm>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/BinomialFamily.h"
#include "qmxmisc/glm/FamilyGamma.h"
#include "qmxmisc/glm/FamilyInvGaussian.h"
#include "qmxmisc/glm/GaussianFamily.h"

namespace {

// R's quasi() starting means: the bound of mu(1-mu), the start of a zero response.
constexpr double kLowestStart = 0.001;
constexpr double kZeroStart = 0.1;
constexpr const char kUnrecognisedLink[] = "Unreconigzed link type in Quasi family initialize";
constexpr auto kAccepted = {GLMLink::Link::Identity,     GLMLink::Link::Logit,
                            GLMLink::Link::Log,          GLMLink::Link::Probit,
                            GLMLink::Link::CLogLog,      GLMLink::Link::Inverse,
                            GLMLink::Link::InverseSquare};

// The family whose starting values the quasi family borrows for this link.
std::unique_ptr<GLMFamily> innerFamilyFor(GLMLink::Link link) {
  switch (link) {
    case GLMLink::Link::Identity:
      return std::make_unique<GaussianFamily>(link);
    case GLMLink::Link::Logit:
    case GLMLink::Link::Probit:
    case GLMLink::Link::CLogLog:
      return std::make_unique<BinomialFamily>(link);
    case GLMLink::Link::Log:
    case GLMLink::Link::Inverse:
      return std::make_unique<FamilyGamma>(link);
    case GLMLink::Link::InverseSquare:
      return std::make_unique<FamilyInvGaussian>(link);
    case GLMLink::Link::Sqrt:
      break;
  }
  QMX_ThrowException("%s", kUnrecognisedLink);
}

}  // namespace

FamilyQuasi::FamilyQuasi(GLMLink::Link link, GLMQuasiVariance::VARIANCES variance)
    : GLMFamily(acceptLink(link, kAccepted, kUnrecognisedLink)),
      variance_(GLMQuasiVariance::create(variance)),
      inner_(innerFamilyFor(link)) {}

FamilyQuasi::FamilyQuasi(const GLMLink& link, GLMQuasiVariance::VARIANCES variance)
    : FamilyQuasi(link.type(), variance) {}

FamilyQuasi::FamilyQuasi(const FamilyQuasi& other)
    : GLMFamily(other),
      variance_(other.variance_ ? GLMQuasiVariance::create(other.variance_->varType()) : nullptr),
      inner_(other.inner_ ? other.inner_->clone() : nullptr) {}

double FamilyQuasi::deviance(double y, double mu) const {
  return variance_->deviance(y, mu);
}

double FamilyQuasi::variance(double mu) const {
  return variance_->variance(mu);
}

void FamilyQuasi::initialize(long n, double* y, double mean, double* pw) const {
  validate();
  inner_->initialize(n, y, mean, pw);
}

double FamilyQuasi::startMean(double y, double /*w*/) const {
  if (variance_->varType() == GLMQuasiVariance::VARIANCES::Mu0)
    return std::min(std::max(y, kLowestStart), 1.0 - kLowestStart);
  return y == 0.0 ? kZeroStart : y;
}

bool FamilyQuasi::validMean(double mu) const {
  switch (variance_->varType()) {
    case GLMQuasiVariance::VARIANCES::Constant:
      return true;
    case GLMQuasiVariance::VARIANCES::Mu0:
      return mu > 0.0 && mu < 1.0;
    default:
      return mu > 0.0;
  }
}

bool FamilyQuasi::valid() const {
  return link_ != nullptr && variance_ != nullptr && inner_ != nullptr;
}

std::unique_ptr<GLMFamily> FamilyQuasi::clone() const {
  validate();
  return std::make_unique<FamilyQuasi>(*this);
}
