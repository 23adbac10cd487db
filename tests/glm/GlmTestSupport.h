// Shared helpers of the GLM tests: R's family, link and variance names mapped to ours, and the
// check that a call throws a QMXException with exactly the given message.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMFamily.h"
#include "qmxmisc/glm/GLMLink.h"
#include "qmxmisc/glm/GLMQuasiVariance.h"
#include "qmxmisc/glm/QMX_NewFamily.h"

inline GLMLink::Link linkFromR(const std::string& name) {
  if (name == "identity") return GLMLink::Link::Identity;
  if (name == "logit") return GLMLink::Link::Logit;
  if (name == "log") return GLMLink::Link::Log;
  if (name == "probit") return GLMLink::Link::Probit;
  if (name == "cloglog") return GLMLink::Link::CLogLog;
  if (name == "inverse") return GLMLink::Link::Inverse;
  if (name == "sqrt") return GLMLink::Link::Sqrt;
  if (name == "1/mu^2") return GLMLink::Link::InverseSquare;
  throw std::runtime_error("unknown R link " + name);
}

inline GLMQuasiVariance::VARIANCES varianceFromR(const std::string& name) {
  if (name == "constant") return GLMQuasiVariance::VARIANCES::Constant;
  if (name == "mu(1-mu)") return GLMQuasiVariance::VARIANCES::Mu0;
  if (name == "mu") return GLMQuasiVariance::VARIANCES::Mu1;
  if (name == "mu^2") return GLMQuasiVariance::VARIANCES::Mu2;
  if (name == "mu^3") return GLMQuasiVariance::VARIANCES::Mu3;
  throw std::runtime_error("unknown R variance " + name);
}

// The family R calls `family` (with `link`, or the family's canonical link for "-"); the quasi
// family takes R's variance name.
inline std::unique_ptr<GLMFamily> familyFromR(const std::string& family, const std::string& link,
                                              const std::string& variance) {
  struct Entry {
    const char* rName;
    GLMFamily::Distribution distribution;
    GLMLink::Link canonical;
  };
  static const Entry kEntries[] = {
      {"gaussian", GLMFamily::Distribution::Gaussian, GLMLink::Link::Identity},
      {"binomial", GLMFamily::Distribution::Binomial, GLMLink::Link::Logit},
      {"poisson", GLMFamily::Distribution::Poisson, GLMLink::Link::Log},
      {"Gamma", GLMFamily::Distribution::Gamma, GLMLink::Link::Inverse},
      {"inverse.gaussian", GLMFamily::Distribution::InvGaussian, GLMLink::Link::InverseSquare},
      {"quasi", GLMFamily::Distribution::Quasi, GLMLink::Link::Identity},
  };
  for (const Entry& entry : kEntries) {
    if (family != entry.rName) continue;
    const GLMLink::Link linkType = link == "-" ? entry.canonical : linkFromR(link);
    const GLMQuasiVariance::VARIANCES varianceCode =
        variance == "-" ? GLMQuasiVariance::VARIANCES::Constant : varianceFromR(variance);
    return QMX_NewFamily(entry.distribution, linkType, varianceCode);
  }
  throw std::runtime_error("unknown R family " + family);
}

// |actual - expected| <= relTol |expected| + absTol, with equal infinities and NaNs accepted.
inline ::testing::AssertionResult closeTo(double actual, double expected, double relTol,
                                          double absTol) {
  if (actual == expected || (std::isnan(actual) && std::isnan(expected))) {
    return ::testing::AssertionSuccess();
  }
  const double diff = std::fabs(actual - expected);
  if (diff <= relTol * std::fabs(expected) + absTol) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "actual " << actual << " expected " << expected << " diff " << diff;
}

// Runs `call` and checks that it throws a QMXException whose message is exactly `message`.
template <class Call>
::testing::AssertionResult throwsMessage(Call&& call, const std::string& message) {
  try {
    call();
  } catch (const QMXException& e) {
    const std::string actual = e.message() ? e.message() : "(null)";
    if (actual == message) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "message \"" << actual << "\", expected \"" << message << "\"";
  }
  return ::testing::AssertionFailure() << "nothing thrown, expected \"" << message << "\"";
}
