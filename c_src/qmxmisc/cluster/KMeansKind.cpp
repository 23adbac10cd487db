// The descriptor of the k-means kind: procs, document element, fit options and the scoring
// output names.
#include "qmxmisc/cluster/KMeansKind.h"

#include "qmxmisc/cluster/KMeansSpecWriter.h"
#include "qmxmisc/cluster/KMeansSummary.h"

namespace {

constexpr KindOption kKMeansOptions[] = {
    {"--columns", "Numeric columns to cluster, comma separated (a,b,c)", KindOptionType::kText, "",
     true, KindOptionTarget::kColumns, "columns", KindOptionCheck::kNone},
    {"--k", "Number of clusters (at least 2)", KindOptionType::kInteger, "10", false,
     KindOptionTarget::kProperty, "N.clusters", KindOptionCheck::kAtLeastOne},
    {"--init",
     "Initial centers: first (the first K rows), random (K distinct random rows), hclust "
     "(hierarchical clustering of a random sample of rows, an extra pass), or rows:R1,R2,... "
     "(the given 1-based data rows, as R's kmeans(x, centers = x[c(R1, R2, ...), ]))",
     KindOptionType::kText, "first", false, KindOptionTarget::kSpec, "init",
     KindOptionCheck::kNone},
    {"--scale",
     "Divide each column before clustering: none, range (max - min) or sd (standard "
     "deviation, as R's scale()); a constant column is not divided",
     KindOptionType::kText, "none", false, KindOptionTarget::kSpec, "scale",
     KindOptionCheck::kNone},
    // R's kmeans default iter.max.
    {"--max-iterations", "Most Hartigan-Wong iterations (as R's kmeans iter.max)",
     KindOptionType::kInteger, "10", false, KindOptionTarget::kProperty, "maxIterations",
     KindOptionCheck::kAtLeastOne},
    {"--retained-rows",
     "Rows kept in memory (the retained set); with at least as many rows as the data, the "
     "fit is R's kmeans on all rows",
     KindOptionType::kInteger, "10000", false, KindOptionTarget::kProperty, "rowsRetainedSet",
     KindOptionCheck::kAtLeastOne},
    {"--seed", "Seed of the random row choices (--init random or hclust)", KindOptionType::kInteger,
     "150", false, KindOptionTarget::kProperty, "randomSeed", KindOptionCheck::kNone},
};

constexpr ScoreOutputName kKMeansOutputs[] = {
    {"cluster", "clusterMembership", false},
    {"distance", "distanceToCenter", false},
};

constexpr const char kKMeansOutputHelp[] =
    R"(Output types of --output TYPE[::NAME] (the scoring proc's own texts also work):
  cluster   clusterMembership  number of the nearest center, from 1  default column "cluster"
  distance  distanceToCenter   Euclidean distance to that center, in the scaled space
                                                                     "distance"
Both are written by default.
)";

constexpr const char* kSummaryProperties[] = {"totss", "iterations", "converged", "warning"};

}  // namespace

const ModelKind kKMeansKind = {
    "kmeans",
    "K-means clustering (Hartigan-Wong) over a bounded retained set of rows",
    "Example:\n  qmx fit kmeans examples/iris.csv --columns "
    "Sepal.Length,Sepal.Width,Petal.Length,Petal.Width --k 3 --scale sd -o kmeans.xml\n",
    "QMXProcKMeans",
    "QMXProcKMeansPredict",
    "ClusteringModel",
    "kmeans",
    "KMeansCluster",
    kKMeansOptions,
    kKMeansOutputs,
    kKMeansOutputHelp,
    kSummaryProperties,
    &KMeansSpecWriter::fromSettings,
    &kmeans_kind::prepareModel,
    &kmeans_kind::fitProperties,
    &kmeansSummary,
    &kmeans_kind::scoreModel,
};
