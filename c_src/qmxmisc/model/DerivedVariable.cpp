// DerivedVariable: a recursive-descent reader of the expression that writes R's deparse of
// it and a postfix program, and the evaluator of that program over a chunk of rows.
#include "qmxmisc/model/DerivedVariable.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/ModelFormulaInternal.h"
#include "qmxmisc/model/ModelLimits.h"
#include "qmxmisc/model/PolyBasis.h"

namespace {

using Op = DerivedVariable::Op;
using Step = DerivedVariable::Step;

bool isNameStart(unsigned char c) {
  return std::isalpha(c) || c == '.' || c >= 0x80;
}
bool isNameChar(unsigned char c) {
  return std::isalnum(c) || c == '.' || c == '_' || c >= 0x80;
}

const char* const kFunctions[] = {"log", "exp", "sqrt", "I", "factor", "poly"};
constexpr long kMaxPolyDegree = 20;

bool isFunction(std::string_view name) {
  for (const char* function : kFunctions)
    if (name == function) return true;
  return false;
}

}  // namespace

// R's formatReal with scipen 0.
std::string rNumberText(double value) {
  // A literal too large for a double (1e999) deparses as R's Inf.
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  char sci[64];
  int digits = 1;
  for (; digits < 15; ++digits) {
    std::snprintf(sci, sizeof sci, "%.*e", digits - 1, value);
    if (std::strtod(sci, nullptr) == value) break;
  }
  std::snprintf(sci, sizeof sci, "%.*e", digits - 1, value);
  const int exponent = std::atoi(std::strchr(sci, 'e') + 1);
  const int decimals = std::max(0, digits - 1 - exponent);
  char fixed[400];
  std::snprintf(fixed, sizeof fixed, "%.*f", decimals, value);
  std::string sciText(sci);
  // R writes the mantissa without trailing zeros and the exponent with at least two digits.
  const std::size_t e = sciText.find('e');
  std::string mantissa = sciText.substr(0, e);
  std::string power = sciText.substr(e + 1);
  const char sign = power[0];
  power = power.substr(1);
  while (power.size() > 2 && power[0] == '0')
    power.erase(0, 1);
  sciText = mantissa + "e" + sign + power;
  return std::string(fixed).size() <= sciText.size() ? std::string(fixed) : sciText;
}

namespace {

std::string numberText(double value) {
  return rNumberText(value);
}

// What a factor() or poly() call adds to its argument.
struct CallShape {
  DerivedVariable::Kind kind = DerivedVariable::Kind::kArithmetic;
  long degree = 1;
  bool raw = false;
  std::vector<double> alpha, norm2;
};

class ExpressionParser {
 public:
  ExpressionParser(std::string_view text, std::vector<std::string>& columns,
                   std::vector<Step>& program, CallShape& shape)
      : text_(text), columns_(columns), program_(program), shape_(shape) {}

  std::string parse() {
    skipBlanks();
    const std::size_t start = at_;
    std::string name;
    if (!readName(name) || !isFunction(name) || !peek('('))
      fail(start, "expected a call of log(), exp(), sqrt(), I(), factor() or poly()");
    std::string label;
    if (name == "factor") {
      label = parseFactor();
    } else if (name == "poly") {
      label = parsePoly();
    } else {
      at_ = start;
      label = parsePrimary();
    }
    skipBlanks();
    if (at_ != text_.size()) fail(at_, "unexpected text after the expression");
    if (program_.empty()) fail(start, "empty expression");
    return label;
  }

 private:
  [[noreturn]] void fail(std::size_t pos, const std::string& what) const {
    const std::string text(text_);
    QMX_ThrowException("expression \"%s\", position %zu: %s", text.c_str(), pos + 1, what.c_str());
  }

