// MiningModel: the description part (erase, copying a description) and the MiningSchema
// element of the model document.
#include "qmxmisc/model/MiningModel.h"

void MiningModel::erase(bool keep) {
  if (keep) return;
  ModelTerms::erase(false);
  modelName_ = String();
  varStats_ = DoubleMatrix();
  respStats_ = DoubleMatrix();
}

void MiningModel::setModel(const MiningModel& other) {
  // Terms table, responses, factors, intercept and weights name, as one consistent set.
  ModelTerms::operator=(other);
  if (!other.modelName().empty()) setModelName(other.modelName());
  setVarStats(other.varStats());
  setRespStats(other.respStats());
}

bool MiningModel::getXMLSchema(std::ostream& os) const {
  os << Indent("<MiningSchema>\n", 2);
  if (nResponse() > 0) {
    os << Indent("<MiningField name=", 3);
    os << QFormat(response(0).name().c_str()) << " usageType=\"predicted\"/>\n";
  }
  for (long varIdx = 0; varIdx < nVariables(); ++varIdx) {
    os << Indent("<MiningField name=", 3);
    os << QFormat(variable(varIdx).c_str()) << XMLSEOL();
  }
  os << Indent("</MiningSchema>\n", 2);
  return os.good();
}
