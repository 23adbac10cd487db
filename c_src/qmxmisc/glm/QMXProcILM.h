// QMXProcILM: linear least-squares regression of one or more numeric responses on the model
// matrix of a GeneralRegressionModel specification, in one pass over chunked data. Every
// chunk is folded into one accumulator (ILMAccumulator); at the end of the data its pooled
// factor R is mapped to R's parametrisation (R C, contr.sum factors: QMXProcILMContrasts.cpp)
// and decomposed by R's limited pivoting rule, the coefficients are solved and the statistics
// of the fit (standard errors, a sequential analysis-of-deviance table with one row per term,
// coefficient correlations, per-term Wald importance) are kept in a GLMFit. The numbers
// reproduce R's lm() with contr.sum contrasts and anova(), aliased columns included.
//
// Properties (set): "model.vtml", "corr.with.int", "abs.corr.threshold", "summary.contrasts",
// "summary.reference". Properties (get): "fitted.model.pmml" (the VTML document of the fit),
// "summary.coefficients", "summary.factors", "summary.loglik", "summary.aic" (the fit under
// treatment coding for the summaries: QMXProcILMCoding.cpp).
//
// Implementation files: QMXProcILM.cpp (init, execute, chunk step, back-solve),
// QMXProcILMProperties.cpp (properties and model), QMXProcILMContrasts.cpp (R's
// parametrisation), QMXProcILMCoding.cpp (treatment coding), QMXProcILMStats.cpp (standard errors,
// deviance table, coefficient table), QMXProcILMCorrelations.cpp (coefficient correlations and
// importance).
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/framework/QMXProcBoundary.h"
#include "qmxmisc/framework/QMXPropertyTable.h"
#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/glm/GLMModel.h"
#include "qmxmisc/glm/GLMResidualQuantiles.h"
#include "qmxmisc/glm/ILMFoldWorker.h"
#include "qmxmisc/glm/QMXProcILMAccumulator.h"
#include "qmxmisc/model/QMXProcModel.h"
#include "qmxmisc/numeric/DoubleLRLS.h"
#include "qmxmisc/numeric/DoubleQRLimited.h"
#include "qmxmisc/numeric/String.h"
#include "qmxmisc/numeric/Vectors.h"

// A parametrisation of the model matrix: C (model-matrix columns x its columns), the term of
// each column (-1: the intercept) and the name R gives each column.
struct ModelCoding {
  DoubleMatrix matrix;
  std::vector<long> terms;
  strVector names;
};

// The coefficients of the fit under R's treatment coding (QMXProcILMCoding.cpp): names,
// estimates (columns x responses; aliased ones 0), aliased flags and the unscaled variances
// (the diagonal of (X'WX)^-1 of the coded columns; NaN for aliased ones).
struct CodedCoefficients {
  strVector names;
  DoubleMatrix estimate;
  std::vector<bool> aliased;
  std::vector<double> variance;
};

class QMXProcILM : public QMXProcModel {
 public:
  QMXProcILM() = default;
  ~QMXProcILM() override = default;

  // Resets the accumulator and the results (keeping the model), checks the buffers against
  // the model.
  void init() override;
  void setProperty(QMXPropertyInfo* prop) override;
  void getProperty(QMXPropertyInfo* prop) override;
  // The properties listed above.
  static const QMXPropertyTable& properties();
  // One chunk; at the end of the data the back-solve and the statistics.
  void execute() override;

  // The model description of the fit.
  const ModelTerms& getModel() const override { return fit; }
  ModelTerms* preparedModel() override { return &fit; }
  // The pooled factor in R's parametrisation decomposed at rankTolerance, then the
  // coefficients (coefficients x responses; aliased ones 0) into the fit.
  virtual void backSolve();
  // Name/value pairs written as ModelExtraInfo: none here.
  virtual const String* getModelExtraInfo() { return nullptr; }
  virtual long getNumModelExtras() const { return 0; }
  // Reads the next chunk and folds it into the accumulator; returns the rows used.
  virtual long processChunk();
  // Standard errors, deviance table, coefficient table, correlations, importance.
  virtual void computeModelStats();

  // Replaces the model description (the fit is erased first).
  void setModel(const GLMModel& model);
  // The fit; the argument is not used.
  const GLMFit& results(long /*unused*/ = 0) const { return fit; }
  // The map C from R's coefficients to the model matrix's cells (QMXProcILMContrasts.cpp).
  void buildContrasts();
  // The parametrisation of R's lm: contr.sum (`treatment` false) or contr.treatment with the
  // reference levels of "summary.reference" (first levels otherwise).
  ModelCoding modelCoding(bool treatment) const;
  // The fit mapped to treatment coding (empty when "summary.contrasts" is sum).
  const CodedCoefficients& codedCoefficients() const { return coded; }
  void computeCoefTable();
  void computeCorrelations();
  void computeImportance();

