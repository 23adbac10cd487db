#include "qmxmisc/glm/GLMFamily.h"

#include <algorithm>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMClamp.h"

namespace {

// Starting mean of the base rule for a response below eps (where g(y) would not exist).
constexpr double kSmallResponseStart = 0.167;

[[noreturn]] void throwInvalidFamily() {
  QMX_ThrowException("Invalid Family");
}

}  // namespace

GLMFamily::GLMFamily(std::unique_ptr<GLMLink> link) : link_(std::move(link)) {}

GLMFamily::GLMFamily(const GLMFamily& other)
    : link_(other.link_ ? other.link_->clone() : nullptr) {}

GLMFamily::~GLMFamily() = default;

std::unique_ptr<GLMLink> GLMFamily::acceptLink(GLMLink::Link type,
                                               std::initializer_list<GLMLink::Link> accepted,
                                               const char* message) {
  if (std::find(accepted.begin(), accepted.end(), type) == accepted.end()) {
    QMX_ThrowException("%s", message);
  }
  return GLMLink::create(type);
}

void GLMFamily::initialize(long n, double* y, double /*mean*/, double* /*pw*/) const {
  if (y == nullptr) QMX_ThrowException("internal error");
  const GLMLink& g = link();
  for (long i = 0; i < n; ++i) {
    y[i] = y[i] >= glm::kEps ? g.eval(y[i]) : g.eval(kSmallResponseStart);
  }
}

double GLMFamily::startMean(double y, double /*w*/) const {
  return y;
}

bool GLMFamily::validMean(double /*mu*/) const {
  return true;
}

bool GLMFamily::valid() const {
  return link_ != nullptr;
}

const GLMLink& GLMFamily::link() const {
  if (!link_) throwInvalidFamily();
  return *link_;
}

GLMLink::Link GLMFamily::linkType() const {
  validate();
  return link_->type();
}

const char* GLMFamily::linkName() const {
  return link_ ? link_->name() : "????";
}

void GLMFamily::validate() const {
  if (!valid()) throwInvalidFamily();
}
