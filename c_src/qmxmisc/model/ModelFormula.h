// ModelFormula: R model formulas (`response ~ terms`) read against the columns of a data set
// and turned into a model description, with the meaning R's terms.formula gives them:
//
//   a + b     both terms            a:b       interaction
//   a * b     a + b + a:b           a / b     a + a:b (b nested in a), a %in% b = a:b
//   (a+b)^2   a + b + a:b           - t       removes term t (- a:b, - 1)
//   -1, +0    no intercept          +1, -0    intercept (the default)
//   .         every column except the responses and the weights (text columns skipped)
//   I(x^k)    power k >= 2 of a numeric column x (one term, label "I(x^k)")
//   log(e), exp(e), sqrt(e), I(e)   a derived variable (DerivedVariable.h) of numeric
//             columns, named by R's deparse of the call, e.g. I(a * b)
//   offset(e) no term: e (an expression of numeric columns, as inside I()) is added to
//             the linear predictor; several offsets add up
//   `a b`     a column name that is not a syntactic R name
//
// Terms are expanded as R expands them (duplicates dropped, first occurrence kept) and
// ordered by their number of variables, then in order of appearance; a term's label joins
// its variables with ":" in order of first appearance (R's term.labels). The response is a
// column name or cbind(a, b, ...); a formula without a left side has no response.
//
// Every failure throws a QMXException whose message names the formula and the 1-based
// character position of the fault, e.g.
//   formula "y ~ x +", position 8: expected a term
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "qmxmisc/model/DataColumn.h"
#include "qmxmisc/model/MiningModel.h"

// The parsed formula in plain form (the content of a model's terms table).
struct FormulaTerms {
  std::vector<std::string> responses;  // column names, in order
  // Predictor columns that enter at least one term, in order of first appearance.
  std::vector<std::string> variables;
  // Parallel to variables: the expression of a derived variable (log(x), I(a * b), ...),
  // empty for a column.
  std::vector<std::string> expressions;
  std::vector<std::string> labels;  // term labels, in R's order
  // powers[termIdx][varIdx]: power of variables[varIdx] in term termIdx (0 absent, 1
  // present, k for I(x^k) and products of powers of one numeric column).
  std::vector<std::vector<long>> powers;
  bool intercept = true;
  std::vector<std::string> offsets;  // the expressions of offset(), in order
};

// Reads `formula` against `columns`. `weights` names the case-weights column (empty: none):
// it must be a numeric column and may be neither a response nor in a term; `.` leaves it out.
FormulaTerms parseModelFormula(std::string_view formula, const std::vector<DataColumn>& columns,
                               std::string_view weights = {});

// The model description of parsed terms: responses (a factor response carries its levels),
// the terms table (rows = variables, columns = terms, row and column names set), the factors
// with their levels (indicator coding), the intercept and the weights name.
MiningModel buildMiningModel(const FormulaTerms& terms, const std::vector<DataColumn>& columns,
                             std::string_view weights = {});

// parseModelFormula then buildMiningModel.
MiningModel modelFromFormula(std::string_view formula, const std::vector<DataColumn>& columns,
                             std::string_view weights = {});

// R's label of power `power` of column `column`: the name itself for 1, else "I(x^k)", the
// name backquoted unless syntactic (a term label, a coefficient name).
std::string rPowerLabel(const std::string& column, long power);
