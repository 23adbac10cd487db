// QMX_NewFamily: the family factory used by the GLM model and the iterative GLM proc.
#pragma once

#include <cstdint>
#include <memory>

#include "qmxmisc/glm/GLMFamily.h"
#include "qmxmisc/glm/GLMLink.h"
#include "qmxmisc/glm/GLMQuasiVariance.h"

// A new family owned by the caller: distribution 1 BinomialFamily(link), 2 PoissonFamily(link),
// 3 FamilyGamma(link), 4 FamilyInvGaussian(link), 5 FamilyQuasi(link, variance), any other
// value GaussianFamily(link). The variance code matters only to the quasi family.
// The families' own messages (an incompatible link, an unknown variance code) are thrown
// unchanged; any other failure becomes a QMXFatalException ("Internal Error").
std::unique_ptr<GLMFamily> QMX_NewFamily(std::int32_t distribution, std::int32_t link,
                                         std::int32_t variance);
std::unique_ptr<GLMFamily> QMX_NewFamily(GLMFamily::Distribution distribution, GLMLink::Link link,
                                         GLMQuasiVariance::VARIANCES variance);
