// Pieces of the formula reader shared by ModelFormulaParser.cpp (text -> syntax tree) and
// ModelFormula.cpp (syntax tree -> terms). Not part of the public interface.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace formula_internal {

enum class NodeKind {
  kName,        // a column name (text)
  kNumber,      // a numeric literal (text)
  kDot,         // .
  kPower,       // I(name^power): text = the column name
  kExpression,  // log(), exp(), sqrt() or I() of an expression: text = its label
  kCbind,       // cbind(name, ...) on the left side
  kOffset,      // offset(e): text = the label of the expression e (DerivedVariable of I(e))
  kPlus,        // binary a + b, unary + a (one argument)
  kMinus,       // binary a - b, unary - a (one argument)
  kTimes,       // a * b
  kSlash,       // a / b
  kIn,          // a %in% b
  kColon,       // a : b
  kCaret,       // a ^ n: the exponent is `power`
  kParen,       // ( a )
};

struct Node {
  NodeKind kind;
  std::size_t pos = 0;  // 0-based offset of the node's first character in the formula
  std::string text;
  long power = 0;
  std::vector<std::unique_ptr<Node>> args;
};

struct ParsedFormula {
  std::unique_ptr<Node> lhs;  // null for a one-sided formula
  std::unique_ptr<Node> rhs;
};

// Parses the text with R's operator precedence (low to high: ~, binary + -, * /, %in%, :,
// unary + -, ^). Throws formulaError on a syntax error.
ParsedFormula parseFormulaText(std::string_view formula);

// Throws a QMXException: formula "<text>", position <pos + 1>: <what>.
[[noreturn]] void formulaError(std::string_view formula, std::size_t pos, const std::string& what);

// True when `name` is a syntactic R name (so R writes it without backquotes).
bool isSyntacticName(std::string_view name);

}  // namespace formula_internal