  void skipBlanks() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_])))
      ++at_;
  }
  bool peek(char c) {
    skipBlanks();
    return at_ < text_.size() && text_[at_] == c;
  }
  void emit(Op op) {
    if (program_.size() >= kMaxFormulaNodes)
      fail(at_, "the expression holds more than " + std::to_string(kMaxFormulaNodes) +
                    " names, numbers and operators");
    program_.push_back(Step{op});
  }

  class Nesting {
   public:
    Nesting(ExpressionParser& parser, std::size_t pos) : parser_(parser) {
      if (++parser_.depth_ > kMaxFormulaDepth)
        parser_.fail(pos, "the expression nests deeper than " + std::to_string(kMaxFormulaDepth) +
                              " levels");
    }
    ~Nesting() { --parser_.depth_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    ExpressionParser& parser_;
  };

  // sum := product (('+' | '-') product)*
  std::string parseSum() {
    std::string label = parseProduct();
    while (peek('+') || peek('-')) {
      const char op = text_[at_++];
      label += std::string(" ") + op + " " + parseProduct();
      emit(op == '+' ? Op::kAdd : Op::kSubtract);
    }
    return label;
  }

  // product := unary (('*' | '/') unary)*
  std::string parseProduct() {
    std::string label = parseUnary();
    while (peek('*') || peek('/')) {
      const char op = text_[at_++];
      label += (op == '*' ? " * " : "/") + parseUnary();
      emit(op == '*' ? Op::kMultiply : Op::kDivide);
    }
    return label;
  }

  // unary := ('-' | '+') unary | power
  std::string parseUnary() {
    if (peek('-') || peek('+')) {
      const Nesting level(*this, at_);
      const char op = text_[at_++];
      std::string label = std::string(1, op) + parseUnary();
      if (op == '-') emit(Op::kNegate);
      return label;
    }
    return parsePower();
  }

  // power := primary ('^' unary)?, right-associative as R's ^
  std::string parsePower() {
    std::string label = parsePrimary();
    if (!peek('^')) return label;
    const Nesting level(*this, at_);
    ++at_;
    label += "^" + parseUnary();
    emit(Op::kPower);
    return label;
  }

  bool readName(std::string& name) {
    skipBlanks();
    if (at_ >= text_.size()) return false;
    if (text_[at_] == '`') {
      const std::size_t close = text_.find('`', at_ + 1);
      if (close == std::string_view::npos) fail(at_, "unterminated `name`");
      if (close == at_ + 1) fail(at_, "empty `` name");
      name = std::string(text_.substr(at_ + 1, close - at_ - 1));
      at_ = close + 1;
      quoted_ = true;
      return true;
    }
    const auto c = static_cast<unsigned char>(text_[at_]);
    const bool digitNext =
        at_ + 1 < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_ + 1]));
    if (!isNameStart(c) || (c == '.' && digitNext)) return false;
    const std::size_t start = at_;
    while (at_ < text_.size() && isNameChar(static_cast<unsigned char>(text_[at_])))
      ++at_;
    name = std::string(text_.substr(start, at_ - start));
    quoted_ = false;
    return true;
  }

  std::string parsePrimary() {
    skipBlanks();
    const std::size_t pos = at_;
    if (at_ >= text_.size()) fail(pos, "expected a name, a number or (");
    const auto c = static_cast<unsigned char>(text_[at_]);
    if (std::isdigit(c) || c == '.') {
      char* end = nullptr;
      const std::string rest(text_.substr(at_));
      const double value = std::strtod(rest.c_str(), &end);
      if (end != rest.c_str() && !(c == '.' && !std::isdigit(static_cast<unsigned char>(rest[1]))))
        return number(value, end - rest.c_str());
    }
    if (c == '(') {
      const Nesting level(*this, at_);
      ++at_;
      std::string inner = parseSum();
      if (!peek(')')) fail(at_, "expected )");
      ++at_;
      return "(" + inner + ")";
    }
    std::string name;
    if (!readName(name)) fail(pos, std::string("unexpected '") + text_[pos] + "'");
    if (!quoted_ && peek('(')) return call(name, pos);
    std::size_t index = 0;
    while (index < columns_.size() && columns_[index] != name)
      ++index;
    if (index == columns_.size()) columns_.push_back(name);
    emit(Op::kColumn);
    program_.back().column = index;
    return formula_internal::isSyntacticName(name) ? name : "`" + name + "`";
  }

  // factor(name) after "factor": the current character is "(".
  std::string parseFactor() {
    ++at_;
    const std::size_t pos = at_;
    std::string label = parseSum();
    if (program_.size() != 1 || program_[0].op != Op::kColumn)
      fail(pos, "factor() takes a column name");
    if (!peek(')')) fail(at_, "expected ) to close factor(");
    ++at_;
    shape_.kind = DerivedVariable::Kind::kFactor;
    return "factor(" + label + ")";
  }

  // poly(e, degree, raw = TRUE|FALSE, coefs = list(alpha = c(...), norm2 = c(...))) after
  // "poly": the current character is "(".
  std::string parsePoly() {
    ++at_;
    std::string label = "poly(" + parseSum();
    shape_.kind = DerivedVariable::Kind::kPoly;
    bool degreeGiven = false;
    while (peek(',')) {
      ++at_;
      std::string argument;
      const std::size_t pos = at_;
      const std::size_t back = at_;
      bool named = false;
      if (readName(argument) && peek('=')) {
        ++at_;
        named = true;
      } else {
        at_ = back;
        argument = degreeGiven ? "" : "degree";
      }
      if (argument == "degree" && !degreeGiven) {
        skipBlanks();
        const std::size_t at = at_;
        const double degree = readNumber();
        if (!(degree >= 1 && degree == std::floor(degree))) fail(at, "'degree' must be at least 1");
        if (degree > kMaxPolyDegree)
          fail(at, "the degree of poly() is above the limit of " + std::to_string(kMaxPolyDegree));
        shape_.degree = static_cast<long>(degree);
        degreeGiven = true;
        label += (named ? ", degree = " : ", ") + std::to_string(shape_.degree);
      } else if (argument == "raw") {
        std::string value;
        if (!readName(value) ||
            (value != "TRUE" && value != "FALSE" && value != "T" && value != "F"))
          fail(at_, "raw takes TRUE or FALSE");
        shape_.raw = value[0] == 'T';
        if (shape_.raw) label += ", raw = TRUE";
      } else if (argument == "coefs") {
        readCoefs();
      } else {
        fail(pos, "poly() takes an expression, the degree, raw = and coefs =");
      }
    }
    if (!peek(')')) fail(at_, "expected ) to close poly(");
    ++at_;
    const std::size_t need = static_cast<std::size_t>(shape_.degree);
    if (!shape_.alpha.empty() &&
        (shape_.raw || shape_.alpha.size() != need || shape_.norm2.size() != need + 2))
      fail(at_ - 1, "coefs need " + std::to_string(need) + " alpha and " +
                        std::to_string(need + 2) + " norm2 values");
    return label + ")";
  }

  double readNumber() {
    skipBlanks();
    bool negative = false;
    if (at_ < text_.size() && text_[at_] == '-') {
      negative = true;
      ++at_;
    }
    const std::string rest(text_.substr(at_));
    char* end = nullptr;
    const double value = std::strtod(rest.c_str(), &end);
    if (end == rest.c_str() || !std::isdigit(static_cast<unsigned char>(rest[0])))
      fail(at_, "expected a number");
    at_ += static_cast<std::size_t>(end - rest.c_str());
    if (at_ < text_.size() && text_[at_] == 'L') ++at_;
    return negative ? -value : value;
  }

  // list(alpha = c(...), norm2 = c(...))
  void readCoefs() {
    std::string word;
    if (!readName(word) || word != "list" || !peek('('))
      fail(at_, "coefs takes list(alpha = c(...), norm2 = c(...))");
    ++at_;
    for (std::vector<double>* values : {&shape_.alpha, &shape_.norm2}) {
      const char* want = values == &shape_.alpha ? "alpha" : "norm2";
      if (!readName(word) || word != want || !peek('='))
        fail(at_, std::string("expected ") + want + " =");
      ++at_;
      if (!readName(word) || word != "c" || !peek('(')) fail(at_, "expected c(");
      ++at_;
      do {
        if (values->size() > static_cast<std::size_t>(kMaxPolyDegree) + 2)
          fail(at_, "too many coefs");
        values->push_back(readNumber());
      } while (peek(',') && ++at_ > 0);
      if (!peek(')')) fail(at_, "expected )");
      ++at_;
      if (values == &shape_.alpha && !(peek(',') && ++at_ > 0)) fail(at_, "expected , norm2 =");
    }
    if (!peek(')')) fail(at_, "expected ) to close list(");
    ++at_;
  }

  std::string number(double value, std::ptrdiff_t length) {
    at_ += static_cast<std::size_t>(length);
    if (at_ < text_.size() && text_[at_] == 'L') ++at_;  // R's integer suffix
    emit(Op::kNumber);
    program_.back().number = value;
    return numberText(value);
  }

  std::string call(const std::string& name, std::size_t pos) {
    if (!isFunction(name) || name == "factor" || name == "poly")
      fail(pos, "function " + name + "() is not supported here; use log(), exp(), sqrt() or I()");
    const Nesting level(*this, pos);
    ++at_;  // (
    std::string inner = parseSum();
    if (!peek(')')) fail(at_, "expected ) to close " + name + "(");
    ++at_;
    if (name == "log") emit(Op::kLog);
    if (name == "exp") emit(Op::kExp);
    if (name == "sqrt") emit(Op::kSqrt);
    return name + "(" + inner + ")";
  }

  std::string_view text_;
  std::vector<std::string>& columns_;
  std::vector<Step>& program_;
  CallShape& shape_;
  std::size_t at_ = 0;
  std::size_t depth_ = 0;
  bool quoted_ = false;
};

