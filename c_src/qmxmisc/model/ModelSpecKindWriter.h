// ModelSpecKindWriter: the model element of a model specification document. A model
// specification is the document frame of a model that is described but not yet fitted
// (ModelSpecWriter); each model kind contributes its own element through this interface,
// chosen by a kind name from a ModelSpecKindWriters table ("spec" is the neutral element of
// ModelSpecElementWriter; a model kind adds e.g. its GeneralRegressionModel element).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "qmxmisc/model/MiningModel.h"

class ModelSpecKindWriter {
 public:
  virtual ~ModelSpecKindWriter() = default;
  // Writes the opening element at level 1, the MiningSchema (model.getXMLSchema(os)) and the
  // element's content from level 2; true while the stream is good.
  virtual bool begin(std::ostream& os, const MiningModel& model) const = 0;
  // Writes the closing element at level 1.
  virtual bool end(std::ostream& os, const MiningModel& model) const = 0;
};

// What a kind's writer is made from: the formula text and kind-specific settings by name
// (e.g. "family" for a generalized linear model), as the command line gives them.
struct SpecSettings {
  std::string formula;
  std::map<std::string, std::string> values;
};

// A table of element writers by kind name, filled by its owner (no global registry):
// model kinds above this layer add their writers where the table is made.
class ModelSpecKindWriters {
 public:
  using Factory = std::function<std::unique_ptr<ModelSpecKindWriter>(const SpecSettings&)>;

  // Adds or replaces the writer of `kind`.
  void add(const std::string& kind, Factory factory) { factories_[kind] = std::move(factory); }
  // The writer of `kind`; "unknown model kind '%s'; known kinds: %s" when there is none.
  std::unique_ptr<ModelSpecKindWriter> make(const std::string& kind,
                                            const SpecSettings& settings) const;
  // Kind names in byte order.
  std::vector<std::string> kinds() const;

 private:
  std::map<std::string, Factory> factories_;
};

// A table holding the neutral "spec" kind (ModelSpecElementWriter).
ModelSpecKindWriters baseSpecElementWriters();
