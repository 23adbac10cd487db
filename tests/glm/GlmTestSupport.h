// Shared helpers of the GLM tests: R's family and link names mapped to ours, the check that a
// call throws a QMXException with exactly the given message, and tab-separated tables.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMFamily.h"
#include "qmxmisc/glm/GLMFamilyNames.h"
#include "qmxmisc/glm/GLMLink.h"
#include "qmxmisc/glm/GLMQuasiVariance.h"
#include "qmxmisc/glm/GLMSpecNames.h"
#include "qmxmisc/glm/QMX_NewFamily.h"
#include "support/RefCompare.h"
#include "support/RefCsv.h"
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

// The records of tests/ref/glm/<name>, a tab-separated table (its texts hold commas): '#' lines
// are comments, the first other line the header; a record's trailing empty cells may be absent.
inline std::vector<std::vector<std::string>> refTsvRecords(const std::string& name) {
  std::ifstream in(refPath("glm", name));
  std::vector<std::vector<std::string>> records;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    records.emplace_back();
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, '\t');)
      records.back().push_back(cell);
  }
  records.erase(records.begin());
  return records;
}
