// GLMFitHandler: the SAX handler that reads a GeneralRegressionModel document into a GLMModel
// or a GLMFit. It reads both the model specification the fitting procs are given (Family,
// Link, Var, FactorList/CovariateList, LinearModel/Term/TermVar, Intercept, Weights) and a
// fitted model (ParameterList, PPMatrix, ParamMatrix, DevMatrix, CoefCorr, Importance,
// RMatrix, QTYMatrix, ModelExtraInfo); the frame (column definitions, levels, statistics) is
// read by ModelHandler. The statistics GLMFit::getXML derives when writing (t, Pr, R2,
// scaledDev, stat) are not read: they are recomputed from what is read.
//
// At the end of a fitted document the model terms are rebuilt from the coefficient table:
// a coefficient's term label is its variables' names in model-variable order, a covariate
// with exponent k > 1 followed by ^k, joined by colons (x^2:z); consecutive coefficients with
// the same label form one term.
//
// Implementation files: GLMFitHandler.cpp (events, dispatch, document end),
// GLMFitHandlerSpec.cpp (specification elements), GLMFitHandlerFit.cpp (fitted elements).
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/glm/GLMModel.h"
#include "qmxmisc/model/ModelHandler.h"
#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/String.h"
#include "qmxmisc/numeric/TMatrix.h"
#include "qmxmisc/numeric/Vectors.h"

class GLMFitHandler : public ModelHandler {
 public:
  // State bits of the GeneralRegressionModel elements.
  static constexpr unsigned XML_generalRegressionModel = 0x8000;
  static constexpr unsigned XML_factorList = 0x10000;
  static constexpr unsigned XML_covariateList = 0x20000;
  static constexpr unsigned XML_parameterList = 0x40000;
  static constexpr unsigned XML_ppMatrix = 0x80000;
  static constexpr unsigned XML_paramMatrix = 0x100000;
  static constexpr unsigned XML_devMatrix = 0x200000;
  static constexpr unsigned XML_coefCorr = 0x400000;
  static constexpr unsigned XML_importance = 0x800000;
  static constexpr unsigned XML_matrix = 0x1000000;  // RMatrix or QTYMatrix
  static constexpr unsigned XML_matrixRow = 0x2000000;
  static constexpr unsigned XML_modelExtraInfo = 0x4000000;
  static constexpr unsigned XML_linearModel = 0x8000000;
  static constexpr unsigned XML_term = 0x10000000;
  static constexpr unsigned XML_extra = 0x20000000;  // one element inside ModelExtraInfo

  // Fills `model` (written through, see ModelHandler); the fitted parts are kept only when
  // the model is a GLMFit.
  explicit GLMFitHandler(const GLMModel& model);
  // A handler without a model: every document event throws "Bad model object".
  GLMFitHandler();
  ~GLMFitHandler() override;

  void startDocument() override;
  void endDocument() override;
  void startElement(const XMLCh* const name, xercesc::AttributeList& attributes) override;
  void endElement(const XMLCh* const name) override;

 private:
  // One results table read per response (DevMatrix, Importance): row names in first-seen
  // order, one value column per response, an integer df per row.
  struct ResponseTable {
    strVector rows;
    std::unordered_map<std::string, long> rowIndex;
    std::vector<std::vector<double>> values;  // [response][row]
    std::vector<long> df;
    long currentResponse = -1;
    long cellsInCurrent = 0;
    long countInCurrent = 0;
    long addRow(const String& name, long df);
  };
  // A matrix of doubles being read (RMatrix, QTYMatrix).
  struct MatrixReader {
    DoubleMatrix* target = nullptr;
    const char* element = "";
    long currentRow = -1;
  };

  GLMModel& glm();
  // The element is a direct child of GeneralRegressionModel.
  bool inModel() const { return state() == XML_generalRegressionModel; }
  [[noreturn]] void unexpected() const;
  long dependentIndex(const char* name) const;
  long independentIndex(const char* name) const;

  // Specification elements (GLMFitHandlerSpec.cpp); true when the element was one of them.
  bool startSpecElement(xercesc::AttributeList& attributes);
  void startModel(xercesc::AttributeList& attributes);
  void startPredictor(xercesc::AttributeList& attributes);
  void startTerm(xercesc::AttributeList& attributes);
  void startTermVar(xercesc::AttributeList& attributes);
  void startFamilyName(xercesc::AttributeList& attributes);
  // The terms table of a LinearModel: independents x terms, entry = power.
  TMatrix<long> linearModelTerms() const;

  // Fitted elements (GLMFitHandlerFit.cpp); true when the element was one of them.
  bool startFitElement(xercesc::AttributeList& attributes);
  void startParameter(xercesc::AttributeList& attributes);
  void startPPMatrix();
  void startPPCell(xercesc::AttributeList& attributes);
  void startParamMatrix();
  void startPCell(xercesc::AttributeList& attributes);
  void startDevMatrix(xercesc::AttributeList& attributes);
  void startDevCell(xercesc::AttributeList& attributes);
  void startCoefCorr(xercesc::AttributeList& attributes);
  void startCorrCell(xercesc::AttributeList& attributes);
  void startImportance(xercesc::AttributeList& attributes);
  void startEffect(xercesc::AttributeList& attributes);
  void startMatrix(xercesc::AttributeList& attributes, DoubleMatrix& target);
  void startMatrixRow(xercesc::AttributeList& attributes);
  void startMatrixCol(xercesc::AttributeList& attributes);
  void startExtra(xercesc::AttributeList& attributes);
  // End of a fitted element; true when it was one.
  bool endFitElement();
  // Document end: the coefficient table check and the terms rebuilt from it; the results
  // handed to the fit.
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
  std::vector<char> paramSet_;
  ResponseTable deviance_;
  ResponseTable importance_;
  double corrThreshold_ = 0.0;
  strVector corrLabels_;
  dVector corrValues_;
  DoubleMatrix r_;
  DoubleMatrix qty_;
  MatrixReader matrix_;
  strVector extras_;
  Index termIndices_;
};
