// GLMNestedFit: R's glm.fit of a sub-model of a fitted glm (a subset of the columns of its
// parametrisation, with the same responses, prior weights and offset) over the passes
// QMXProcIGLM makes after its own fit: the null model with an offset (R's glm refits the
// intercept-only model then) and the sequential models of anova.glm. Each pass evaluates
// one candidate (R's mustart first) with GLMIrlsPass and gathers its working responses and
// weights in an ILMAccumulator; endPass then halves an invalid step towards the last
// accepted coefficients, stops on R's rule |dev - dev_old| / (|dev| + 0.1) < epsilon or at
// the iteration limit, or solves for the next candidate. The fit keeps only what the
// tables need: the deviance and the rank.
#pragma once

#include "qmxmisc/glm/GLMFamily.h"
#include "qmxmisc/glm/GLMIrlsPass.h"
#include "qmxmisc/glm/QMXProcILMAccumulator.h"
#include "qmxmisc/numeric/DoubleMatrix.h"

struct GLMNestedSettings {
  long maxIterations = 25;
  double epsilon = 1e-8;
  double rankTolerance = 1e-7;
};

class GLMNestedFit {
 public:
  // `columns`: the sub-model's columns of the parametrisation, as the map from them to the
  // model-matrix columns (model-matrix columns x sub-model columns).
  GLMNestedFit(const GLMFamily& family, DoubleMatrix columns, GLMNestedSettings settings);

  // One chunk of a pass: the model matrix, the response (proportions for counts), the prior
  // weights (n x 1) and the offset (n x 1, or empty).
  void addChunk(const DoubleMatrix& x, const DoubleMatrix& y, const DoubleMatrix& w,
                const DoubleMatrix& offset);
  // The end of a pass: true when the fit is done (else the input is read again).
  bool endPass();

  double deviance() const { return deviance_; }
  long rank() const { return rank_; }
  bool converged() const { return converged_; }

 private:
  void solve();

  const GLMFamily& family_;
  DoubleMatrix columns_;
  GLMNestedSettings settings_;
  ILMAccumulator acc_;
  GLMPassSums sums_;
  DoubleMatrix candidate_;  // model-matrix coefficients (empty: mustart)
  DoubleMatrix previous_;   // the last accepted ones (empty: none)
  double devOld_ = 0.0;
  double deviance_ = 0.0;
  long iterations_ = 0;
  long halvings_ = 0;
  long rank_ = 0;
  bool converged_ = false;
};
