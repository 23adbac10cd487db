// GLMFitHandler: reads a GeneralRegressionModel document into a GLMModel or a GLMFit through
// an element table (ElementTableHandler): the model specification the fitting procs are given
// (Family, Link, Var, FactorList/CovariateList, LinearModel/Term/TermVar, Intercept, Weights)
// and a fitted model (ParameterList, PPMatrix, ParamMatrix, DevMatrix, CoefCorr, Importance,
// RMatrix, QTYMatrix, ModelExtraInfo); ModelHandler reads the frame. The statistics
// GLMFit::getXML derives when writing (t, Pr, R2, scaledDev, stat) are not read.
//
// At the end of a fitted document the model terms are rebuilt from the coefficient table:
// a coefficient's term label is its variables' names in model-variable order, a covariate
// with exponent k > 1 followed by ^k, joined by colons (x^2:z); consecutive coefficients with
// the same label form one term.
//
// Implementation files: GLMFitHandler.cpp (the element table), GLMFitHandlerEnd.cpp (the
// document end: terms and results).
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/glm/GLMModel.h"
#include "qmxmisc/model/ElementTableHandler.h"
#include "qmxmisc/model/ModelHandler.h"
#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/String.h"
#include "qmxmisc/numeric/TMatrix.h"
#include "qmxmisc/numeric/Vectors.h"

class GLMFitHandler : public ElementTableHandler<ModelHandler> {
 public:
  // Fills `model` (written through, see ModelHandler); the fitted parts are kept only when
  // the model is a GLMFit.
  explicit GLMFitHandler(const GLMModel& model);
  // A handler without a model: every document event throws "Bad model object".
  GLMFitHandler();
  ~GLMFitHandler() override;

  void startDocument() override;
  void endDocument() override;

 private:
  // One results table read per response (DevMatrix, Importance): row names in first-seen
  // order, one value column per response, an integer df per row.
  struct ResponseTable {
    strVector rows;
    std::unordered_map<std::string, long> rowIndex;
    std::vector<std::vector<double>> values;  // [response][row]
    std::vector<long> df;
    long current = -1;  // the response being read
    long cells = 0;     // cells read for it
    long count = 0;     // cells announced for it
    void start(long response, std::size_t nResponses);
    void set(const String& row, long df, double value);
  };

  void addRules();
  void addSpecRules();
  GLMModel& glm();
  long dependentIndex(const std::string& name) const;
  long independentIndex(const std::string& name) const;
  // The response a results element (DevMatrix, Importance) names in targetCategory; the
  // missing-attribute message names `missingIn`.
  long resultResponse(ElementAttributes& a, const char* missingIn, const char* element);
  // Document end (GLMFitHandlerEnd.cpp).
  TMatrix<long> linearModelTerms() const;
  void termsFromCoefficients();
  void storeResults();

  GLMModel* glm_ = nullptr;
  GLMFit* fit_ = nullptr;

  // Specification.
  std::unordered_set<std::string> factorList_;
  std::unordered_set<std::string> covariateList_;
  strVector termNames_;
  std::vector<std::unordered_map<std::string, long>> termPowers_;
  bool sawLinearModel_ = false;
  bool intercept_ = true;
  bool sawIntercept_ = false;

  // Fit.
  strVector parameters_;
  std::unordered_map<std::string, long> parameterIndex_;
  TMatrix<long> coefTable_;
  TMatrix<double> coef_;
  TMatrix<double> stdErr_;
  // Coefficients whose PCell has df 0 (aliased).
  std::vector<bool> aliased_;
  std::vector<char> paramSet_;
  ResponseTable deviance_;
  ResponseTable importance_;
  double corrThreshold_ = 0.0;
  strVector corrLabels_;
  dVector corrValues_;
  DoubleMatrix r_;
  DoubleMatrix qty_;
  DoubleMatrix* matrix_ = nullptr;  // RMatrix or QTYMatrix being read
  long matrixRow_ = -1;
  strVector extras_;
  Index termIndices_;
};
