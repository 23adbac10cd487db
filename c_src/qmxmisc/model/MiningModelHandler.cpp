#include "qmxmisc/model/MiningModelHandler.h"

#include <algorithm>
#include <string_view>

#include "qmxmisc/base/QMXException.h"

MiningModelHandler::MiningModelHandler(const MiningModel& model)
    : ModelHandler(model),
      // Written through like the base's model: the object is never const, the signature is.
      miningModel_(const_cast<MiningModel*>(&model)) {}

MiningModelHandler::~MiningModelHandler() = default;

void MiningModelHandler::startDocument() {
  ModelHandler::startDocument();
  termNames_.clear();
}

void MiningModelHandler::startElement(const XMLCh* const name, xercesc::AttributeList& attributes) {
  if (!getElement(name)) return;
  if (isElement("MiningSchema")) {
    // The schema sits in the model element, outside the frame and never inside itself.
    constexpr unsigned kFrameBits = XML_xtMetaData | XML_columnDefinitions | XML_columnInfo |
                                    XML_columnStats | XML_univariateStats | XML_counts;
    if (anyState(kFrameBits | XML_miningSchema)) {
      QMX_ThrowException("unexpected MiningSchema extension");
    }
    setStateOn(XML_miningSchema);
  } else if (isElement("MiningField")) {
    startMiningField(attributes);
  } else {
    ModelHandler::startElement(name, attributes);
  }
}

void MiningModelHandler::endElement(const XMLCh* const name) {
  if (!getElement(name)) return;
  if (isElement("MiningSchema")) {
    setStateOff(XML_miningSchema);
  } else {
    ModelHandler::endElement(name);
  }
}

bool MiningModelHandler::isDependent(const char* name) const {
  const strVector& dependents = dependentNames();
  return std::any_of(dependents.begin(), dependents.end(),
                     [name](const String& dependent) { return dependent.str() == name; });
}

void MiningModelHandler::startMiningField(xercesc::AttributeList& attributes) {
  if (!isState(XML_miningSchema)) QMX_ThrowException("unexpected MiningField extension");
  String name;
  if (!getAttribute(attributes, "name", name)) {
    QMX_ThrowException("missing Term name specification in MiningSchema extension");
  }
  if (getAttribute(attributes, "usageType")) {
    // "predicted" names the response, which the column definitions already gave; usage
    // types other than "active" add no term either.
    if (std::string_view(attribute()) != "active") return;
  } else if (isDependent(name.c_str()) && !isIndependent(name.c_str())) {
    // A field for a response has to say that it is the predicted one.
    QMX_ThrowException("missing MiningField usageType specification in MiningSchema extension");
  }
  if (termNames_.count(name.str()) != 0) {
    QMX_ThrowException("term %s referenced more than one time", name.c_str());
  }
  if (!isIndependent(name.c_str())) {
    QMX_ThrowException(
        "miningField variable %s was not specified in the ColumnDefinitions or DataDictionary",
        name.c_str());
  }
  termNames_.insert(name.str());
  addSchemaTerm(name);
}

DoubleMatrix MiningModelHandler::statisticsOf(const strVector& names,
                                              const char* missingFormat) const {
  const DoubleMatrix& stats = columnStatistics();
  if (names.empty()) return DoubleMatrix();
  if (stats.getNRow() != static_cast<long>(columns().size()) || stats.getNCol() < 1) {
    QMX_ThrowException("failed to get variable univariate statistics");
  }
  const long nRows = static_cast<long>(names.size());
  DoubleMatrix rows(nRows, stats.getNCol());
  for (long rowIdx = 0; rowIdx < nRows; ++rowIdx) {
    const char* name = names[static_cast<std::size_t>(rowIdx)].c_str();
    const long column = findColumn(name);
    if (column < 0) QMX_ThrowException(missingFormat, name);
    for (long statIdx = 0; statIdx < stats.getNCol(); ++statIdx) {
      rows(rowIdx, statIdx) = stats(column, statIdx);
    }
  }
  rows.setRowNames(names);
  rows.setColNames(stats.getColNames());
  return rows;
}

void MiningModelHandler::endDocument() {
  ModelHandler::endDocument();
  MiningModel& target = miningModel();
  strVector variables;
  for (long varIdx = 0; varIdx < target.nVariables(); ++varIdx) {
    variables.push_back(target.variable(varIdx));
  }
  strVector responses;
  for (long respIdx = 0; respIdx < target.nResponse(); ++respIdx) {
    responses.push_back(target.response(respIdx).name());
  }
  target.setVarStats(statisticsOf(variables, "failed to get variable univariate statistics"));
  target.setRespStats(statisticsOf(
      responses,
      "fependent variable %s was not defined in the ColumnDefinitions or DataDictionary"));
}
