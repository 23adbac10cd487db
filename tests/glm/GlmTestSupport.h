// Shared helpers of the GLM tests: R's family and link names mapped to ours, and the check that
// a call throws a QMXException with exactly the given message.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMFamily.h"
#include "qmxmisc/glm/GLMFamilyNames.h"
#include "qmxmisc/glm/GLMLink.h"
#include "qmxmisc/glm/GLMQuasiVariance.h"
#include "qmxmisc/glm/GLMSpecNames.h"
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

// The family R calls `family` with `link` and the quasi family's `variance` ("-": R's
// default), through the document names.
inline std::unique_ptr<GLMFamily> familyFromR(const std::string& family, const std::string& link,
                                              const std::string& variance) {
  const auto given = [](const std::string& name) { return name == "-" ? std::string() : name; };
  const GLMSpecNames names = glmSpecNames(family, given(link), given(variance));
  const auto codes = glmFamilyCodesFromNames(names.family, names.link, names.variance);
  return QMX_NewFamily(codes->distribution, codes->link, codes->variance);
}

// Runs `call` and checks that it throws a QMXException whose message is exactly `message`.
template <class Call>
::testing::AssertionResult throwsMessage(Call&& call, const std::string& message) {
  const std::string actual = thrownMessage(call);
  if (actual == message) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "message \"" << actual << "\", expected \"" << message << "\"";
}
