// What a fit will cost, known before its first pass: the number of coefficients (model
// matrix columns), the memory of one chunk's model matrix, of the fit's p x p state, and the
// size of the fitted document. Each kind supplies its estimate in the table of FitCost.cpp;
// a kind without a row is estimated as a least-squares fit.
#pragma once

#include <cstdint>

#include "qmxmisc/kinds/ModelKinds.h"

class MiningModel;

struct FitCost {
  std::int64_t coefficients = 0;
  double chunkBytes = 0;     // the model matrix of one chunk
  double stateBytes = 0;     // what the fit holds across chunks (its p x p matrices)
  double documentBytes = 0;  // the fitted document, also held in memory while written

  // The memory the fit needs at once.
  double memoryBytes() const { return chunkBytes + stateBytes + documentBytes; }
};

// The model matrix columns of `model`, as R's model.matrix counts them: the intercept, then
// per term the product of the widths of its variables (a factor: its levels, less one when
// the term without it is in the model).
std::int64_t modelCoefficients(const MiningModel& model);

// The estimate for a fit of `kind` with `coefficients` columns and chunks of `chunkRows`.
FitCost estimateFitCost(const ModelKind& kind, std::int64_t coefficients, long chunkRows);
