// The output columns of qmx score: the friendly output names of --output (the kind's
// ModelKind::scoreOutputs) and the defaults, turned into the scoring proc's output
// definitions ("define.output": index, type text, column name) and the output buffer's
// columns.
#pragma once

#include <string>
#include <vector>

#include "qmxbase/QMXColumnInfo.h"
#include "qmxmisc/kinds/ModelKinds.h"

// One output column: the proc's definition and the column of the output buffer.
struct ScoreOutput {
  int index = 0;
  std::string type;      // the proc's type text: "fitted.value", "probability", ...
  std::string friendly;  // its --output name: "response", "prob", "residual:pearson", ...
  QMXColumnInfo column;
};

// The outputs when --output is not given: the first output name's value (the fitted value,
// "fitted") of every response; for a categorical model the probability of the fitted level
// ("prob.<level>") and, when the response is a factor, the predicted category ("class").
std::vector<ScoreOutput> defaultScoreOutputs(const ModelKind& kind, const ScoreModel& model);

// One --output item, TYPE[:INDEX[:NAME]]: TYPE a friendly name or the proc's type text,
// INDEX the response (or, for prob, the category: a number or a level name; default 0),
// NAME the column name (default: the friendly name, "prob.<level>" for prob). Throws
// CommandError for an unknown type, a bad index or an output the model cannot give.
ScoreOutput parseScoreOutput(const std::string& item, const ModelKind& kind,
                             const ScoreModel& model);
