#include "qmxmisc/model/XMLPlatformGuard.h"

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>

#include "qmxmisc/base/QMXException.h"

XMLPlatformGuard::XMLPlatformGuard() {
  try {
    xercesc::XMLPlatformUtils::Initialize();
  } catch (const xercesc::XMLException& e) {
    // The platform is not up, so its transcoder cannot be used: report the message code.
    QMX_ThrowException("XML platform initialization failed (Xerces error code %d)",
                       static_cast<int>(e.getCode()));
  }
}

XMLPlatformGuard::~XMLPlatformGuard() {
  xercesc::XMLPlatformUtils::Terminate();
}
