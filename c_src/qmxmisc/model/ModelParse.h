// ModelParseXMLString / ModelParseXMLFile: read a VTML model document through a model handler
// (ModelHandler or a handler derived from it).
//
// The document goes through one progressive SAX parse (parseFirst, then parseNext while the
// parser reports more and the handler is not done, then parseReset). A parse that cannot
// start throws "Failed to initialized XLM parser"; an exception raised by the handler passes
// through to the caller; when the parse ends, a parser message stored by the handler
// ("fatal error in XML parser. Line #%d", ...) is thrown. A null or empty text or path does
// nothing. The parser comes from makeSAXParser, so no external resource is ever loaded.
#pragma once

#include "qmxmisc/model/ModelHandler.h"

// The handler is taken as const& so that a temporary handler can be passed:
//   ModelParseXMLString(MiningModelHandler(model), xml);
// The parse changes it; it must not be an object defined const.
void ModelParseXMLString(const ModelHandler& handler, const char* xml);
void ModelParseXMLFile(const ModelHandler& handler, const char* path);
