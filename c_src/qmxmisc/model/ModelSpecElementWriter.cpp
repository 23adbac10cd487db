// The neutral specification element: formula, intercept, MiningSchema and terms.
#include "qmxmisc/model/ModelSpecElementWriter.h"

bool ModelSpecElementWriter::begin(std::ostream& os, const MiningModel& model) const {
  os << ModelTerms::Indent("<ModelSpecification", 1);
  if (!model.modelName().empty())
    os << " modelName=" << ModelTerms::Quote(model.modelName().c_str());
  os << " formula=" << ModelTerms::Quote(formula_.c_str());
  os << " intercept=" << (model.intercept() ? "\"true\"" : "\"false\"");
  os << " numberOfTerms=" << ModelTerms::QFormat(model.nTerms()) << ModelTerms::XMLEOL();
  model.getXMLSchema(os);
  const TMatrix<long>& table = model.termsTable();
  for (long termIdx = 0; termIdx < model.nTerms(); ++termIdx) {
    os << ModelTerms::Indent("<Term name=", 2) << ModelTerms::Quote(model.term(termIdx).c_str())
       << ModelTerms::XMLEOL();
    for (long varIdx = 0; varIdx < model.nVariables(); ++varIdx) {
      const long power = table(varIdx, termIdx);
      if (power == 0) continue;
      os << ModelTerms::Indent("<TermVariable name=", 3)
         << ModelTerms::Quote(model.variable(varIdx).c_str());
      os << " power=" << ModelTerms::QFormat(power) << ModelTerms::XMLSEOL();
    }
    os << ModelTerms::Indent("</Term>\n", 2);
  }
  return os.good();
}

bool ModelSpecElementWriter::end(std::ostream& os, const MiningModel&) const {
  os << ModelTerms::Indent("</ModelSpecification>\n", 1);
  return os.good();
}
