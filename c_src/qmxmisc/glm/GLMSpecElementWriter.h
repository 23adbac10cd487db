// GLMSpecElementWriter: the GeneralRegressionModel element of a model specification, the
// description a linear or generalized linear model fitting proc reads from "model.vtml":
//
//   <GeneralRegressionModel targetVariableName="mpg" modelType="generalLinear">
//     <MiningSchema>
//       ...
//     </MiningSchema>
//     <Family val="Gaussian"/>
//     <Link val="Identity: mu"/>
//     <Var val="Constant: 1"/>
//     <FactorList>                       (only with factors among the variables)
//       <Predictor name="Species"/>
//     </FactorList>
//     <CovariateList>                    (only with numeric variables)
//       <Predictor name="wt"/>
//     </CovariateList>
//     <LinearModel>
//       <Term name="I(hp^2)">            (one per term, named by its label)
//         <TermVar value="hp"/>          (a variable once per power: hp twice for hp^2)
//         <TermVar value="hp"/>
//       </Term>
//     </LinearModel>
//     <Intercept value="true"/>
//     <Weights value="w"/>               (only with a weights column)
//   </GeneralRegressionModel>
//
// modelType follows the family as a fitted model writes it: Gaussian "generalLinear",
// Binomial "multinomialLogistic", Poisson "loglinear", any other "GLM". A model name, when
// the model has one, is written as modelName before targetVariableName.
#pragma once

#include <memory>

#include "qmxmisc/glm/GLMSpecNames.h"
#include "qmxmisc/model/ModelSpecKindWriter.h"

class GLMSpecElementWriter : public ModelSpecKindWriter {
 public:
  explicit GLMSpecElementWriter(GLMSpecNames names) : names_(std::move(names)) {}

  // The writer of settings "family" (default gaussian), "link" and "variance", in the user
  // names or the document texts (glmSpecNames and its messages).
  static std::unique_ptr<ModelSpecKindWriter> fromSettings(const SpecSettings& settings);

  // "a GLM specification needs a response" when the model has no response.
  bool begin(std::ostream& os, const MiningModel& model) const override;
  bool end(std::ostream& os, const MiningModel& model) const override;

  const GLMSpecNames& names() const { return names_; }

 private:
  GLMSpecNames names_;
};
