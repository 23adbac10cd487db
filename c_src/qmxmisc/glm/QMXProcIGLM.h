// QMXProcIGLM: a generalized linear model fitted by iteratively reweighted least squares
// (IRLS, McCullagh & Nelder 1989, section 2.5; the numbers of R's glm.fit) over chunked
// data. One iteration is one pass over the input: each chunk becomes working responses and
// working weights from the coefficients of the previous pass (the family's starting values
// in the first pass) and is folded into the weighted least-squares accumulator of
// QMXProcILM. At the end of a pass the new coefficients are solved and the convergence
// tests run; the proc then either rewinds its input for another pass or finishes with the
// statistics of the fit (unscaled standard errors: the dispersion is not estimated).
//
// What each pass accumulates:
//   pass 1: the family's starting values give the working responses and weights, folded into
//     the least-squares accumulator; unless "iglm.mean" is set, the response of every row
//     used (GLMResponseScan: weighted sum, weight sum, range). At its end a response the
//     family refuses ends the fit with the family's message (the rest of the pass is then
//     only scanned), and the null model's mean is set from the scan ("iglm.mean" reads it
//     back; R's glm: the weighted mean of y with an intercept, linkinv(0) without one).
//     With "iglm.mean" set, the null deviance is summed here too.
//   pass 2: the working responses and weights of pass 1's coefficients; the null deviance
//     with the mean of pass 1, chunk by chunk as pass 1 would sum it (there is always a
//     second pass: the first never ends the fit).
//   later passes: the working responses and weights only, until the convergence tests or
//     "max.iterations" end the fit.
//
// Properties (set): "max.iterations", "epsilon", "iglm.family", "iglm.link", "iglm.var",
// "iglm.mean" (the null model's mean; computed from the data when not set), then
// "model.vtml"; "corr.with.int", "abs.corr.threshold" as QMXProcILM.
// Properties (get): "max.iterations", "epsilon", "iterations", "max.step", "del.deviance",
// "data.pass.count", "iglm.family", "iglm.link", "iglm.var", "iglm.mean",
// "fitted.model.pmml".
//
// Implementation files: QMXProcIGLM.cpp (init, passes, chunk step, statistics),
// QMXProcIGLMProperties.cpp (properties and model extras).
#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "qmxmisc/glm/GLMResponseScan.h"
#include "qmxmisc/glm/QMXProcILM.h"
#include "qmxmisc/numeric/String.h"

class QMXProcIGLM : public QMXProcILM {
 public:
  QMXProcIGLM() = default;
  ~QMXProcIGLM() override = default;

  void init() override;
  void setProperty(QMXPropertyInfo* prop) override;
  void getProperty(QMXPropertyInfo* prop) override;
  // The properties listed above, over QMXProcILM's.
  static const QMXPropertyTable& properties();
  // One chunk; at the end of a pass the solve, the convergence tests and a rewind or the
  // statistics.
  void execute() override;

  // "Family", "Link", "Mean", "Var", "Iterations" with their values (10 texts).
  const String* getModelExtraInfo() override;
  long getNumModelExtras() const override { return kNumExtras; }
  // Unscaled standard errors and the three-row deviance table.
  void computeModelStats() override;

  long getIterations() const { return iterations; }
  double maxStep() const { return maxStepSize; }
  double devianceChange() const { return delDeviance; }

 protected:
  // The chunk's working response and working weights (see QMXProcIGLM.cpp).
  long getDataChunk() override;
  using QMXProcModel::getDataChunk;

 private:
  static constexpr long kNumExtras = 5;

  void executeChunk();
  // Pass 1 without "iglm.mean": the chunk's response into `scan`; false once the family
  // refuses a value seen so far (the chunk is then not fitted, only scanned).
  bool scanChunk();
  // The end of pass 1 without "iglm.mean": the family's refusal, or the null model's mean.
  void endScan();
  // The end of a pass: solve, convergence tests, rewind or statistics.
  void endPass(QMXBufReader& reader);
  // The single closing message of a finished fit.
  void closingMessage();

  double maxStepSize = 0.0;
  double nullDeviance = 0.0;
  double deviance = 0.0;
  double previousDeviance = std::numeric_limits<double>::quiet_NaN();
  double delDeviance = 0.0;
  std::int32_t iterations = 0;
  std::int32_t maxIterations = 10;
  double epsilon = 0.0001;
  double mean = 1.0;
  double linkOfMean = 0.0;
  String familyText;
  String linkText;
  String varText;
  String meanText;
  bool meanFromData = false;  // this run computes the mean ("iglm.mean" not set)
  String computedMeanText;    // the text of the mean a run computed, "" when none
  GLMResponseScan scan;
  std::array<String, 2 * kNumExtras> extras;
};
