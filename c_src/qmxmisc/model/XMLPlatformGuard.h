// XMLPlatformGuard: holds one reference to the process-wide XML platform (the Xerces-C
// transcoding service, message loader and memory manager) for as long as it lives.
//
// XMLPlatformUtils::Initialize and ::Terminate count their calls: the platform is set up by
// the first Initialize and torn down only by the Terminate that balances the last one. Every
// object that uses the platform (a parser, a handler holding a transcoder) owns a guard
// declared before the members that need the platform, so the platform is never torn down
// while a parser or transcoder of the library still lives.
#pragma once

class XMLPlatformGuard {
 public:
  // Initializes the platform (or adds a reference); a failure is thrown as a QMXException.
  XMLPlatformGuard();
  ~XMLPlatformGuard();
  XMLPlatformGuard(const XMLPlatformGuard&) = delete;
  XMLPlatformGuard& operator=(const XMLPlatformGuard&) = delete;
};
