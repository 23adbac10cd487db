// GLMFit: a fitted linear or generalized linear model: the GLMModel description plus
// everything a fit produces (coefficients, standard errors, the coefficient table, the
// analysis-of-deviance table, coefficient correlations, per-term importance statistics, the
// triangular factor and rotated responses of the least-squares fit, and the proc's extra
// name/value pairs). getXML writes the whole VTML document with the GeneralRegressionModel
// element; GLMFitHandler reads it back.
//
// Implementation files: GLMFit.cpp (fields), GLMFitXML.cpp (getXML, getDoubleMatrixXML),
// GLMFitCSource.cpp (the C scoring package).
#pragma once

#include <vector>

#include <ostream>

#include "qmxmisc/glm/GLMModel.h"
#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/Index.h"
#include "qmxmisc/numeric/String.h"
#include "qmxmisc/numeric/TMatrix.h"
#include "qmxmisc/numeric/Vectors.h"

class GLMFit : public GLMModel {
 public:
  GLMFit() = default;
  GLMFit(const GLMFit&) = default;
  GLMFit(GLMFit&&) noexcept = default;
  GLMFit& operator=(const GLMFit&) = default;
  GLMFit& operator=(GLMFit&&) noexcept = default;
  // Reads a VTML document (fit or specification) with GLMFitHandler.
  explicit GLMFit(const char* xml);
  ~GLMFit() override;

  // Clears the results; keepModel false also clears the model terms, the names and the
  // family.
  void erase(bool keepModel = false) override;
  // quick: the model description (GLMModel::valid). Otherwise also: coefficients present,
  // standard errors of the same shape, a coefficient table with one row per coefficient.
  bool valid(bool quick = false) const override;
  // Replaces the description by a copy of `model` and clears the results.
  void setModel(const GLMModel& model);

  // --- results ---
  // Coefficients x responses; row names = coefficient names, column names = response names.
  void setCoefficients(const TMatrix<double>& coef) { coefficients_ = coef; }
  const TMatrix<double>& coefficients() const { return coefficients_; }
  long nCoefficients() const { return coefficients_.getNRow(); }
  // Same shape as the coefficients; NaN for aliased coefficients, and for every coefficient
  // of a fit without residual degrees of freedom (as R's summary gives NaN there).
  void setStdErr(const TMatrix<double>& stdErr) { stdErr_ = stdErr; }
  const TMatrix<double>& stdErr() const { return stdErr_; }
  // Which coefficients are aliased (R's NA), one flag per coefficient (all responses share
  // the design). Without flags, a coefficient is aliased when its standard error is NaN.
  void setAliased(const std::vector<bool>& aliased) { aliased_ = aliased; }
  bool isAliased(long row, long col) const;
  // Coefficients x model variables: a covariate's exponent, or the 1-based level number a
  // factor's coefficient stands for; 0 when the variable is not part of the coefficient.
  void setCoefTable(const TMatrix<long>& table) { coefTable_ = table; }
  const TMatrix<long>& coefTable() const { return coefTable_; }
  // Analysis of deviance: sources x responses, row names are the sources.
  void setDeviance(const TMatrix<double>& deviance) { deviance_ = deviance; }
  // The three-row table of the iterative fit: "Regression" = max(nullDeviance - deviance, 0),
  // "Error" = deviance, and "Total" (Gaussian with identity link, or no family) or "Null" =
  // nullDeviance.
  void setDeviance(double deviance, double nullDeviance);
  const TMatrix<double>& deviance() const { return deviance_; }
  // Degrees of freedom per source (one column, rows as the deviance table).
  void setDf(const TMatrix<long>& df) { df_ = df; }
  // The three rows of the iterative fit: total - error, error, total.
  void setDf(long total, long error);
  const TMatrix<long>& df() const { return df_; }
  // Degrees of freedom of the row named "Error"; 0 when there is none.
  long dfE() const;
  void setMissing(long missing) { missing_ = missing; }
  long nMissing() const { return missing_; }
  // Importance: Wald statistic per term (terms x responses, row names = term labels) and its
  // degrees of freedom (terms x 1).
  void setWaldStat(const TMatrix<double>& stat, const TMatrix<long>& df);
  const TMatrix<double>& waldStat() const { return waldStat_; }
  const TMatrix<long>& waldDf() const { return waldDf_; }
  // The coefficient pairs whose correlation reached the threshold: labels "a and b", values.
  void setCorrelations(double threshold, const strVector& labels, const dVector& values);
  double corrThreshold() const { return corrThreshold_; }
  const strVector& corrLabels() const { return corrLabels_; }
  const dVector& corrValues() const { return corrValues_; }
  // count name/value pairs: array holds 2 * count texts (name, value, name, value, ...).
  void setModelExtras(long count, const String* array);
  long getNumModelExtras() const { return static_cast<long>(extras_.size() / 2); }
  const strVector& getModelExtras() const { return extras_; }
  void setR(const DoubleMatrix& r) { R_ = r; }
  const DoubleMatrix& getR() const { return R_; }
  void setQTY(const DoubleMatrix& qty) { QTY_ = qty; }
  const DoubleMatrix& getQTY() const { return QTY_; }
  // Per-term coefficient ranges: nTerms() + 1 entries, term t owns coefficients
  // [entry t, entry t + 1). Filled by the reader from the coefficient table.
  void setTermIndices(const Index& indices) { termIndices_ = indices; }
  const Index& termIndices() const { return termIndices_; }

