// PredictOutput: one output definition of a scoring proc, as "define.output" gives it. Output
// column k of the output buffer receives definition k.
#pragma once

#include <cstdint>

#include "qmxmisc/numeric/String.h"
#include "qmxmisc/predict/PredictOutputType.h"

struct PredictOutput {
  // The column of the prediction matrix (or the response) the output takes.
  std::int32_t index = 0;
  PredictOutputType type = PredictOutputType::kNone;
  // The variable name; for "copy" the input column to copy.
  String name;
};
