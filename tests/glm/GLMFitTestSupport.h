// Shared helpers of the GLM fit tests: the two hand-built fits of tests/ref/glm/fit_*.csv
// (results of R's lm and glm on mtcars, as a fitted model holds them, rounded to the 15
// significant digits of a model document), whole documents with a masked Timestamp line, and
// the expected documents.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "GlmRefCsv.h"
#include "qmxmisc/glm/GLMFit.h"

// what,name -> value of a fit_*.csv table.
using FitRef = std::map<std::pair<std::string, std::string>, double>;

inline FitRef readFitRef(const std::string& file) {
  FitRef ref;
  for (const GlmRefRow& row : readGlmRefCsv(file)) {
    ref[{row.text("what"), row.text("name")}] = row.num("value");
  }
  return ref;
}

// The value rounded to the 15 significant digits a model document carries, so that a fit
// built from it reads back exactly.
inline double documentDigits(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", value);
  return std::strtod(text, nullptr);
}

inline double refValue(const FitRef& ref, const std::string& what, const std::string& name,
                       double fallback) {
  const auto found = ref.find({what, name});
  return found == ref.end() ? fallback : found->second;
}

// A one-column table of `what` values over `names` (row names `names`, column `response`).
inline TMatrix<double> refColumn(const FitRef& ref, const std::string& what,
                                 const std::vector<std::string>& names, const std::string& response,
                                 double fallback) {
  TMatrix<double> column(static_cast<long>(names.size()), 1, names,
                         std::vector<std::string>{response});
  for (std::size_t i = 0; i < names.size(); ++i) {
    column(static_cast<long>(i), 0) = documentDigits(refValue(ref, what, names[i], fallback));
  }
  return column;
}

inline TMatrix<long> refDf(const FitRef& ref, const std::string& what,
                           const std::vector<std::string>& names) {
  TMatrix<long> column(static_cast<long>(names.size()), names);
  for (std::size_t i = 0; i < names.size(); ++i) {
    column(static_cast<long>(i)) = static_cast<long>(refValue(ref, what, names[i], 0.0));
  }
  return column;
}

// A table of longs from rows given in row order (column-major storage filled row by row).
inline TMatrix<long> longTable(const std::vector<std::vector<long>>& rows,
                               const std::vector<std::string>& rowNames,
                               const std::vector<std::string>& colNames) {
  TMatrix<long> table(static_cast<long>(rows.size()), static_cast<long>(rows[0].size()), rowNames,
                      colNames);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (std::size_t j = 0; j < rows[i].size(); ++j) {
      table(static_cast<long>(i), static_cast<long>(j)) = rows[i][j];
    }
  }
  return table;
}

// mpg ~ wt + wt^2 + wt2 + am + wt:am (wt2 = 2 wt is aliased; am has levels auto, manual with
// both coefficients kept), Gaussian with identity link, no family names (as the linear
// regression proc leaves it).
inline GLMFit gaussianFit() {
  const FitRef ref = readFitRef("fit_gaussian.csv");
  GLMFit fit;
  const std::vector<std::string> variables = {"wt", "wt2", "am"};
  const std::vector<std::string> terms = {"wt", "wt^2", "wt2", "am", "wt:am"};
  fit.setTermsTable(
      longTable({{1, 2, 0, 0, 1}, {0, 0, 1, 0, 0}, {0, 0, 0, 1, 1}}, variables, terms));
  FactorInfo am;
  am.setName("am");
  am.setLevels(std::vector<std::string>{"auto", "manual"});
  fit.setFactors(factVector{am});
  fit.setResponse("mpg");
  fit.setFamily(GLMFamily::Distribution::Gaussian, GLMLink::Link::Identity);
  const std::vector<std::string> coefs = {"(Intercept)", "wt",           "wt:wt",
                                          "wt2",         "am(auto)",     "am(manual)",
                                          "wt:am(auto)", "wt:am(manual)"};
  fit.setCoefficients(refColumn(ref, "beta", coefs, "mpg", 0.0));
  fit.setStdErr(refColumn(ref, "se", coefs, "mpg", 0.0));
  fit.setCoefTable(longTable(
      {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 2}, {1, 0, 1}, {1, 0, 2}},
      coefs, variables));
  const std::vector<std::string> sources = {"Regression", "wt",    "wt^2",  "wt2",
                                            "am",         "wt:am", "Error", "Total"};
  fit.setDeviance(refColumn(ref, "dev", sources, "mpg", 0.0));
  fit.setDf(refDf(ref, "df", sources));
  fit.setWaldStat(refColumn(ref, "wald", terms, "mpg", 0.0), refDf(ref, "waldDf", terms));
  strVector labels;
  dVector values;
  for (const auto& [key, value] : ref) {
    if (key.first != "corr") continue;
    labels.push_back(String(key.second));
    values.push_back(documentDigits(value));
  }
  fit.setCorrelations(refValue(ref, "corrThreshold", "", 0.0), labels, values);
  const double r[] = {5.65685424949238, 0.0, 18.2, -2.5};
  fit.setR(DoubleMatrix(r, 2, 2));
  const double qty[] = {-113.649, 0.125};
  fit.setQTY(DoubleMatrix(qty, 2, 1));
  fit.setMissing(3);
  return fit;
}

