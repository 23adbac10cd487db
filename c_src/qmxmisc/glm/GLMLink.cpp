#include "qmxmisc/glm/GLMLink.h"

#include <cmath>

#include "qmxmisc/glm/CLogLogLink.h"
#include "qmxmisc/glm/IdentityLink.h"
#include "qmxmisc/glm/InverseLink.h"
#include "qmxmisc/glm/InverseSquareLink.h"
#include "qmxmisc/glm/LogLink.h"
#include "qmxmisc/glm/LogitLink.h"
#include "qmxmisc/glm/ProbitLink.h"
#include "qmxmisc/glm/SqrtLink.h"

GLMLink::~GLMLink() = default;

TMatrix<double> GLMLink::eval(const TMatrix<double>& mu) const {
  TMatrix<double> result(mu);
  double* values = result.data();
  for (long i = 0; i < result.size(); ++i)
    values[i] = eval(values[i]);
  return result;
}

TMatrix<double> GLMLink::evalInv(const TMatrix<double>& eta) const {
  TMatrix<double> result(eta);
  double* values = result.data();
  for (long i = 0; i < result.size(); ++i)
    values[i] = evalInv(values[i]);
  return result;
}

bool GLMLink::validEta(double eta) const {
  switch (type()) {
    case Link::Inverse:
      return std::isfinite(eta) && eta != 0.0;
    case Link::Sqrt:
    case Link::InverseSquare:
      return std::isfinite(eta) && eta > 0.0;
    default:
      return true;
  }
}

std::unique_ptr<GLMLink> GLMLink::create(Link type) {
  switch (type) {
    case Link::Identity:
      return std::make_unique<IdentityLink>();
    case Link::Logit:
      return std::make_unique<LogitLink>();
    case Link::Log:
      return std::make_unique<LogLink>();
    case Link::Probit:
      return std::make_unique<ProbitLink>();
    case Link::CLogLog:
      return std::make_unique<CLogLogLink>();
    case Link::Inverse:
      return std::make_unique<InverseLink>();
    case Link::Sqrt:
      return std::make_unique<SqrtLink>();
    case Link::InverseSquare:
      return std::make_unique<InverseSquareLink>();
  }
  return nullptr;
}

const GLMLink& GLMLink::identity() {
  static const IdentityLink kIdentity;
  return kIdentity;
}