  // --- model operations ---
  // Replaces eta[0..n) (a copy of the response) by the family's starting values; weights
  // (empty: none) are the prior weights, the binomial trial counts. No family: unchanged.
  void initialize(TMatrix<double>& eta, double mean, const TMatrix<double>& weights) const;
  // The family's inverse link applied to eta; "Invalid Family" without a valid family.
  TMatrix<double> invLink(const TMatrix<double>& eta) const;

  // Writes the whole VTML document of the fit (GLMFitXML.cpp); true while the stream is good.
  bool getXML(std::ostream& os) const;
  // One matrix as an element at `level`: attributes nRows and nCols, one Row (num, zero
  // based) per row holding one Col (num, val) per column; an empty matrix is one empty
  // element.
  static void getDoubleMatrixXML(std::ostream& os, const char* element, const TMatrix<double>& m,
                                 int level);
  // --- the C scoring package (GLMFitCSource.cpp) ---
  // "LogisticRegression" for a binomial family, else "LinearRegression"; either applies the
  // fit's inverse link.
  const char* cScoringModelKind() const;
  // Fills the empty record `model` with the scoring library's model of that kind: the
  // metadata of the model terms (createCModelMetaData with the factors' one coding) and the
  // coefficients, intercept first (0 without one), and the link. Throws "number of columns in
  // the model matrix does not match the number of coefficients" when the coefficients do not
  // fit the terms, "a C scoring model scores one response, but the fit has %ld", "the
  // coefficient %s is NA|infinite: a C scoring model needs finite coefficients", and the
  // messages of createCModelMetaData.
  void createCScoringModel(TelvarObject* model) const;
  // Writes the C scoring package of the fit into distDir from the library sources and
  // templates in srcDir (VTPackageGenerator): "missing directory names", "cannot access one
  // of directories: %s, %s", "the C scoring package was not completely written to %s" (the
  // generator's messages went to standard error). Returns true.
  bool generatePredictCSource(const char* srcDir, const char* distDir) const;

 private:
  TMatrix<double> coefficients_;
  TMatrix<double> stdErr_;
  std::vector<bool> aliased_;
  TMatrix<long> coefTable_;
  TMatrix<double> deviance_;
  TMatrix<long> df_;
  long missing_ = 0;
  TMatrix<double> waldStat_;
  TMatrix<long> waldDf_;
  double corrThreshold_ = 0.0;
  strVector corrLabels_;
  dVector corrValues_;
  strVector extras_;
  DoubleMatrix R_;
  DoubleMatrix QTY_;
  Index termIndices_;
};
