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

namespace {

using Op = DerivedVariable::Op;
using Step = DerivedVariable::Step;

bool isNameStart(unsigned char c) {
  return std::isalpha(c) || c == '.' || c >= 0x80;
}
bool isNameChar(unsigned char c) {
  return std::isalnum(c) || c == '.' || c == '_' || c >= 0x80;
}

const char* const kFunctions[] = {"log", "exp", "sqrt", "I"};

bool isFunction(std::string_view name) {
  for (const char* function : kFunctions)
    if (name == function) return true;
  return false;
}

// R's deparse of a number: 15 significant digits, fixed notation unless the scientific form
// is shorter (R's formatReal with scipen 0).
std::string numberText(double value) {
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

class ExpressionParser {
 public:
  ExpressionParser(std::string_view text, std::vector<std::string>& columns,
                   std::vector<Step>& program)
      : text_(text), columns_(columns), program_(program) {}

  std::string parse() {
    skipBlanks();
    const std::size_t start = at_;
    std::string name;
    if (!readName(name) || !isFunction(name) || !peek('('))
      fail(start, "expected a call of log(), exp(), sqrt() or I()");
    at_ = start;
    std::string label = parsePrimary();
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

  std::string number(double value, std::ptrdiff_t length) {
    at_ += static_cast<std::size_t>(length);
    if (at_ < text_.size() && text_[at_] == 'L') ++at_;  // R's integer suffix
    emit(Op::kNumber);
    program_.back().number = value;
    return numberText(value);
  }

  std::string call(const std::string& name, std::size_t pos) {
    if (!isFunction(name))
      fail(pos, "function " + name + "() is not supported; use log(), exp(), sqrt() or I()");
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
  label_ = ExpressionParser(text, columns_, program_).parse();
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
