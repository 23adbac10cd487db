#include "qmxmisc/model/SAXParserFactory.h"

#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLEntityResolver.hpp>
#include <xercesc/util/XMLResourceIdentifier.hpp>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/XMLPlatformGuard.h"

namespace {

// Refuses every request for an external resource (general or parameter entity, external DTD
// subset, schema, XInclude): with default entity resolution disabled, "no source" makes the
// parser report the resource as unreadable instead of opening a file or a connection, so a
// document that needs one is rejected with a parser error. (Answering with an empty in-memory
// source instead reads the entity as empty, but the scanner then leaks that source when it is
// an external DTD subset.)
class RefusingEntityResolver : public xercesc::XMLEntityResolver {
 public:
  xercesc::InputSource* resolveEntity(xercesc::XMLResourceIdentifier* /*resource*/) override {
    return nullptr;
  }
};

// Passes every document event on to the model handler and stops a document whose elements
// nest deeper than kSAXMaxElementDepth. With namespaces on, the scanner resolves each element's
// prefix by walking the open-element stack, so nesting depth d costs O(d^2): the limit keeps a
// hostile document from taking minutes, far above any depth a model document reaches.
class DepthLimitedHandler : public xercesc::DocumentHandler {
 public:
  explicit DepthLimitedHandler(xercesc::DocumentHandler& target) : target_(target) {}

  void characters(const XMLCh* const chars, const XMLSize_t length) override {
    target_.characters(chars, length);
  }
  void endDocument() override { target_.endDocument(); }
  void endElement(const XMLCh* const name) override {
    if (depth_ > 0) --depth_;
    target_.endElement(name);
  }
  void ignorableWhitespace(const XMLCh* const chars, const XMLSize_t length) override {
    target_.ignorableWhitespace(chars, length);
  }
  void processingInstruction(const XMLCh* const target, const XMLCh* const data) override {
    target_.processingInstruction(target, data);
  }
  void resetDocument() override {
    depth_ = 0;
    target_.resetDocument();
  }
  void setDocumentLocator(const xercesc::Locator* const locator) override {
    target_.setDocumentLocator(locator);
  }
  void startDocument() override {
    depth_ = 0;
    target_.startDocument();
  }
  void startElement(const XMLCh* const name, xercesc::AttributeList& attributes) override {
    if (++depth_ > kSAXMaxElementDepth) {
      QMX_ThrowException("XML document nests elements deeper than %u levels", kSAXMaxElementDepth);
    }
    target_.startElement(name, attributes);
  }

 private:
  xercesc::DocumentHandler& target_;
  unsigned depth_ = 0;
};

// A SAX parser that stops at a document type declaration, before any of its declarations
// is read: model documents never carry one, and the internal subset is where the scanner is
// weakest (an element declaration with a long list of alternatives makes its content model
// recurse until the stack runs out). The scanner reports the declaration as soon as it has
// read the root element's name, before the subset (when a DTD handler is set).
class NoDoctypeSAXParser : public xercesc::SAXParser {
 public:
  using xercesc::SAXParser::SAXParser;

  void doctypeDecl(const xercesc::DTDElementDecl& /*elemDecl*/, const XMLCh* const /*publicId*/,
                   const XMLCh* const /*systemId*/, const bool /*hasIntSubset*/,
                   const bool /*hasExtSubset*/) override {
    QMX_ThrowException("model documents may not contain a document type declaration");
  }
};

}  // namespace

// Declaration order is construction order: the platform reference comes first and is
// released last, after the parser that used it is gone.
struct SAXParserResources {
  explicit SAXParserResources(xercesc::DocumentHandler& handler) : depthLimit(handler) {}
  XMLPlatformGuard platform;
  xercesc::SecurityManager security;
  RefusingEntityResolver resolver;
  DepthLimitedHandler depthLimit;
};

SAXParserDeleter::SAXParserDeleter() = default;
SAXParserDeleter::SAXParserDeleter(std::unique_ptr<SAXParserResources> resources)
    : resources_(std::move(resources)) {}
SAXParserDeleter::SAXParserDeleter(SAXParserDeleter&&) noexcept = default;
SAXParserDeleter& SAXParserDeleter::operator=(SAXParserDeleter&&) noexcept = default;
SAXParserDeleter::~SAXParserDeleter() = default;

void SAXParserDeleter::operator()(xercesc::SAXParser* parser) noexcept {
  // unique_ptr hands over sole ownership of the raw parser here.
  std::unique_ptr<xercesc::SAXParser> owned(parser);
  owned.reset();
  resources_.reset();
}

SAXParserPtr makeSAXParser(xercesc::HandlerBase& handler) {
  auto resources = std::make_unique<SAXParserResources>(handler);
  resources->security.setEntityExpansionLimit(kSAXEntityExpansionLimit);
  // Construct the parser while the platform reference is held; the deleter keeps both.
  std::unique_ptr<xercesc::SAXParser> parser = std::make_unique<NoDoctypeSAXParser>();
  parser->setDocumentHandler(&resources->depthLimit);
  parser->setErrorHandler(&handler);
  // With a DTD handler set the parser reports document type declarations to itself (where
  // NoDoctypeSAXParser refuses them); the handler's own DTD events are no-ops.
  parser->setDTDHandler(&handler);
  parser->setXMLEntityResolver(&resources->resolver);
  parser->setDisableDefaultEntityResolution(true);
  parser->setLoadExternalDTD(false);
  parser->setLoadSchema(false);
  parser->setSecurityManager(&resources->security);
  parser->setValidationScheme(xercesc::SAXParser::Val_Auto);
  parser->setDoNamespaces(true);
  parser->setDoSchema(true);
  return SAXParserPtr(parser.release(), SAXParserDeleter(std::move(resources)));
}
