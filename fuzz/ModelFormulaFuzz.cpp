// libFuzzer target: reads the input as a model formula over a fixed set of columns (numeric,
// factor, text and a name that needs backquotes) and builds the model description from it.
// A QMXException is the parser's normal answer to a bad formula; anything else (a crash, a
// sanitizer report, another exception type, a hang) is a finding.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/ModelFormula.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<DataColumn> columns = {DataColumn::numeric("y"),
                                                  DataColumn::numeric("x"),
                                                  DataColumn::numeric("z"),
                                                  DataColumn::factor("f", {"a", "b", "c"}),
                                                  DataColumn::factor("g", {"lo", "hi"}),
                                                  DataColumn::numeric("my var"),
                                                  DataColumn::numeric("w"),
                                                  DataColumn::text("s")};
  const std::string_view formula(reinterpret_cast<const char*>(data), size);
  try {
    modelFromFormula(formula, columns, "w");
  } catch (const QMXException&) {
  }
  return 0;
}
