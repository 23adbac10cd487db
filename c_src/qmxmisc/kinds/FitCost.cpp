#include "qmxmisc/kinds/FitCost.h"

#include "qmxmisc/glm/GLMKind.h"
#include "qmxmisc/model/MiningModel.h"

namespace {

constexpr double kDouble = sizeof(double);

// A least-squares fit: the chunk's model matrix and response, the triangular factor and the
// covariance of the estimates (p x p each); the document lists the covariance matrix, about
// 48 bytes per entry (measured on fits of 10 to 100 columns), and a line per coefficient.
FitCost leastSquaresCost(std::int64_t p, long chunkRows) {
  const double columns = static_cast<double>(p);
  FitCost cost;
  cost.coefficients = p;
  cost.chunkBytes = static_cast<double>(chunkRows) * (columns + 2) * kDouble;
  cost.stateBytes = 2 * columns * columns * kDouble;
  cost.documentBytes = 48 * columns * columns + 400 * columns + 4096;
  return cost;
}

// Iteratively reweighted least squares: as least squares, with the working weights and
// responses of a chunk and a second p x p cross-product for the previous iteration.
FitCost irlsCost(std::int64_t p, long chunkRows) {
  FitCost cost = leastSquaresCost(p, chunkRows);
  const double columns = static_cast<double>(p);
  cost.chunkBytes += 3 * static_cast<double>(chunkRows) * kDouble;
  cost.stateBytes += columns * columns * kDouble;
  return cost;
}

struct KindCost {
  const ModelKind* kind;
  FitCost (*estimate)(std::int64_t coefficients, long chunkRows);
};

// One row per kind.
const KindCost kCosts[] = {
    {&kLmKind, &leastSquaresCost},
    {&kGlmKind, &irlsCost},
};

std::int64_t variableWidth(const MiningModel& model, const char* name) {
  if (!model.isFactor(name)) return 1;
  const FactorInfo& factor = model.factorInfo(name);
  const std::int64_t levels = factor.length();
  switch (factor.matrixCoding()) {
    case MatrixCoding::kNumeric:
      return 1;
    case MatrixCoding::kIndicator:
      return levels;
    default:
      return levels > 0 ? levels - 1 : 0;
  }
}

}  // namespace

std::int64_t modelCoefficients(const MiningModel& model) {
  const TMatrix<long>& terms = model.termsTable();
  std::int64_t columns = model.intercept() ? 1 : 0;
  for (long termIdx = 0; termIdx < model.nTerms(); ++termIdx) {
    std::int64_t width = 1;
    bool any = false;
    for (long varIdx = 0; varIdx < model.nVariables(); ++varIdx) {
      if (terms(varIdx, termIdx) <= 0) continue;
      width *= variableWidth(model, model.variable(varIdx).c_str());
      any = true;
    }
    if (any) columns += width;
  }
  return columns;
}

FitCost estimateFitCost(const ModelKind& kind, std::int64_t coefficients, long chunkRows) {
  for (const KindCost& row : kCosts)
    if (row.kind == &kind) return row.estimate(coefficients, chunkRows);
  return leastSquaresCost(coefficients, chunkRows);
}
