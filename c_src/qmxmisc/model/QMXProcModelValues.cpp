// QMXProcModel: the check of a chunk's model matrix and weights before any fit sees them.
// The row filter has already left out missing and infinite input values; what remains to
// catch is what the matrix makes of them (a power or a product that overflows) and values
// so large that the fits' sums of squares overflow, which would otherwise show up as NaN
// coefficients or as columns wrongly found aliased.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/DerivedVariable.h"
#include "qmxmisc/model/QMXProcModel.h"

namespace {

// The label of the term that model-matrix column `col` belongs to, or "(Intercept)".
std::string termOfColumn(const ModelMatrix& matrix, long col) {
  const Index& first = matrix.termIndicies();
  const strVector& labels = matrix.model().termsTable().getColNames();
  for (std::size_t t = 0; t + 1 < first.size(); ++t) {
    if (col >= static_cast<long>(first[t]) && col < static_cast<long>(first[t + 1]))
      return t < labels.size() ? labels[t].str() : std::to_string(t + 1);
  }
  return "(Intercept)";
}

}  // namespace

void QMXProcModel::checkChunkValues(long n, std::int64_t rowsBefore) const {
  // The data row (1-based, over the whole input) of matrix row `row`: the excluded chunk rows
  // are skipped.
  const Index& excluded = modelMatrix.rowsExcluded();
  auto dataRow = [&](long row) {
    long chunkRow = row;
    for (const auto skipped : excluded)
      if (static_cast<long>(skipped) <= chunkRow) ++chunkRow;
    return static_cast<long long>(rowsBefore + chunkRow + 1);
  };
  for (long row = 0; row < offset.getNRow(); ++row)
    if (!std::isfinite(offset(row, 0)))
      QMX_ThrowException("the offset at row %lld is not finite (%g)", dataRow(row), offset(row, 0));
  const bool weighted = weights.getNRow() == n;
  const long ncol = modelMatrix.getNCol();
  // A column's weighted sum of squares is finite when no term of it is infinite or NaN (its
  // terms are not negative): only a chunk with a column that fails is searched, row by row.
  const double* w = weighted ? weights.constData() : nullptr;
  bool suspect = false;
  for (long col = 0; col < ncol && !suspect; ++col) {
    const double* x = modelMatrix.constData() + static_cast<std::size_t>(col) * n;
    double sum = 0.0;
    if (w != nullptr) {
      for (long row = 0; row < n; ++row)
        sum += std::fabs(w[row]) * (x[row] * x[row]);
    } else {
      for (long row = 0; row < n; ++row)
        sum += x[row] * x[row];
    }
    suspect = !std::isfinite(sum);
  }
  if (!suspect) return;
  for (long row = 0; row < n; ++row) {
    const double wr = weighted ? weights(row, 0) : 1.0;
    for (long col = 0; col < ncol; ++col) {
      const double x = modelMatrix(row, col);
      if (!std::isfinite(x)) {
        QMX_ThrowException("term %s: the model matrix value at row %lld is not finite (%g)",
                           termOfColumn(modelMatrix, col).c_str(), dataRow(row), x);
      }
      if (std::isfinite(wr * x * x)) continue;
      if (weighted && std::isfinite(x * x)) {
        QMX_ThrowException(
            "weights column %s: the weight %g at row %lld times the square of term %s overflows",
            getModel().weights().c_str(), wr, dataRow(row), termOfColumn(modelMatrix, col).c_str());
      }
      QMX_ThrowException("term %s: the model matrix value %g at row %lld overflows when squared",
                         termOfColumn(modelMatrix, col).c_str(), x, dataRow(row));
    }
  }
}

DoubleMatrix chunkOffset(const ModelTerms& model, QMXFilterBufReader& filter, long n) {
  const std::vector<std::string>& offsets = model.offsets();
  if (offsets.empty()) return DoubleMatrix();
  DoubleMatrix offset(n, 1L);
  std::fill_n(offset.data(), n, 0.0);
  std::vector<double> values(static_cast<std::size_t>(n));
  for (const std::string& text : offsets) {
    const DerivedVariable derived("I(" + text + ")");
    std::vector<std::vector<double>> columns;
    std::vector<const double*> inputs;
    for (const std::string& name : derived.columns()) {
      columns.emplace_back(static_cast<std::size_t>(n));
      if (filter.getDoubleArray(String(name), columns.back().data()) != n)
        QMX_ThrowException("cannot read the offset column %s", name.c_str());
    }
    for (const std::vector<double>& column : columns)
      inputs.push_back(column.data());
    derived.evaluate(inputs, static_cast<std::size_t>(n), values.data());
    for (long row = 0; row < n; ++row)
      offset(row, 0) += values[static_cast<std::size_t>(row)];
  }
  return offset;
}