// am ~ wt + hp, binomial with logit link, with the extras the iterative proc stores.
inline GLMFit binomialFit() {
  const FitRef ref = readFitRef("fit_binomial.csv");
  GLMFit fit;
  const std::vector<std::string> variables = {"wt", "hp"};
  fit.setTermsTable(longTable({{1, 0}, {0, 1}}, variables, variables));
  fit.setResponse("am");
  fit.setName("mtcars logit");
  fit.setFamily(String("Binomial"), String("Logit: log(mu/(1 - mu))"),
                String("Binomial: mu(1-mu)"));
  const std::vector<std::string> coefs = {"(Intercept)", "wt", "hp"};
  fit.setCoefficients(refColumn(ref, "beta", coefs, "am", 0.0));
  fit.setStdErr(refColumn(ref, "se", coefs, "am", 0.0));
  fit.setCoefTable(longTable({{0, 0}, {1, 0}, {0, 1}}, coefs, variables));
  fit.setDeviance(documentDigits(refValue(ref, "dev", "Error", 0.0)),
                  documentDigits(refValue(ref, "dev", "Null", 0.0)));
  fit.setDf(static_cast<long>(refValue(ref, "df", "Null", 0.0)),
            static_cast<long>(refValue(ref, "df", "Error", 0.0)));
  fit.setWaldStat(refColumn(ref, "wald", variables, "am", 0.0), refDf(ref, "waldDf", variables));
  std::ostringstream mean, iterations;
  mean.precision(15);
  mean << refValue(ref, "mean", "", 0.0);
  iterations << static_cast<long>(refValue(ref, "iterations", "", 0.0));
  const String extras[] = {"Family",     "Binomial",      "Link", "Logit: log(mu/(1 - mu))",
                           "Mean",       mean.str(),      "Var",  "Binomial: mu(1-mu)",
                           "Iterations", iterations.str()};
  fit.setModelExtras(5, extras);
  return fit;
}

// The written document with a well-formed Timestamp line replaced by a fixed one.
inline std::string maskTimestamp(const std::string& text) {
  const std::regex stamp(
      "\n    <Timestamp>[0-9]{1,4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}</Timestamp>\n");
  EXPECT_TRUE(std::regex_search(text, stamp));
  return std::regex_replace(text, stamp, "\n    <Timestamp>2007/01/31 09:05:07</Timestamp>\n");
}

inline std::string fitDocument(const GLMFit& fit) {
  std::ostringstream os;
  EXPECT_TRUE(fit.getXML(os));
  return maskTimestamp(os.str());
}

inline std::string readGlmRef(const std::string& name) {
  std::ifstream in(std::string(QMX_TEST_REF_DIR) + "/glm/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
