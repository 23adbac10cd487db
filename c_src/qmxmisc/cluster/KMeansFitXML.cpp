// KMeansFit::getXML: the ClusteringModel element of a fitted k-means model.
//
//   <ClusteringModel modelName="KMeans" numberOfClusters="3" numberOfClusteringFields="2">
//     <MiningSchema> ... </MiningSchema>
//     <ClusteringField field="x" compareFunction="squaredEuclidean"/>
//     <Cluster  name="cluster 1"  number="1"  sizeInPercent="40"  size="4"  withinSS="1.5"
//       withinSSOverSize="0.375">                          (one line in the document)
//       <Center>
//         <CenterField data="0.25"/>
//       </Center>
//     </Cluster>
//     <InputScaling>
//       <InputScalingField data="1"/>
//     </InputScaling>
//     <Total size="10" sumSq="3" sumSqOverSize="0.3"/>
//   </ClusteringModel>
#include <cstdio>
#include <string>

#include "qmxmisc/cluster/KMeansFit.h"

namespace {

// The cluster numbers zero-padded to the digits of K + 1, in double quotes.
std::string numberFormat(long k) {
  const int digits = static_cast<int>(std::to_string(k + 1).size());
  char format[32];
  std::snprintf(format, sizeof format, "\"%%0%dd\"", digits);
  return format;
}

std::string clusterNumber(const std::string& format, long number) {
  char text[48];
  std::snprintf(text, sizeof text, format.c_str(), static_cast<int>(number));
  return text;
}

}  // namespace

bool KMeansFit::beginXMLModel(std::ostream& os) const {
  ModelTerms::beginXMLModel(os);
  os << Indent("<ClusteringModel modelName=", 1) << Quote(modelName().c_str());
  os << " numberOfClusters=" << QFormat(nClusters());
  os << " numberOfClusteringFields=" << QFormat(nVariables()) << XMLEOL();
  return getXMLSchema(os);
}

bool KMeansFit::endXMLModel(std::ostream& os) const {
  os << Indent("</ClusteringModel>\n", 1);
  return ModelTerms::endXMLModel(os);
}

bool KMeansFit::getXML(std::ostream& os) const {
  beginXMLModel(os);
  const long k = nClusters();
  const long f = nVariables();
  for (const String& field : fieldNames()) {
    os << Indent("<ClusteringField field=", 2) << Quote(field.c_str())
       << " compareFunction=\"squaredEuclidean\"/>\n";
  }
  double total = 0.0;
  double totalSS = 0.0;
  for (long c = 0; c < k; ++c) {
    total += size_.size() > c ? size_(c) : 0.0;
    totalSS += withinSS_.size() > c ? withinSS_(c) : 0.0;
  }
  const std::string format = numberFormat(k);
  const bool named = static_cast<long>(clusterNames().size()) == k;
  for (long c = 0; c < k; ++c) {
    const double size = size_.size() > c ? size_(c) : 0.0;
    const double within = withinSS_.size() > c ? withinSS_(c) : 0.0;
    os << Indent("<Cluster", 2);
    if (named) os << Indent("name=", 1) << Quote(clusterNames()[c].c_str());
    os << Indent("number=", 1) << clusterNumber(format, c + 1);
    os << Indent("sizeInPercent=", 1) << QFormat(size * 100 / total);
    os << Indent("size=", 1) << QFormat(size);
    os << Indent("withinSS=", 1) << QFormat(within);
    os << Indent("withinSSOverSize=", 1) << QFormat(within / size) << XMLEOL();
    os << Indent("<Center>\n", 3);
    for (long j = 0; j < f; ++j)
      os << Indent("<CenterField data=", 4) << QFormat(centers_(c, j)) << XMLSEOL();
    os << Indent("</Center>\n", 3);
    os << Indent("</Cluster>\n", 2);
  }
  os << Indent("<InputScaling>\n", 2);
  for (long j = 0; j < f; ++j) {
    const double divisor = inputScaling_.size() > j ? inputScaling_(j) : 1.0;
    os << Indent("<InputScalingField data=", 3) << QFormat(divisor) << XMLSEOL();
  }
  os << Indent("</InputScaling>\n", 2);
  os << Indent("<Total size=", 2) << QFormat(total);
  os << " sumSq=" << QFormat(totalSS);
  os << " sumSqOverSize=" << QFormat(totalSS / total) << XMLSEOL();
  return endXMLModel(os);
}
