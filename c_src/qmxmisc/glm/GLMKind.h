// The regression model kinds of the model-kind table (kinds/ModelKinds): "lm" (QMXProcILM)
// and "glm" (QMXProcIGLM), both scored by QMXProcGLMFit from a GeneralRegressionModel
// document, specified by GLMSpecElementWriter and summarized by glmSummary. GLMKind.cpp
// holds the descriptors, the glm fit options and the scoring output names;
// GLMKindModel.cpp the hooks that read and prepare models.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "qmxmisc/model/ModelKind.h"

extern const ModelKind kLmKind;
extern const ModelKind kGlmKind;

// The hooks (GLMKindModel.cpp).
namespace glm_kind {

// Checks a formula's model against the family of the settings ("family", default gaussian;
// "link"; "variance"): for a fit, a response is required and a factor response must be a
// two-level factor of a binomial model. A binomial two-level factor response gets its levels
// swapped in `columns`, so that the fit models the second level as R's glm does; the note
// "modelling the probability of level 'L'" is returned then.
std::string prepareModel(const SpecSettings& settings, const MiningModel& model,
                         std::vector<DataColumn>& columns, bool forFit);

// "iglm.family", "iglm.link", "iglm.var": the document texts of the settings' names.
std::vector<std::pair<std::string, std::string>> fitProperties(const SpecSettings& settings);

// The responses, family, predictors and factor levels of a fitted regression document.
ScoreModel scoreModel(const std::string& document);

}  // namespace glm_kind
