// KMeansFitHandler: the element table of a ClusteringModel.
#include "qmxmisc/cluster/KMeansFitHandler.h"

#include <optional>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/ModelLimits.h"

namespace {

constexpr const char* kModel = "ClusteringModel";

std::string bad(const char* element) {
  return std::string("Bad ") + element + " element";
}

}  // namespace

KMeansFitHandler::KMeansFitHandler(const KMeansFit& fit)
    : ElementTableHandler<MiningModelHandler>(fit),
      fit_(const_cast<KMeansFit*>(&fit)) {  // see ModelHandler: written through
  addRules();
}

KMeansFitHandler::~KMeansFitHandler() = default;

void KMeansFitHandler::addRules() {
  ElementTable& t = table();
  t.unknown("Bad %s element", {"MiningSchema", "MiningField"});
  t.misplaced("Unexpected %s element", {{"Center", "Unexpected Array element"},
                                        {"InputScaling", "Unexpected Cluster element"}});
  const std::string in = kModel;
  const std::string cluster = in + "/Cluster";
  auto rule = [&t](const char* name, const std::string& parent, ElementRule::Start start,
                   ElementRule::End end = {}) {
    t.add({name, parent, std::move(start), std::move(end), {}, bad(name)});
  };
  rule(
      kModel, "", [this](ElementAttributes& a) { startModel(a); },
      [this] { setStateOff(XML_clusteringModel); });
  rule("ClusteringField", in, [this](ElementAttributes& a) { startClusteringField(a); });
  rule(
      "Cluster", in, [this](ElementAttributes& a) { startCluster(a); },
      [this] {
        ++cluster_;
        setStateOff(XML_cluster);
      });
  rule(
      "Center", cluster,
      [this](ElementAttributes&) {
        setStateOn(XML_center);
        field_ = 0;
      },
      [this] {
        if (field_ != fields_)
          QMX_ThrowException(
              "a Center element holds %ld CenterField elements, but numberOfClusteringFields "
              "is %ld",
              field_, fields_);
        setStateOff(XML_center);
      });
  rule("CenterField", cluster + "/Center", [this](ElementAttributes& a) { startCenterField(a); });
  rule(
      "InputScaling", in,
      [this](ElementAttributes&) {
        setStateOn(XML_inputScaling);
        field_ = 0;
      },
      [this] { setStateOff(XML_inputScaling); });
  rule("InputScalingField", in + "/InputScaling",
       [this](ElementAttributes& a) { startScalingField(a); });
  rule("Total", in, {});
}

void KMeansFitHandler::startModel(ElementAttributes& a) {
  if (fit_ == nullptr) QMX_ThrowException("Bad model object");
  setStateOn(XML_clusteringModel);
  sawModel_ = true;
  if (const std::optional<std::string> name = a.text("modelName"))
    fit_->setModelName(String(*name));
  const long k =
      a.integer("numberOfClusters", "Missing numberOfClusters attribute in ClusteringModel element",
                "Invalid numberOfClusters attribute in ClusteringModel element");
  if (k < 2)
    QMX_ThrowException("numberOfClusters attribute was %d. It must be greater than one.",
                       static_cast<int>(k));
  if (independentNames().empty()) QMX_ThrowException("fieldCount is non positive");
  const long f = a.integer("numberOfClusteringFields",
                           "Missing numberOfClusteringFields attribute in ClusteringModel element",
                           "Invalid numberOfClusteringFields attribute in ClusteringModel element");
  if (f < 1)
    QMX_ThrowException("numberOfClusteringFields attribute was %d. It must be greater than one.",
                       static_cast<int>(f));
  if (k > kMaxClusters || f > kMaxModelColumns || k * f > kMaxCenterValues) {
    QMX_ThrowException(
        "a ClusteringModel element of %ld clusters and %ld fields exceeds the limits (%ld "
        "clusters, %ld fields, %ld center values)",
        k, f, kMaxClusters, kMaxModelColumns, kMaxCenterValues);
  }
  clusters_ = k;
  fields_ = f;
  centers_ = DoubleMatrix(k, f);
  writtenSize_ = DoubleMatrix(k, 1L);
  writtenWithinSS_ = DoubleMatrix(k, 1L);
  scaling_ = DoubleMatrix(f, 1L);
  clusterNames_.assign(static_cast<std::size_t>(k), String());
  fieldNameList_.assign(static_cast<std::size_t>(f), String());
  cluster_ = field_ = fieldNames_ = scalings_ = namesRead_ = 0;
}

