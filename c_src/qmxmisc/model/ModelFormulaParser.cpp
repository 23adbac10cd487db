// The formula text as a syntax tree: a tokenizer and a recursive-descent parser with the
// operator precedence of R's grammar (gram.y), restricted to what a model formula may hold.
#include <cctype>
#include <cstring>
#include <memory>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/DerivedVariable.h"
#include "qmxmisc/model/ModelFormula.h"
#include "qmxmisc/model/ModelFormulaInternal.h"
#include "qmxmisc/model/ModelLimits.h"

namespace formula_internal {

namespace {

bool isNameStart(unsigned char c) {
  return std::isalpha(c) || c == '.' || c >= 0x80;
}
bool isNameChar(unsigned char c) {
  return std::isalnum(c) || c == '.' || c == '_' || c >= 0x80;
}

enum class TokenKind { kName, kNumber, kOp, kEnd };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;  // name (without backquotes), number or operator
  std::size_t pos = 0;
  bool quoted = false;  // a `backquoted` name
};

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) { advance(); }

  ParsedFormula parse() {
    ParsedFormula result;
    if (!isOp("~")) result.lhs = parseSum();
    if (!isOp("~"))
      fail(token_.kind == TokenKind::kEnd ? "expected ~ between the response and the terms"
                                          : "expected ~ or an operator");
    advance();
    result.rhs = parseSum();
    if (token_.kind != TokenKind::kEnd) fail("unexpected '" + token_.text + "' after the terms");
    return result;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const { formulaError(text_, token_.pos, what); }

  bool isOp(const char* op) const { return token_.kind == TokenKind::kOp && token_.text == op; }

  void expectOp(const char* op, const std::string& what) {
    if (!isOp(op)) fail(what);
    advance();
  }

  // Reads the next token into token_.
  void advance() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_])))
      ++at_;
    token_ = Token{};
    token_.pos = at_;
    if (at_ >= text_.size()) return;
    const unsigned char c = static_cast<unsigned char>(text_[at_]);
    const unsigned char next =
        at_ + 1 < text_.size() ? static_cast<unsigned char>(text_[at_ + 1]) : 0;
    if (std::isdigit(c) || (c == '.' && std::isdigit(next))) return readNumber();
    if (isNameStart(c)) return readName();
    if (c == '`') return readQuotedName();
    if (c == '%') {
      if (text_.substr(at_, 4) != "%in%") fail("unknown operator; the only %...% operator is %in%");
      return setOp("%in%");
    }
    if (c == '*' && next == '*') {  // R reads ** as ^
      setOp("^");
      ++at_;
      return;
    }
    if (std::strchr("~+-*/:^(),", c) != nullptr && c != 0) return setOp(std::string(1, c));
    fail(std::string("unexpected character '") + static_cast<char>(c) + "'");
  }

  void setOp(const std::string& op) {
    token_.kind = TokenKind::kOp;
    token_.text = op;
    at_ += op.size();
  }

  void readNumber() {
    const std::size_t start = at_;
    while (at_ < text_.size() &&
           (std::isdigit(static_cast<unsigned char>(text_[at_])) || text_[at_] == '.'))
      ++at_;
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_])))
        ++at_;
    }
    token_.kind = TokenKind::kNumber;
    token_.text = std::string(text_.substr(start, at_ - start));
    if (at_ < text_.size() && text_[at_] == 'L') ++at_;  // R's integer suffix
  }

  void readName() {
    const std::size_t start = at_;
    while (at_ < text_.size() && isNameChar(static_cast<unsigned char>(text_[at_])))
      ++at_;
    token_.kind = TokenKind::kName;
    token_.text = std::string(text_.substr(start, at_ - start));
  }

  void readQuotedName() {
    const std::size_t close = text_.find('`', at_ + 1);
    if (close == std::string_view::npos) fail("unterminated `name`");
    if (close == at_ + 1) fail("empty `` name");
    token_.kind = TokenKind::kName;
    token_.quoted = true;
    token_.text = std::string(text_.substr(at_ + 1, close - at_ - 1));
    at_ = close + 1;
  }

  // Counts one more level of nesting (a parenthesis, a unary operator) for the life of the
  // guard; the recursion stops at kMaxFormulaDepth levels instead of running out of stack.
  class Nesting {
   public:
    explicit Nesting(Parser& parser) : parser_(parser) {
      if (++parser_.depth_ > kMaxFormulaDepth)
        parser_.fail("the formula nests deeper than " + std::to_string(kMaxFormulaDepth) +
                     " levels of parentheses and unary operators");
    }
    ~Nesting() { --parser_.depth_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    Parser& parser_;
  };

  // Every node is counted: a chain of binary operators makes a tree as deep as it is long,
  // and the term expansion walks it recursively.
  std::unique_ptr<Node> makeNode(NodeKind kind, std::size_t pos) {
    if (++nodes_ > kMaxFormulaNodes)
      formulaError(text_, pos,
                   "the formula holds more than " + std::to_string(kMaxFormulaNodes) +
                       " names, numbers and operators");
    auto node = std::make_unique<Node>();
    node->kind = kind;
    node->pos = pos;
    return node;
  }

  std::unique_ptr<Node> binary(NodeKind kind, std::size_t pos, std::unique_ptr<Node> a,
                               std::unique_ptr<Node> b) {
    auto node = makeNode(kind, pos);
    node->args.push_back(std::move(a));
    node->args.push_back(std::move(b));
    return node;
  }

  // sum := product (('+' | '-') product)*
  std::unique_ptr<Node> parseSum() {
    auto left = parseProduct();
    while (isOp("+") || isOp("-")) {
      const NodeKind kind = isOp("+") ? NodeKind::kPlus : NodeKind::kMinus;
      const std::size_t pos = token_.pos;
      advance();
      left = binary(kind, pos, std::move(left), parseProduct());
    }
    return left;
  }

  // product := in (('*' | '/') in)*
  std::unique_ptr<Node> parseProduct() {
    auto left = parseIn();
    while (isOp("*") || isOp("/")) {
      const NodeKind kind = isOp("*") ? NodeKind::kTimes : NodeKind::kSlash;
      const std::size_t pos = token_.pos;
      advance();
      left = binary(kind, pos, std::move(left), parseIn());
    }
    return left;
  }

  // in := colon ('%in%' colon)*
  std::unique_ptr<Node> parseIn() {
    auto left = parseColon();
    while (isOp("%in%")) {
      const std::size_t pos = token_.pos;
      advance();
      left = binary(NodeKind::kIn, pos, std::move(left), parseColon());
    }
    return left;
  }

  // colon := unary (':' unary)*
  std::unique_ptr<Node> parseColon() {
    auto left = parseUnary();
    while (isOp(":")) {
      const std::size_t pos = token_.pos;
      advance();
      left = binary(NodeKind::kColon, pos, std::move(left), parseUnary());
    }
    return left;
  }

  // unary := ('+' | '-') unary | power
  std::unique_ptr<Node> parseUnary() {
    if (isOp("+") || isOp("-")) {
      const Nesting level(*this);
      auto node = makeNode(isOp("+") ? NodeKind::kPlus : NodeKind::kMinus, token_.pos);
      advance();
      node->args.push_back(parseUnary());
      return node;
    }
    return parsePower();
  }

  // power := primary ('^' integer)?
  std::unique_ptr<Node> parsePower() {
    auto base = parsePrimary();
    if (!isOp("^")) return base;
    auto node = makeNode(NodeKind::kCaret, token_.pos);
    advance();
    node->power = readPowerOrFail(
        "invalid power in formula: the exponent after ^ must be a "
        "whole number of at least 2, as in (a+b)^2");
    node->args.push_back(std::move(base));
    return node;
  }

  // An integer literal >= 2 as the current token (consumed), else fail(what).
  long readPowerOrFail(const std::string& what) {
    if (token_.kind != TokenKind::kNumber) fail(what);
    const std::string& digits = token_.text;
    if (digits.empty() || digits.size() > 6 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
      fail(what);
    const long power = std::stol(digits);
    if (power < 2) fail(what);
    advance();
    return power;
  }

  std::unique_ptr<Node> parsePrimary() {
    const Token start = token_;
    if (start.kind == TokenKind::kNumber) {
      auto node = makeNode(NodeKind::kNumber, start.pos);
      node->text = start.text;
      advance();
      return node;
    }
    if (isOp("(")) {
      const Nesting level(*this);
      auto node = makeNode(NodeKind::kParen, start.pos);
      advance();
      node->args.push_back(parseSum());
      expectOp(")", "expected )");
      return node;
    }
    if (start.kind != TokenKind::kName) {
      if (start.kind == TokenKind::kEnd) fail("expected a term");
      fail("expected a term before '" + start.text + "'");
    }
    advance();
    if (!start.quoted && start.text == ".") return makeNode(NodeKind::kDot, start.pos);
    if (start.quoted || !isOp("(")) {
      auto node = makeNode(NodeKind::kName, start.pos);
      node->text = start.text;
      return node;
    }
    if (start.text == "cbind") return parseCbind(start.pos);
    if (start.text == "offset") return parseOffset(start.pos);
    if (DerivedVariable::looksLikeCall(start.text + "(")) return parseCall(start.pos);
    formulaError(text_, start.pos,
                 "function " + start.text +
                     "() is not supported; a term is a column name, an interaction, log(), "
                     "exp(), sqrt() or I() of numeric columns");
  }

  // A call of log, exp, sqrt or I starting at `pos` (the current token is its "("): a
  // derived variable, or I(x^k) of one column, which stays a power of x in the terms.
  std::unique_ptr<Node> parseCall(std::size_t pos) {
    const std::size_t end = callEnd(pos);
    std::unique_ptr<DerivedVariable> derived = derivedOf(text_.substr(pos, end - pos), pos);
    auto node = makeNode(NodeKind::kExpression, pos);
    node->text = derived->label();
    if (derived->isPower(node->power)) {
      node->kind = NodeKind::kPower;
      node->text = derived->columns()[0];
      if (node->power > kMaxTermPower)
        formulaError(text_, pos,
                     "the power in " + derived->label() + " is above the limit of " +
                         std::to_string(kMaxTermPower));
    }
    at_ = end;
    advance();
    return node;
  }

  // One past the ")" closing the call at `pos` (the current token is its "(").
  std::size_t callEnd(std::size_t pos) const {
    std::size_t end = at_;
    for (long depth = 1; depth > 0; ++end) {
      if (end >= text_.size()) formulaError(text_, pos, "expected ) to close the call");
      if (text_[end] == '`') {
        end = text_.find('`', end + 1);
        if (end == std::string_view::npos) formulaError(text_, pos, "unterminated `name`");
      }
      depth += text_[end] == '(' ? 1 : text_[end] == ')' ? -1 : 0;
    }
    return end;
  }

  std::unique_ptr<DerivedVariable> derivedOf(std::string_view source, std::size_t pos) {
    std::unique_ptr<DerivedVariable> derived;
    try {
      derived = std::make_unique<DerivedVariable>(source);
    } catch (const QMXException& error) {
      formulaError(text_, pos, error.what());
    }
    nodes_ += derived->size();
    return derived;
  }

  // offset(e) after "offset": e is read as I(e); the node's text is e's label.
  std::unique_ptr<Node> parseOffset(std::size_t pos) {
    const std::size_t end = callEnd(pos);
    const std::string inner(text_.substr(at_, end - 1 - at_));
    const std::string label = derivedOf("I(" + inner + ")", pos)->label();
    auto node = makeNode(NodeKind::kOffset, pos);
    node->text = label.substr(2, label.size() - 3);
    at_ = end;
    advance();
    return node;
  }

  // cbind(name, name, ...) after "cbind": the current token is "(".
  std::unique_ptr<Node> parseCbind(std::size_t pos) {
    auto node = makeNode(NodeKind::kCbind, pos);
    advance();
    for (;;) {
      if (token_.kind != TokenKind::kName) fail("cbind() takes column names");
      auto name = makeNode(NodeKind::kName, token_.pos);
      name->text = token_.text;
      node->args.push_back(std::move(name));
      advance();
      if (isOp(")")) break;
      expectOp(",", "expected , or ) in cbind()");
    }
    advance();
    return node;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  Token token_;
  std::size_t depth_ = 0;
  std::size_t nodes_ = 0;
};

}  // namespace

ParsedFormula parseFormulaText(std::string_view formula) {
  return Parser(formula).parse();
}

void formulaError(std::string_view formula, std::size_t pos, const std::string& what) {
  const std::string text(formula);
  QMX_ThrowException("formula \"%s\", position %zu: %s", text.c_str(), pos + 1, what.c_str());
}

bool isSyntacticName(std::string_view name) {
  static const char* const kReserved[] = {
      "if",          "else",     "repeat",        "while",       "function", "for", "next",
      "break",       "TRUE",     "FALSE",         "NULL",        "Inf",      "NaN", "NA",
      "NA_integer_", "NA_real_", "NA_character_", "NA_complex_", "in"};
  if (name.empty()) return false;
  const unsigned char first = static_cast<unsigned char>(name[0]);
  if (!isNameStart(first)) return false;
  if (first == '.' && name.size() > 1 && std::isdigit(static_cast<unsigned char>(name[1])))
    return false;
  for (char c : name)
    if (!isNameChar(static_cast<unsigned char>(c))) return false;
  for (const char* word : kReserved)
    if (name == word) return false;
  return true;
}

}  // namespace formula_internal

std::string rPowerLabel(const std::string& column, long power) {
  const std::string shown = formula_internal::isSyntacticName(column) ? column : "`" + column + "`";
  return power == 1 ? shown : "I(" + shown + "^" + std::to_string(power) + ")";
}
