// The comparisons of the reference checks, each stating its tolerance: named fit results
// against R's (fit checks), score columns against R's predictions or another scorer's (score
// checks), and a written document against an expected file (round trips).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/RefCsv.h"

namespace qmxtest {

// Named results of a fit, or R's values under the same names.
using NamedValues = std::map<std::string, double>;

// |actual - expected| <= relTol |expected| + absTol; equal values (infinities) and two NaNs
// agree.
inline bool near(double actual, double expected, double relTol, double absTol = 0.0) {
  if (actual == expected || (std::isnan(actual) && std::isnan(expected))) return true;
  return std::fabs(actual - expected) <= relTol * std::fabs(expected) + absTol;
}

// Every expected name is present in `actual` and near its value; names only in `actual` are
// not checked.
inline ::testing::AssertionResult matchesRef(const NamedValues& actual, const NamedValues& expected,
                                             double relTol, double absTol = 0.0) {
  std::ostringstream failures;
  for (const auto& [name, want] : expected) {
    const auto got = actual.find(name);
    if (got == actual.end()) {
      failures << "\n  " << name << ": missing (expected " << want << ")";
    } else if (!near(got->second, want, relTol, absTol)) {
      failures.precision(17);
      failures << "\n  " << name << ": " << got->second << ", expected " << want;
    }
  }
  if (expected.empty()) failures << "\n  no expected values";
  if (failures.str().empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "relative tolerance " << relTol << failures.str();
}

// Two columns of equal length agree row by row (NaN where NaN is expected).
inline ::testing::AssertionResult matchesColumn(const std::vector<double>& actual,
                                                const std::vector<double>& expected, double relTol,
                                                double absTol = 0.0) {
  if (actual.size() != expected.size())
    return ::testing::AssertionFailure() << actual.size() << " rows, expected " << expected.size();
  std::ostringstream failures;
  failures.precision(17);
  for (std::size_t row = 0; row < actual.size(); ++row)
    if (!near(actual[row], expected[row], relTol, absTol))
      failures << "\n  row " << row << ": " << actual[row] << ", expected " << expected[row];
  if (failures.str().empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "relative tolerance " << relTol << failures.str();
}

// `text` equals tests/ref/<folder>/<name> byte for byte; on a difference, the first line that
// differs.
inline ::testing::AssertionResult matchesRefText(const std::string& text, const std::string& folder,
                                                 const std::string& name) {
  const std::string expected = readRefText(folder, name);
  if (text == expected) return ::testing::AssertionSuccess();
  std::istringstream got(text), want(expected);
  std::string gotLine, wantLine;
  for (int line = 1;; ++line) {
    const bool more = static_cast<bool>(std::getline(got, gotLine));
    const bool moreWanted = static_cast<bool>(std::getline(want, wantLine));
    if (gotLine != wantLine || more != moreWanted)
      return ::testing::AssertionFailure() << folder << "/" << name << " line " << line << ": \""
                                           << gotLine << "\", expected \"" << wantLine << "\"";
    if (!more) break;
  }
  return ::testing::AssertionFailure() << "differs from " << folder << "/" << name;
}

}  // namespace qmxtest
