// ModelSpecWriter: writes a model specification document, the VTML document of a model
// that is described (by a formula) but not fitted: the frame of the model's own writer
// (header, column definitions), the univariate statistics of every model column inside
// XTMetaData after ColumnDefinitions, and the model element of a ModelSpecKindWriter.
//
// Statistics, in the form the document reader accepts (one UnivariateStats per column, in
// ColumnInfo order: responses, variables, weights; a column without statistics is skipped):
//   <UnivariateStats field="mpg">
//     <Counts totalFreq="32"/>
//     <NumericInfo mean="20.090625" minimum="10.4" maximum="33.9" standardDeviation="6.03"/>
//   </UnivariateStats>
//   <UnivariateStats field="Species">
//     <Counts totalFreq="150">
//       <Category value="setosa" freq="50"/>
//     </Counts>
//   </UnivariateStats>
// totalFreq is the number of non-missing values; an undefined statistic (no values, or
// the standard deviation of one value) is written as "NaN".
#pragma once

#include <ostream>
#include <vector>

#include "qmxmisc/model/DataColumn.h"
#include "qmxmisc/model/MiningModel.h"
#include "qmxmisc/model/ModelSpecKindWriter.h"

class ModelSpecWriter : public MiningModel {
 public:
  // Copies the model description; `columns` holds the statistics by column name; `element`
  // must outlive the writer.
  ModelSpecWriter(const MiningModel& model, std::vector<DataColumn> columns,
                  const ModelSpecKindWriter& element);

  // The frame's XTMetaData with the UnivariateStats added before it closes.
  bool getXMLDataDict(std::ostream& os) const override;
  // Header and XTMetaData, then the element's opening, schema and content.
  bool beginXMLModel(std::ostream& os) const override;
  // The element's closing, then the end of the document.
  bool endXMLModel(std::ostream& os) const override;

  // The whole document; true when the stream is still good.
  bool write(std::ostream& os) const;

 private:
  void writeUnivariateStats(std::ostream& os, const String& name) const;

  std::vector<DataColumn> columns_;
  const ModelSpecKindWriter& element_;
};
