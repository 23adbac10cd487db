// GLMFamily: the distribution of a generalized linear model's response (variance function,
// unit deviance, starting values) together with its link, and the per-row evaluation that one
// pass of iteratively reweighted least squares runs on every chunk: from the linear predictor
// eta and the response y it produces the working response z = eta + (y-mu)/(dmu/deta), the
// working weight (dmu/deta)^2/V(mu) and the deviance (McCullagh and Nelder, Generalized Linear
// Models, 2nd ed., section 2.5; the same quantities as R's glm.fit).
//
// Abstract; the subclasses are GaussianFamily, BinomialFamily, PoissonFamily, FamilyGamma,
// FamilyInvGaussian and FamilyQuasi. A family owns its link (null only in a family made by a
// subclass without one, which is then not valid). Families are values: copy constructors
// clone the link, clone() makes a polymorphic copy.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>

#include "qmxmisc/glm/GLMLink.h"
#include "qmxmisc/numeric/TMatrix.h"

class GLMFamily {
 public:
  // Distribution codes; the numbers are those of QMX_NewFamily and the family name table.
  enum class Distribution : std::int32_t {
    Gaussian = 0,
    Binomial = 1,
    Poisson = 2,
    Gamma = 3,
    InvGaussian = 4,
    Quasi = 5,
  };

  GLMFamily& operator=(const GLMFamily&) = delete;

  // Virtual operations, in slot order.
  virtual ~GLMFamily();
  // Matrix form of the per-row evaluation, element by element over y (which may have several
  // columns; eta must have as many elements):
  //   (mu, dmu/deta) = link.evalDeriv(eta_i); V = variance(mu);
  //   y_i := eta_i + (y_i - mu)/(dmu/deta) when |dmu/deta| > eps, else eta_i;
  //   V' = V when V > eps, else eps;
  //   when w is the very matrix passed as eta: dev += d(y_i, mu), w_i := (dmu/deta)^2/V';
  //   otherwise w holds prior weights (one column, or one per column of y):
  //   dev += d(y_i, mu) w_i, w_i := (dmu/deta)^2/V' w_i (with one weight column and several
  //   responses, the last response's weight is kept).
  // The deviance uses the observed y_i. dev is added to, never reset.
  // Throws "link function is undefined" without a link, "cannot evaluate %s(%s)" (distName,
  // linkName) for an empty y or matrices whose shapes do not fit.
  virtual void eval(TMatrix<double>& y, TMatrix<double>& w, double& dev,
                    const TMatrix<double>& eta) const;
  // Per-row evaluation of n rows: z_i = eta_i + (y_i - mu)/(dmu/deta) (not stored when z is
  // null), eta_i := (dmu/deta)^2/V(mu), and dev += d(y_i, mu), times pw_i when prior weights
  // pw are given (eta_i is then also multiplied by pw_i). dev is added to, never reset.
  // Throws "link function is undefined" without a link, "cannot evaluate %s(%s)" when n < 1
  // or y or eta is null.
  virtual void eval(long n, double* y, double* eta, double* z, double& dev, double* pw) const;
  virtual const char* distName() const = 0;
  virtual Distribution distType() const = 0;
  // The unit deviance d(y, mu) of one row.
  virtual double deviance(double y, double mu) const = 0;
  // V(mu).
  virtual double variance(double mu) const = 0;
  // Replaces y[0..n) by starting values of eta: g(y_i) when y_i >= eps, else g(0.167).
  // The third argument (the null-model mean) and pw are not used by this base rule.
  // Throws "internal error" for a null y.
  virtual void initialize(long n, double* y, double mean, double* pw) const;
  // True when a link is present.
  virtual bool valid() const;
  // R's mustart of one row (family$initialize as glm.fit runs it): y the response (a binomial
  // proportion), w its prior weight (1 without weights; binomial: the trials). This rule: y.
  virtual double startMean(double y, double w) const;
  // R's validmu of one fitted mean; this rule accepts every mean.
  virtual bool validMean(double mu) const;
  // A copy owned by the caller; "Invalid Family" when this family is not valid.
  virtual std::unique_ptr<GLMFamily> clone() const = 0;

  // The link; "Invalid Family" when there is none.
  const GLMLink& link() const;
  // The link's type; "Invalid Family" when the family is not valid.
  GLMLink::Link linkType() const;
  // The link's name, "????" without a link.
  const char* linkName() const;
  // Throws "Invalid Family" unless valid().
  void validate() const;

 protected:
  // A family without a link.
  GLMFamily() = default;
  explicit GLMFamily(std::unique_ptr<GLMLink> link);
  // Clones other's link.
  GLMFamily(const GLMFamily& other);

  // The link of the given type when it is one of the accepted ones; otherwise throws message.
  static std::unique_ptr<GLMLink> acceptLink(GLMLink::Link type,
                                             std::initializer_list<GLMLink::Link> accepted,
                                             const char* message);
  // Throws "link function is undefined" without a link and "cannot evaluate %s(%s)" when n < 1
  // or y or eta is null (the checks shared by the per-row evaluations).
  void checkEvalArguments(long n, const double* y, const double* eta) const;

  std::unique_ptr<GLMLink> link_;
};
