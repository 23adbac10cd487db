#include "qmxmisc/model/ModelParse.h"

#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/XMLPScanToken.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLException.hpp>

#include <cstring>
#include <memory>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/SAXParserFactory.h"
#include "qmxmisc/model/XMLPlatformGuard.h"

namespace {

// A Xerces message as UTF-8 text (for the library's own diagnostics).
std::string utf8(const XMLCh* message) {
  if (message == nullptr) return {};
  xercesc::TranscodeToStr text(message, "UTF-8");
  return std::string(reinterpret_cast<const char*>(text.str()), text.length());
}

// Resets an open progressive parse however the parse loop is left.
class ProgressiveParse {
 public:
  ProgressiveParse(xercesc::SAXParser& parser, xercesc::XMLPScanToken& token)
      : parser_(parser), token_(token) {}
  ~ProgressiveParse() {
    try {
      parser_.parseReset(token_);
    } catch (...) {
      // Resetting an already failed parse: nothing more to release.
    }
  }
  ProgressiveParse(const ProgressiveParse&) = delete;
  ProgressiveParse& operator=(const ProgressiveParse&) = delete;

 private:
  xercesc::SAXParser& parser_;
  xercesc::XMLPScanToken& token_;
};

void parseSource(ModelHandler& handler, const xercesc::InputSource& source) {
  SAXParserPtr parser = makeSAXParser(handler);
  xercesc::XMLPScanToken token;
  bool started = false;
  {
    // parseFirst reads the prolog, where a document type declaration is refused by throwing.
    ProgressiveParse open(*parser, token);
    try {
      started = parser->parseFirst(source, token);
    } catch (const xercesc::XMLException&) {
      // An input that cannot be opened or read at all.
      started = false;
    }
    if (!started) QMX_ThrowException("Failed to initialized XLM parser");
    while (!handler.done() && parser->parseNext(token)) {
    }
  }
  parser.reset();
  if (!handler.getError().empty()) QMX_ThrowException("%s", handler.getError().c_str());
}

// Runs one parse; the parser's own exception types leave as QMXException.
template <class MakeSource>
void parseWith(const ModelHandler& handler, MakeSource makeSource) {
  // The signature's const is for temporaries (see ModelParse.h); the object is mutable.
  auto& mutableHandler = const_cast<ModelHandler&>(handler);
  XMLPlatformGuard platform;
  try {
    const std::unique_ptr<xercesc::InputSource> source = makeSource();
    parseSource(mutableHandler, *source);
  } catch (const xercesc::OutOfMemoryException&) {
    throw QMXMemoryException();
  } catch (const xercesc::XMLException& e) {
    QMX_ThrowException("XML parser failed: %s", utf8(e.getMessage()).c_str());
  } catch (const xercesc::SAXException& e) {
    QMX_ThrowException("XML parser failed: %s", utf8(e.getMessage()).c_str());
  }
}

}  // namespace

void ModelParseXMLString(const ModelHandler& handler, const char* xml) {
  if (xml == nullptr || xml[0] == '\0') return;
  parseWith(handler, [xml]() -> std::unique_ptr<xercesc::InputSource> {
    // Over the text's bytes, an empty buffer id, not adopted.
    return std::make_unique<xercesc::MemBufInputSource>(reinterpret_cast<const XMLByte*>(xml),
                                                        std::strlen(xml), "");
  });
}

void ModelParseXMLFile(const ModelHandler& handler, const char* path) {
  if (path == nullptr || path[0] == '\0') return;
  parseWith(handler, [path]() -> std::unique_ptr<xercesc::InputSource> {
    // The path is UTF-8 text; a local file source never goes through a URL resolver.
    xercesc::TranscodeFromStr name(reinterpret_cast<const XMLByte*>(path), std::strlen(path),
                                   "UTF-8");
    return std::make_unique<xercesc::LocalFileInputSource>(name.str());
  });
}
