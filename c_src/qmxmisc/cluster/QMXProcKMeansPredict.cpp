#include "qmxmisc/cluster/QMXProcKMeansPredict.h"

#include <sstream>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/base/QMXProcRegistry.h"
#include "qmxmisc/cluster/KMeansFitHandler.h"
#include "qmxmisc/framework/QMXPropertyTable.h"
#include "qmxmisc/model/ModelParse.h"

QMX_REGISTER_PROC(QMXProcKMeansPredict)
QMX_REGISTER_PROPERTIES(QMXProcKMeansPredict, QMXProcKMeansPredict::properties)

const QMXPropertyTable& QMXProcKMeansPredict::properties() {
  using Rows = QMXPropertyRows<QMXProcKMeansPredict>;
  static const QMXPropertyTable table(
      &QMXProcPredict::properties(),
      {"internal error in k-means scoring", "internal error in k-means scoring"},
      {Rows::row(
          "fitted.model.pmml", QMXPropertyType::String, "the document of the fit",
          [](QMXProcKMeansPredict& p, QMXPropertyInfo& v) {
            std::ostringstream os;
            p.fit_.getXML(os);
            v.setString(os.str().c_str());
          },
          nullptr)});
  return table;
}

void QMXProcKMeansPredict::setFit(const KMeansFit& fit) {
  fit_ = fit;
  setClusterCount(fit_.nClusters());
}

void QMXProcKMeansPredict::setXML(const char* xml) {
  KMeansFit parsed;
  ModelParseXMLString(KMeansFitHandler(parsed), xml);
  setFit(parsed);
}

void QMXProcKMeansPredict::getProperty(QMXPropertyInfo* prop) {
  properties().get(*this, prop);
}

void QMXProcKMeansPredict::processChunk() {
  const long rows = getDataChunk();
  TMatrix<double> prediction;
  if (rows > 0) {
    prediction = fit_.computeMembership(modelMatrix);
    prediction.setColNames(strVector{String("clusterMembership"), String("distanceToCenter")});
  }
  writeOutputData(prediction, nullptr, nullptr, nullptr, false);
  modelMatrix.erase(true);
}

void QMXProcKMeansPredict::generatePredictCSource() {
  const String& source = cSourceDirectory();
  const String& distribution = cDistributionDirectory();
  if (source.empty() || distribution.empty()) QMX_ThrowException("Missing directory names");
  fit_.generatePredictCSource(source.c_str(), distribution.c_str());
}
