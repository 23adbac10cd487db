#include "qmxmisc/cluster/KMeansSpecWriter.h"

bool KMeansSpecWriter::begin(std::ostream& os, const MiningModel& model) const {
  const String& name = model.modelName();
  os << MiningModel::Indent("<ClusteringModel modelName=", 1)
     << MiningModel::Quote(name.empty() ? "KMeans" : name.c_str()) << MiningModel::XMLEOL();
  return model.getXMLSchema(os);
}

bool KMeansSpecWriter::end(std::ostream& os, const MiningModel&) const {
  os << MiningModel::Indent("</ClusteringModel>\n", 1);
  return os.good();
}

std::unique_ptr<ModelSpecKindWriter> KMeansSpecWriter::fromSettings(const SpecSettings&) {
  return std::make_unique<KMeansSpecWriter>();
}
