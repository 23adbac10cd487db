// Helpers of the scoring-base tests: a scoring proc with a fake fit (model terms plus a fixed
// coefficient matrix), the data tables it scores, and a pipeline run that collects the
// output rows and the proc's messages.
#pragma once

#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "model/ModelMatrixTestSupport.h"
#include "qmxbase/QMXMemorySink.h"
#include "qmxbase/QMXMemorySource.h"
#include "qmxbase/QMXMemoryTable.h"
#include "qmxbase/QMXPipeline.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/predict/QMXProcPredict.h"

namespace predicttest {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A scoring proc whose fit is a ModelTerms and a coefficient matrix B (model-matrix columns x
// prediction columns). Each chunk: eta = X B; the prediction is eta + 0.5, the working
// weights eta / 10 and dmu/deta eta / 4 (values chosen so that every matrix differs).
// "residual" is scaled when "iglm.family" was set. setXML takes "coef=<b0>" (one
// coefficient); "throw" throws a std::runtime_error; any other text is refused with
// "bad model text".
class FakeScoringProc : public QMXProcPredict {
 public:
  FakeScoringProc() = default;
  FakeScoringProc(ModelTerms model, std::vector<std::vector<double>> coefficients,
                  bool probabilityFit = false)
      : fit(std::move(model)), coef(std::move(coefficients)), probabilities(probabilityFit) {}

  void setXML(const char* xml) override {
    const std::string text = xml != nullptr ? xml : "";
    if (text == "throw") throw std::runtime_error("not a library exception");
    if (text.rfind("coef=", 0) != 0) QMX_ThrowException("bad model text");
    coef = {{std::stod(text.substr(5))}};
  }
  const ModelTerms& getFit() const override { return fit; }
  void generatePredictCSource() override {
    generated.emplace_back(cSourceDirectory().str() + "|" + cDistributionDirectory().str());
  }

  void processChunk() override {
    if (throwForeign) throw std::runtime_error("not a library exception");
    const long n = getDataChunk();
    chunkRows.push_back(n);
    TMatrix<double> mu, eta, weights, derivative;
    if (n > 0) {
      const long p = modelMatrix.getNCol();
      const long q = static_cast<long>(coef.empty() ? 0 : coef.front().size());
      if (p != static_cast<long>(coef.size())) QMX_ThrowException("fake fit: %ld coefficients", p);
      const long rows = dropPredictionRow ? n - 1 : n;
      eta = TMatrix<double>(rows, q);
      mu = TMatrix<double>(rows, q);
      weights = TMatrix<double>(rows, q);
      derivative = TMatrix<double>(rows, q);
      for (long row = 0; row < rows; ++row) {
        for (long out = 0; out < q; ++out) {
          double sum = 0.0;
          for (long col = 0; col < p; ++col)
            sum += modelMatrix(row, col) *
                   coef[static_cast<std::size_t>(col)][static_cast<std::size_t>(out)];
          eta(row, out) = sum;
          mu(row, out) = sum + (probabilities ? 0.0 : 0.5);
          weights(row, out) = sum / 10.0;
          derivative(row, out) = sum / 4.0;
        }
      }
    }
    if (corruptTermIndicies) firstTermIndicies = Index{9, 9};
    const bool scaled = !familyName().empty();
    if (withoutWorkingMatrices) {
      writeOutputData(mu, nullptr, nullptr, nullptr, scaled);
    } else {
      writeOutputData(mu, &weights, &eta, &derivative, scaled);
    }
  }

  using QMXProcPredict::setClusterCount;
  const ModelMatrix& matrix() const { return modelMatrix; }

  ModelTerms fit;
  std::vector<std::vector<double>> coef;
  // The prediction is X B itself (class probabilities, cluster numbers).
  bool probabilities = false;
  bool withoutWorkingMatrices = false;
  bool dropPredictionRow = false;
  bool corruptTermIndicies = false;
  bool throwForeign = false;
  std::vector<long> chunkRows;
  std::vector<std::string> generated;
};

// y ~ 1 + x + f, f with levels (a, b) and the last level as reference: columns
// "(Intercept)", x, "f(a)"; B = (1, 2, 10); case weights "wt".
inline ModelTerms regressionFit() {
  ModelTerms model =
      modeltest::makeModel({"x", "f"}, {{"x", {1, 0}}, {"f", {0, 1}}},
                           {modeltest::factor("f", {"a", "b"}, MatrixCoding::kLastReference)});
  model.setResponse("y");
  model.setWeights(String("wt"));
  return model;
}

inline std::vector<std::vector<double>> regressionCoef() {
  return {{1.0}, {2.0}, {10.0}};
}

// Eight rows; the third has a missing predictor, the fourth a missing observed response.
inline QMXMemoryTable regressionTable() {
  QMXMemoryTable table;
  table.addDoubleColumn("y", {13, 2, 5, kNaN, 9, 6, 1, 30})
      .addDoubleColumn("x", {0, 1, kNaN, 3, 2, 2, 0, 4})
      .addFactorColumn("f", {"a", "b", "a", "b", "a", "b", "b", "a"}, {"a", "b"})
      .addStringColumn("id", {"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7"})
      .addDoubleColumn("wt", {1, 2, 1, 1, 0.5, 3, 1, 2});
  return table;
}

// cls (lo, mid, hi) ~ 0 + g, g with levels (p, q, r, s) as indicators; B gives each level's
// class probabilities: p (0.2, 0.5, 0.3), q (0.4, 0.4, 0.2), r (0.1, 0.45, 0.45),
// s (0.1, 0.2, 0.7).
inline ModelTerms classificationFit(const std::vector<std::string>& classes = {"lo", "mid", "hi"}) {
  ModelTerms model = modeltest::makeModel({"g"}, {{"g", {1}}},
                                          {modeltest::factor("g", {"p", "q", "r", "s"})}, false);
  model.setResponse(modeltest::factor("cls", classes));
  return model;
}

inline std::vector<std::vector<double>> classificationCoef() {
  return {{0.2, 0.5, 0.3}, {0.4, 0.4, 0.2}, {0.1, 0.45, 0.45}, {0.1, 0.2, 0.7}};
}

// 0 + k: the prediction's one column is the cluster number k.
inline ModelTerms clusterFit() {
  return modeltest::makeModel({"k"}, {{"k", {1}}}, {}, false);
}

struct RunResult {
  bool ok = false;
  std::string error;
  QMXMemoryTable output;
  std::vector<QMXMessage> messages;
};

// Sets every property (each a chain of values), then runs the proc over `table` (no input
// when null) in chunks of `chunkRows` with an output of `schema` (none when empty).
inline RunResult runScoring(FakeScoringProc& proc, const QMXMemoryTable* table, long chunkRows,
                            const QMXSchema& schema,
                            const std::vector<std::vector<std::string>>& properties = {}) {
  const QMXMemoryTable none;
  QMXMemorySource source(table != nullptr ? *table : none);
  QMXMemorySink sink;
  RunResult result;
  {
    QMXPipeline pipeline(proc, "FakeScoringProc");
    if (table != nullptr) pipeline.addInput(source);
    if (!schema.empty()) pipeline.setOutput(schema, &sink);
    pipeline.setChunkRows(chunkRows);
    pipeline.attach();
    bool ok = true;
    for (const auto& values : properties) {
      QMXPropertyInfo request(values.front(),
                              std::vector<std::string>(values.begin() + 1, values.end()));
      ok = pipeline.setProperty(request) && ok;
    }
    result.ok = ok && pipeline.run();
    result.error = pipeline.error();
  }
  result.output = sink.table();
  result.messages = proc.getMessages();
  return result;
}

inline std::vector<std::string> messagesOf(const std::vector<QMXMessage>& messages,
                                           QMXMessageKind kind) {
  std::vector<std::string> texts;
  for (const QMXMessage& m : messages)
    if (m.kind == kind) texts.push_back(m.text);
  return texts;
}

// Element-wise equality where NaN equals NaN, within `tolerance`.
inline bool sameNumbers(const std::vector<double>& a, const std::vector<double>& b,
                        double tolerance) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::isnan(a[i]) != std::isnan(b[i]) || std::fabs(a[i] - b[i]) > tolerance) return false;
  return true;
}

}  // namespace predicttest
