#include "qmxmisc/kinds/FitCost.h"

#include <algorithm>
#include <vector>

#include "qmxmisc/cluster/KMeansKind.h"
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

// K-means over p columns: the chunk's model matrix, the retained set (10000 rows by
// default) and the pool of centers, retained rows and chunk rows each fold works on; the
// document holds about 40 bytes per center value.
FitCost kmeansCost(std::int64_t p, long chunkRows) {
  const double columns = static_cast<double>(p);
  constexpr double kRetainedRows = 10000;
  FitCost cost;
  cost.coefficients = p;
  cost.chunkBytes = static_cast<double>(chunkRows) * columns * kDouble;
  cost.stateBytes = (2 * kRetainedRows + static_cast<double>(chunkRows)) * (columns + 2) * kDouble;
  cost.documentBytes = 400 * columns + 4096;
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
    {&kKMeansKind, &kmeansCost},
};

// The variables of each term, as membership flags per variable.
std::vector<std::vector<bool>> termVariables(const MiningModel& model) {
  const TMatrix<long>& terms = model.termsTable();
  std::vector<std::vector<bool>> sets(static_cast<std::size_t>(model.nTerms()),
                                      std::vector<bool>(model.nVariables(), false));
  for (long termIdx = 0; termIdx < model.nTerms(); ++termIdx)
    for (long varIdx = 0; varIdx < model.nVariables(); ++varIdx)
      sets[termIdx][varIdx] = terms(varIdx, termIdx) > 0;
  return sets;
}

}  // namespace

// R's rule: a factor of a term is coded by contrasts (levels - 1 columns) when the term
// without it is in the model (the empty term being the intercept), else by all its levels.
std::int64_t modelCoefficients(const MiningModel& model) {
  const std::vector<std::vector<bool>> sets = termVariables(model);
  const auto inModel = [&](const std::vector<bool>& set) {
    if (std::none_of(set.begin(), set.end(), [](bool in) { return in; })) return model.intercept();
    return std::find(sets.begin(), sets.end(), set) != sets.end();
  };
  std::int64_t columns = model.intercept() ? 1 : 0;
  for (const std::vector<bool>& set : sets) {
    std::int64_t width = 1;
    for (std::size_t varIdx = 0; varIdx < set.size(); ++varIdx) {
      const char* name = model.variable(static_cast<long>(varIdx)).c_str();
      if (!set[varIdx] || !model.isFactor(name)) continue;
      const FactorInfo& factor = model.factorInfo(name);
      if (factor.matrixCoding() == MatrixCoding::kNumeric) continue;
      std::vector<bool> rest = set;
      rest[varIdx] = false;
      width *= factor.length() - (inModel(rest) ? 1 : 0);
    }
    columns += width;
  }
  return columns;
}

FitCost estimateFitCost(const ModelKind& kind, std::int64_t coefficients, long chunkRows) {
  for (const KindCost& row : kCosts)
    if (row.kind == &kind) return row.estimate(coefficients, chunkRows);
  return leastSquaresCost(coefficients, chunkRows);
}