  // State read by tests and derived procs.
  // The pooled factor of the last solve.
  const DoubleLRLS& accumulator() const { return lls; }
  // C (model-matrix columns x R's columns) and the term of each of R's columns (-1: the
  // intercept) of the last solve.
  const DoubleMatrix& contrastMatrix() const { return contrasts; }
  const std::vector<long>& contrastTerms() const { return gammaTerm; }
  // The chunk state; mergeAccumulator folds in another run's chunk state (the same model
  // over other rows) and solves again with the statistics.
  const ILMAccumulator& chunkAccumulator() const {
    folds.drain();
    return acc;
  }
  void mergeAccumulator(const ILMAccumulator& other);
  double absCorrelationThreshold() const { return absCorrThreshold; }
  bool correlationsWithIntercept() const { return corrWithIntercept; }

 protected:
  // Empties the chunk state and the solved factor.
  void eraseAccumulator();
  // Adds the chunk's offset (when the model has one) to every column of m (n rows).
  void addChunkOffset(TMatrix<double>& m) const;
  // True for each coefficient (model-matrix column) that depends on an aliased column of R's
  // parametrisation: printed NA, with no standard error.
  std::vector<bool> aliasedCoefficients();
  // The unscaled covariance C (R_k' R_k)^-1 C' of the coefficients (model-matrix columns),
  // kept in coefCovariance for the statistics; see QMXProcILMStats.cpp.
  void computeCoefCovariance();
  // The response names of the model, in order.
  virtual strVector responseNames() const;
  // The coefficients mapped to treatment coding into `coded` (QMXProcILMCoding.cpp).
  void computeCodedCoefficients();
  // Checks "summary.reference" against the model; throws naming the factor or level.
  void checkReferences() const;
  // Sets "summary.contrasts" or "summary.reference" from its text.
  void setSummaryProperty(const std::string& name, const std::string& value);
  // The residual passes after the fit ("summary.residuals" 1; QMXProcILMResiduals.cpp): the
  // first rewinds the input; each chunk step of such a pass; a chunk's residuals (lm:
  // summary.lm's sqrt(w) (y - fitted), 0 for a zero weight) into `residuals`.
  void beginResidualPasses();
  void rewindForResiduals();
  void residualStep();
  virtual void addChunkResiduals();
  // "summary.residual.quantiles": "weighted\t0|1", "quantiles\tn\tmin\t1Q\tmedian\t3Q\tmax"
  // and, while at most 100 values, "values\t..." in row order.
  std::string residualsText() const;

  GLMFit fit;
  // The chunk state, and the factor of the last solve: acc.finalize().
  ILMAccumulator acc;
  // Folds the chunks into acc on a second thread (declared after acc: it stops first).
  mutable ILMFoldWorker folds;
  DoubleLRLS lls;
  // Rank tolerance of the limited pivoting: R's lm 1e-7 (a derived proc sets its own).
  double rankTolerance = 1e-7;
  double absCorrThreshold = 0.5;
  bool corrWithIntercept = false;
  // Column names of the model matrix, taken from the first chunk with rows.
  strVector coefNames;
  // R's parametrisation of the last solve: C, the term of each column of C, the limited
  // pivoting decomposition of R C and the effects Q'(QTY) (p x q).
  DoubleMatrix contrasts;
  std::vector<long> gammaTerm;
  LimitedQR gammaQR;
  DoubleMatrix effects;
  DoubleMatrix gamma;
  // Unscaled covariance of the coefficients of the last solve (computeCoefCovariance).
  DoubleMatrix coefCovariance;
  // "summary.contrasts" (true: treatment, the default) and "summary.reference" (factor,
  // level pairs), and the coefficients under that coding.
  bool treatmentSummary = true;
  std::vector<std::pair<std::string, std::string>> references;
  CodedCoefficients coded;
  // The residual passes: asked for ("summary.residuals"), the memory bound of the selection
  // ("summary.residuals.bound"), under way, the selection and the weights' range.
  bool residualSummary = false;
  std::int64_t residualBound = 1000000;
  bool residualPass = false;
  GLMResidualQuantiles residuals;
  double minWeight = 0, maxWeight = 0;
  // R's logLik and AIC of the fit ("summary.loglik", "summary.aic"; NaN when undefined).
  double logLikelihood = std::numeric_limits<double>::quiet_NaN();
  double aicValue = std::numeric_limits<double>::quiet_NaN();

 private:
  // execute's steps 1-3.
  void executeChunk();
  // Answers "fitted.model.pmml".
  void writeFittedModel(QMXPropertyInfo& prop);
  // R's TermCode rule: factor v of term t is coded by contrasts.
  bool codedByContrasts(long t, long v) const;
  // The 0-based reference level of variable v (a factor) under treatment coding.
  long referenceLevel(long v) const;
  // R's name of covariate v at `power` in a term: "x" or "I(x^2)".
  std::string covariateName(long v, long power) const;
  // The text of "summary.coefficients" and "summary.factors".
  std::string codedCoefficientsText() const;
  std::string factorsText() const;
};
