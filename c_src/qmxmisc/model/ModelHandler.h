// ModelHandler: the SAX handler that reads the common frame of a VTML model document into a
// ModelTerms: the column definitions (ColumnDefinitions/ColumnInfo/Level, or the alternative
// DataDictionary/DataField/Value), the univariate statistics (UnivariateStats, NumericInfo,
// Counts, Category), and, at the end of the document, the responses, factors and terms table.
//
// The handler keeps a bit mask of the frame elements it is inside and rejects elements out of
// place. Model handlers derive from it (MiningModelHandler for models with a mining schema),
// test their own element names with getElement/isElement, number their own state bits from
// 0x8000 upward and hand every other element to their base. Parse a document with
// ModelParseXMLString / ModelParseXMLFile (ModelParse.h).
//
// Implementation files: ModelHandler.cpp (state, buffers, document and parser events),
// ModelHandlerElements.cpp (the element rules).
#pragma once

#include <xercesc/sax/AttributeList.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/TransService.hpp>

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "qmxmisc/model/FactorInfo.h"
#include "qmxmisc/model/ModelTerms.h"
#include "qmxmisc/model/XMLPlatformGuard.h"
#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/String.h"
#include "qmxmisc/numeric/TMatrix.h"
#include "qmxmisc/numeric/Vectors.h"

class ModelHandler : public xercesc::HandlerBase {
 public:
  // State bits of the frame elements (model handlers use 0x8000 and up).
  static constexpr unsigned XML_xtMetaData = 0x1;
  static constexpr unsigned XML_columnDefinitions = 0x2;
  static constexpr unsigned XML_columnInfo = 0x4;
  static constexpr unsigned XML_columnStats = 0x8;
  static constexpr unsigned XML_univariateStats = 0x10;
  static constexpr unsigned XML_counts = 0x20;

  // Element names and attribute values are kept to this many bytes; longer ones are cut (at a
  // character boundary).
  static constexpr std::size_t kBufferChars = 512;

  // A handler that fills `model`. The model is written through this handler although it is
  // passed as const&: callers construct a model and immediately read a document into it
  // (ModelTerms(const char* xml)), and the object itself is never const.
  explicit ModelHandler(const ModelTerms& model);
  ~ModelHandler() override;
  ModelHandler(const ModelHandler&) = delete;
  ModelHandler& operator=(const ModelHandler&) = delete;

  // --- state mask ---
  void resetState() { state_ = 0; }
  void setStateOn(unsigned bits) { state_ |= bits; }
  void setStateOff(unsigned bits) { state_ &= ~bits; }
  // bits 0: the mask is 0; otherwise all given bits are set.
  bool isState(unsigned bits) const { return bits == 0 ? state_ == 0 : (state_ & bits) == bits; }
  bool anyState(unsigned bits) const { return (state_ & bits) != 0; }
  unsigned state() const { return state_; }

  // True when there is no model to fill; the parse loop stops as soon as it is true.
  bool done() const { return done_; }
  // The last parser message ("fatal error in XML parser. Line #%d", ...), empty when none.
  const String& getError() const { return error_; }

  // --- document handler ---
  void startDocument() override;
  void endDocument() override;
  void startElement(const XMLCh* const name, xercesc::AttributeList& attributes) override;
  void endElement(const XMLCh* const name) override;

  // --- error handler: store the message (replacing any earlier one); the parse goes on and
  // ModelParseXMLString throws the stored text at the end ---
  void warning(const xercesc::SAXParseException& exc) override;
  void error(const xercesc::SAXParseException& exc) override;
  // Also erases the model; "Bad model object" without a model.
  void fatalError(const xercesc::SAXParseException& exc) override;

  // --- what was read (for derived handlers and tests) ---
  const factVector& columns() const { return columns_; }
  long currentColumn() const { return currentColumn_; }
  const strVector& independentNames() const { return independentNames_; }
  const strVector& dependentNames() const { return dependentNames_; }
  // One row per column read (row names = column names), columns "min", "max", "mean",
  // "std.dev" and an unnamed fifth holding the total frequency; a statistic the document
  // does not give is NaN.
  const DoubleMatrix& columnStatistics() const { return columnStats_; }

 protected:
  // The attribute readers of element tables use the buffers below.
  friend class ElementAttributes;

  // Appends `length` units of character data to `text` as UTF-8, keeping `text` to at most
  // kBufferChars bytes (the rest is dropped).
  void appendCharacters(const XMLCh* chars, XMLSize_t length, std::string& text);

  // A handler without a model: done is true and every document event throws "Bad model
  // object".
  ModelHandler();

