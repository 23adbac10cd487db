// The k-means model kind of the model-kind table (kinds/ModelKinds): "kmeans", fitted by
// QMXProcKMeans and scored by QMXProcKMeansPredict from a ClusteringModel document, specified
// by KMeansSpecWriter and summarized by kmeansSummary. KMeansKind.cpp holds the descriptor,
// the fit options and the scoring output names; KMeansKindModel.cpp the hooks.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "qmxmisc/model/ModelKind.h"

extern const ModelKind kKMeansKind;

namespace kmeans_kind {

// A fit clusters numeric columns only: a factor or text column of the model throws.
std::string prepareModel(const SpecSettings& settings, const MiningModel& model,
                         std::vector<DataColumn>& columns, bool forFit);

// The fitting proc's properties of the settings "scale" (none 0, range 1, sd 2: "scale"),
// "init" (first 0, random 1, hclust 3 with "max.rows" from "data.rows": "initializingCenter";
// rows:R1,R2,...: "initialRows", 1-based data rows). Bad values throw QMXException.
std::vector<std::pair<std::string, std::string>> fitProperties(const SpecSettings& settings);

// The variables of a fitted ClusteringModel document; a specification is not fitted.
ScoreModel scoreModel(const std::string& document);

}  // namespace kmeans_kind
