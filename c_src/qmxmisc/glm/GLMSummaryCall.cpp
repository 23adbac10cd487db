// The Call line of a regression summary as R's print(summary(fit)) shows it: the call of lm
// or glm rebuilt from the formula and options of the fit, spaced and broken into lines as R's
// deparse() does.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "qmxmisc/glm/GLMSummaryInternal.h"

namespace {

// The family argument of R's glm call: the family alone with its canonical link.
std::string familyCall(const GLMFit& fit) {
  const std::string family = glm_summary::rFamilyName(fit);
  const char* canonical = family == "binomial"           ? "logit"
                          : family == "poisson"          ? "log"
                          : family == "Gamma"            ? "inverse"
                          : family == "inverse.gaussian" ? "1/mu^2"
                                                         : "identity";
  const std::string link = glm_summary::rLinkName(fit.linkType());
  return link == canonical ? family : family + "(link = \"" + link + "\")";
}

// R's deparse(call) line breaking (width.cutoff 60): after a ", " between arguments, or a
// binary ~ + - * %in% with its spaces, a line longer than 60 bytes ends there. The rest of a
// broken argument list, and the right operand of a broken operator, are indented one more
// level (four spaces each for the first four, two beyond).
class CallDeparser {
 public:
  std::vector<std::string> lines(const std::string& call) {
    for (std::size_t at = 0; at < call.size(); ++at) {
      const char c = call[at];
      if (c == '(') {
        const bool isCall = at > 0 && call[at - 1] != ' ' && call[at - 1] != '(';
        frames_.push_back({isCall, false});
        put("(");
      } else if (c == ')') {
        closeOperands();
        if (!frames_.empty() && frames_.back().broken) --indent_;
        if (!frames_.empty()) frames_.pop_back();
        put(")");
      } else if (call.compare(at, 2, ", ") == 0 && !frames_.empty() && frames_.back().isCall) {
        closeOperands();
        put(", ");
        ++at;
        if (line_.size() > kCutoff) {
          if (!frames_.back().broken) ++indent_;
          frames_.back().broken = true;
          newLine();
        }
      } else if (const int precedence = spacedOperator(call, at); precedence > 0) {
        while (!operands_.empty() && operands_.back().depth == frames_.size() &&
               operands_.back().precedence >= precedence) {
          operands_.pop_back();
          --indent_;
        }
        const std::size_t end = call.find(' ', at + 1) + 1;
        put(call.substr(at, end - at));
        at = end - 1;
        if (line_.size() > kCutoff) {
          operands_.push_back({precedence, frames_.size()});
          ++indent_;
          newLine();
        }
      } else {
        put(std::string(1, c));
      }
    }
    lines_.push_back(line_);
    return lines_;
  }

 private:
  static constexpr std::size_t kCutoff = 60;
  struct Frame {
    bool isCall, broken;
  };
  struct Operand {
    int precedence;
    std::size_t depth;
  };

  // The precedence of the spaced binary operator " op " at `at` (0 when there is none).
  static int spacedOperator(const std::string& text, std::size_t at) {
    for (const auto& [op, precedence] :
         {std::pair<const char*, int>{" ~ ", 1}, {" + ", 2}, {" - ", 2}, {" * ", 3}, {" %in% ", 4}})
      if (text.compare(at, std::strlen(op), op) == 0) return precedence;
    return 0;
  }

  // The operands of broken operators inside the current parentheses end here.
  void closeOperands() {
    while (!operands_.empty() && operands_.back().depth == frames_.size()) {
      operands_.pop_back();
      --indent_;
    }
  }

  void put(const std::string& text) {
    if (startLine_) {
      for (int level = 1; level <= indent_; ++level)
        line_ += level <= 4 ? "    " : "  ";
      startLine_ = false;
    }
    line_ += text;
  }

  void newLine() {
    lines_.push_back(line_);
    line_.clear();
    startLine_ = true;
  }

  std::vector<Frame> frames_;
  std::vector<Operand> operands_;
  std::vector<std::string> lines_;
  std::string line_;
  int indent_ = 0;
  bool startLine_ = false;
};

}  // namespace

namespace glm_summary {

// R's spacing of a deparsed formula: binary ~ + - * %in% between spaces, : / and ^ without,
// a comma followed by one.
std::string deparseFormula(const std::string& text) {
  std::string out;
  char last = '(';  // the last character that is not a space: a unary minus follows ( or ~
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t') continue;
    if (text.compare(i, 4, "%in%") == 0) {
      out += " %in% ";
      i += 3;
      last = '%';
      continue;
    }
    const bool binary = std::string("+-*").find(c) != std::string::npos && last != '(' &&
                        last != '~' && !out.empty();
    if (c == '~') {
      out += out.empty() ? "~ " : " ~ ";
    } else if (c == ',') {
      out += ", ";
    } else if (binary) {
      out += std::string(" ") + c + " ";
    } else {
      out += c;
    }
    last = c;
  }
  return out;
}

const char* rLinkName(GLMLink::Link link) {
  static const char* const names[] = {"identity", "logit",   "log",  "probit",
                                      "cloglog",  "inverse", "sqrt", "1/mu^2"};
  const auto code = static_cast<std::size_t>(link);
  return code < std::size(names) ? names[code] : "identity";
}

std::string callLine(const GLMFit& fit, const SummaryInput& input) {
  const std::string formula = property(input, "call.formula");
  if (formula.empty()) return "";
  std::string call = iterative(fit) ? "glm(formula = " : "lm(formula = ";
  call += deparseFormula(formula);
  if (iterative(fit) && fit.valid(true) && fit.hasFamily()) call += ", family = " + familyCall(fit);
  call += ", data = " + property(input, "call.data");
  if (const std::string weights = property(input, "call.weights"); !weights.empty())
    call += ", weights = " + weights;
  if (const std::string offset = property(input, "call.offset"); !offset.empty())
    call += ", offset = " + offset;
  call += ")";
  std::string out = "\nCall:\n";
  for (const std::string& line : CallDeparser().lines(call))
    out += line + "\n";
  return out + "\n";
}

}  // namespace glm_summary
