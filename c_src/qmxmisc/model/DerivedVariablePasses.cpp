#include "qmxmisc/model/DerivedVariablePasses.h"

#include <algorithm>
#include <cmath>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/framework/QMXNaNExclude.h"
#include "qmxmisc/model/ModelLimits.h"

DerivedVariablePasses::DerivedVariablePasses(const ModelTerms& model, const QMXBuf& buffer) {
  for (long v = 0; v < model.nVariables(); ++v) {
    const String& name = model.variable(v);
    const std::string& expression = model.expression(name);
    if (expression.empty()) continue;
    auto derived = std::make_unique<DerivedVariable>(expression);
    const bool factor = derived->kind() == DerivedVariable::Kind::kFactor;
    if (factor ? model.isFactor(name.c_str()) : derived->hasCoefficients()) continue;
    Variable variable;
    variable.name = name.str();
    for (const std::string& input : derived->columns()) {
      int found = -1;
      for (int column = 0; column < buffer.getNumColumns() && found < 0; ++column) {
        const char* columnName = buffer.getColumnName(column);
        if (columnName != nullptr && input == columnName) found = column;
      }
      if (found < 0)
        QMX_ThrowException("%s: column %s is not in the data", name.c_str(), input.c_str());
      variable.columns.push_back(found);
    }
    if (!factor) variable.poly = std::make_unique<PolyCoefficients>(derived->width());
    variable.derived = std::move(derived);
    variables_.push_back(std::move(variable));
  }
}

void DerivedVariablePasses::startPass() {
  for (Variable& variable : variables_)
    if (variable.poly) variable.poly->startPass();
}

void DerivedVariablePasses::add(QMXFilterBufReader& fit, QMXBufReader& host) {
  const long ready = fit.rowsReady();
  std::vector<std::vector<double>> inputs;
  std::vector<double> values(static_cast<std::size_t>(ready));
  for (Variable& variable : variables_) {
    if (variable.done) continue;
    QMXNaNExclude own(host);
    strVector names;
    for (const std::string& name : variable.derived->columns())
      names.push_back(String(name));
    own.setVariables(names);
    QMXFilterBufReader& reader = variable.poly ? static_cast<QMXFilterBufReader&>(own) : fit;
    std::vector<const double*> pointers;
    inputs.assign(variable.columns.size(), std::vector<double>(static_cast<std::size_t>(ready)));
    long n = 0;
    for (std::size_t i = 0; i < variable.columns.size(); ++i) {
      n = reader.getDoubleArray(variable.columns[i], inputs[i].data());
      pointers.push_back(inputs[i].data());
    }
    if (n <= 0) continue;
    variable.derived->evaluate(pointers, static_cast<std::size_t>(n), values.data());
    if (variable.poly) {
      // poly(log(x)) of x <= 0 has no value: such rows are left out.
      const auto end = std::remove_if(values.begin(), values.begin() + n,
                                      [](double value) { return !std::isfinite(value); });
      variable.poly->add(values.data(), static_cast<std::size_t>(end - values.begin()));
      continue;
    }
    for (long row = 0; row < n; ++row) {
      variable.values.insert(values[static_cast<std::size_t>(row)]);
      if (static_cast<long>(variable.values.size()) > kMaxDerivedFactorLevels)
        QMX_ThrowException(
            "%s: column '%s' has more than %ld distinct values, the limit of a factor's levels",
            variable.name.c_str(), variable.derived->columns()[0].c_str(), kMaxDerivedFactorLevels);
    }
  }
}

bool DerivedVariablePasses::endPass() {
  bool complete = true;
  for (Variable& variable : variables_) {
    if (variable.done) continue;
    if (variable.poly) {
      try {
        variable.done = variable.poly->endPass();
      } catch (const QMXException& error) {
        QMX_ThrowException("%s: %s", variable.name.c_str(), error.what());
      }
    } else {
      variable.done = true;
    }
    complete = complete && variable.done;
  }
  return complete;
}

void DerivedVariablePasses::apply(ModelTerms& model) const {
  factVector factors = model.factors();
  for (const Variable& variable : variables_) {
    if (variable.poly) {
      model.setExpression(
          String(variable.name),
          variable.derived->withCoefficients(variable.poly->alpha(), variable.poly->norm2()));
      continue;
    }
    // Values R writes alike (beyond 15 significant digits) make one level, as in factor().
    strVector levels;
    for (double value : variable.values) {
      const String label(rNumberText(value));
      if (levels.empty() || !(levels.back() == label)) levels.push_back(label);
    }
    FactorInfo factor;
    factor.setName(String(variable.name));
    factor.setLevels(levels);
    factors.push_back(factor);
  }
  model.setFactors(factors);
}
