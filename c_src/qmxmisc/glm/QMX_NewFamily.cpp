#include "qmxmisc/glm/QMX_NewFamily.h"

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/BinomialFamily.h"
#include "qmxmisc/glm/FamilyGamma.h"
#include "qmxmisc/glm/FamilyInvGaussian.h"
#include "qmxmisc/glm/FamilyQuasi.h"
#include "qmxmisc/glm/GaussianFamily.h"
#include "qmxmisc/glm/PoissonFamily.h"

namespace {

std::unique_ptr<GLMFamily> makeFamily(GLMFamily::Distribution distribution, GLMLink::Link link,
                                      GLMQuasiVariance::VARIANCES variance) {
  switch (distribution) {
    case GLMFamily::Distribution::Binomial:
      return std::make_unique<BinomialFamily>(link);
    case GLMFamily::Distribution::Poisson:
      return std::make_unique<PoissonFamily>(link);
    case GLMFamily::Distribution::Gamma:
      return std::make_unique<FamilyGamma>(link);
    case GLMFamily::Distribution::InvGaussian:
      return std::make_unique<FamilyInvGaussian>(link);
    case GLMFamily::Distribution::Quasi:
      return std::make_unique<FamilyQuasi>(link, variance);
    case GLMFamily::Distribution::Gaussian:
      break;
  }
  return std::make_unique<GaussianFamily>(link);
}

}  // namespace

std::unique_ptr<GLMFamily> QMX_NewFamily(GLMFamily::Distribution distribution, GLMLink::Link link,
                                         GLMQuasiVariance::VARIANCES variance) {
  try {
    return makeFamily(distribution, link, variance);
  } catch (const QMXException&) {
    throw;
  } catch (...) {
    throw QMXFatalException();
  }
}

std::unique_ptr<GLMFamily> QMX_NewFamily(std::int32_t distribution, std::int32_t link,
                                         std::int32_t variance) {
  return QMX_NewFamily(static_cast<GLMFamily::Distribution>(distribution),
                       static_cast<GLMLink::Link>(link),
                       static_cast<GLMQuasiVariance::VARIANCES>(variance));
}
