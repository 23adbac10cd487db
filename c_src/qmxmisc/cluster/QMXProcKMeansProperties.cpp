// QMXProcKMeans: the property table and the document of the fit.
#include <cstdlib>
#include <numeric>
#include <sstream>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/cluster/QMXProcKMeans.h"
#include "qmxmisc/model/MiningModel.h"

const QMXPropertyTable& QMXProcKMeans::properties() {
  using Rows = QMXPropertyRows<QMXProcKMeans>;
  using Type = QMXPropertyType;
  using Info = QMXPropertyInfo;
  static const QMXPropertyTable table(
      nullptr, {"Internal Error: Failed to set model specification", "Internal Error", true},
      {
          Rows::row("model.vtml", Type::String,
                    "the model description (variables and their statistics)", nullptr,
                    [](QMXProcKMeans& p, Info& v) {
                      const char* text = v.getString();
                      if (text == nullptr) QMX_ThrowException("Invalid model specification");
                      const MiningModel model(text);
                      if (!model.valid()) QMX_ThrowException("Invalid model specification");
                      p.fit.setModel(model);
                    }),
          Rows::row(
              "N.clusters", Type::Long, "number of clusters K (default 10)",
              [](QMXProcKMeans& p, Info& v) { v.setLong(p.nClusters); },
              [](QMXProcKMeans& p, Info& v) { p.nClusters = v.getLong(); }),
          Rows::row("maxIterations", Type::Long, "Hartigan-Wong iteration limit (default 10)",
                    nullptr,
                    [](QMXProcKMeans& p, Info& v) { p.engine.setMaxIterations(v.getLong()); }),
          Rows::row("rowsRetainedSet", Type::Long,
                    "rows the retained set holds (default 10000; < 1: from free memory)", nullptr,
                    [](QMXProcKMeans& p, Info& v) {
                      p.rowsRetainedSet = v.getLong();
                      p.engine.setRowsRetained(p.rowsRetainedSet);
                    }),
          Rows::row(
              "maxTimesRetainPoints", Type::Long, "kept; the fold does not use it", nullptr,
              [](QMXProcKMeans& p, Info& v) { p.engine.setMaxTimesRetainPoints(v.getLong()); }),
          Rows::row("scale", Type::Long, "input scaling: 0 none, 1 range, 2 standard deviation",
                    nullptr, [](QMXProcKMeans& p, Info& v) { p.scale = v.getLong(); }),
          Rows::row("initializingCenter", Type::Long,
                    "starting centers: 0 first K rows, 1 random rows, 2 hierarchical clustering "
                    "of the first chunk, 3 of a random sample (first pass)",
                    nullptr,
                    [](QMXProcKMeans& p, Info& v) {
                      const long method = v.getLong();
                      p.engine.setInitializingCenter(method);
                      if (method == KMeansEngine::kInitSample) p.samplingStage = kSampling;
                    }),
          Rows::row("initialRows", Type::String,
                    "starting centers: these 1-based data rows, comma-separated (first pass)",
                    nullptr, [](QMXProcKMeans& p, Info& v) { p.setInitialRows(v.getString()); }),
          Rows::row("max.rows", Type::Long, "rows of the data (sampling)", nullptr,
                    [](QMXProcKMeans& p, Info& v) { p.maxRows = v.getLong(); }),
          Rows::row("randomSeed", Type::Long, "seed of the random rows and sample (default 150)",
                    nullptr, [](QMXProcKMeans& p, Info& v) { p.randomSeed = v.getLong(); }),
          Rows::row(
              "fitted.model.pmml", Type::String, "the document of the fit",
              [](QMXProcKMeans& p, Info& v) { p.writeFittedModel(v); }, nullptr),
          Rows::row(
              "iterations", Type::Long, "Hartigan-Wong iterations of the final refinement",
              [](QMXProcKMeans& p, Info& v) { v.setLong(p.iterations_); }, nullptr),
          Rows::row(
              "converged", Type::Long, "1 when the final refinement converged",
              [](QMXProcKMeans& p, Info& v) { v.setLong(p.converged_ ? 1 : 0); }, nullptr),
          Rows::row(
              "warning", Type::String, "why the fit did not converge (empty when it did)",
              [](QMXProcKMeans& p, Info& v) { v.setString(p.warning_.c_str()); }, nullptr),
          Rows::row(
              "totss", Type::Double, "sum of squares of the scaled rows around their mean",
              [](QMXProcKMeans& p, Info& v) {
                v.setDouble(std::accumulate(p.totalSS_.begin(), p.totalSS_.end(), 0.0));
              },
              nullptr),
      });
  return table;
}

QMX_REGISTER_PROPERTIES(QMXProcKMeans, QMXProcKMeans::properties)

void QMXProcKMeans::setProperty(QMXPropertyInfo* prop) {
  properties().set(*this, prop);
}

void QMXProcKMeans::getProperty(QMXPropertyInfo* prop) {
  properties().get(*this, prop);
}

// "1,51,101": positive row numbers; an empty text clears them.
void QMXProcKMeans::setInitialRows(const char* text) {
  std::vector<long> rows;
  std::istringstream in(text == nullptr ? "" : text);
  for (std::string item; std::getline(in, item, ',');) {
    char* end = nullptr;
    const long row = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || row < 1)
      QMX_ThrowException("initialRows: '%s' is not a row number from 1", item.c_str());
    rows.push_back(row);
  }
  initialRows_ = rows;
  if (!rows.empty()) samplingStage = kSampling;
}

void QMXProcKMeans::writeFittedModel(QMXPropertyInfo& prop) const {
  std::ostringstream os;
  fit.getXML(os);
  const std::string text = os.str();
  prop.setString(text.c_str());
}
