// The texts that name families, links and quasi variance functions in model documents and proc
// properties ("Binomial", "Logit: log(mu/(1 - mu))", "Constant: 1", ...), and the codes they
// select for QMX_NewFamily.
#pragma once

#include <optional>
#include <string_view>

#include "qmxmisc/glm/GLMFamily.h"
#include "qmxmisc/glm/GLMLink.h"
#include "qmxmisc/glm/GLMQuasiVariance.h"

struct GLMFamilyCodes {
  GLMFamily::Distribution distribution = GLMFamily::Distribution::Gaussian;
  GLMLink::Link link = GLMLink::Link::Identity;
  GLMQuasiVariance::VARIANCES variance = GLMQuasiVariance::VARIANCES::Constant;
};

// Family name -> distribution ("Gaussian" 0 ... "Quasi-likelihood" 5); empty when unknown.
std::optional<GLMFamily::Distribution> glmDistributionFromName(std::string_view name);
// Link name -> link type ("Identity: mu" 0 ... "Inverse Square: 1/mu^2" 7); empty when unknown.
std::optional<GLMLink::Link> glmLinkFromName(std::string_view name);
// Variance name -> code ("Constant: 1" 1 ... "Cube: mu^3" 5); code 0 when unknown (which only
// the quasi family rejects).
GLMQuasiVariance::VARIANCES glmVarianceFromName(std::string_view name);

// The name texts of the codes (the inverse of the above); null for an unknown code.
const char* glmDistributionName(GLMFamily::Distribution distribution);
const char* glmLinkName(GLMLink::Link link);
const char* glmVarianceName(GLMQuasiVariance::VARIANCES variance);

// The codes named by three texts, as the GLM model's setFamily(family, link, variance) needs
// them: empty when all three texts are empty (the family is left unchanged); otherwise throws
// "Family,link or variance has not been specified." when some are empty, "No such family: %s"
// and "No such link: %s" for unknown names; an unknown variance selects code 0.
std::optional<GLMFamilyCodes> glmFamilyCodesFromNames(std::string_view family,
                                                      std::string_view link,
                                                      std::string_view variance);
