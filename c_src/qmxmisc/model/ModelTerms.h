// ModelTerms: the description of a model's variables shared by every model object: the
// responses, the categorical predictors (factors) with their levels, the terms table
// (one row per predictor, one column per term, entry = power of the variable in the term),
// the intercept flag and the case-weights column. It drives the model matrix and writes
// and reads the common frame of the VTML model document.
//
// Implementation files: ModelTerms.cpp (description), ModelTermsXML.cpp (document frame
// writer), ModelTermsFormat.cpp (the static formatting helpers), ModelTermsRead.cpp (the
// constructor from a document, through ModelHandler).
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "qmxmisc/model/FactorInfo.h"
#include "qmxmisc/numeric/String.h"
#include "qmxmisc/numeric/TMatrix.h"
#include "qmxmisc/numeric/Vectors.h"

// The standalone scoring library's object record (vtcsrc/VTObjects.h); createCModelMetaData
// is defined in the prediction layer, which may include that library.
struct TelvarObject;

class ModelTerms {
 public:
  // Empty description with an intercept.
  ModelTerms() = default;
  ModelTerms(const ModelTerms&) = default;
  ModelTerms(ModelTerms&&) noexcept = default;
  ModelTerms& operator=(const ModelTerms&) = default;
  ModelTerms& operator=(ModelTerms&&) noexcept = default;
  // Builds the description by reading a VTML document text (ModelHandler).
  explicit ModelTerms(const char* xml);
  virtual ~ModelTerms() = default;

  // keep false: empties factors, responses and the terms table and sets the intercept;
  // keep true: nothing happens.
  virtual void erase(bool keep = false);
  // Terms table non-empty unless there is an intercept; name counts match the table;
  // every factor has a name and a level.
  virtual bool valid(bool quick = false) const;
  virtual long nResponse() const { return static_cast<long>(responses_.size()); }

  // Document frame writers; each returns true while the stream is good.
  virtual bool getXMLDataDict(std::ostream& os) const;
  virtual bool getXMLHeader(std::ostream& os) const;
  virtual bool beginXMLModel(std::ostream& os) const;
  virtual bool endXMLModel(std::ostream& os) const;

  // --- terms table and intercept ---
  // Shares the table and its row (variable) and column (term) names.
  void setTermsTable(const TMatrix<long>& table) { terms_ = table; }
  const TMatrix<long>& termsTable() const { return terms_; }
  void setIntercept(bool intercept) { intercept_ = intercept; }
  bool intercept() const { return intercept_; }

  // --- responses ---
  // Extends the responses to k + 1 entries when shorter, then entry k takes the name (and,
  // from a FactorInfo, its levels, counts and values). An empty C-string name is ignored.
  void setResponse(const char* name, long k = 0);
  void setResponse(const String& name, long k = 0);
  void setResponse(const std::string& name, long k = 0);
  void setResponse(const FactorInfo& response, long k = 0);
  void setResponses(const strVector& names);
  void setResponses(const factVector& responses);
  // "Invalid dependent variable index %d. Model has %d dependent variables".
  const FactorInfo& response(long k) const;
  const factVector& responses() const { return responses_; }

  // --- weights ---
  void setWeights(const String& name) { weights_ = name; }
  const String& weights() const { return weights_; }

  // --- factors ---
  // Every factor's name must be a row name of the terms table, else "categorical variable
  // %s is not a variable in the model".
  void setFactors(const factVector& factors);
  void setFactors(const std::vector<FactorInfo>& factors);
  const factVector& factors() const { return factors_; }

  // --- derived variables (DerivedVariable.h) ---
  // The variable of that name is computed by the R expression, e.g. "log(x)".
  void setExpression(const String& variable, const std::string& expression);
  // The expression of a variable, empty for a data column.
  const std::string& expression(const String& variable) const;
  // --- offsets: expressions (as inside I(), e.g. "log(t)") added to the linear predictor ---
  void addOffset(const std::string& expression) { offsets_.push_back(expression); }
  const std::vector<std::string>& offsets() const { return offsets_; }
  // The data columns the variables read (a derived variable's columns in its place), then
  // those the offsets read, each once, in row order.
  strVector inputColumns() const;

