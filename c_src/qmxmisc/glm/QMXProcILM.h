// QMXProcILM: linear least-squares regression of one or more numeric responses on the model
// matrix of a GeneralRegressionModel specification, in one pass over chunked data. Every
// chunk is folded into one accumulator (ILMAccumulator); at the end of the data its pooled
// factor gets the sum-to-zero side conditions of the factors, the coefficients are
// solved and the statistics of the fit (standard errors, a sequential analysis-of-deviance
// table with one row per term, coefficient correlations, per-term Wald importance) are kept
// in a GLMFit. The numbers reproduce R's lm() with contr.sum contrasts and anova().
//
// Properties (set): "model.vtml", "corr.with.int", "abs.corr.threshold".
// Properties (get): "fitted.model.pmml" (the VTML document of the fit).
//
// Implementation files: QMXProcILM.cpp (init, execute, chunk step, back-solve),
// QMXProcILMProperties.cpp (properties and model), QMXProcILMRestrictions.cpp (factor side
// conditions), QMXProcILMStats.cpp (standard errors, deviance table, coefficient table),
// QMXProcILMCorrelations.cpp (coefficient correlations and importance).
#pragma once

#include <cstdint>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/framework/QMXProcBoundary.h"
#include "qmxmisc/framework/QMXPropertyTable.h"
#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/glm/GLMModel.h"
#include "qmxmisc/glm/QMXProcILMAccumulator.h"
#include "qmxmisc/model/QMXProcModel.h"
#include "qmxmisc/numeric/DoubleLRLS.h"
#include "qmxmisc/numeric/String.h"
#include "qmxmisc/numeric/Vectors.h"

class QMXProcILM : public QMXProcModel {
 public:
  QMXProcILM() = default;
  ~QMXProcILM() override = default;

  // Resets the accumulator and the results (keeping the model), checks the buffers against
  // the model and chooses the factor restrictions.
  void init() override;
  void setProperty(QMXPropertyInfo* prop) override;
  void getProperty(QMXPropertyInfo* prop) override;
  // The properties listed above.
  static const QMXPropertyTable& properties();
  // One chunk; at the end of the data the back-solve and the statistics.
  void execute() override;

  // The model description of the fit.
  const ModelTerms& getModel() const override { return fit; }
  // Restrictions, then the coefficients (coefficients x responses) into the fit.
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
  // Sum-to-zero restrictions for the factors kept at all their levels.
  void applyRestrictions();
  void computeCoefTable();
  void computeCorrelations();
  void computeImportance();

  // State read by tests and derived procs.
  std::int32_t restrictionMode() const { return restrictMode; }
  const std::vector<std::int32_t>& restrictionFlags() const { return restrictFlags; }
  // The factor of the last solve (restrictions included).
  const DoubleLRLS& accumulator() const { return lls; }
  // The chunk state; mergeAccumulator folds in another run's chunk state (the same model
  // over other rows) and solves again with the statistics.
  const ILMAccumulator& chunkAccumulator() const { return acc; }
  void mergeAccumulator(const ILMAccumulator& other);
  double absCorrelationThreshold() const { return absCorrThreshold; }
  bool correlationsWithIntercept() const { return corrWithIntercept; }

 protected:
  // init's step that chooses the restriction mode and flags (throws "Bad variable name").
  void chooseRestrictions();
  // Empties the chunk state and the solved factor: the next solve adds its restrictions again.
  void eraseAccumulator();
  // True for each coefficient (input column order) that the rank-revealing pivot leaves
  // aliased: pivot positions rank(1e-13) .. p - 1.
  std::vector<bool> aliasedCoefficients();
  // The unscaled covariance of the restricted coefficients (input column order), kept in
  // coefCovariance for the statistics; see QMXProcILMStats.cpp.
  void computeCoefCovariance();
  // The response names of the model, in order.
  strVector responseNames() const;

  std::int32_t restrictMode = 1;
  GLMFit fit;
  // The chunk state, and the factor of the last solve: acc.finalize() with the restrictions.
  ILMAccumulator acc;
  DoubleLRLS lls;
  double absCorrThreshold = 0.5;
  bool corrWithIntercept = false;
  std::vector<std::int32_t> restrictFlags;
  // Column names of the model matrix, taken from the first chunk with rows.
  strVector coefNames;
  // The restrictions are in lls.
  bool restrictionsAdded = false;
  // Unscaled covariance of the coefficients of the last solve (computeCoefCovariance).
  DoubleMatrix coefCovariance;

 private:
  // execute's steps 1-3.
  void executeChunk();
  // Answers "fitted.model.pmml".
  void writeFittedModel(QMXPropertyInfo& prop);
  // The restrictions of term t whose cells start at offset; returns the term's cell count P
  // (0 when it has no restricted factor).
  long restrictTerm(long t, long offset, const dVector& restrictWeights);
  // Main-effect term of a variable (the term labelled with its name), -1 when none.
  long mainEffectTerm(const String& variable) const;
};
