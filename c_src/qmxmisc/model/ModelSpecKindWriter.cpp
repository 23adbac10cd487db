// The table of specification element writers by model kind.
#include "qmxmisc/model/ModelSpecKindWriter.h"

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/ModelSpecElementWriter.h"

std::unique_ptr<ModelSpecKindWriter> ModelSpecKindWriters::make(
    const std::string& kind, const SpecSettings& settings) const {
  const auto found = factories_.find(kind);
  if (found == factories_.end()) {
    std::string known;
    for (const std::string& name : kinds())
      known += (known.empty() ? "" : ", ") + name;
    QMX_ThrowException("unknown model kind '%s'; known kinds: %s", kind.c_str(), known.c_str());
  }
  return found->second(settings);
}

std::vector<std::string> ModelSpecKindWriters::kinds() const {
  std::vector<std::string> names;
  for (const auto& entry : factories_)
    names.push_back(entry.first);
  return names;
}

ModelSpecKindWriters baseSpecElementWriters() {
  ModelSpecKindWriters writers;
  writers.add("spec", [](const SpecSettings& settings) {
    return std::make_unique<ModelSpecElementWriter>(settings.formula);
  });
  return writers;
}
