// Specification documents through the model-kind table.
#include "qmxmisc/kinds/KindSpecification.h"

#include <sstream>

#include "qmxmisc/kinds/FitCost.h"
#include "qmxmisc/model/DataColumn.h"
#include "qmxmisc/model/ModelFormula.h"
#include "qmxmisc/model/ModelSpecKindWriter.h"
#include "qmxmisc/model/ModelSpecWriter.h"

namespace {

// The model layer's view of the columns of a metadata pass (kind, levels, statistics).
std::vector<DataColumn> dataColumns(const QMXCsvMetadata& meta) {
  std::vector<DataColumn> columns;
  for (const QMXCsvColumnSummary& summary : meta.columns) {
    DataColumn column;
    column.name = summary.info.name;
    switch (summary.info.type) {
      case QMXColumnType::Double:
        column.kind = DataColumnKind::kNumeric;
        break;
      case QMXColumnType::Factor:
        column.kind = DataColumnKind::kFactor;
        break;
      case QMXColumnType::String:
        column.kind = DataColumnKind::kText;
        break;
    }
    column.levels = summary.info.levels;
    column.levelCounts = summary.levelCounts;
    column.count = summary.count;
    column.min = summary.min;
    column.max = summary.max;
    column.mean = summary.mean;
    column.sd = summary.sd;
    columns.push_back(std::move(column));
  }
  return columns;
}

ModelSpecKindWriters specificationWriters() {
  ModelSpecKindWriters writers = baseSpecElementWriters();
  for (const ModelKind* kind : modelKinds())
    if (kind->specName != nullptr) writers.add(kind->specName, kind->specWriter);
  return writers;
}

const ModelKind* kindOfSpecName(const std::string& name) {
  for (const ModelKind* kind : modelKinds())
    if (kind->specName != nullptr && name == kind->specName) return kind;
  return nullptr;
}

// Builds the model of the formula, lets the kind prepare it, and writes the document with
// the element `writer` makes.
template <class MakeWriter>
Specification specify(const QMXCsvMetadata& meta, const ModelKind* kind, bool forFit,
                      const SpecificationRequest& request, MakeWriter makeWriter) {
  std::vector<DataColumn> columns = dataColumns(meta);
  MiningModel model = modelFromFormula(request.formula, columns, request.weights);
  SpecSettings settings;
  settings.formula = request.formula;
  settings.values = request.settings;
  Specification spec;
  if (kind != nullptr && kind->prepareModel != nullptr) {
    spec.note = kind->prepareModel(settings, model, columns, forFit);
    if (!spec.note.empty()) model = modelFromFormula(request.formula, columns, request.weights);
  }
  const std::unique_ptr<ModelSpecKindWriter> element = makeWriter(settings);
  std::ostringstream text;
  ModelSpecWriter(model, columns, *element).write(text);
  spec.document = text.str();
  for (long respIdx = 0; respIdx < model.nResponse(); ++respIdx)
    spec.responses.push_back(model.response(respIdx).name().str());
  for (long termIdx = 0; termIdx < model.nTerms(); ++termIdx)
    spec.terms.push_back(model.term(termIdx).str());
  spec.intercept = model.intercept();
  spec.coefficients = modelCoefficients(model);
  spec.weights = model.weights().str();
  return spec;
}

}  // namespace

std::vector<std::string> specificationKinds() {
  return specificationWriters().kinds();
}

Specification writeSpecification(const QMXCsvMetadata& meta, const std::string& kind,
                                 const SpecificationRequest& request) {
  return specify(meta, kindOfSpecName(kind), false, request,
                 [&kind](const SpecSettings& s) { return specificationWriters().make(kind, s); });
}

Specification fitSpecification(const QMXCsvMetadata& meta, const ModelKind& kind,
                               const SpecificationRequest& request) {
  Specification spec = specify(meta, &kind, true, request,
                               [&kind](const SpecSettings& s) { return kind.specWriter(s); });
  if (kind.fitProperties != nullptr) {
    SpecSettings settings;
    settings.formula = request.formula;
    settings.values = request.settings;
    spec.fitProperties = kind.fitProperties(settings);
  }
  return spec;
}
