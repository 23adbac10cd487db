// ModelTerms: the writer of the common frame of a model document (declaration, VTML root,
// Header, XTMetaData column definitions, closing of the document). One element per line,
// two blanks of indentation per level.
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/ModelTerms.h"
#include "qmxmisc/model/VtmlTimestamp.h"
#include "qmxmisc/model/XmlText.h"

namespace {

// One ColumnInfo element: the name, its type and role, and for a categorical column its
// Level lines and the closing tag.
// Throws, naming the column and the level, for a text a model document cannot carry.
void checkColumnText(const FactorInfo& column) {
  const std::string name = column.name().str();
  std::string problem = xmlTextProblem(name);
  if (!problem.empty()) {
    QMX_ThrowException("column name \"%s\" cannot be written to a model document: %s",
                       xmlTextShown(name).c_str(), problem.c_str());
  }
  for (long levelIdx = 0; levelIdx < column.length(); ++levelIdx) {
    const std::string level = column.level(levelIdx).str();
    problem = xmlTextProblem(level);
    if (!problem.empty()) {
      QMX_ThrowException("column %s: the level \"%s\" cannot be written to a model document: %s",
                         xmlTextShown(name).c_str(), xmlTextShown(level).c_str(), problem.c_str());
    }
  }
}

// `expression`: the R expression of a derived variable (an attribute of its own), or empty.
void writeColumnInfo(std::ostream& os, const FactorInfo& column, bool categorical, bool dependent,
                     const std::string& expression = {}) {
  checkColumnText(column);
  os << ModelTerms::Indent("<ColumnInfo name=", 3);
  os << ModelTerms::Quote(column.name().c_str()) << " type=";
  if (!expression.empty() && !categorical) {
    os << "\"continuous\" role=\"independent\" expression=" << ModelTerms::Quote(expression.c_str())
       << "/>\n";
    return;
  }
  if (!categorical) {
    os << (dependent ? "\"continuous\" role=\"dependent\"/>\n"
                     : "\"continuous\" role=\"independent\"/>\n");
    return;
  }
  os << (dependent ? "\"categorical\" role=\"dependent\"" : "\"categorical\" role=\"independent\"");
  if (!expression.empty()) os << " expression=" << ModelTerms::Quote(expression.c_str());
  os << ">\n";
  for (long levelIdx = 0; levelIdx < column.length(); ++levelIdx) {
    os << ModelTerms::Indent("<Level value=", 4);
    os << ModelTerms::Quote(column.level(levelIdx).c_str()) << ModelTerms::XMLSEOL();
  }
  os << ModelTerms::Indent("</ColumnInfo>\n", 3);
}

}  // namespace

bool ModelTerms::getXMLHeader(std::ostream& os) const {
  os.clear();
  os << "<?xml version=\"1.0\"?>\n";
  os << "<VTML version=\"3.0\">\n";
  if (nResponse() > 0) {
    os << Indent("<Header copyright=\"Valdrin\" name=", 1);
    os << Quote(response(0).name().c_str()) << XMLEOL();
  } else {
    os << Indent("<Header copyright=\"Valdrin\"", 1) << XMLEOL();
  }
  os << Indent("<Application name=\"Valdrin Telvar\" version=\"3.0\"/>\n", 2);
  os << Indent("<Timestamp>", 2) << vtmlTimestampNow() << "</Timestamp>\n";
  os << Indent("</Header>\n", 1);
  return os.good();
}

bool ModelTerms::getXMLDataDict(std::ostream& os) const {
  os.clear();
  os << Indent("<XTMetaData>\n", 1);
  os << Indent("<ColumnDefinitions fieldCount=", 2);
  os << QFormat(nResponse() + nVariables()) << XMLEOL();
  for (long respIdx = 0; respIdx < nResponse(); ++respIdx) {
    const FactorInfo& resp = response(respIdx);
    writeColumnInfo(os, resp, resp.length() > 0, true);
  }
  for (long varIdx = 0; varIdx < nVariables(); ++varIdx) {
    const String& name = variable(varIdx);
    const FactorInfo* factor = nullptr;
    for (const FactorInfo& candidate : factors_) {
      if (candidate.compare(name.c_str()) == 0) {
        factor = &candidate;
        break;
      }
    }
    if (factor != nullptr) {
      writeColumnInfo(os, *factor, true, false, expression(name));
    } else {
      FactorInfo column;
      column.setName(name);
      writeColumnInfo(os, column, false, false, expression(name));
    }
  }
  if (!weights_.empty()) {
    os << Indent("<ColumnInfo name=", 3);
    os << Quote(weights_.c_str()) << " type=\"continuous\" role=\"weights\"/>\n";
  }
  for (const std::string& offset : offsets_) {
    os << Indent("<ColumnInfo name=", 3) << Quote(("offset(" + offset + ")").c_str());
    os << " type=\"continuous\" role=\"offset\" expression=" << Quote(offset.c_str()) << "/>\n";
  }
  specialColDefinitions(os);
  os << Indent("</ColumnDefinitions>\n", 2);
  os << Indent("</XTMetaData>\n", 1);
  return os.good();
}

bool ModelTerms::beginXMLModel(std::ostream& os) const {
  getXMLHeader(os);
  return getXMLDataDict(os);
}

bool ModelTerms::endXMLModel(std::ostream& os) const {
  os << "</VTML>\n";
  os.flush();  // a failed flush sets badbit
  return os.good();
}

bool ModelTerms::specialColDefinitions(std::ostream& os) const {
  return os.good();
}
