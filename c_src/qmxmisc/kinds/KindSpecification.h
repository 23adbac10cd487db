// The model specification documents of the command line, built from a CSV file's metadata
// pass and an R formula through the model-kind table: `qmx spec --kind NAME` (the neutral
// "spec" element or a kind's specification) and the specification `qmx fit KIND` gives its
// fitting proc. Errors (formula, settings, the kind's checks) throw QMXException.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "qmxbase/QMXCsvMetadata.h"
#include "qmxmisc/kinds/ModelKinds.h"

struct SpecificationRequest {
  std::string formula;
  std::string weights;                          // the weights column, "" for none
  std::map<std::string, std::string> settings;  // the kind's settings ("family", ...)
};

struct Specification {
  std::string document;
  // The model of the formula, for summary lines.
  std::vector<std::string> responses;
  std::vector<std::string> terms;
  bool intercept = true;
  std::string weights;
  std::int64_t coefficients = 0;  // model matrix columns (FitCost.h)
  std::string note;               // the kind's note on its preparation, e.g. the level a fit models
  // Properties of the fitting proc to set before its options and "model.vtml" (fits only).
  std::vector<std::pair<std::string, std::string>> fitProperties;
};

// The names qmx spec --kind takes: "spec" and every kind's specName, in byte order.
std::vector<std::string> specificationKinds();

// qmx spec --kind `kind`: "unknown model kind 'K'; known kinds: ..." for a name not listed.
Specification writeSpecification(const QMXCsvMetadata& meta, const std::string& kind,
                                 const SpecificationRequest& request);

// The specification of a fit of `kind`, with the kind's checks for a fit.
Specification fitSpecification(const QMXCsvMetadata& meta, const ModelKind& kind,
                               const SpecificationRequest& request);