  // --- lookups ---
  long nVariables() const { return terms_.getNRow(); }
  const String& variable(long i) const;  // "Bad variable index %d"
  long nTerms() const { return terms_.getNCol(); }
  const String& term(long j) const;  // "Bad term index %d"
  long nFactors() const { return static_cast<long>(factors_.size()); }
  const String& factor(long i) const;  // "Bad categorical variable index %d"
  // Variables whose name is not a factor name, in row order.
  long nCovariates() const;
  const String& covariate(long i) const;  // "bad covariate index %d"
  // Factor i ("Bad factor index %d" / "Bad categorical variable index %d").
  const FactorInfo& factorInfo(long i) const;
  FactorInfo& factorInfo(long i);
  // Looks the name up among the factors, then among the responses; "Bad categorical
  // variable name" for an empty name, "Nonexistant categorical variable %s" when unknown.
  const FactorInfo& factorInfo(const char* name) const;
  FactorInfo& factorInfo(const char* name);
  const strVector& levels(const char* name) const { return factorInfo(name).levels(); }
  const dVector& values(const char* name) const { return factorInfo(name).values(); }
  // "Bad variable name" for an empty name; true when a response of that name has levels or a
  // factor of that name exists.
  bool isFactor(const char* name) const;
  // True when the first response has at least one level.
  bool isClassification() const;

  // --- the standalone scoring library (defined in qmxmisc/predict/ModelTermsCMetaData.cpp) ---
  // Fills the empty record `metaData` with the scoring library's metadata of this
  // description: "columnInfo" holds one entry per model variable (terms-table row order), a
  // factor with its levels and split categories, a covariate without levels; "termInfo" one
  // entry per term, named by the term label, listing its variables in row order, a covariate
  // once per unit of its power and a factor once per model-matrix column. `coding` applies to
  // every factor: kNumeric describes factors as numeric columns; the split category of level
  // k is k, except that the last level gets -1 (no column) under kLastReference and -2 (-1 in
  // every column) under kSumToZero. The scoring library multiplies these blocks out like the
  // model matrix (Telvar_designWidth). Throws for kPolynomial, for a factor with a power above
  // 1, and for a name or level the scoring library's text streams cannot hold.
  void createCModelMetaData(TelvarObject* metaData, MatrixCoding coding) const;

  // --- formatting helpers of every model writer (ModelTermsFormat.cpp) ---
  // Each returns text in a buffer shared by its family (text: QFormat(const char*), Quote,
  // Indent; numbers: the other QFormat overloads and Format) that the next call of the same
  // family overwrites; write it out at once.
  static const char* XMLEOL() { return ">\n"; }
  static const char* XMLSEOL() { return "/>\n"; }
  static const char* QFormat(int value);
  static const char* QFormat(long value);
  static const char* QFormat(long long value);
  static const char* QFormat(unsigned value);
  static const char* QFormat(unsigned long value);
  // Shortest %g form with 15 significant digits, in double quotes / without.
  static const char* QFormat(double value);
  static const char* Format(double value);
  // The text XML-escaped in double quotes; null gives "". More than 4999 characters throws
  // "character buffer limit exceeded".
  static const char* QFormat(const char* text);
  static const char* Quote(const char* text);
  // 2*level spaces (|level| spaces when negative) and the text; same limit and message.
  static const char* Indent(const char* text, int level);

 protected:
  // Extra ColumnInfo lines of a model kind, written before ColumnDefinitions closes.
  virtual bool specialColDefinitions(std::ostream& os) const;

 private:
  factVector factors_;
  factVector responses_;
  TMatrix<long> terms_;
  bool intercept_ = true;
  String weights_;
  std::map<std::string, std::string> expressions_;  // derived variable name -> expression
  std::vector<std::string> offsets_;
};
