// KMeansFit as a C scoring package: the standalone scoring library's k-means model (the
// model's metadata with indicator-coded factors, the centers in the scaled space, the
// divisors and the sizes rounded toward zero), written with the package generator.
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/cluster/KMeansFit.h"
#include "qmxmisc/predict/TelvarRecord.h"
#include "qmxmisc/predict/VTPackageGenerator.h"
#include "vtcsrc/VTKMeansCluster.h"
#include "vtcsrc/VTObjects.h"

namespace {

bool isAccessibleDirectory(const char* path) {
  std::error_code error;
  return std::filesystem::is_directory(std::filesystem::path(path), error) && !error;
}

}  // namespace

bool KMeansFit::generatePredictCSource(const char* srcDir, const char* distDir) const {
  if (srcDir == nullptr || distDir == nullptr || *srcDir == '\0' || *distDir == '\0')
    QMX_ThrowException("Missing directory names");
  if (!isAccessibleDirectory(srcDir) || !isAccessibleDirectory(distDir))
    QMX_ThrowException("cannot access one of directories: %s, %s", srcDir, distDir);
  if (!valid(false)) QMX_ThrowException("Invalid k-means fit");
  TelvarRecord metaData;
  createCModelMetaData(metaData.get(), MatrixCoding::kIndicator);
  int width = 0;
  if (Telvar_designWidth(&width, metaData.get()) != TELVAR_OK || width != nVariables()) {
    QMX_ThrowException("the model's data have %d columns, but the clustering model has %ld fields",
                       width, nVariables());
  }
  const long k = nClusters();
  const long f = nVariables();
  std::vector<double> centers(centers_.constData(), centers_.constData() + k * f);
  std::vector<double> scales(inputScaling_.constData(), inputScaling_.constData() + f);
  std::vector<std::int32_t> sizes(static_cast<std::size_t>(k));
  for (long c = 0; c < k; ++c)
    sizes[static_cast<std::size_t>(c)] = static_cast<std::int32_t>(std::trunc(size_(c)));
  TelvarRecord model;
  const int status = TelvarKMeansClusterModel_create(model.get(), metaData.get(),
                                                     static_cast<int>(k), static_cast<int>(f),
                                                     centers.data(), scales.data(), sizes.data());
  if (status != TELVAR_OK)
    QMX_ThrowException("cannot build the C scoring model (status %d)", status);
  const VTPackageGenerator generator(srcDir, distDir);
  if (!generator.writePackage("KMeansCluster", *model.get()))
    QMX_ThrowException("the C scoring package was not completely written to %s", distDir);
  return true;
}