double apply(Op op, double a, double b) {
  switch (op) {
    case Op::kAdd:
      return a + b;
    case Op::kSubtract:
      return a - b;
    case Op::kMultiply:
      return a * b;
    case Op::kDivide:
      return a / b;
    case Op::kPower:  // R_pow: x^2 is x * x, 1^y and x^0 are 1
      if (b == 2.0) return a * a;
      if (a == 1.0 || b == 0.0) return 1.0;
      return std::pow(a, b);
    case Op::kNegate:
      return -a;
    case Op::kLog:
      return std::log(a);
    case Op::kExp:
      return std::exp(a);
    case Op::kSqrt:
      return std::sqrt(a);
    default:
      return a;
  }
}

}  // namespace

DerivedVariable::DerivedVariable(std::string_view text) {
  CallShape shape;
  label_ = ExpressionParser(text, columns_, program_, shape).parse();
  kind_ = shape.kind;
  degree_ = shape.degree;
  raw_ = shape.raw;
  alpha_ = std::move(shape.alpha);
  norm2_ = std::move(shape.norm2);
}

std::string DerivedVariable::withCoefficients(const std::vector<double>& alpha,
                                              const std::vector<double>& norm2) const {
  const auto list = [](const std::vector<double>& values) {
    std::string text;
    char number[40];
    for (double value : values) {
      std::snprintf(number, sizeof number, "%.17g", value);
      text += (text.empty() ? "" : ", ") + std::string(number);
    }
    return "c(" + text + ")";
  };
  return label_.substr(0, label_.size() - 1) + ", coefs = list(alpha = " + list(alpha) +
         ", norm2 = " + list(norm2) + "))";
}

