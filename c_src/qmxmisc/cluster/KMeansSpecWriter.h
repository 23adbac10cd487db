// KMeansSpecWriter: the ClusteringModel element of a k-means model specification, the
// description the k-means fitting proc reads from "model.vtml" (its variables come from the
// mining schema, their statistics from the frame):
//
//   <ClusteringModel modelName="KMeans">
//     <MiningSchema>
//       <MiningField name="Sepal.Length"/>
//       ...
//     </MiningSchema>
//   </ClusteringModel>
//
// A specification holds no Cluster element: it is not a fitted model.
#pragma once

#include <memory>

#include "qmxmisc/model/ModelSpecKindWriter.h"

class KMeansSpecWriter : public ModelSpecKindWriter {
 public:
  bool begin(std::ostream& os, const MiningModel& model) const override;
  bool end(std::ostream& os, const MiningModel& model) const override;

  // The kind table's factory (no settings are read).
  static std::unique_ptr<ModelSpecKindWriter> fromSettings(const SpecSettings& settings);
};
