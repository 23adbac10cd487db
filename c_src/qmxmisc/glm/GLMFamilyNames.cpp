#include "qmxmisc/glm/GLMFamilyNames.h"

#include <array>
#include <string>
#include <utility>

#include "qmxmisc/base/QMXException.h"

namespace {

using Distribution = GLMFamily::Distribution;
using Link = GLMLink::Link;
using Variance = GLMQuasiVariance::VARIANCES;

constexpr std::array<std::pair<std::string_view, Distribution>, 6> kFamilyNames{{
    {"Gaussian", Distribution::Gaussian},
    {"Binomial", Distribution::Binomial},
    {"Poisson", Distribution::Poisson},
    {"Gamma", Distribution::Gamma},
    {"Inverse Gaussian", Distribution::InvGaussian},
    {"Quasi-likelihood", Distribution::Quasi},
}};

constexpr std::array<std::pair<std::string_view, Link>, 8> kLinkNames{{
    {"Identity: mu", Link::Identity},
    {"Logit: log(mu/(1 - mu))", Link::Logit},
    {"Log: log(mu)", Link::Log},
    {"Probit: qnorm(mu)", Link::Probit},
    {"Complementary Log: log( - log(1 - mu))", Link::CLogLog},
    {"Inverse: 1/mu", Link::Inverse},
    {"Square Root: sqrt(mu)", Link::Sqrt},
    {"Inverse Square: 1/mu^2", Link::InverseSquare},
}};

constexpr std::array<std::pair<std::string_view, Variance>, 5> kVarianceNames{{
    {"Constant: 1", Variance::Constant},
    {"Binomial: mu(1-mu)", Variance::Mu0},
    {"Identity: mu", Variance::Mu1},
    {"Square: mu^2", Variance::Mu2},
    {"Cube: mu^3", Variance::Mu3},
}};

template <class Table>
auto codeOf(const Table& table, std::string_view name)
    -> std::optional<typename Table::value_type::second_type> {
  for (const auto& [text, code] : table) {
    if (text == name) return code;
  }
  return std::nullopt;
}

template <class Table, class Code>
const char* nameOf(const Table& table, Code code) {
  for (const auto& [text, tableCode] : table) {
    if (tableCode == code) return text.data();
  }
  return nullptr;
}

}  // namespace

std::optional<Distribution> glmDistributionFromName(std::string_view name) {
  return codeOf(kFamilyNames, name);
}

std::optional<Link> glmLinkFromName(std::string_view name) {
  return codeOf(kLinkNames, name);
}

Variance glmVarianceFromName(std::string_view name) {
  return codeOf(kVarianceNames, name).value_or(static_cast<Variance>(0));
}

const char* glmDistributionName(Distribution distribution) {
  return nameOf(kFamilyNames, distribution);
}

const char* glmLinkName(Link link) {
  return nameOf(kLinkNames, link);
}

const char* glmVarianceName(Variance variance) {
  return nameOf(kVarianceNames, variance);
}

std::optional<GLMFamilyCodes> glmFamilyCodesFromNames(std::string_view family,
                                                      std::string_view link,
                                                      std::string_view variance) {
  if (family.empty() && link.empty() && variance.empty()) return std::nullopt;
  if (family.empty() || link.empty() || variance.empty()) {
    QMX_ThrowException("Family,link or variance has not been specified.");
  }
  const std::optional<Distribution> distribution = glmDistributionFromName(family);
  if (!distribution) QMX_ThrowException("No such family: %s", std::string(family).c_str());
  const std::optional<Link> linkType = glmLinkFromName(link);
  if (!linkType) QMX_ThrowException("No such link: %s", std::string(link).c_str());
  return GLMFamilyCodes{*distribution, *linkType, glmVarianceFromName(variance)};
}