bool DerivedVariable::looksLikeCall(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && isNameChar(static_cast<unsigned char>(text[at])))
    ++at;
  if (!isFunction(text.substr(0, at))) return false;
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
    ++at;
  return at < text.size() && text[at] == '(';
}

bool DerivedVariable::isPower(long& power) const {
  const bool shape = label_.rfind("I(", 0) == 0 && label_.find('(', 2) == std::string::npos &&
                     program_.size() == 3 && program_[0].op == Op::kColumn &&
                     program_[1].op == Op::kNumber && program_[2].op == Op::kPower;
  if (!shape) return false;
  const double k = program_[1].number;
  if (!(k >= 2.0 && k <= 1e6 && k == std::floor(k))) return false;
  power = static_cast<long>(k);
  return true;
}

void DerivedVariable::evaluate(const std::vector<const double*>& inputs, std::size_t n,
                               double* out) const {
  std::vector<std::vector<double>> stack;
  for (const Step& step : program_) {
    if (step.op == Op::kColumn) {
      stack.emplace_back(inputs[step.column], inputs[step.column] + n);
    } else if (step.op == Op::kNumber) {
      stack.emplace_back(n, step.number);
    } else if (step.op == Op::kNegate || step.op == Op::kLog || step.op == Op::kExp ||
               step.op == Op::kSqrt) {
      for (double& value : stack.back())
        value = apply(step.op, value, 0.0);
    } else {
      std::vector<double> right = std::move(stack.back());
      stack.pop_back();
      std::vector<double>& left = stack.back();
      for (std::size_t row = 0; row < n; ++row)
        left[row] = apply(step.op, left[row], right[row]);
    }
  }
  std::copy_n(stack.back().begin(), n, out);
}

void DerivedVariable::evaluateColumns(const std::vector<const double*>& inputs, std::size_t n,
                                      double* out) const {
  if (kind_ != Kind::kPoly) {
    evaluate(inputs, n, out);
    return;
  }
  std::vector<double> values(n);
  evaluate(inputs, n, values.data());
  polyBasis(values.data(), n, degree_, raw_, alpha_, norm2_, out);
}
