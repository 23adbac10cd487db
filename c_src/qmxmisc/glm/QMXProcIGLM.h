// QMXProcIGLM: a generalized linear model fitted by iteratively reweighted least squares
// (IRLS, McCullagh & Nelder 1989, section 2.5), giving the numbers of R's glm.fit over chunked
// data. Each pass over the input evaluates one candidate (GLMIrlsPass): R's starting values
// mustart in the first pass, later the coefficients of the last weighted least-squares solve
// (or a step towards them). Its rows become the working responses and weights folded into
// QMXProcILM's accumulator, and the pass sums the candidate's deviance, domain check, Pearson
// statistic and AIC parts. At the end of a pass:
//   - a candidate whose deviance is not finite, or whose eta or mu leave the family's domain
//     (R's valideta/validmu), is halved towards the previous one and evaluated again (at
//     most max.iterations times per iteration, as R's inner loops);
//   - otherwise it is iteration k's coefficients (k = the number of solves, R's iter). The
//     fit ends when the convergence rule holds or k reaches "max.iterations"; the statistics
//     then come from the factor of the solve that produced the candidate (R reports that
//     QR), so the pass's own accumulator is dropped. Else the accumulator is solved for the
//     next candidate and the input rewound.
// Convergence rules ("convergence.rule"): "deviance" (R's): |dev - dev_old| / (|dev| + 0.1)
// < epsilon, dev_old starting at the deviance of mustart; "relative": the largest relative
// coefficient step or |dev - dev_old| / dev_old below epsilon.
// What the passes also gather: pass 1 the response of every row (GLMResponseScan; a response
// the family refuses ends the fit with the family's message) and from it, unless "iglm.mean"
// is set, the null model's mean (R's glm: the weighted mean of y with an intercept,
// linkinv(0) without one); the null deviance with that mean in pass 2 (in pass 1 when
// "iglm.mean" is set).
// Statistics (R's summary.glm): the dispersion is 1 for the binomial and Poisson families,
// else the Pearson sum over the residual degrees of freedom (NaN without any); standard
// errors are sqrt(dispersion diag((X'WX)^-1)); AIC is R's family$aic + 2 rank (NaN for quasi).
//
// An offset (R's glm: eta = X b + offset, working response z - offset) enters every pass; with
// an offset the null deviance is that of linkinv(offset) without an intercept, and with one
// the deviance of the intercept-only model refitted with the offset (GLMNestedFit, passes of
// its own after the fit). "summary.anova" 1 adds the fits of anova.glm's sequential models
// the same way ("summary.anova.table": residual df and deviance, NULL model first).
// Properties (set): "max.iterations", "epsilon", "convergence.rule", "iglm.family",
// "iglm.link", "iglm.var", "iglm.mean" (the null model's mean; computed from the data when not
// set), then "model.vtml"; "corr.with.int", "abs.corr.threshold" as QMXProcILM.
// Properties (get): the above, "iterations", "converged", "dispersion", "aic", "max.step",
// "del.deviance", "data.pass.count", "fitted.model.pmml".
// Messages: an information line per iteration, the closing information; warnings "step size
// truncated due to divergence", "step size truncated: out of bounds", "algorithm did not
// converge", "algorithm stopped at boundary value" (R's texts).
//
// Implementation files: QMXProcIGLM.cpp (init, chunks, passes), QMXProcIGLMStats.cpp (the
// statistics and closing messages), QMXProcIGLMProperties.cpp (properties, model extras).
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "qmxmisc/glm/GLMIrlsPass.h"
#include "qmxmisc/glm/GLMNestedFit.h"
#include "qmxmisc/glm/GLMResponseScan.h"
#include "qmxmisc/glm/QMXProcILM.h"
#include "qmxmisc/numeric/String.h"

class QMXProcIGLM : public QMXProcILM {
 public:
  enum class ConvergenceRule { Deviance, Relative };

  QMXProcIGLM() = default;
  ~QMXProcIGLM() override = default;

  void init() override;
  void setProperty(QMXPropertyInfo* prop) override;
  void getProperty(QMXPropertyInfo* prop) override;
  // The properties listed above, over QMXProcILM's.
  static const QMXPropertyTable& properties();
  // One chunk; at the end of a pass the step logic above.
  void execute() override;

  // "Family", "Link", "Mean", "Var", "Iterations", "Converged", "Dispersion", "AIC" with
  // their values (16 texts), then for a fit of cbind(successes, failures) "Failures" and the
  // failures column, which scoring reads for the residuals.
  const String* getModelExtraInfo() override;
  // A fit with fitted values at the edge of the family's range adds "Warning" and R's text.
  long getNumModelExtras() const override {
    return kNumExtras - (failures.empty() ? 1 : 0) - (fittedWarning.empty() ? 1 : 0);
  }
  // Standard errors scaled by the dispersion and the three-row deviance table.
  void computeModelStats() override;
  // The deviance residuals sign(y - mu) sqrt(w d(y, mu)) of a chunk at the coefficients.
  void addChunkResiduals() override;

