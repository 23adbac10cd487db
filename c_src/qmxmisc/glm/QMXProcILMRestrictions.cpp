// QMXProcILM: the sum-to-zero side conditions of the factors. A factor with its own
// main-effect term enters the model matrix with one indicator column per level; the
// restrictions make its coefficients sum to zero in the main effect and, in an interaction,
// within every group of cells that share the levels of the term's other factors. The
// restricted solution equals R's lm() with contr.sum contrasts (the level that contr.sum
// leaves out is minus the sum of the others).
#include <algorithm>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/QMXProcILM.h"

void QMXProcILM::applyRestrictions() {
  if (acc.rowsUsed() < 1 || restrictMode == 0 || restrictionsAdded) return;
  if (!lls.isValid()) QMX_ThrowException("invalid linear least squares fit");
  const long p = lls.nCoef();
  if (p < 1) QMX_ThrowException("no coefficients");
  if (lls.nResp() < 1) QMX_ThrowException("no dependent variables");
  if (!fit.intercept() || fit.nTerms() < 1 || fit.nFactors() < 1) return;
  if (termIndices.empty()) QMX_ThrowException("invalid terms indices");

  // One weight per coefficient; all 1 under "balancedSigma".
  const dVector restrictWeights(static_cast<std::size_t>(p), 1.0);
  lls.beginRestrictions();
  long offset = 1;  // coefficient 0 is the intercept
  for (long t = 0; t < fit.nTerms(); ++t) {
    const long cells = restrictTerm(t, offset, restrictWeights);
    if (cells > 0) {
      offset += cells;
    } else {
      offset += static_cast<long>(termIndices[static_cast<std::size_t>(t + 1)]) -
                static_cast<long>(termIndices[static_cast<std::size_t>(t)]);
    }
  }
  lls.endRestrictions();
  restrictionsAdded = true;
}

// The cells of term t are laid out with its last factor varying fastest. For each restricted
// factor i (from the last to the first) with n_i levels and stride S (the product of the
// level counts of the factors after it), the groups of n_i cells that share the levels of
// the other factors are offset + g + s + l*S (l = 0 .. n_i - 1); P/n_i - 1 of them (at
// least 1; all P/n_i for the first factor processed) are restricted to sum to zero, skipping
// groups that depend on earlier ones. With P/n_i - 1 groups for the first factor too, the sum
// over all cells of a factor x factor term would stay free: one interaction coefficient would
// be aliased and the term would lose a degree of freedom that R's contr.sum fit keeps.
long QMXProcILM::restrictTerm(long t, long offset, const dVector& restrictWeights) {
  const TMatrix<long>& table = fit.termsTable();
  std::vector<long> levelCounts;
  std::vector<long> mainFirst;
  for (long v = 0; v < fit.nVariables(); ++v) {
    const long entry = table(v, t);
    if (entry <= 0) continue;
    const String& name = fit.variable(v);
    if (!fit.isFactor(name.c_str())) continue;
    if (entry == 2) return 0;  // a nested effect: no restricted factor
    if (restrictFlags[static_cast<std::size_t>(v)] != 1) continue;
    const long main = mainEffectTerm(name);
    if (main < 0) continue;
    const long first = static_cast<long>(termIndices[static_cast<std::size_t>(main)]);
    const long last = static_cast<long>(termIndices[static_cast<std::size_t>(main + 1)]);
    levelCounts.push_back(last - first);
    mainFirst.push_back(first);
  }
  if (levelCounts.empty()) return 0;

  long cells = 1;
  for (long n : levelCounts)
    cells *= n;
  const long p = lls.nCoef();
  const dVector rhs(static_cast<std::size_t>(lls.nResp()), 0.0);
  long stride = 1;
  for (long i = static_cast<long>(levelCounts.size()) - 1; i >= 0; --i) {
    const long n = levelCounts[static_cast<std::size_t>(i)];
    // The first factor restricts every one of its groups; each later factor one group fewer,
    // since the sum over all cells is already fixed by the groups restricted before it.
    const bool firstFactor = i == static_cast<long>(levelCounts.size()) - 1;
    const long wanted = firstFactor ? cells / n : std::max(cells / n - 1, 1L);
    long added = 0;
    for (long g = 0; g < cells && added < wanted; g += n * stride) {
      for (long s = 0; s < stride && added < wanted; ++s) {
        dVector h(static_cast<std::size_t>(p), 0.0);
        for (long level = 0; level < n; ++level) {
          const long cell = offset + g + s + level * stride;
          if (cell >= p)
            QMX_ThrowException("Zero based index %d exceeds the number of elements %d",
                               static_cast<int>(cell), static_cast<int>(p));
          h[static_cast<std::size_t>(cell)] = restrictWeights[static_cast<std::size_t>(
              mainFirst[static_cast<std::size_t>(i)] + level)];
        }
        added += lls.addRestriction(h, rhs);
      }
    }
    stride *= n;
  }
  return cells;
}
