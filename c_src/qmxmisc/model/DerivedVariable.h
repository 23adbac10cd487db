// DerivedVariable: a model variable computed from numeric data columns by an R expression:
// log(e), exp(e), sqrt(e) and I(e), where e combines column names, numbers, parentheses and
// the arithmetic operators + - * / ^ with R's precedence (^ binds tightest and to the right,
// then unary minus, then * and /, then + and -).
//
// The variable's name is R's deparse of the expression (what R names its model-matrix
// column): binary + - * take blanks, / and ^ do not, a name that is not syntactic is
// `backquoted`, a number is written in its shortest form, e.g.
//   DerivedVariable("I(a*b)").label() == "I(a * b)"
//   DerivedVariable("log( x+1 )").label() == "log(x + 1)"
// A model document stores the expression with the variable; the reader parses it again.
// Values follow R's arithmetic: log of 0 is -Inf, of a negative number NaN.
//
// Two calls make more than one arithmetic value of a single column expression e:
//   factor(x)      a factor whose levels are the distinct values of x, named as R's
//                  as.character names them (levels come from the data: FactorInfo)
//   poly(e, k)     R's orthogonal polynomials of degree 1..k (k columns); the coefficients
//                  of R's predict.poly recurrence come from the data and are written into
//                  the expression as R's makepredictcall does:
//                  poly(e, k, coefs = list(alpha = c(...), norm2 = c(...)))
//   poly(e, k, raw = TRUE)  the powers e, e^2, ..., e^k
// Their label leaves the coefficients out: "poly(x, 2)", "poly(x, 2, raw = TRUE)".
//
// Every failure throws a QMXException naming the expression and the 1-based position; the
// nesting depth and the token count are bounded by the formula limits of ModelLimits.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class DerivedVariable {
 public:
  enum class Kind { kArithmetic, kFactor, kPoly };

  // Parses `text`, which must be a call of log, exp, sqrt, I, factor or poly.
  explicit DerivedVariable(std::string_view text);

  // True when `text` starts as such a call (a function name, then "("): the formula reader
  // and the model matrix treat it as an expression, not as a column name.
  static bool looksLikeCall(std::string_view text);

  const std::string& label() const { return label_; }
  // The data columns the expression reads, in order of first appearance.
  const std::vector<std::string>& columns() const { return columns_; }

  // Names, numbers and operators of the expression.
  std::size_t size() const { return program_.size(); }
  // True for I(x^k) of one column x and a whole number k >= 2 (power set to k), which a
  // formula keeps as a power of x in its terms table.
  bool isPower(long& power) const;

  Kind kind() const { return kind_; }
  // Columns the variable makes: the degree of poly(), else 1.
  long width() const { return kind_ == Kind::kPoly ? degree_ : 1; }
  bool raw() const { return raw_; }
  // poly(): R's coefs (alpha: degree values, norm2: degree + 2 values), empty until known.
  const std::vector<double>& alpha() const { return alpha_; }
  const std::vector<double>& norm2() const { return norm2_; }
  // False for orthogonal poly() without its coefficients.
  bool hasCoefficients() const { return kind_ != Kind::kPoly || raw_ || !alpha_.empty(); }
  // The expression text of this poly() with the given coefficients.
  std::string withCoefficients(const std::vector<double>& alpha,
                               const std::vector<double>& norm2) const;

  // Computes n values: inputs[c] holds n values of columns()[c]. For poly() the values of
  // its argument (the basis is PolyBasis's business).
  void evaluate(const std::vector<const double*>& inputs, std::size_t n, double* out) const;
  // Computes n rows of the width() columns (column major): the argument's values for
  // factor(), the basis for poly() (which must have its coefficients).
  void evaluateColumns(const std::vector<const double*>& inputs, std::size_t n, double* out) const;

  enum class Op {
    kColumn,
    kNumber,
    kAdd,
    kSubtract,
    kMultiply,
    kDivide,
    kPower,
    kNegate,
    kLog,
    kExp,
    kSqrt
  };
  struct Step {
    Op op;
    std::size_t column = 0;  // kColumn: index into columns()
    double number = 0.0;     // kNumber
  };

 private:
  std::string label_;
  std::vector<std::string> columns_;
  std::vector<Step> program_;  // postfix order
  Kind kind_ = Kind::kArithmetic;
  long degree_ = 1;
  bool raw_ = false;
  std::vector<double> alpha_, norm2_;
};

// R's deparse (and as.character) of a number: 15 significant digits, fixed notation unless
// the scientific form is shorter: 4, 0.5, 1e+05, 0.333333333333333.
std::string rNumberText(double value);