  long getIterations() const { return iterations; }
  long getPasses() const { return passes; }
  bool isConverged() const { return converged; }
  double getDispersion() const { return dispersion; }
  double getAic() const { return aic; }
  double maxStep() const { return maxStepSize; }
  double devianceChange() const { return delDeviance; }
  // R's rank tolerance of glm.fit's solves, min(1e-7, epsilon / 1000).
  double glmRankTolerance() const;

 protected:
  // The chunk's working responses and working weights.
  long getDataChunk() override;
  using QMXProcModel::getDataChunk;

 private:
  static constexpr long kNumExtras = 10;

  void executeChunk();
  // Pass 1: the chunk's response into `scan`; false once the family refuses a value seen so
  // far (the chunk is then not fitted, only scanned).
  bool scanChunk();
  // A binomial (or quasi-binomial) fit of cbind(successes, failures).
  bool binomialCounts() const;
  // The fitted response: the successes of cbind(successes, failures).
  strVector responseNames() const override;
  // At the end of a fit of cbind(successes, failures): the successes become the only response.
  void keepSuccessesResponse();
  // The two response columns as R's binomial reads them: proportions, trials in the weights.
  void countsToProportions();
  // The end of pass 1: the family's refusal, or (without "iglm.mean") the null model's mean.
  void endScan();
  // The end of a pass: halve, finish, or solve and rewind.
  void endPass(QMXBufReader& reader);
  // True when the accepted candidate of iteration `iterations` ends the fit by the rule.
  bool convergedNow();
  // True when halveOnIncrease and this pass's deviance exceeds the accepted one.
  bool raisesDeviance() const;
  // The statistics of the accepted candidate, the closing messages.
  void finish();
  void closingMessage();
  // Empties the pass's accumulator and sums and rewinds the input.
  void rewind(QMXBufReader& reader);
  // The family of the fit (a Gaussian identity family for a model without one).
  const GLMFamily& family() const;
  // The null deviance of a chunk without an intercept but with an offset: mu = linkinv(offset).
  double offsetNullDeviance() const;
  // The end of the main fit: the statistics, then the residual passes when asked for.
  void finishFit();
  // The sub-model fits after the main fit (QMXProcIGLMNested.cpp): false when none is needed.
  bool beginNestedFits(QMXBufReader& reader);
  void nestedStep();
  void startNestedFit(QMXBufReader& reader);
  // "summary.anova.table".
  std::string anovaText() const;

  // Settings.
  std::int32_t maxIterations = 25;
  double epsilon = 1e-8;
  ConvergenceRule rule = ConvergenceRule::Deviance;
  // "halve.on.increase": a step whose deviance exceeds the last accepted one by more than the
  // convergence tolerance is halved too. R's glm.fit halves only non-finite or out-of-domain
  // steps and can then accept a diverging step and stop on it as converged; the default
  // halves, and 0 gives glm.fit's path exactly.
  bool halveOnIncrease = true;
  // The iteration state.
  TMatrix<double> candidate;  // the coefficients this pass evaluates (empty: mustart)
  TMatrix<double> previous;   // the last accepted coefficients (R's coefold; empty: none)
  TMatrix<double> solveBase;  // the coefficients of the last solve's weights (empty: mustart)
  GLMPassSums sums;
  double devOld = 0.0;
  std::int32_t halvings = 0;
  bool boundary = false;
  // The deviance residuals of each pass at its candidate: when the pass converges they are
  // the fit's, and no residual pass is needed while they fit the selection's bound.
  GLMResidualQuantiles passResiduals;
  bool passResidualsDone = false;
  std::string fittedWarning;  // boundaryWarning() of the final pass
  static std::string boundaryWarning(const GLMFamily& fam, long rows);
  bool nullDone = false;
  // Results.
  double maxStepSize = 0.0;
  double nullDeviance = 0.0;
  double deviance = 0.0;
  double delDeviance = 0.0;
  double dispersion = std::numeric_limits<double>::quiet_NaN();
  double aic = std::numeric_limits<double>::quiet_NaN();
  std::int32_t iterations = 0;
  std::int32_t passes = 0;
  bool converged = false;
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
  // The sub-model fits: asked for anova; the column limits (largest term index, -1: the
  // intercept only) still to fit, the fit under way, the results (deviance, rank) in order;
  // the main fit's row counts, kept while the passes recount them.
  bool anovaFits = false;
  bool nestedPass = false;
  bool nullRefit = false;
  std::vector<long> nestedLimits;
  std::size_t nestedIndex = 0;
  std::unique_ptr<GLMNestedFit> nested;
  std::vector<std::pair<double, long>> nestedResults;
  std::int64_t mainRowsUsed = 0, mainRowsMissing = 0;
  long mainRank = 0;
  String failures;  // the failures column of a finished cbind(successes, failures) fit
};
