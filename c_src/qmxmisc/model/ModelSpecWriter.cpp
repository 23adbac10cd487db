// ModelSpecWriter: the specification document around a ModelSpecKindWriter's element.
#include "qmxmisc/model/ModelSpecWriter.h"

#include <cmath>
#include <sstream>
#include <string>

#include "qmxmisc/base/QMXAssert.h"

namespace {

// A statistic as an attribute value; NaN (undefined) as "NaN".
const char* statistic(double value) {
  return std::isnan(value) ? "\"NaN\"" : ModelTerms::QFormat(value);
}

}  // namespace

ModelSpecWriter::ModelSpecWriter(const MiningModel& model, std::vector<DataColumn> columns,
                                 const ModelSpecKindWriter& element)
    : MiningModel(model), columns_(std::move(columns)), element_(element) {}

bool ModelSpecWriter::getXMLDataDict(std::ostream& os) const {
  // The frame writer closes XTMetaData itself: write its text without the closing line,
  // the statistics, then the closing line, so the frame bytes stay the frame writer's.
  std::ostringstream frame;
  MiningModel::getXMLDataDict(frame);
  const std::string text = frame.str();
  const std::string closing = Indent("</XTMetaData>\n", 1);
  QMX_ASSERT(text.size() >= closing.size() &&
                 text.compare(text.size() - closing.size(), closing.size(), closing) == 0,
             "the frame writer ends XTMetaData with its closing line");
  os.clear();
  os.write(text.data(), static_cast<std::streamsize>(text.size() - closing.size()));
  for (long respIdx = 0; respIdx < nResponse(); ++respIdx)
    writeUnivariateStats(os, response(respIdx).name());
  for (long varIdx = 0; varIdx < nVariables(); ++varIdx)
    writeUnivariateStats(os, variable(varIdx));
  if (!weights().empty()) writeUnivariateStats(os, weights());
  os << closing;
  return os.good();
}

void ModelSpecWriter::writeUnivariateStats(std::ostream& os, const String& name) const {
  const DataColumn* column = nullptr;
  for (const DataColumn& candidate : columns_)
    if (candidate.name == name.str()) column = &candidate;
  if (column == nullptr) return;
  os << Indent("<UnivariateStats field=", 2) << Quote(name.c_str()) << XMLEOL();
  os << Indent("<Counts totalFreq=", 3) << QFormat(static_cast<long long>(column->count));
  if (column->kind != DataColumnKind::kFactor) {
    os << XMLSEOL();
    os << Indent("<NumericInfo mean=", 3) << statistic(column->mean);
    os << " minimum=" << statistic(column->min);
    os << " maximum=" << statistic(column->max);
    os << " standardDeviation=" << statistic(column->sd) << XMLSEOL();
  } else {
    os << XMLEOL();
    for (std::size_t levelIdx = 0; levelIdx < column->levels.size(); ++levelIdx) {
      const long long freq =
          levelIdx < column->levelCounts.size() ? column->levelCounts[levelIdx] : 0;
      os << Indent("<Category value=", 4) << Quote(column->levels[levelIdx].c_str());
      os << " freq=" << QFormat(freq) << XMLSEOL();
    }
    os << Indent("</Counts>\n", 3);
  }
  os << Indent("</UnivariateStats>\n", 2);
}

bool ModelSpecWriter::beginXMLModel(std::ostream& os) const {
  ModelTerms::beginXMLModel(os);
  return element_.begin(os, *this);
}

bool ModelSpecWriter::endXMLModel(std::ostream& os) const {
  element_.end(os, *this);
  return ModelTerms::endXMLModel(os);
}

bool ModelSpecWriter::write(std::ostream& os) const {
  beginXMLModel(os);
  return endXMLModel(os);
}
