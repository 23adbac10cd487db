// The output columns of qmx score: the friendly output names of --output and the defaults,
// turned into the scoring proc's output definitions ("define.output": index, type text,
// column name) and the output buffer's columns.
#pragma once

#include <string>
#include <vector>

#include "qmxbase/QMXColumnInfo.h"

// What the outputs need to know about the fitted regression model.
struct ScoreModelInfo {
  std::vector<std::string> responses;       // response names, in model order
  std::vector<std::string> responseLevels;  // levels of the first response (factor only)
  bool binomial = false;
  // The names of the scoring proc's probability columns of a binomial model: the response's
  // two levels as the document lists them (the first is the level whose probability the
  // model fits), or the response's name and "1 - " its name for a 0/1 response.
  std::vector<std::string> probabilityColumns;
};

// One output column: the proc's definition and the column of the output buffer.
struct ScoreOutput {
  int index = 0;
  std::string type;  // the proc's type text: "fitted.value", "probability", ...
  QMXColumnInfo column;
};

// The friendly names and the proc's type texts they stand for, for --help.
extern const char* const kScoreOutputHelp;

// The outputs when --output is not given: the fitted value (response scale) of every
// response; for a binomial model the probability of the fitted level ("prob.<level>") and,
// when the response is a factor, the predicted category ("class").
std::vector<ScoreOutput> defaultScoreOutputs(const ScoreModelInfo& model);

// One --output item, TYPE[:INDEX[:NAME]]: TYPE a friendly name or the proc's type text,
// INDEX the response (or, for prob, the category: a number or a level name; default 0),
// NAME the column name (default: the friendly name, "prob.<level>" for prob). Throws
// CommandError for an unknown type, a bad index or an output the model cannot give.
ScoreOutput parseScoreOutput(const std::string& item, const ScoreModelInfo& model);
