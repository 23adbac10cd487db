// ModelSpecElementWriter: the neutral model element of a specification, written when no
// model kind is chosen. It carries what the frame alone cannot: the formula text, the
// intercept and every term with the powers of its variables (the MiningSchema lists only the
// variables). Readers that do not know the element skip it and still read the frame and the
// MiningSchema.
//
//   <ModelSpecification formula="mpg ~ wt * am" intercept="true" numberOfTerms="3">
//     <MiningSchema>
//       ...
//     </MiningSchema>
//     <Term name="wt:am">
//       <TermVariable name="wt" power="1"/>
//       <TermVariable name="am" power="1"/>
//     </Term>
//   </ModelSpecification>
//
// A model name, when the model has one, is written as modelName before formula.
#pragma once

#include <string>

#include "qmxmisc/model/ModelSpecKindWriter.h"

class ModelSpecElementWriter : public ModelSpecKindWriter {
 public:
  explicit ModelSpecElementWriter(std::string formula) : formula_(std::move(formula)) {}

  bool begin(std::ostream& os, const MiningModel& model) const override;
  bool end(std::ostream& os, const MiningModel& model) const override;

 private:
  std::string formula_;
};
