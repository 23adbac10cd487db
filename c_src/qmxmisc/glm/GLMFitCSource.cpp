// GLMFit as a C scoring package: the standalone scoring library's linear (binomial: logistic)
// regression model built from the fit, with the fit's link and offsets, written with the package
// generator.
#include <cmath>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "qmxmisc/base/QMXAssert.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/predict/TelvarRecord.h"
#include "qmxmisc/predict/VTPackageGenerator.h"
#include "vtcsrc/VTLinearRegression.h"
#include "vtcsrc/VTLogisticRegression.h"
#include "vtcsrc/VTObjects.h"

namespace {

bool isAccessibleDirectory(const char* path) {
  std::error_code error;
  return std::filesystem::is_directory(std::filesystem::path(path), error) && !error;
}

// The one matrix coding of the fit's factors (indicator when there are none): the scoring
// library's metadata describes every factor with the same coding.
MatrixCoding commonCoding(const GLMFit& fit) {
  const factVector& factors = fit.factors();
  if (factors.empty()) return MatrixCoding::kIndicator;
  const MatrixCoding coding = factors[0].matrixCoding();
  for (const FactorInfo& factor : factors) {
    if (factor.matrixCoding() != coding) {
      QMX_ThrowException(
          "a C scoring model needs one matrix coding for every categorical variable, but %s "
          "and %s differ",
          factors[0].name().c_str(), factor.name().c_str());
    }
  }
  return coding;
}

// The scoring library's name of the fit's link (nullptr without a family: the identity).
const char* cLinkName(const GLMFit& fit) {
  if (!fit.hasFamily()) return nullptr;
  switch (fit.linkType()) {
    case GLMLink::Link::Identity:
      return "identity";
    case GLMLink::Link::Logit:
      return "logit";
    case GLMLink::Link::Log:
      return "log";
    case GLMLink::Link::Probit:
      return "probit";
    case GLMLink::Link::CLogLog:
      return "cloglog";
    case GLMLink::Link::Inverse:
      return "inverse";
    case GLMLink::Link::Sqrt:
      return "sqrt";
    case GLMLink::Link::InverseSquare:
      return "1/mu^2";
  }
  QMX_ThrowException("a C scoring model cannot apply the link %s", fit.linkName());
}

// The stream format holds finite numbers only.
void checkFinite(const GLMFit& fit) {
  const TMatrix<double>& coef = fit.coefficients();
  const strVector& names = coef.getRowNames();
  for (long j = 0; j < coef.getNRow(); ++j) {
    if (std::isfinite(coef(j, 0))) continue;
    const std::string name = static_cast<long>(names.size()) > j
                                 ? names[static_cast<std::size_t>(j)].str()
                                 : std::to_string(j + 1);
    QMX_ThrowException("the coefficient %s is %s: a C scoring model needs finite coefficients",
                       name.c_str(), std::isnan(coef(j, 0)) ? "NA" : "infinite");
  }
}

}  // namespace

const char* GLMFit::cScoringModelKind() const {
  const bool binomial = hasFamily() && distType() == GLMFamily::Distribution::Binomial;
  return binomial ? "LogisticRegression" : "LinearRegression";
}

void GLMFit::createCScoringModel(TelvarObject* model) const {
  QMX_ASSERT(model != nullptr, "createCScoringModel needs a record to fill");
  TelvarRecord metaData;
  createCModelMetaData(metaData.get(), commonCoding(*this));
  // The scoring model always has an intercept slot first; a model without one scores 0 there.
  // The other coefficients follow in model-matrix column order, as the scoring proc uses them.
  int width = 0;
  const long first = intercept() ? 1 : 0;
  if (Telvar_designWidth(&width, metaData.get()) != TELVAR_OK || nCoefficients() - first != width ||
      coefficients().getNCol() < 1) {
    QMX_ThrowException(
        "number of columns in the model matrix does not match the number of coefficients");
  }
  if (coefficients().getNCol() > 1) {
    QMX_ThrowException("a C scoring model scores one response, but the fit has %ld",
                       coefficients().getNCol());
  }
  checkFinite(*this);
  std::vector<double> coef(static_cast<std::size_t>(width) + 1, 0.0);
  if (intercept()) coef[0] = coefficients()(0, 0);
  for (long j = 0; j < width; ++j)
    coef[static_cast<std::size_t>(j) + 1] = coefficients()(first + j, 0);
  const int n = width + 1;
  // The offsets (expressions of data columns) follow the link, which a model with offsets
  // always names.
  const char* link = cLinkName(*this);
  if (link == nullptr && !offsets().empty()) link = "identity";
  std::vector<const char*> offsetTexts;
  for (const std::string& offset : offsets()) {
    if (offset.empty() || offset.size() >= TELVAR_STRING_SLOT) {
      QMX_ThrowException(
          "the offset %s cannot be written to a C scoring model: it is empty or longer than 255 "
          "characters",
          offset.c_str());
    }
    offsetTexts.push_back(offset.c_str());
  }
  const std::string className = std::string(cScoringModelKind()) + "Model";
  const int status = Telvar_createRegressionModelWithOffsets(
      model, className.c_str(), metaData.get(), n, coef.data(), link,
      static_cast<int>(offsetTexts.size()), offsetTexts.data());
  if (status != TELVAR_OK)
    QMX_ThrowException("cannot build the C scoring model (status %d)", status);
}

bool GLMFit::generatePredictCSource(const char* srcDir, const char* distDir) const {
  if (srcDir == nullptr || distDir == nullptr || *srcDir == '\0' || *distDir == '\0') {
    QMX_ThrowException("missing directory names");
  }
  if (!isAccessibleDirectory(srcDir) || !isAccessibleDirectory(distDir))
    QMX_ThrowException("cannot access one of directories: %s, %s", srcDir, distDir);
  TelvarRecord model;
  createCScoringModel(model.get());
  const VTPackageGenerator generator(srcDir, distDir);
  if (!generator.writePackage(cScoringModelKind(), *model.get()))
    QMX_ThrowException("the C scoring package was not completely written to %s", distDir);
  return true;
}