  // Transcodes the element name (UTF-8) into the element-name buffer; false when it is empty.
  bool getElement(const XMLCh* name);
  // Exact comparison with the element-name buffer; false for an empty name or buffer.
  bool isElement(const char* name) const;
  const char* element() const { return elementName_.data(); }
  // Fetches the named attribute into the attribute buffer (UTF-8); true when non-empty.
  bool getAttribute(xercesc::AttributeList& attributes, const char* name);
  bool getAttribute(xercesc::AttributeList& attributes, const char* name, String& value);
  const char* attribute() const { return attributeValue_.data(); }

  // The model being filled; "Bad model object" when there is none.
  ModelTerms& model();
  bool hasModel() const { return model_ != nullptr; }
  // Index of the column of that name, -1 when none was read.
  long findColumn(const char* name) const;
  // True when a column of that name was read with role "independent".
  bool isIndependent(const char* name) const;
  // Stops the parse loop after the current step.
  void setDone(bool done) { done_ = done; }
  // Main-effect terms read from a mining schema, one variable name per term; the document end
  // turns them into the terms table (see endDocument).
  void addSchemaTerm(const String& variable) { schemaTerms_.push_back(variable); }
  const strVector& schemaTerms() const { return schemaTerms_; }

 private:
  // Statistics columns.
  static constexpr std::size_t kStatMin = 0;
  static constexpr std::size_t kStatMax = 1;
  static constexpr std::size_t kStatMean = 2;
  static constexpr std::size_t kStatStdDev = 3;
  static constexpr std::size_t kStatTotalFreq = 4;
  static constexpr std::size_t kStatCount = 5;
  using StatRow = std::array<double, kStatCount>;

  // What the handler keeps per column besides its FactorInfo: a level lookup (first
  // occurrence wins), the counts read from Category elements (copied into the FactorInfo at
  // the end of Counts, so n categories cost O(n), not O(n^2)), and the statistics row.
  struct ColumnRecord {
    std::unordered_map<std::string, long> levelIndex;
    lVector counts;
    bool countsPending = false;
    StatRow stats;
  };

  // Transcodes UTF-16 text into `buffer` as UTF-8, at most kBufferChars bytes.
  void transcode(const XMLCh* text, std::array<char, kBufferChars + 1>& buffer);
  void storeParserMessage(const char* format, const xercesc::SAXParseException& exc);
  [[noreturn]] static void throwBadModel();

  // Element rules (ModelHandlerElements.cpp).
  void startColumnDefinitions(xercesc::AttributeList& attributes);
  void startColumnInfo(xercesc::AttributeList& attributes);
  // The expression attribute of the current ColumnInfo, which names a derived variable.
  void readExpression(const String& name);
  void readOffset(xercesc::AttributeList& attributes);
  void startLevel(xercesc::AttributeList& attributes);
  void startUnivariateStats(xercesc::AttributeList& attributes);
  void startNumericInfo(xercesc::AttributeList& attributes);
  void startCounts(xercesc::AttributeList& attributes);
  void startCategory(xercesc::AttributeList& attributes);
  // A required decimal attribute of the current column's statistics.
  double requiredNumber(xercesc::AttributeList& attributes, const char* name,
                        const char* missingFormat);
  [[noreturn]] void throwUnexpected() const;
  // Name of the current column; the rules that need one check it is valid first.
  const char* currentName() const;
  bool hasCurrentColumn() const;
  void appendColumn(const char* name);
  // Copies pending Category counts into the columns' FactorInfo.
  void syncAllCounts();
  // Rebuilds columnStats_ from the per-column rows.
  void buildStatistics();
  // Document end (ModelHandlerElements.cpp): responses, factors and terms table.
  void assembleModel();
  // The schema's main-effect terms when each names an independent variable, else the
  // identity over the independent variables; rows and columns named.
  TMatrix<long> buildTermsTable() const;

  // The platform must outlive the transcoder (declared first, destroyed last).
  XMLPlatformGuard platform_;
  std::array<char, kBufferChars + 1> elementName_{};
  std::array<char, kBufferChars + 1> attributeValue_{};
  ModelTerms* model_ = nullptr;
  bool done_ = true;
  factVector columns_;
  long currentColumn_ = -1;
  strVector independentNames_;
  strVector dependentNames_;
  unsigned state_ = 0;
  String error_;
  DoubleMatrix columnStats_;
  std::unique_ptr<xercesc::XMLTranscoder> transcoder_;
  std::unordered_map<std::string, long> columnIndex_;
  std::vector<ColumnRecord> columnRecords_;
  std::vector<long> pendingCounts_;
  std::unordered_set<std::string> independentSet_;
  strVector schemaTerms_;
};
