// kmeansSummary: the text and csv summaries of a k-means fit, laid out as R prints a kmeans
// object (print.kmeans, print.default of a matrix and of a vector: 7 significant digits,
// lines of at most 80 characters).
#include "qmxmisc/cluster/KMeansSummary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "qmxmisc/base/DisplayWidth.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/RPrintFormat.h"

namespace {

constexpr std::size_t kLineWidth = 80;
constexpr int kDigits = 7;
constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

std::string number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

// Right-justified in `width` terminal columns (R pads column names by their display width).
std::string padLeft(const std::string& text, std::size_t width) {
  const std::size_t shown = displayWidth(text);
  return shown >= width ? text : std::string(width - shown, ' ') + text;
}

std::string padRight(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

double property(const SummaryInput& input, const char* name) {
  const auto found = input.properties.find(name);
  if (found == input.properties.end() || found->second.empty()) return kUnknown;
  try {
    return std::stod(found->second);
  } catch (...) {
    return kUnknown;
  }
}

// print.default of a matrix with row names 1..K: each column formatted on its own, blocks of
// columns as wide as a line allows.
std::string matrixText(const std::vector<std::string>& columns,
                       const std::vector<std::vector<double>>& rows) {
  std::vector<std::vector<std::string>> cells(columns.size());
  std::vector<std::size_t> widths(columns.size());
  for (std::size_t j = 0; j < columns.size(); ++j) {
    std::vector<double> values;
    for (const std::vector<double>& row : rows)
      values.push_back(row[j]);
    cells[j] = formatReal(values, kDigits);
    widths[j] = std::max(displayWidth(columns[j]), cells[j].empty() ? 0 : cells[j][0].size());
  }
  const std::size_t nameWidth = std::to_string(rows.size()).size();
  std::string out;
  for (std::size_t first = 0; first < columns.size();) {
    std::size_t last = first, width = nameWidth + 1 + widths[first];
    while (last + 1 < columns.size() && width + 1 + widths[last + 1] <= kLineWidth)
      width += 1 + widths[++last];
    out += std::string(nameWidth, ' ');
    for (std::size_t j = first; j <= last; ++j)
      out += " " + padLeft(columns[j], widths[j]);
    out += "\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
      out += padRight(std::to_string(i + 1), nameWidth);
      for (std::size_t j = first; j <= last; ++j)
        out += " " + padLeft(cells[j][i], widths[j]);
      out += "\n";
    }
    first = last + 1;
  }
  return out;
}

// print.default of a numeric vector: "[i]" labels, as many values per line as fit.
std::string vectorText(const std::vector<double>& values) {
  const std::vector<std::string> texts = formatReal(values, kDigits);
  const std::size_t labelWidth = std::to_string(values.size()).size() + 2;
  const std::size_t width = texts.empty() ? 0 : texts[0].size();
  const std::size_t perLine = std::max<std::size_t>(1, (kLineWidth - labelWidth) / (width + 1));
  std::string out;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i % perLine == 0) {
      if (i > 0) out += "\n";
      out += padLeft("[" + std::to_string(i + 1) + "]", labelWidth);
    }
    out += " " + texts[i];
  }
  return out + "\n";
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string out = "\"";
  for (const char c : text)
    out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string textSummary(const KMeansFigures& fig) {
  std::string out =
      "K-means clustering with " + std::to_string(fig.sizes.size()) + " clusters of sizes ";
  for (std::size_t c = 0; c < fig.sizes.size(); ++c)
    out += (c > 0 ? ", " : "") + number(fig.sizes[c]);
  out += "\n\nCluster means:\n" + matrixText(fig.columns, fig.scaled);
  out += "\nWithin cluster sum of squares by cluster:\n" + vectorText(fig.withinss);
  if (std::isfinite(fig.totss) && fig.totss > 0) {
    char ratio[64];
    std::snprintf(ratio, sizeof ratio, " (between_SS / total_SS = %5.1f %%)\n",
                  100 * fig.betweenss / fig.totss);
    out += ratio;
  }
  if (fig.isScaled)
    out += "\nCluster means in the data's units:\n" + matrixText(fig.columns, fig.centers);
  if (fig.converged == 0)
    out += "Warning: did *not* converge in specified number of iterations\n";
  else if (!fig.warning.empty())
    out += "Warning: " + fig.warning + "\n";
  out += "\nRows used: " + number(fig.used) +
         ", left out (missing values): " + number(fig.dropped) + "\n";
  return out;
}

std::string csvSummary(const KMeansFigures& fig) {
  std::string out = "cluster,size,withinss";
  for (const std::string& column : fig.columns)
    out += "," + csvField(column);
  out += "\n";
  for (std::size_t c = 0; c < fig.sizes.size(); ++c) {
    out += std::to_string(c + 1) + "," + number(fig.sizes[c]) + "," + number(fig.withinss[c]);
    for (const double value : fig.centers[c])
      out += "," + number(value);
    out += "\n";
  }
  return out;
}

}  // namespace

KMeansFigures kmeansFigures(const KMeansFit& fit, const SummaryInput& input) {
  KMeansFigures fig;
  for (const String& name : fit.fieldNames())
    fig.columns.push_back(name.str());
  const long k = fit.nClusters();
  const long f = fit.nVariables();
  // A fit in memory has its own sizes; a document read back has the ones it was written with.
  const bool read = fit.writtenSize().getNRow() == k;
  const DoubleMatrix& sizes = read ? fit.writtenSize() : fit.size();
  const DoubleMatrix& within = read ? fit.writtenWithinSS() : fit.withinSS();
  for (long c = 0; c < k; ++c) {
    std::vector<double> scaled, centers;
    for (long j = 0; j < f; ++j) {
      const double divisor = fit.inputScaling()(j) == 0.0 ? 1.0 : fit.inputScaling()(j);
      fig.isScaled = fig.isScaled || divisor != 1.0;
      scaled.push_back(fit.centers()(c, j));
      centers.push_back(fit.centers()(c, j) * divisor);
    }
    fig.scaled.push_back(scaled);
    fig.centers.push_back(centers);
    fig.sizes.push_back(sizes.getNRow() == k ? sizes(c) : kUnknown);
    fig.withinss.push_back(within.getNRow() == k ? within(c) : kUnknown);
    fig.totWithinss += fig.withinss.back();
    fig.used += fig.sizes.back();
  }
  fig.totss = property(input, "totss");
  fig.betweenss = fig.totss - fig.totWithinss;
  fig.iterations = property(input, "iterations");
  const double converged = property(input, "converged");
  fig.converged = std::isnan(converged) ? -1 : converged != 0.0 ? 1 : 0;
  fig.dropped = static_cast<double>(input.dataRows) - fig.used;
  if (const auto found = input.properties.find("warning"); found != input.properties.end())
    fig.warning = found->second;
  return fig;
}

std::string kmeansSummary(const std::string& document, SummaryFormat format,
                          const SummaryInput& input) {
  KMeansFit fit;
  try {
    fit = KMeansFit(document.c_str());
  } catch (const QMXException& e) {
    QMX_ThrowException("cannot read the fitted model: %s", e.message() ? e.message() : "");
  }
  const KMeansFigures figures = kmeansFigures(fit, input);
  switch (format) {
    case SummaryFormat::kCsv:
      return csvSummary(figures);
    case SummaryFormat::kJson:
      return kmeansSummaryJson(figures);
    case SummaryFormat::kText:
      break;
  }
  return textSummary(figures);
}
