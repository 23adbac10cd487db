// User names of families, links and variance functions (the names R's family objects use)
// mapped to the texts of the GLM name tables.
#include "qmxmisc/glm/GLMSpecNames.h"

#include <array>
#include <string_view>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMFamilyNames.h"
#include "qmxmisc/glm/QMX_NewFamily.h"

namespace {

using Distribution = GLMFamily::Distribution;
using Link = GLMLink::Link;
using Variance = GLMQuasiVariance::VARIANCES;

struct FamilyRow {
  std::string_view user;
  Distribution distribution;
  Link canonical;     // R's default link of the family
  Variance variance;  // the family's own variance function
};

constexpr std::array<FamilyRow, 8> kFamilies{{
    {"gaussian", Distribution::Gaussian, Link::Identity, Variance::Constant},
    {"binomial", Distribution::Binomial, Link::Logit, Variance::Mu0},
    {"poisson", Distribution::Poisson, Link::Log, Variance::Mu1},
    {"gamma", Distribution::Gamma, Link::Inverse, Variance::Mu2},
    {"inverse.gaussian", Distribution::InvGaussian, Link::InverseSquare, Variance::Mu3},
    {"quasi", Distribution::Quasi, Link::Identity, Variance::Constant},
    // R's quasipoisson and quasibinomial: the quasi family with their variance and link.
    {"quasipoisson", Distribution::Quasi, Link::Log, Variance::Mu1},
    {"quasibinomial", Distribution::Quasi, Link::Logit, Variance::Mu0},
}};

constexpr std::array<std::pair<std::string_view, Link>, 8> kLinks{{
    {"identity", Link::Identity},
    {"logit", Link::Logit},
    {"log", Link::Log},
    {"probit", Link::Probit},
    {"cloglog", Link::CLogLog},
    {"inverse", Link::Inverse},
    {"sqrt", Link::Sqrt},
    {"1/mu^2", Link::InverseSquare},
}};

constexpr std::array<std::pair<std::string_view, Variance>, 5> kVariances{{
    {"constant", Variance::Constant},
    {"mu(1-mu)", Variance::Mu0},
    {"mu", Variance::Mu1},
    {"mu^2", Variance::Mu2},
    {"mu^3", Variance::Mu3},
}};

template <class Table>
std::string accepted(const Table& table) {
  std::string list;
  for (const auto& row : table) {
    if (!list.empty()) list += ", ";
    list += std::string(row.first);
  }
  return list;
}

std::string acceptedFamilies() {
  std::string list;
  for (const FamilyRow& row : kFamilies)
    list += (list.empty() ? "" : ", ") + std::string(row.user);
  return list;
}

const FamilyRow& findFamily(const std::string& name) {
  for (const FamilyRow& row : kFamilies) {
    // R's own spelling "Gamma" and the document text ("Inverse Gaussian", ...) are accepted.
    if (row.user == name || name == glmDistributionName(row.distribution) ||
        (row.distribution == Distribution::Gamma && name == "Gamma"))
      return row;
  }
  QMX_ThrowException("unknown family '%s'; accepted: %s", name.c_str(), acceptedFamilies().c_str());
}

Link findLink(const std::string& name) {
  for (const auto& [user, link] : kLinks) {
    if (user == name || name == glmLinkName(link)) return link;
  }
  QMX_ThrowException("unknown link '%s'; accepted: %s", name.c_str(), accepted(kLinks).c_str());
}

Variance findVariance(const std::string& name) {
  for (const auto& [user, variance] : kVariances) {
    if (user == name || name == glmVarianceName(variance)) return variance;
  }
  QMX_ThrowException("unknown variance '%s'; accepted: %s", name.c_str(),
                     accepted(kVariances).c_str());
}

std::string userVariance(Variance variance) {
  for (const auto& [user, code] : kVariances) {
    if (code == variance) return std::string(user);
  }
  return {};
}

}  // namespace

GLMSpecNames glmSpecNames(const std::string& family, const std::string& link,
                          const std::string& variance) {
  const FamilyRow& row = findFamily(family);
  const Link linkType = link.empty() ? row.canonical : findLink(link);
  Variance varianceType = row.variance;
  if (!variance.empty()) {
    varianceType = findVariance(variance);
    if (row.distribution != Distribution::Quasi && varianceType != row.variance) {
      QMX_ThrowException(
          "variance '%s' applies only to the quasi family; family '%s' has variance '%s'",
          variance.c_str(), std::string(row.user).c_str(), userVariance(row.variance).c_str());
    }
  }
  // The family itself refuses a link it cannot use (its own message).
  QMX_NewFamily(row.distribution, linkType, varianceType);
  return GLMSpecNames{glmDistributionName(row.distribution), glmLinkName(linkType),
                      glmVarianceName(varianceType)};
}

std::vector<std::string> glmFamilyUserNames() {
  std::vector<std::string> names;
  for (const FamilyRow& row : kFamilies)
    names.emplace_back(row.user);
  return names;
}

std::vector<std::string> glmLinkUserNames() {
  std::vector<std::string> names;
  for (const auto& entry : kLinks)
    names.emplace_back(entry.first);
  return names;
}

std::vector<std::string> glmVarianceUserNames() {
  std::vector<std::string> names;
  for (const auto& entry : kVariances)
    names.emplace_back(entry.first);
  return names;
}