void KMeansFitHandler::checkCluster(long row) const {
  if (row >= clusters_)
    QMX_ThrowException("Zero based row index %d exceeds the number of rows %d",
                       static_cast<int>(row), static_cast<int>(clusters_));
}

void KMeansFitHandler::startClusteringField(ElementAttributes& a) {
  const std::string field =
      a.required("field", "Missing field attribute in ClusteringField element");
  const std::string compare =
      a.required("compareFunction", "Missing compareFunction attribute in ClusteringField element");
  if (compare != "squaredEuclidean") {
    QMX_ThrowException(
        "A compareFunction of %s was specified. K-means clustering can only have a "
        "squaredEuclidean compareFunction",
        compare.c_str());
  }
  if (fieldNames_ >= fields_)
    QMX_ThrowException("Zero based column index %d exceeds the number of columns %d",
                       static_cast<int>(fieldNames_), static_cast<int>(fields_));
  fieldNameList_[static_cast<std::size_t>(fieldNames_++)] = String(field);
}

void KMeansFitHandler::startCluster(ElementAttributes& a) {
  setStateOn(XML_cluster);
  checkCluster(cluster_);
  if (const std::optional<std::string> name = a.text("name")) {
    clusterNames_[static_cast<std::size_t>(cluster_)] = String(*name);
    ++namesRead_;
  }
  // Not part of the fit read back: what the document was written with, for summaries.
  const std::string invalid = "Invalid size or withinSS attribute in Cluster element";
  writtenSize_(cluster_, 0) = a.finite("size", invalid).value_or(0.0);
  writtenWithinSS_(cluster_, 0) = a.finite("withinSS", invalid).value_or(0.0);
}

void KMeansFitHandler::startCenterField(ElementAttributes& a) {
  const std::optional<double> value = a.finite("data", "Invalid data value in CenterField element");
  if (!value) QMX_ThrowException("Missing data attribute in CenterField element");
  centers_(cluster_, field_) = *value;  // the matrix checks both indices
  ++field_;
}

void KMeansFitHandler::startScalingField(ElementAttributes& a) {
  const std::optional<double> value = a.finite("data", "Invalid data value in CenterField element");
  if (!value) QMX_ThrowException("Missing field attribute in InputScalingField element");
  scaling_(field_, 0) = *value;
  ++field_;
  ++scalings_;
}

void KMeansFitHandler::startDocument() {
  if (fit_ == nullptr) QMX_ThrowException("Bad model object");
  ElementTableHandler<MiningModelHandler>::startDocument();  // erases the fit: erase(false)
  sawModel_ = false;
  clusters_ = fields_ = cluster_ = field_ = fieldNames_ = scalings_ = namesRead_ = 0;
  centers_ = scaling_ = writtenSize_ = writtenWithinSS_ = DoubleMatrix();
  clusterNames_.clear();
  fieldNameList_.clear();
}

void KMeansFitHandler::endDocument() {
  if (fit_ == nullptr) QMX_ThrowException("Bad model object");
  MiningModelHandler::endDocument();
  if (!sawModel_) QMX_ThrowException("the document holds no ClusteringModel element");
  if (cluster_ != clusters_ || fieldNames_ != fields_ || scalings_ != fields_) {
    QMX_ThrowException(
        "the ClusteringModel element declares %ld clusters and %ld fields, but holds %ld "
        "Cluster, %ld ClusteringField and %ld InputScalingField elements",
        clusters_, fields_, cluster_, fieldNames_, scalings_);
  }
  // The model matrix of a clustering model holds the fields only.
  fit_->setIntercept(false);
  if (namesRead_ == clusters_) centers_.setRowNames(clusterNames_);
  centers_.setColNames(fieldNameList_);
  fit_->setCenters(centers_);
  fit_->setInputScaling(scaling_);
  fit_->setSize(DoubleMatrix(clusters_, 1L));
  fit_->setWithinSS(DoubleMatrix(clusters_, 1L));
  fit_->setWritten(writtenSize_, writtenWithinSS_);
}
