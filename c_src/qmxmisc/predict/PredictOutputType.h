// PredictOutputType: the kinds of output column a scoring proc can produce, with the names
// the host gives in "define.output". The numeric codes are part of the host protocol.
#pragma once

#include <cstdint>
#include <optional>

enum class PredictOutputType : std::int32_t {
  kCopy = 0,
  kFittedValue = 1,
  kResidual = 2,
  kWeight = 3,
  kEta = 4,
  kCategory = 5,
  kProbability = 6,
  kAgreement = 7,
  kClusterMembership = 8,
  kDistanceToCenter = 9,
  kScore = 10,
  kRisk = 11,
  kRiskSE = 12,
  kSurvival = 13,
  kSurvivalSE = 14,
  kNone = 15,  // initial value of an output definition; has no name
  // R's residual types (residuals.glm): "residual.default" is the deviance residual of a
  // model with a family and the response residual of one without (residuals.lm).
  kResidualDefault = 16,
  kResidualResponse = 17,
  kResidualPearson = 18,
  kResidualDeviance = 19,
  kResidualWorking = 20,
};

// True for the five R residual types (not the proc's own "residual").
bool isRResidualType(PredictOutputType type);

// The name of a type ("copy", "fitted.value", ...); "none" for kNone.
const char* predictOutputTypeName(PredictOutputType type);

// The type with this exact (case-sensitive) name; nullopt for an unknown or null name.
std::optional<PredictOutputType> findPredictOutputType(const char* name);

// True for the types whose output may name no variable: "clusterMembership",
// "distanceToCenter", "score", "risk", "riskSE" and "survival".
bool predictOutputAllowsEmptyName(PredictOutputType type);
