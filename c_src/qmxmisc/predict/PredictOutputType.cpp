#include "qmxmisc/predict/PredictOutputType.h"

#include <array>
#include <cstring>

namespace {

// Indexed by the type code; kNone (15) has no name in the host protocol.
constexpr std::array<const char*, 21> kTypeNames = {
    "copy",
    "fitted.value",
    "residual",
    "weight",
    "eta",
    "category",
    "probability",
    "agreement",
    "clusterMembership",
    "distanceToCenter",
    "score",
    "risk",
    "riskSE",
    "survival",
    "survivalSE",
    nullptr,
    "residual.default",
    "residual.response",
    "residual.pearson",
    "residual.deviance",
    "residual.working",
};

}  // namespace

const char* predictOutputTypeName(PredictOutputType type) {
  const auto code = static_cast<std::size_t>(type);
  return code < kTypeNames.size() && kTypeNames[code] != nullptr ? kTypeNames[code] : "none";
}

std::optional<PredictOutputType> findPredictOutputType(const char* name) {
  if (name == nullptr) return std::nullopt;
  for (std::size_t code = 0; code < kTypeNames.size(); ++code)
    if (kTypeNames[code] != nullptr && std::strcmp(kTypeNames[code], name) == 0)
      return static_cast<PredictOutputType>(static_cast<std::int32_t>(code));
  return std::nullopt;
}

bool predictOutputAllowsEmptyName(PredictOutputType type) {
  const auto code = static_cast<std::int32_t>(type);
  return code >= static_cast<std::int32_t>(PredictOutputType::kClusterMembership) &&
         code <= static_cast<std::int32_t>(PredictOutputType::kSurvival);
}

bool isRResidualType(PredictOutputType type) {
  return type >= PredictOutputType::kResidualDefault && type <= PredictOutputType::kResidualWorking;
}
