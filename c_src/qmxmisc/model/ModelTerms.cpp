// ModelTerms: the description part (responses, factors, terms table, lookups and checks).
#include "qmxmisc/model/ModelTerms.h"

#include <algorithm>
#include <cstddef>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/DerivedVariable.h"

namespace {

// The first entry of `list` named `name`, or null (an empty name matches nothing).
const FactorInfo* findByName(const factVector& list, const char* name) {
  for (const FactorInfo& entry : list)
    if (entry.compare(name) == 0) return &entry;
  return nullptr;
}

[[noreturn]] void throwBadResponseIndex(long k, long n) {
  QMX_ThrowException("Invalid dependent variable index %d. Model has %d dependent variables",
                     static_cast<int>(k), static_cast<int>(n));
}

}  // namespace

void ModelTerms::erase(bool keep) {
  if (keep) return;
  factors_.clear();
  responses_.clear();
  terms_ = TMatrix<long>();
  intercept_ = true;
  expressions_.clear();
  offsets_.clear();
}

// --- derived variables ---

void ModelTerms::setExpression(const String& variable, const std::string& expression) {
  expressions_[variable.str()] = expression;
}

const std::string& ModelTerms::expression(const String& variable) const {
  static const std::string kNone;
  const auto found = expressions_.find(variable.str());
  return found == expressions_.end() ? kNone : found->second;
}

strVector ModelTerms::inputColumns() const {
  strVector columns;
  auto add = [&columns](const String& name) {
    if (std::find(columns.begin(), columns.end(), name) == columns.end()) columns.push_back(name);
  };
  for (long v = 0; v < nVariables(); ++v) {
    const std::string& text = expression(variable(v));
    if (text.empty()) {
      add(variable(v));
      continue;
    }
    const DerivedVariable derived(text);
    for (const std::string& column : derived.columns())
      add(String(column));
  }
  for (const std::string& offset : offsets_) {
    const DerivedVariable derived("I(" + offset + ")");
    for (const std::string& column : derived.columns())
      add(String(column));
  }
  return columns;
}

bool ModelTerms::valid(bool /*quick*/) const {
  // An intercept-only model has no terms and is still a model.
  if (terms_.size() == 0 && !intercept_) return false;
  if (static_cast<long>(terms_.getRowNames().size()) != terms_.getNRow()) return false;
  if (static_cast<long>(terms_.getColNames().size()) != terms_.getNCol()) return false;
  return std::all_of(factors_.begin(), factors_.end(), [](const FactorInfo& factor) {
    return !factor.name().empty() && factor.length() > 0;
  });
}

// --- responses ---

void ModelTerms::setResponse(const char* name, long k) {
  if (name == nullptr || *name == '\0') return;
  setResponse(String(name), k);
}

void ModelTerms::setResponse(const std::string& name, long k) {
  setResponse(String(name), k);
}

void ModelTerms::setResponse(const String& name, long k) {
  if (k < 0) throwBadResponseIndex(k, nResponse());
  if (nResponse() < k + 1) responses_.resize(static_cast<std::size_t>(k + 1));
  responses_[static_cast<std::size_t>(k)].setName(name);
}

void ModelTerms::setResponse(const FactorInfo& response, long k) {
  setResponse(response.name(), k);
  FactorInfo& entry = responses_[static_cast<std::size_t>(k)];
  entry.setLevels(response.levels());
  entry.setCounts(response.counts());
  entry.setValues(response.values());
}

void ModelTerms::setResponses(const strVector& names) {
  factVector responses(names.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    responses[i].setName(names[i]);
  responses_ = std::move(responses);
}

void ModelTerms::setResponses(const factVector& responses) {
  responses_ = responses;
}

const FactorInfo& ModelTerms::response(long k) const {
  if (k < 0 || k >= nResponse()) throwBadResponseIndex(k, nResponse());
  return responses_[static_cast<std::size_t>(k)];
}

// --- factors ---

void ModelTerms::setFactors(const factVector& factors) {
  // Check every name first so that a rejected list leaves the model unchanged.
  const strVector& rowNames = terms_.getRowNames();
  for (const FactorInfo& factor : factors) {
    if (std::find(rowNames.begin(), rowNames.end(), factor.name()) == rowNames.end())
      QMX_ThrowException("categorical variable %s is not a variable in the model",
                         factor.name().c_str());
  }
  factors_ = factors;
}

void ModelTerms::setFactors(const std::vector<FactorInfo>& factors) {
  setFactors(factVector(factors));
}

// --- lookups ---

const String& ModelTerms::variable(long i) const {
  const strVector& names = terms_.getRowNames();
  if (i < 0 || i >= static_cast<long>(names.size()))
    QMX_ThrowException("Bad variable index %d", static_cast<int>(i));
  return names[static_cast<std::size_t>(i)];
}

const String& ModelTerms::term(long j) const {
  const strVector& names = terms_.getColNames();
  if (j < 0 || j >= static_cast<long>(names.size()))
    QMX_ThrowException("Bad term index %d", static_cast<int>(j));
  return names[static_cast<std::size_t>(j)];
}

const String& ModelTerms::factor(long i) const {
  if (i < 0 || i >= nFactors())
    QMX_ThrowException("Bad categorical variable index %d", static_cast<int>(i));
  return factors_[static_cast<std::size_t>(i)].name();
}

long ModelTerms::nCovariates() const {
  const strVector& names = terms_.getRowNames();
  return static_cast<long>(std::count_if(names.begin(), names.end(), [this](const String& name) {
    return findByName(factors_, name.c_str()) == nullptr;
  }));
}

const String& ModelTerms::covariate(long i) const {
  if (i >= 0) {
    long seen = 0;
    for (const String& name : terms_.getRowNames()) {
      if (findByName(factors_, name.c_str()) != nullptr) continue;
      if (seen++ == i) return name;
    }
  }
  QMX_ThrowException("bad covariate index %d", static_cast<int>(i));
}

const FactorInfo& ModelTerms::factorInfo(long i) const {
  if (i < 0 || i >= nFactors()) QMX_ThrowException("Bad factor index %d", static_cast<int>(i));
  return factors_[static_cast<std::size_t>(i)];
}

FactorInfo& ModelTerms::factorInfo(long i) {
  if (i < 0 || i >= nFactors())
    QMX_ThrowException("Bad categorical variable index %d", static_cast<int>(i));
  return factors_[static_cast<std::size_t>(i)];
}

const FactorInfo& ModelTerms::factorInfo(const char* name) const {
  if (name == nullptr || *name == '\0') QMX_ThrowException("Bad categorical variable name");
  if (const FactorInfo* found = findByName(factors_, name)) return *found;
  if (const FactorInfo* found = findByName(responses_, name)) return *found;
  QMX_ThrowException("Nonexistant categorical variable %s", name);
}

FactorInfo& ModelTerms::factorInfo(const char* name) {
  const ModelTerms& self = *this;
  return const_cast<FactorInfo&>(self.factorInfo(name));
}

bool ModelTerms::isFactor(const char* name) const {
  if (name == nullptr || *name == '\0') QMX_ThrowException("Bad variable name");
  if (findByName(factors_, name) != nullptr) return true;
  return std::any_of(responses_.begin(), responses_.end(), [name](const FactorInfo& response) {
    return response.compare(name) == 0 && response.length() > 0;
  });
}

bool ModelTerms::isClassification() const {
  return !responses_.empty() && responses_.front().length() > 0;
}
