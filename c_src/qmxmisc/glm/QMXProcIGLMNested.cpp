// QMXProcIGLM: the sub-model fits after the main fit (GLMNestedFit): R's glm refit of the
// intercept-only model with the offset, and anova.glm's sequential models (terms 1..k).
#include <algorithm>
#include <cmath>

#include "qmxmisc/glm/QMXProcIGLM.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

bool QMXProcIGLM::beginNestedFits(QMXBufReader& reader) {
  nestedLimits.clear();
  nestedResults.clear();
  nullRefit = !fit.offsets().empty() && fit.intercept();
  if (nullRefit) nestedLimits.push_back(-1);
  if (anovaFits)
    for (long t = 0; t + 1 < fit.nTerms(); ++t)
      nestedLimits.push_back(t);
  if (nestedLimits.empty()) return false;
  mainRowsUsed = rowsUsed;
  mainRowsMissing = rowsMissing;
  nestedIndex = 0;
  nestedPass = true;
  startNestedFit(reader);
  return true;
}

// The sub-model of the current limit: R's columns of the terms up to it, then the input again.
void QMXProcIGLM::startNestedFit(QMXBufReader& reader) {
  const long limit = nestedLimits[nestedIndex];
  std::vector<long> kept;
  for (std::size_t j = 0; j < gammaTerm.size(); ++j)
    if (gammaTerm[j] <= limit) kept.push_back(static_cast<long>(j));
  DoubleMatrix columns(contrasts.getNRow(), static_cast<long>(kept.size()));
  for (std::size_t k = 0; k < kept.size(); ++k)
    for (long row = 0; row < contrasts.getNRow(); ++row)
      columns(row, static_cast<long>(k)) = contrasts(row, kept[k]);
  nested = std::make_unique<GLMNestedFit>(
      family(), std::move(columns), GLMNestedSettings{maxIterations, epsilon, glmRankTolerance()});
  reader.setChunkPosition(0);
  setRowsDone(0);
  reader.setRequestRows(getNumRows());
}

void QMXProcIGLM::nestedStep() {
  const long rows = executeRequestRows();
  QMXBufReader* reader = getInputBufReader(0);
  if (rows > 0) {
    const long n = QMXProcModel::getDataChunk();
    if (n > 0) {
      if (fit.weights().empty()) {
        weights = DoubleMatrix(n, 1L);
        std::fill_n(weights.data(), n, 1.0);
      }
      if (response.getNCol() == 2 && binomialCounts()) countsToProportions();
      nested->addChunk(modelMatrix, response, weights, offset);
    }
    reader->releaseRows(rows);
    incrementRowsDone(rows);
  }
  if (!reader->getEOF() || reader->getRowsReady() > 0) return;
  if (!nested->endPass()) {
    reader->setChunkPosition(0);
    setRowsDone(0);
    reader->setRequestRows(getNumRows());
    return;
  }
  if (!nested->converged()) addWarning("algorithm did not converge");
  nestedResults.emplace_back(nested->deviance(), nested->rank());
  if (++nestedIndex < nestedLimits.size()) {
    startNestedFit(*reader);
    return;
  }
  nested.reset();
  nestedPass = false;
  rowsUsed = mainRowsUsed;
  rowsMissing = mainRowsMissing;
  if (nullRefit) nullDeviance = nestedResults.front().first;
  finishFit();
}

std::string QMXProcIGLM::anovaText() const {
  if (!anovaFits || nestedPass) return "";
  const long rows = static_cast<long>(lls.getN(true));
  std::string out =
      glm_proc::format("NULL\t%ld\t%.17g\n", rows - (fit.intercept() ? 1L : 0L), nullDeviance);
  const std::size_t first = nullRefit ? 1 : 0;
  for (std::size_t k = first; k < nestedResults.size(); ++k)
    out += glm_proc::format("%s\t%ld\t%.17g\n", fit.term(static_cast<long>(k - first)).c_str(),
                            rows - nestedResults[k].second, nestedResults[k].first);
  if (fit.nTerms() > 0)
    out += glm_proc::format("%s\t%ld\t%.17g\n", fit.term(fit.nTerms() - 1).c_str(), rows - mainRank,
                            deviance);
  return out;
}
