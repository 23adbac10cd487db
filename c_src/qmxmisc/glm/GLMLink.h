// GLMLink: the link function g of a generalized linear model, mapping the mean mu to the linear
// predictor eta = g(mu). Abstract; one concrete class per link type (IdentityLink, LogitLink,
// LogLink, ProbitLink, CLogLogLink, InverseLink, SqrtLink, InverseSquareLink). Links hold no
// data; the matrix operations are implemented here on top of the scalar ones.
#pragma once

#include <cstdint>
#include <memory>

#include "qmxmisc/numeric/TMatrix.h"

class GLMLink {
 public:
  // Link type codes; the numbers are stored in model documents and family factories.
  enum class Link : std::int32_t {
    Identity = 0,
    Logit = 1,
    Log = 2,
    Probit = 3,
    CLogLog = 4,
    Inverse = 5,
    Sqrt = 6,
    InverseSquare = 7,
  };

  GLMLink() = default;
  GLMLink(const GLMLink&) = default;
  GLMLink& operator=(const GLMLink&) = delete;

  // Virtual operations, in slot order.
  virtual ~GLMLink();
  // mu = g^-1(eta) and its derivative dmu/deta.
  virtual void evalDeriv(double eta, double& mu, double& dmudeta) const = 0;
  // g applied element by element; a new matrix of the same shape and names.
  virtual TMatrix<double> eval(const TMatrix<double>& mu) const;
  // g(mu).
  virtual double eval(double mu) const = 0;
  // g^-1 applied element by element; a new matrix of the same shape and names.
  virtual TMatrix<double> evalInv(const TMatrix<double>& eta) const;
  // g^-1(eta).
  virtual double evalInv(double eta) const = 0;
  // A new link of the same type, owned by the caller.
  virtual std::unique_ptr<GLMLink> clone() const = 0;
  // The link's name text ("identity", "logit", "log", "LINKPROBIT", ...).
  virtual const char* name() const = 0;
  virtual Link type() const = 0;

  // R's valideta of one linear predictor: finite and non-zero for the inverse link, finite
  // and positive for the square-root and 1/mu^2 links; every eta for the others.
  bool validEta(double eta) const;

  // A new link of the given type; null for a code outside 0..7.
  static std::unique_ptr<GLMLink> create(Link type);
  // The library's one identity link, alive for the life of the library.
  static const GLMLink& identity();
};
