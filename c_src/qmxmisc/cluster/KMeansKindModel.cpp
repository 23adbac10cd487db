// The hooks of the k-means kind that check a model, turn settings into the fitting proc's
// properties and read fitted documents.
#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/cluster/KMeansFit.h"
#include "qmxmisc/cluster/KMeansKind.h"
#include "qmxmisc/model/DataColumn.h"
#include "qmxmisc/model/MiningModel.h"
#include "qmxmisc/model/ModelSpecKindWriter.h"

namespace {

std::string setting(const SpecSettings& settings, const char* name) {
  const auto found = settings.values.find(name);
  return found == settings.values.end() ? std::string() : found->second;
}

// "R1,R2,...": positive whole numbers, each at most 18 digits.
bool isRowList(const std::string& text) {
  std::size_t digits = 0;
  for (std::size_t at = 0; at <= text.size(); ++at) {
    if (at == text.size() || text[at] == ',') {
      if (digits == 0) return false;
      digits = 0;
    } else if (std::isdigit(static_cast<unsigned char>(text[at])) && digits < 18) {
      if (digits > 0 || text[at] != '0')
        ++digits;
      else
        return false;  // no leading zeros, no row 0
    } else {
      return false;
    }
  }
  return true;
}

// True when the document holds a Cluster element (a start tag "<Cluster" followed by a blank,
// '>' or '/').
bool documentHoldsClusters(const std::string& document) {
  const std::string tag = "<Cluster";
  for (std::size_t at = document.find(tag); at != std::string::npos;
       at = document.find(tag, at + 1)) {
    const std::size_t next = at + tag.size();
    if (next < document.size() &&
        std::string(" >/\n\t\r").find(document[next]) != std::string::npos)
      return true;
  }
  return false;
}

}  // namespace

std::string kmeans_kind::prepareModel(const SpecSettings&, const MiningModel& model,
                                      std::vector<DataColumn>& columns, bool forFit) {
  if (!forFit) return "";
  for (long varIdx = 0; varIdx < model.nVariables(); ++varIdx) {
    const std::string name = model.variable(varIdx).str();
    for (const DataColumn& column : columns)
      if (column.name == name && column.kind != DataColumnKind::kNumeric)
        QMX_ThrowException("column '%s' is not numeric: k-means clusters numeric columns",
                           name.c_str());
  }
  return "";
}

std::vector<std::pair<std::string, std::string>> kmeans_kind::fitProperties(
    const SpecSettings& settings) {
  std::vector<std::pair<std::string, std::string>> properties;
  const std::string scale = setting(settings, "scale");
  const char* const scales[] = {"none", "range", "sd"};
  int scaleCode = -1;
  for (int code = 0; code < 3; ++code)
    if (scale == scales[code] || (scale.empty() && code == 0)) scaleCode = code;
  if (scaleCode < 0) QMX_ThrowException("--scale takes none, range or sd, not '%s'", scale.c_str());
  properties.emplace_back("scale", std::to_string(scaleCode));
  const std::string init = setting(settings, "init");
  if (init.rfind("rows:", 0) == 0) {
    const std::string rows = init.substr(5);
    if (!isRowList(rows))
      QMX_ThrowException(
          "--init rows: takes 1-based data row numbers, e.g. rows:1,51,101; not '%s'",
          rows.c_str());
    properties.emplace_back("initialRows", rows);
  } else if (init == "first" || init.empty()) {
    properties.emplace_back("initializingCenter", "0");
  } else if (init == "random") {
    properties.emplace_back("initializingCenter", "1");
  } else if (init == "hclust") {
    const std::string rows = setting(settings, "data.rows");
    if (!rows.empty()) properties.emplace_back("max.rows", rows);
    properties.emplace_back("initializingCenter", "3");
  } else {
    QMX_ThrowException("--init takes first, random, hclust or rows:R1,R2,..., not '%s'",
                       init.c_str());
  }
  return properties;
}

ScoreModel kmeans_kind::scoreModel(const std::string& document) {
  ScoreModel model;
  // A specification has the element but no clusters.
  model.fitted = documentHoldsClusters(document);
  if (!model.fitted) return model;
  const KMeansFit fit(document.c_str());
  for (long v = 0; v < fit.ModelTerms::nVariables(); ++v)
    model.variables.push_back(fit.variable(v).str());
  model.defaultOutputs = {"cluster", "distance"};
  model.outputColumns = {{"clusterMembership", 0}, {"distanceToCenter", 1}};
  return model;
}
