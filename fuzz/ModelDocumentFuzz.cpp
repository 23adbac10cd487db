// libFuzzer target: reads the input as a VTML model document into a MiningModel (the frame
// and mining schema), then through every kind of the model-kind table (its scoreModel hook
// reads the kind's fitted model: GLMFit, KMeansFit, ...). A QMXException is the reader's
// normal answer to a bad document; anything else (a crash, a sanitizer report, another
// exception type, a hang) is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/kinds/ModelKinds.h"
#include "qmxmisc/model/MiningModel.h"
#include "qmxmisc/model/XMLPlatformGuard.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // One platform reference for the whole run, so the platform is not set up per input.
  static const XMLPlatformGuard platform;
  const std::string document(reinterpret_cast<const char*>(data), size);
  try {
    const MiningModel model(document.c_str());
  } catch (const QMXException&) {
  }
  for (const ModelKind* kind : modelKinds()) {
    try {
      kind->scoreModel(document);
    } catch (const QMXException&) {
    }
  }
  return 0;
}
