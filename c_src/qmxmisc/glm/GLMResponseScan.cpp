#include "qmxmisc/glm/GLMResponseScan.h"

#include <cmath>
#include <cstdio>

namespace {

std::string number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

}  // namespace

bool GLMResponseScan::refused(GLMFamily::Distribution family) const {
  if (rows == 0) return false;
  switch (family) {
    case GLMFamily::Distribution::Binomial:
      return min < 0 || max > 1;
    case GLMFamily::Distribution::Poisson:
      return min < 0;
    case GLMFamily::Distribution::Gamma:
    case GLMFamily::Distribution::InvGaussian:
      return min <= 0;
    case GLMFamily::Distribution::Gaussian:
    case GLMFamily::Distribution::Quasi:
      break;
  }
  return false;
}

std::string GLMResponseScan::refusal(GLMFamily::Distribution family,
                                     const std::string& name) const {
  if (!refused(family)) return "";
  const std::string smallest = " (its smallest value is " + number(min) + ")";
  switch (family) {
    case GLMFamily::Distribution::Binomial:
      return "binomial response '" + name + "' ranges from " + number(min) + " to " + number(max) +
             ": it must be 0/1 or a proportion (trials in the weights); give counts as "
             "cbind(successes, failures)";
    case GLMFamily::Distribution::Poisson:
      return "poisson response '" + name + "' must not be negative" + smallest;
    case GLMFamily::Distribution::Gamma:
      return "gamma response '" + name + "' must be positive" + smallest;
    default:
      return "inverse.gaussian response '" + name + "' must be positive" + smallest;
  }
}

double GLMResponseScan::nullMean(bool intercept, GLMLink::Link link) const {
  if (intercept) return mean();
  switch (link) {
    case GLMLink::Link::Identity:
      return 0.0;
    case GLMLink::Link::Logit:
    case GLMLink::Link::Probit:
      return 0.5;
    case GLMLink::Link::CLogLog:
      return 1.0 - std::exp(-1.0);
    case GLMLink::Link::Log:
      return 1.0;
    case GLMLink::Link::Inverse:
    case GLMLink::Link::Sqrt:
    case GLMLink::Link::InverseSquare:
      break;
  }
  return mean();
}
