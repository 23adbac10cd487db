#include "qmxmisc/model/RPrintFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "qmxmisc/base/DisplayWidth.h"

namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();

// The significant digits (at most `digits`, trailing zeros dropped) and the decimal exponent
// of |x| rounded to `digits` significant digits (R's scientific() in format.c).
struct Significance {
  int nsig = 1;
  int kpower = 0;
};

Significance significance(double x, int digits) {
  Significance result;
  const double alpha = std::fabs(x);
  if (alpha == 0) return result;
  int kp = static_cast<int>(std::floor(std::log10(alpha)));
  double scaled = std::round(alpha * std::pow(10.0, digits - 1 - kp));
  if (scaled >= std::pow(10.0, digits)) {
    ++kp;
    scaled = std::round(scaled / 10);
  } else if (scaled < std::pow(10.0, digits - 1)) {  // log10 rounded up across a power of 10
    --kp;
    scaled = std::round(alpha * std::pow(10.0, digits - 1 - kp));
  }
  auto mantissa = static_cast<long long>(scaled);
  result.nsig = digits;
  while (result.nsig > 1 && mantissa % 10 == 0) {
    mantissa /= 10;
    --result.nsig;
  }
  result.kpower = kp;
  return result;
}

std::string printNumber(const char* format, int width, int decimals, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, width, decimals, value);
  return text;
}

void padLeft(std::vector<std::string>& texts) {
  std::size_t width = 0;
  for (const std::string& text : texts)
    width = std::max(width, text.size());
  for (std::string& text : texts)
    text.insert(0, width - text.size(), ' ');
}

// Left-justified in `width` terminal columns (R pads names by their display width).
std::string padRight(const std::string& text, std::size_t width) {
  const std::size_t shown = displayWidth(text);
  return text + std::string(width > shown ? width - shown : 0, ' ');
}

std::string padLeft(const std::string& text, std::size_t width) {
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

const char* stars(double p) {
  if (std::isnan(p)) return "";
  if (p < 0.001) return "***";
  if (p < 0.01) return "**";
  if (p < 0.05) return "*";
  if (p < 0.1) return ".";
  return " ";
}

}  // namespace

double roundDecimals(double value, int decimals) {
  if (!std::isfinite(value)) return value;
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale;
}

std::vector<std::string> formatReal(const std::vector<double>& values, int digits) {
  bool negative = false, any = false;
  int leftWidth = 1, right = 0, maxSig = 1, maxExponent = 0;
  for (const double x : values) {
    if (!std::isfinite(x)) continue;
    any = true;
    const Significance sig = significance(x, digits);
    negative = negative || x < 0;
    // R: the sign counts in the integer part of the value that has it.
    leftWidth = std::max(leftWidth, (x < 0 ? 1 : 0) + (sig.kpower >= 0 ? sig.kpower + 1 : 1));
    right = std::max(right, sig.nsig - sig.kpower - 1);
    maxSig = std::max(maxSig, sig.nsig);
    maxExponent = std::max(maxExponent, std::abs(sig.kpower));
  }
  right = std::min(right, 15);
  const int fixedWidth = leftWidth + (right > 0 ? right + 1 : 0);
  const int sciWidth = negative + (maxSig > 1 ? maxSig + 1 : maxSig) + (maxExponent >= 100 ? 5 : 4);
  const bool fixed = fixedWidth <= sciWidth;
  std::vector<std::string> texts;
  for (const double x : values) {
    if (std::isnan(x))
      texts.emplace_back("NA");
    else if (!any || std::isinf(x))
      texts.emplace_back(x > 0 ? "Inf" : "-Inf");
    else if (fixed)
      texts.push_back(printNumber("%*.*f", 0, right, x));
    else
      texts.push_back(printNumber("%*.*e", 0, maxSig - 1, x));
  }
  padLeft(texts);
  return texts;
}

