// Terms of a formula, computed the way R's terms.formula computes them (src/library/stats/
// src/model.c: EncodeVars with PlusTerms, DeleteTerms, InteractTerms, CrossTerms, NestTerms,
// InTerms, PowerTerms and TrimRepeats, then the stable reordering of terms by order), so
// that term sets, their order and their labels agree with attr(terms(f), "term.labels").
//
// A term is a set of "formula variables": a column, or I(x^k) of a numeric column. R treats
// I(x^2) as a variable of its own; in the terms table it becomes power 2 of column x.
#include "qmxmisc/model/ModelFormula.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <set>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/DerivedVariable.h"
#include "qmxmisc/model/ModelFormulaInternal.h"

using formula_internal::formulaError;
using formula_internal::Node;
using formula_internal::NodeKind;

namespace {

using Term = std::vector<int>;  // sorted indices of formula variables
using TermList = std::vector<Term>;

constexpr std::size_t kMaxTerms = 100000;
constexpr std::size_t kListedColumns = 40;  // column names listed in an unknown-column message

struct FormulaVariable {
  int column;  // index into the data columns, -1 for a derived variable
  long power;  // 1 for a column, k for I(x^k)
  std::string label;
  // The row of the terms table the variable belongs to: its column, or itself when derived.
  std::string row() const { return column >= 0 ? "c" + std::to_string(column) : "e" + label; }
};

Term orBits(const Term& a, const Term& b) {
  Term out;
  std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

// Drops empty terms and repeats, keeping first occurrences (R's TrimRepeats).
TermList trimRepeats(const TermList& list) {
  TermList out;
  std::set<Term> seen;
  for (const Term& term : list)
    if (!term.empty() && seen.insert(term).second) out.push_back(term);
  return out;
}

TermList concat(TermList a, const TermList& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Offset of the first character of a node's text.
std::size_t startOf(const Node& node) {
  const bool leftOperand = node.args.size() == 2 || node.kind == NodeKind::kCaret;
  return leftOperand ? startOf(*node.args[0]) : node.pos;
}

// The column names for an unknown-name message: the first kListedColumns, then a count.
std::string availableColumns(const std::vector<DataColumn>& columns) {
  std::string available;
  for (std::size_t colIdx = 0; colIdx < columns.size(); ++colIdx) {
    if (colIdx == kListedColumns) {
      available += ", ... (" + std::to_string(columns.size() - colIdx) + " more)";
      break;
    }
    available += (colIdx == 0 ? "" : ", ") + columns[colIdx].name;
  }
  return available.empty() ? "(none)" : available;
}

class TermEncoder {
 public:
  TermEncoder(std::string_view formula, const std::vector<DataColumn>& columns,
              std::string_view weights)
      : formula_(formula), columns_(columns), weights_(weights) {}

  FormulaTerms run() {
    formula_internal::ParsedFormula parsed = formula_internal::parseFormulaText(formula_);
    if (parsed.lhs) readResponses(*parsed.lhs);
    checkWeights();
    TermList terms = encode(*parsed.rhs, false);
    std::stable_sort(terms.begin(), terms.end(),
                     [](const Term& a, const Term& b) { return a.size() < b.size(); });
    if (terms.empty() && !intercept_)
      formulaError(formula_, startOf(*parsed.rhs), "the formula has no terms and no intercept");
    return assemble(terms);
  }

 private:
  [[noreturn]] void fail(std::size_t pos, const std::string& what) const {
    formulaError(formula_, pos, what);
  }

  // The data column called `name`; fails for an unknown or ambiguous name.
  int findColumn(const std::string& name, std::size_t pos, const char* role) const {
    int found = -1;
    for (std::size_t colIdx = 0; colIdx < columns_.size(); ++colIdx) {
      if (columns_[colIdx].name != name) continue;
      if (found >= 0) fail(pos, "column name '" + name + "' appears more than once in the data");
      found = static_cast<int>(colIdx);
    }
    if (found < 0)
      fail(pos, std::string("unknown ") + role + " '" + name +
                    "'; available columns: " + availableColumns(columns_));
    return found;
  }

  void readResponses(const Node& outer) {
    const Node* inner = &outer;
    while (inner->kind == NodeKind::kParen)  // (y) is y
      inner = inner->args[0].get();
    const Node& lhs = *inner;
    std::vector<const Node*> names;
    if (lhs.kind == NodeKind::kName) {
      names.push_back(&lhs);
    } else if (lhs.kind == NodeKind::kCbind) {
      for (const auto& arg : lhs.args)
        names.push_back(arg.get());
    } else {
      fail(lhs.pos, "the response must be a column name or cbind(a, b, ...)");
    }
    for (const Node* name : names) {
      const int column = findColumn(name->text, name->pos, "response column");
      if (columns_[column].kind == DataColumnKind::kText)
        fail(name->pos, "the response '" + name->text +
                            "' is a text column; a response must be numeric or a factor");
      if (std::find(responses_.begin(), responses_.end(), column) != responses_.end())
        fail(name->pos, "the response '" + name->text + "' is named twice");
      responses_.push_back(column);
    }
  }

  void checkWeights() {
    if (weights_.empty()) return;
    const std::string name(weights_);
    int found = -1;
    for (std::size_t colIdx = 0; colIdx < columns_.size(); ++colIdx)
      if (columns_[colIdx].name == name) found = static_cast<int>(colIdx);
    if (found < 0)
      QMX_ThrowException("weights column '%s' is not in the data; available columns: %s",
                         name.c_str(), availableColumns(columns_).c_str());
    if (columns_[found].kind != DataColumnKind::kNumeric)
      QMX_ThrowException("weights column '%s' is not numeric (it is a %s column)", name.c_str(),
                         columns_[found].kind == DataColumnKind::kFactor ? "factor" : "text");
    if (std::find(responses_.begin(), responses_.end(), found) != responses_.end())
      QMX_ThrowException("weights column '%s' is also a response", name.c_str());
    weightsColumn_ = found;
  }

  // The formula variable for `power` of `column` (1: the column itself), added when new.
  int variable(int column, long power) {
    for (std::size_t varIdx = 0; varIdx < variables_.size(); ++varIdx)
      if (variables_[varIdx].column == column && variables_[varIdx].power == power)
        return static_cast<int>(varIdx);
    variables_.push_back(FormulaVariable{column, power, rPowerLabel(columns_[column].name, power)});
    return static_cast<int>(variables_.size() - 1);
  }

  // A predictor column named at `pos`.
  int predictor(const std::string& name, std::size_t pos) {
    const int column = findColumn(name, pos, "column");
    if (std::find(responses_.begin(), responses_.end(), column) != responses_.end())
      fail(pos, "the response '" + name + "' also appears on the right side");
    if (column == weightsColumn_)
      fail(pos, "the weights column '" + name + "' cannot also be a term");
    if (columns_[column].kind == DataColumnKind::kText)
      fail(pos, "column '" + name +
                    "' holds text (too many distinct values for a factor) and "
                    "cannot enter a model");
    return column;
  }

  TermList single(int var) const { return TermList{Term{var}}; }

  void checkSize(std::size_t n, std::size_t pos) const {
    if (n > kMaxTerms)
      fail(pos, "the formula expands to more than " + std::to_string(kMaxTerms) + " terms");
  }

  TermList product(const TermList& left, const TermList& right, std::size_t pos) const {
    checkSize(left.size() * right.size(), pos);
    TermList out;
    for (const Term& l : left)
      for (const Term& r : right)
        out.push_back(orBits(l, r));
    return out;
  }

  TermList encode(const Node& node, bool inProduct) {
    switch (node.kind) {
      case NodeKind::kName:
        return single(variable(predictor(node.text, node.pos), 1));
      case NodeKind::kPower:
        return single(encodeIdentity(node));
      case NodeKind::kExpression:
        return single(encodeExpression(node));
      case NodeKind::kDot:
        return encodeDot(node.pos);
      case NodeKind::kNumber:
        encodeNumber(node, inProduct);
        return {};
      case NodeKind::kOffset:
        encodeOffset(node, inProduct);
        return {};
      case NodeKind::kCbind:
        fail(node.pos, "cbind() may appear only on the left side of ~");
      case NodeKind::kParen:
        return encode(*node.args[0], inProduct);
      case NodeKind::kPlus:
        if (node.args.size() == 1) return encode(*node.args[0], inProduct);
        return encodePlus(node, inProduct);
      case NodeKind::kMinus:
        return encodeDelete(node, inProduct);
      default:
        return encodeProduct(node);
    }
  }

  // Left before right: formula variables are numbered in order of appearance.
  TermList encodePlus(const Node& node, bool inProduct) {
    TermList left = encode(*node.args[0], inProduct);
    const TermList right = encode(*node.args[1], inProduct);
    return trimRepeats(concat(std::move(left), right));
  }

  TermList encodeProduct(const Node& node) {
    const TermList left = encode(*node.args[0], true);
    if (node.kind == NodeKind::kCaret) {  // R's PowerTerms
      TermList right = left;
      for (long step = 1; step < node.power; ++step) {
        TermList next = trimRepeats(product(left, right, node.pos));
        if (next == right) break;  // a fixed point: further powers add nothing
        right = std::move(next);
      }
      return right;
    }
    const TermList right = encode(*node.args[1], true);
    switch (node.kind) {
      case NodeKind::kColon:  // InteractTerms
        return trimRepeats(product(left, right, node.pos));
      case NodeKind::kTimes:  // CrossTerms: a + b + a:b
        return trimRepeats(concat(concat(left, right), product(left, right, node.pos)));
      case NodeKind::kSlash: {  // NestTerms: a + (all of a):b
        Term all;
        for (const Term& term : left)
          all = orBits(all, term);
        TermList nested;
        for (const Term& term : right)
          nested.push_back(orBits(all, term));
        return trimRepeats(concat(left, nested));
      }
      default: {  // kIn, InTerms: every left term with all of b
        Term all;
        for (const Term& term : right)
          all = orBits(all, term);
        TermList out;
        for (const Term& term : left)
          out.push_back(orBits(term, all));
        return trimRepeats(out);
      }
    }
  }

  // a - b removes b's terms from a; 1 and 0 inside b act with the opposite parity (R's
  // DeleteTerms), so - 1 drops the intercept and - 0 keeps it.
  TermList encodeDelete(const Node& node, bool inProduct) {
    TermList left;
    if (node.args.size() == 2) left = encode(*node.args[0], inProduct);
    parity_ = !parity_;
    const TermList right = encode(*node.args.back(), inProduct);
    parity_ = !parity_;
    for (const Term& term : right)
      left.erase(std::remove(left.begin(), left.end(), term), left.end());
    return left;
  }

  void encodeNumber(const Node& node, bool inProduct) {
    const double value = std::strtod(node.text.c_str(), nullptr);
    const bool one = value == 1.0;
    const bool zero = value == 0.0;
    if (!one && !zero) fail(node.pos, "a number other than 0 or 1 cannot be a term");
    if (inProduct) fail(node.pos, "0 and 1 set the intercept and cannot enter an interaction");
    intercept_ = one ? parity_ : !parity_;
  }

  int encodeIdentity(const Node& node) {
    const int column = predictor(node.text, node.pos);
    if (columns_[column].kind == DataColumnKind::kFactor) {
      if (node.power == 0)
        fail(node.pos, "I() of the factor '" + node.text +
                           "': I() takes a numeric column raised to a power, as in I(x^2)");
      fail(node.pos, "the factor '" + node.text + "' cannot be raised to a power");
    }
    if (node.power == 0)
      fail(node.pos,
           "I() takes a numeric column raised to an integer power of at least 2, as in I(x^2)");
    return variable(column, node.power);
  }

  // A derived variable: every column it reads must be a numeric predictor column.
  int encodeExpression(const Node& node) {
    const DerivedVariable derived(node.text);
    for (const std::string& name : derived.columns()) {
      const int column = predictor(name, node.pos);
      if (columns_[column].kind == DataColumnKind::kFactor &&
          derived.kind() == DerivedVariable::Kind::kPoly)
        fail(node.pos, node.text + ": poly() of the factor '" + name + "'; use a numeric column");
      if (columns_[column].kind == DataColumnKind::kFactor &&
          derived.kind() != DerivedVariable::Kind::kFactor)
        fail(node.pos, node.text + ": the factor '" + name +
                           "' cannot enter arithmetic; use a numeric column");
    }
    for (std::size_t varIdx = 0; varIdx < variables_.size(); ++varIdx)
      if (variables_[varIdx].column < 0 && variables_[varIdx].label == node.text)
        return static_cast<int>(varIdx);
    variables_.push_back(FormulaVariable{-1, 1, node.text});
    return static_cast<int>(variables_.size() - 1);
  }

  // offset(e): no term; e's columns must be numeric. Offsets add up, a repeat counts once.
  void encodeOffset(const Node& node, bool inProduct) {
    if (inProduct) fail(node.pos, "offset() cannot enter an interaction");
    const DerivedVariable derived("I(" + node.text + ")");
    for (const std::string& name : derived.columns()) {
      const int column = findColumn(name, node.pos, "column");
      if (columns_[column].kind != DataColumnKind::kNumeric)
        fail(node.pos, "offset(" + node.text + "): the column '" + name + "' is a " +
                           (columns_[column].kind == DataColumnKind::kFactor ? "factor" : "text") +
                           " column; an offset must be numeric");
    }
    if (std::find(offsets_.begin(), offsets_.end(), node.text) == offsets_.end())
      offsets_.push_back(node.text);
  }

  // Every column except the responses, the weights and text columns, in data order.
  TermList encodeDot(std::size_t pos) {
    TermList out;
    for (std::size_t colIdx = 0; colIdx < columns_.size(); ++colIdx) {
      const int column = static_cast<int>(colIdx);
      if (std::find(responses_.begin(), responses_.end(), column) != responses_.end() ||
          column == weightsColumn_ || columns_[colIdx].kind == DataColumnKind::kText)
        continue;
      for (std::size_t prevIdx = 0; prevIdx < colIdx; ++prevIdx)
        if (columns_[prevIdx].name == columns_[colIdx].name)
          fail(pos,
               "column name '" + columns_[colIdx].name + "' appears more than once in the data");
      out.push_back(Term{variable(column, 1)});
    }
    return out;
  }

  FormulaTerms assemble(const TermList& terms) const {
    FormulaTerms out;
    out.intercept = intercept_;
    out.offsets = offsets_;
    for (int column : responses_)
      out.responses.push_back(columns_[column].name);
    // Rows: the columns of the formula variables and the derived variables, in order of
    // first appearance, when they enter some term.
    std::vector<std::string> rows;
    for (const FormulaVariable& variable : variables_) {
      const std::string row = variable.row();
      if (std::find(rows.begin(), rows.end(), row) != rows.end()) continue;
      const bool used = std::any_of(terms.begin(), terms.end(), [&](const Term& term) {
        return std::any_of(term.begin(), term.end(),
                           [&](int var) { return variables_[var].row() == row; });
      });
      if (!used) continue;
      rows.push_back(row);
      const bool derived = variable.column < 0;
      out.variables.push_back(derived ? variable.label : columns_[variable.column].name);
      out.expressions.push_back(derived ? variable.label : std::string());
    }
    for (const Term& term : terms) {
      std::string label;
      std::vector<long> powers(rows.size(), 0);
      for (int var : term) {  // ascending index = order of first appearance
        label += (label.empty() ? "" : ":") + variables_[var].label;
        const auto row = std::find(rows.begin(), rows.end(), variables_[var].row());
        powers[row - rows.begin()] += variables_[var].power;
      }
      out.labels.push_back(std::move(label));
      out.powers.push_back(std::move(powers));
    }
    return out;
  }

  std::string_view formula_;
  const std::vector<DataColumn>& columns_;
  std::string_view weights_;
  std::vector<int> responses_;
  int weightsColumn_ = -1;
  std::vector<FormulaVariable> variables_;
  std::vector<std::string> offsets_;
  bool intercept_ = true;
  bool parity_ = true;
};

const DataColumn& columnNamed(const std::vector<DataColumn>& columns, const std::string& name) {
  for (const DataColumn& column : columns)
    if (column.name == name) return column;
  QMX_ThrowException("column '%s' is not in the data", name.c_str());
}

}  // namespace

FormulaTerms parseModelFormula(std::string_view formula, const std::vector<DataColumn>& columns,
                               std::string_view weights) {
  return TermEncoder(formula, columns, weights).run();
}

MiningModel buildMiningModel(const FormulaTerms& terms, const std::vector<DataColumn>& columns,
                             std::string_view weights) {
  MiningModel model;
  factVector responses;
  for (const std::string& name : terms.responses) {
    FactorInfo response;
    response.setName(name);
    const DataColumn& column = columnNamed(columns, name);
    if (column.kind == DataColumnKind::kFactor) response.setLevels(column.levels);
    responses.push_back(response);
  }
  model.setResponses(responses);
  if (!terms.labels.empty()) {
    const long nVar = static_cast<long>(terms.variables.size());
    const long nTerm = static_cast<long>(terms.labels.size());
    TMatrix<long> table(nVar, nTerm, strVector(terms.variables), strVector(terms.labels));
    for (long termIdx = 0; termIdx < nTerm; ++termIdx)
      for (long varIdx = 0; varIdx < nVar; ++varIdx)
        table(varIdx, termIdx) = terms.powers[termIdx][varIdx];
    model.setTermsTable(table);
  }
  factVector factors;
  for (std::size_t varIdx = 0; varIdx < terms.variables.size(); ++varIdx) {
    const std::string& name = terms.variables[varIdx];
    if (varIdx < terms.expressions.size() && !terms.expressions[varIdx].empty()) {
      model.setExpression(name, terms.expressions[varIdx]);
      // factor() of a factor column keeps its levels; of a numeric one the data give them.
      // (An expression of constants, I(2) say, reads no column.)
      const DerivedVariable derived(terms.expressions[varIdx]);
      if (derived.kind() != DerivedVariable::Kind::kFactor || derived.columns().empty()) continue;
      const DataColumn& input = columnNamed(columns, derived.columns()[0]);
      if (input.kind != DataColumnKind::kFactor) continue;
      FactorInfo factor;
      factor.setName(name);
      factor.setLevels(input.levels);
      factors.push_back(factor);
      continue;
    }
    const DataColumn& column = columnNamed(columns, name);
    if (column.kind != DataColumnKind::kFactor) continue;
    FactorInfo factor;
    factor.setName(name);
    factor.setLevels(column.levels);
    factors.push_back(factor);
  }
  model.setFactors(factors);
  model.setIntercept(terms.intercept);
  for (const std::string& offset : terms.offsets)
    model.addOffset(offset);
  model.setWeights(String(std::string(weights)));
  return model;
}

MiningModel modelFromFormula(std::string_view formula, const std::vector<DataColumn>& columns,
                             std::string_view weights) {
  return buildMiningModel(parseModelFormula(formula, columns, weights), columns, weights);
}
