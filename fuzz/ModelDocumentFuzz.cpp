// libFuzzer target: reads the input as a VTML model document three times, into a MiningModel
// (the frame and mining schema), a GLMFit (the GeneralRegressionModel element table) and a
// KMeansFit (the ClusteringModel element table). A QMXException is the reader's normal answer
// to a bad document; anything else (a crash, a sanitizer report, another exception type, a
// hang) is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/cluster/KMeansFit.h"
#include "qmxmisc/glm/GLMFit.h"
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
  try {
    const GLMFit fit(document.c_str());
  } catch (const QMXException&) {
  }
  try {
    const KMeansFit fit(document.c_str());
  } catch (const QMXException&) {
  }
  return 0;
}
