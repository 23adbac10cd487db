// ModelTerms::createCModelMetaData: the model description as metadata of the standalone
// scoring library. It lives in the prediction layer because the model layer does not include
// the scoring library.
#include <memory>
#include <string>
#include <vector>

#include "qmxmisc/base/QMXAssert.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/DerivedVariable.h"
#include "qmxmisc/model/ModelTerms.h"
#include "qmxmisc/predict/TelvarRecord.h"
#include "vtcsrc/VTObjects.h"

namespace {

// The scoring library's streams hold texts of 1 to 255 characters (quoted when they hold
// blanks).
const char* streamText(const String& text) {
  const std::string& s = text.str();
  if (s.empty() || s.size() >= TELVAR_STRING_SLOT || s.find('\0') != std::string::npos) {
    QMX_ThrowException(
        "the C scoring model cannot hold the text \"%s\": it is empty or longer than 255 "
        "characters",
        s.c_str());
  }
  return s.c_str();
}

void check(int status) {
  if (status != TELVAR_OK)
    QMX_ThrowException("cannot build the C scoring model metadata (status %d)", status);
}

// The factor of that name among the predictors, or null for a covariate.
const FactorInfo* predictorFactor(const ModelTerms& terms, const String& name) {
  for (const FactorInfo& factor : terms.factors())
    if (factor.name() == name) return &factor;
  return nullptr;
}

// Split category of each level: level k is category k; the last level has no column (-1)
// under last-level-reference coding and -1 in every column (-2) under sum-to-zero coding.
std::vector<std::int32_t> splitCategories(long nLevels, MatrixCoding coding) {
  std::vector<std::int32_t> splits;
  for (long level = 0; level < nLevels; ++level)
    splits.push_back(static_cast<std::int32_t>(level));
  if (nLevels > 0 && coding == MatrixCoding::kLastReference) splits.back() = -1;
  if (nLevels > 0 && coding == MatrixCoding::kSumToZero) splits.back() = -2;
  return splits;
}

}  // namespace

void ModelTerms::createCModelMetaData(TelvarObject* metaData, MatrixCoding coding) const {
  QMX_ASSERT(metaData != nullptr, "createCModelMetaData needs a record to fill");
  const long nVars = nVariables();
  // Column descriptions, one per model variable.
  std::vector<const char*> names;
  std::vector<int> nLevels;
  std::vector<std::vector<const char*>> levels(static_cast<std::size_t>(nVars));
  std::vector<std::vector<std::int32_t>> splits(static_cast<std::size_t>(nVars));
  std::vector<long> width(static_cast<std::size_t>(nVars), 0);  // model-matrix columns
  std::vector<std::unique_ptr<DerivedVariable>> polys(static_cast<std::size_t>(nVars));
  std::vector<const char* const*> levelPtrs;
  std::vector<const std::int32_t*> splitPtrs;
  for (long v = 0; v < nVars; ++v) {
    const auto slot = static_cast<std::size_t>(v);
    names.push_back(streamText(variable(v)));
    const std::string& expression = this->expression(variable(v));
    if (expression.rfind("poly(", 0) == 0) {
      polys[slot] = std::make_unique<DerivedVariable>(expression);
      if (!polys[slot]->hasCoefficients())
        QMX_ThrowException("%s has no polynomial coefficients", variable(v).c_str());
    }
    const FactorInfo* factor = predictorFactor(*this, variable(v));
    if (factor != nullptr && coding == MatrixCoding::kPolynomial) {
      QMX_ThrowException(
          "orthogonal polynomial contrasts of categorical variable %s cannot be written to a C "
          "scoring model",
          variable(v).c_str());
    }
    if (factor != nullptr && coding != MatrixCoding::kNumeric) {
      for (const String& level : factor->levels())
        levels[slot].push_back(streamText(level));
      splits[slot] = splitCategories(factor->length(), coding);
      width[slot] = coding == MatrixCoding::kIndicator ? factor->length() : factor->length() - 1;
    }
    nLevels.push_back(static_cast<int>(levels[slot].size()));
    levelPtrs.push_back(levels[slot].data());
    splitPtrs.push_back(splits[slot].data());
  }
  TelvarRecord columnInfo;
  check(TelvarMetaData_createInputDescription(columnInfo.get(), static_cast<int>(nVars),
                                              names.data(), nLevels.data(), levelPtrs.data(),
                                              splitPtrs.data()));
  for (long v = 0; v < nVars; ++v) {
    const DerivedVariable* poly = polys[static_cast<std::size_t>(v)].get();
    if (poly == nullptr) continue;
    check(TelvarMetaData_setPolyBasis(columnInfo.get(), static_cast<int>(v),
                                      static_cast<int>(poly->width()), poly->raw() ? 1 : 0,
                                      poly->alpha().data(), poly->norm2().data()));
  }

  // Terms: each variable of a term in row order, a covariate once per unit of its power, a
  // factor once per model-matrix column.
  const long nTermCols = nTerms();
  std::vector<const char*> termNames;
  std::vector<std::vector<const char*>> termColumns(static_cast<std::size_t>(nTermCols));
  for (long t = 0; t < nTermCols; ++t) {
    termNames.push_back(streamText(term(t)));
    for (long v = 0; v < nVars; ++v) {
      const long power = termsTable()(v, t);
      if (power <= 0) continue;
      const long columns = width[static_cast<std::size_t>(v)];
      if (columns > 0 && power > 1) {
        QMX_ThrowException(
            "order > 1 for categorical variables (nested effect) is not implemented yet");
      }
      if (polys[static_cast<std::size_t>(v)] != nullptr && power > 1)
        QMX_ThrowException("%s cannot enter a term to a power", variable(v).c_str());
      // A poly() column is named once: the scoring library expands it into its basis.
      const long repeats = polys[static_cast<std::size_t>(v)] != nullptr ? 1
                           : columns > 0                                 ? columns
                                                                         : power;
      for (long k = 0; k < repeats; ++k)
        termColumns[static_cast<std::size_t>(t)].push_back(names[static_cast<std::size_t>(v)]);
    }
  }
  std::vector<int> termSizes;
  std::vector<const char* const*> termPtrs;
  for (const auto& columns : termColumns) {
    termSizes.push_back(static_cast<int>(columns.size()));
    termPtrs.push_back(columns.data());
  }
  TelvarRecord termInfo;
  check(TelvarMetaData_createTerms(termInfo.get(), static_cast<int>(nTermCols), termNames.data(),
                                   termSizes.data(), termPtrs.data()));
  check(TelvarMetaData_create(metaData, columnInfo.get(), termInfo.get()));
}
