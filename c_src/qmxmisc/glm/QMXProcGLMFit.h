// QMXProcGLMFit: scores new data with a linear or generalized linear model (a GLMFit read
// from the GeneralRegressionModel document the linear regression and iterative GLM procs
// write). QMXProcPredict handles output definitions, chunking, rows with missing values and
// the output buffer; this class parses the document and, for the complete rows of each
// chunk, computes the linear predictor eta = X B, the fitted means mu = g^-1(eta), the
// working weights and dmu/deta.
//
// Prediction matrix handed to writeOutputData: for a Binomial family two columns per row,
// mu and 1 - mu, named after the two levels of the response (its name and "1 - " its name
// when the response has no two levels); otherwise mu, one column per response, named after
// the responses. "residual" is the working residual (y - mu)/(dmu/deta) when the model has a
// family name (a GLM from the iterative proc) and y - mu otherwise.
//
// The host creates it through qmx_s_create_QMXProcGLMFit.
#pragma once

#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/TMatrix.h"
#include "qmxmisc/predict/QMXProcPredict.h"

class QMXProcGLMFit : public QMXProcPredict {
 public:
  QMXProcGLMFit() = default;
  ~QMXProcGLMFit() override = default;

  // Parses the VTML text with GLMFitHandler and keeps the fit (setFit). A failing document
  // leaves the previous fit in place; its message propagates.
  void setXML(const char* xml) override;
  // The fit (a ModelTerms descendant, as the base expects).
  const GLMFit& getFit() const override { return fit_; }
  // Checks the source and distribution directories ("Missing directory names", "cannot
  // access one of directories: %s, %s"), then hands over to GLMFit::generatePredictCSource.
  void generatePredictCSource() override;
  // Scores the chunk's complete rows (see the class comment).
  void processChunk() override;

  // Replaces the fit.
  void setFit(const GLMFit& fit) { fit_ = fit; }

  // eta = X B for a model matrix X (rows x coefficients) and coefficients B (coefficients x
  // responses); each cell sums over the coefficients in order, so a row's value does not
  // depend on the rows around it. Column names are the response names.
  static TMatrix<double> linearPredictor(const DoubleMatrix& x, const TMatrix<double>& beta);
  // The prediction matrix of `fit` from mu (see the class comment).
  static TMatrix<double> predictionMatrix(const GLMFit& fit, const TMatrix<double>& mu);

 private:
  GLMFit fit_;
};
