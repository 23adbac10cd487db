// makeSAXParser: the one place where the library creates a Xerces-C SAX parser, and
// SAXParserPtr, the owning pointer that deletes it.
//
// Every parser is configured for documents from untrusted sources:
// - an entity resolver refuses every external entity, external DTD subset and schema request
//   and default entity resolution is disabled, so nothing is ever read from disk or the
//   network: a document that needs an external resource ends with a parser error; external
//   DTD loading and schema-location loading are off as well;
// - a security manager bounds entity expansion, so nested internal entities ("billion
//   laughs") end with a fatal parser error after a few dozen expansions;
// - a document whose elements nest deeper than kSAXMaxElementDepth levels is stopped with
//   "XML document nests elements deeper than %u levels" (the scanner's namespace lookup makes
//   depth quadratic in time);
// - a document type declaration is refused with "model documents may not contain a document
//   type declaration" as soon as the scanner meets it, before its internal subset is read;
// - validation scheme automatic, namespaces on, schema processing on: no schema is fetched
//   because schema locations are never loaded.
#pragma once

#include <memory>

#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>

struct SAXParserResources;

// Deletes the parser, then releases what it used (security manager, entity resolver and the
// platform reference), in that order.
class SAXParserDeleter {
 public:
  SAXParserDeleter();
  explicit SAXParserDeleter(std::unique_ptr<SAXParserResources> resources);
  SAXParserDeleter(SAXParserDeleter&&) noexcept;
  SAXParserDeleter& operator=(SAXParserDeleter&&) noexcept;
  ~SAXParserDeleter();

  void operator()(xercesc::SAXParser* parser) noexcept;

 private:
  std::unique_ptr<SAXParserResources> resources_;
};

using SAXParserPtr = std::unique_ptr<xercesc::SAXParser, SAXParserDeleter>;

// Entity expansions a document may make before the parser stops it with a fatal error.
// The library's own documents use none (the five predefined entities are not counted).
inline constexpr unsigned kSAXEntityExpansionLimit = 64;

// Element nesting a document may reach; model documents stay far below (trees nest one
// element per level and are at most a few dozen levels deep).
inline constexpr unsigned kSAXMaxElementDepth = 4096;

// A SAX parser without a validator, configured as above, with `handler` as its document handler
// (behind the depth limit) and error handler. The handler must outlive the parser.
SAXParserPtr makeSAXParser(xercesc::HandlerBase& handler);
