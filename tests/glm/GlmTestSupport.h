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
#include "support/RefCompare.h"
#include "support/ThrownMessage.h"

inline GLMLink::Link linkFromR(const std::string& name) {
  const char* const names[] = {"identity", "logit",   "log",  "probit",
                               "cloglog",  "inverse", "sqrt", "1/mu^2"};
  for (int code = 0; code < 8; ++code)
    if (name == names[code]) return static_cast<GLMLink::Link>(code);
  throw std::runtime_error("unknown R link " + name);
}

inline GLMQuasiVariance::VARIANCES varianceFromR(const std::string& name) {
  const char* const names[] = {"constant", "mu(1-mu)", "mu", "mu^2", "mu^3"};
  for (int code = 1; code <= 5; ++code)
    if (name == names[code - 1]) return static_cast<GLMQuasiVariance::VARIANCES>(code);
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
  if (qmxtest::near(actual, expected, relTol, absTol)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "actual " << actual << " expected " << expected
                                       << " diff " << std::fabs(actual - expected);
}

// Runs `call` and checks that it throws a QMXException whose message is exactly `message`.
template <class Call>
::testing::AssertionResult throwsMessage(Call&& call, const std::string& message) {
  const std::string actual = thrownMessage(call);
  if (actual == message) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "message \"" << actual << "\", expected \"" << message << "\"";
}
