#include "qmxmisc/model/ModelHandler.h"

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUniDefs.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "qmxmisc/base/QMXException.h"

ModelHandler::ModelHandler() {
  xercesc::XMLTransService::Codes result = xercesc::XMLTransService::Ok;
  transcoder_.reset(xercesc::XMLPlatformUtils::fgTransService->makeNewTranscoderFor(
      xercesc::XMLRecognizer::UTF_8, result, kBufferChars));
  if (transcoder_ == nullptr || result != xercesc::XMLTransService::Ok) {
    QMX_ThrowException("XML platform has no UTF-8 transcoder (status %d)",
                       static_cast<int>(result));
  }
}

ModelHandler::ModelHandler(const ModelTerms& model) : ModelHandler() {
  // See the header: the model object is never const, the signature is.
  model_ = const_cast<ModelTerms*>(&model);
  done_ = false;
}

ModelHandler::~ModelHandler() = default;

void ModelHandler::throwBadModel() {
  QMX_ThrowException("Bad model object");
}

ModelTerms& ModelHandler::model() {
  if (model_ == nullptr) throwBadModel();
  return *model_;
}

// --- buffers ---

void ModelHandler::transcode(const XMLCh* text, std::array<char, kBufferChars + 1>& buffer) {
  buffer[0] = '\0';
  if (text == nullptr || text[0] == 0) return;
  // Every UTF-16 unit gives at least one UTF-8 byte, so no more than kBufferChars units can
  // fit: the rest of a long text is never looked at (a 10 MB value costs nothing extra).
  std::size_t units = 0;
  while (units < kBufferChars && text[units] != 0)
    ++units;
  // Keep a surrogate pair whole when the cut falls inside it.
  if (text[units] != 0 && units > 0 && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF)
    ++units;
  XMLSize_t eaten = 0;
  const XMLSize_t bytes =
      transcoder_->transcodeTo(text, units, reinterpret_cast<XMLByte*>(buffer.data()), kBufferChars,
                               eaten, xercesc::XMLTranscoder::UnRep_RepChar);
  buffer[bytes] = '\0';
}

void ModelHandler::appendCharacters(const XMLCh* chars, XMLSize_t length, std::string& text) {
  std::array<char, kBufferChars + 1> buffer{};
  while (length > 0 && text.size() < kBufferChars) {
    const XMLSize_t units = std::min<XMLSize_t>(length, kBufferChars - text.size());
    XMLSize_t eaten = 0;
    const XMLSize_t bytes = transcoder_->transcodeTo(
        chars, units, reinterpret_cast<XMLByte*>(buffer.data()), kBufferChars - text.size(), eaten,
        xercesc::XMLTranscoder::UnRep_RepChar);
    if (eaten == 0) break;
    text.append(buffer.data(), bytes);
    chars += eaten;
    length -= eaten;
  }
}

bool ModelHandler::getElement(const XMLCh* name) {
  transcode(name, elementName_);
  return elementName_[0] != '\0';
}

bool ModelHandler::isElement(const char* name) const {
  if (name == nullptr || name[0] == '\0' || elementName_[0] == '\0') return false;
  return std::strcmp(elementName_.data(), name) == 0;
}

bool ModelHandler::getAttribute(xercesc::AttributeList& attributes, const char* name) {
  transcode(attributes.getValue(name), attributeValue_);
  return attributeValue_[0] != '\0';
}

bool ModelHandler::getAttribute(xercesc::AttributeList& attributes, const char* name,
                                String& value) {
  const bool found = getAttribute(attributes, name);
  value = String(attributeValue_.data());
  return found;
}

// --- parser messages ---

void ModelHandler::storeParserMessage(const char* format, const xercesc::SAXParseException& exc) {
  char text[128];
  std::snprintf(text, sizeof text, format, static_cast<int>(exc.getLineNumber()));
  error_ = String(text);
}

void ModelHandler::warning(const xercesc::SAXParseException& exc) {
  storeParserMessage("warning in XML parser. Line #%d", exc);
}

void ModelHandler::error(const xercesc::SAXParseException& exc) {
  storeParserMessage("recoverable error in XML parser. Line #%d", exc);
}

void ModelHandler::fatalError(const xercesc::SAXParseException& exc) {
  storeParserMessage("fatal error in XML parser. Line #%d", exc);
  model().erase(false);
}

// --- document events ---

void ModelHandler::startDocument() {
  error_ = String();
  model().erase(false);
  independentNames_.clear();
  dependentNames_.clear();
  columns_.clear();
  columnIndex_.clear();
  columnRecords_.clear();
  pendingCounts_.clear();
  independentSet_.clear();
  columnStats_ = DoubleMatrix();
  schemaTerms_.clear();
  currentColumn_ = -1;
  resetState();
}

void ModelHandler::endDocument() {
  if (model_ == nullptr) throwBadModel();
  syncAllCounts();
  buildStatistics();
  assembleModel();
}

void ModelHandler::startElement(const XMLCh* const name, xercesc::AttributeList& attributes) {
  if (!getElement(name)) return;
  if (isElement("XTMetaData")) {
    if (!isState(0)) throwUnexpected();
    setStateOn(XML_xtMetaData);
  } else if (isElement("ColumnDefinitions") || isElement("DataDictionary")) {
    if (isState(0) || isState(XML_xtMetaData)) startColumnDefinitions(attributes);
  } else if (isElement("ColumnInfo") || isElement("DataField")) {
    if (isState(XML_columnDefinitions)) startColumnInfo(attributes);
  } else if (isElement("Level") || isElement("Value")) {
    if (isState(XML_columnInfo)) startLevel(attributes);
  } else if (isElement("UnivariateStats")) {
    if (isState(XML_xtMetaData)) startUnivariateStats(attributes);
  } else if (isElement("NumericInfo")) {
    startNumericInfo(attributes);
  } else if (isElement("Counts")) {
    startCounts(attributes);
  } else if (isElement("Category")) {
    startCategory(attributes);
  }
}

void ModelHandler::endElement(const XMLCh* const name) {
  if (!getElement(name)) return;
  if (isElement("XTMetaData")) {
    resetState();
  } else if (isElement("ColumnDefinitions") || isElement("DataDictionary")) {
    setStateOff(XML_columnDefinitions);
    buildStatistics();
  } else if (isElement("ColumnInfo") || isElement("DataField")) {
    setStateOff(XML_columnInfo);
  } else if (isElement("UnivariateStats")) {
    setStateOff(XML_univariateStats);
  } else if (isElement("Counts")) {
    setStateOff(XML_counts);
    syncAllCounts();
  }
}

void ModelHandler::throwUnexpected() const {
  QMX_ThrowException("unexpected %s element", elementName_.data());
}
