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
// Every failure throws a QMXException naming the expression and the 1-based position; the
// nesting depth and the token count are bounded by the formula limits of ModelLimits.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class DerivedVariable {
 public:
  // Parses `text`, which must be a call of log, exp, sqrt or I.
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

  // Computes n values: inputs[c] holds n values of columns()[c].
  void evaluate(const std::vector<const double*>& inputs, std::size_t n, double* out) const;

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
};