std::vector<std::string> formatPval(const std::vector<double>& values, int digits) {
  std::vector<double> fixedGroup, sciGroup;
  for (const double p : values) {
    if (std::isnan(p) || p < kEps) continue;
    const int exponent = static_cast<int>(std::floor(std::log10(p > 0 ? p : 1e-50)));
    (exponent >= -3 || (exponent == -4 && digits > 1) ? fixedGroup : sciGroup).push_back(p);
  }
  const std::vector<std::string> fixedTexts = formatReal(fixedGroup, digits);
  const std::vector<std::string> sciTexts = formatReal(sciGroup, digits);
  std::size_t widest = 0;
  for (const auto* group : {&fixedTexts, &sciTexts})
    for (const std::string& text : *group)
      widest = std::max(widest, text.size());
  // Below the epsilon: "<" and the epsilon to digits - 2 significant digits.
  const int epsDigits = std::max(1, digits - 2);
  const std::string epsText = formatReal({kEps}, epsDigits)[0];
  const bool others = !fixedGroup.empty() || !sciGroup.empty();
  const std::string tiny =
      "<" + std::string(epsDigits == 1 && (!others || widest <= 6) ? "" : " ") + epsText;
  std::vector<std::string> texts;
  std::size_t fixedIdx = 0, sciIdx = 0;
  for (const double p : values) {
    if (std::isnan(p)) {
      texts.emplace_back("NA");
    } else if (p < kEps) {
      texts.push_back(tiny);
    } else {
      const int exponent = static_cast<int>(std::floor(std::log10(p)));
      texts.push_back(exponent >= -3 || (exponent == -4 && digits > 1) ? fixedTexts[fixedIdx++]
                                                                       : sciTexts[sciIdx++]);
    }
  }
  return texts;
}

std::string coefTable(const CoefTableColumns& columns) {
  constexpr int kDigits = 4;                                          // max(3, digits - 3)
  constexpr int kTestDigits = std::max(1, std::min(5, kDigits - 1));  // dig.tst
  const std::size_t n = columns.names.size();
  // Estimate and standard error: rounded to enough decimals for the smallest of them, then
  // formatted as one vector.
  double smallest = std::numeric_limits<double>::infinity();
  for (const auto* column : {&columns.estimate, &columns.stdErr})
    for (const double x : *column)
      if (std::isfinite(x) && x != 0) smallest = std::min(smallest, std::fabs(x));
  const int decimals =
      std::isfinite(smallest)
          ? std::max(1, kDigits - (1 + static_cast<int>(std::floor(std::log10(smallest)))))
          : 1;
  std::vector<double> coefSe;
  for (const auto* column : {&columns.estimate, &columns.stdErr})
    for (const double x : *column)
      coefSe.push_back(roundDecimals(x, decimals));
  std::vector<std::string> coefSeText = formatReal(coefSe, kDigits);
  // A non-zero value shown as zero gets fewer digits of its own (printCoefmat's not.both.0).
  for (std::size_t k = 0; k < coefSe.size(); ++k) {
    const double original = k < n ? columns.estimate[k] : columns.stdErr[k - n];
    if (std::isfinite(original) && original != 0 && std::atof(coefSeText[k].c_str()) == 0)
      coefSeText[k] = formatReal({original}, kDigits - 1)[0];
  }
  std::vector<double> statistic;
  for (const double t : columns.statistic)
    statistic.push_back(roundDecimals(t, kTestDigits));
  std::vector<std::vector<std::string>> cells = {{"Estimate"},
                                                 {"Std. Error"},
                                                 {columns.statisticName + " value"},
                                                 {"Pr(>|" + columns.statisticName + "|)"}};
  const std::vector<std::string> statText = formatReal(statistic, kDigits);
  const std::vector<std::string> pText = formatPval(columns.pValue, kTestDigits);
  bool anyStar = false;
  for (const double p : columns.pValue)
    anyStar = anyStar || p < 0.1;
  std::size_t nameWidth = 0, starWidth = 0;
  for (std::size_t row = 0; row < n; ++row) {
    cells[0].push_back(coefSeText[row]);
    cells[1].push_back(coefSeText[n + row]);
    cells[2].push_back(statText[row]);
    cells[3].push_back(pText[row]);
    nameWidth = std::max(nameWidth, displayWidth(columns.names[row]));
    starWidth = std::max(starWidth, std::string(stars(columns.pValue[row])).size());
  }
  std::vector<std::size_t> widths;
  for (const auto& column : cells) {
    std::size_t width = 0;
    for (const std::string& text : column)
      width = std::max(width, text.size());
    widths.push_back(width);
  }
  std::string out;
  for (std::size_t row = 0; row <= n; ++row) {
    out += padRight(row == 0 ? "" : columns.names[row - 1], nameWidth);
    for (std::size_t col = 0; col < cells.size(); ++col)
      out += " " + padLeft(cells[col][row], widths[col]);
    if (anyStar) out += " " + padRight(row == 0 ? "" : stars(columns.pValue[row - 1]), starWidth);
    out += "\n";
  }
  if (anyStar) out += "---\nSignif. codes:  0 '***' 0.001 '**' 0.01 '*' 0.05 '.' 0.1 ' ' 1\n";
  return out;
}
