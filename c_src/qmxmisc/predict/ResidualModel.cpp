#include "qmxmisc/predict/ResidualModel.h"

#include <algorithm>
#include <cmath>

#include "qmxmisc/base/QMXException.h"

double rResidual(PredictOutputType type, bool family, double y, double mu, double w, double dmudeta,
                 const ResidualModel* model) {
  if (type == PredictOutputType::kResidualDefault)
    type = family ? PredictOutputType::kResidualDeviance : PredictOutputType::kResidualResponse;
  const double r = y - mu;
  switch (type) {
    case PredictOutputType::kResidualResponse:
      return r;
    case PredictOutputType::kResidualWorking:
      return r / dmudeta;
    case PredictOutputType::kResidualPearson:
      return r * std::sqrt(w) / std::sqrt(model != nullptr ? model->variance(mu) : 1.0);
    case PredictOutputType::kResidualDeviance: {
      const double d = model != nullptr ? model->unitDeviance(y, mu) : r * r;
      const double size = std::sqrt(std::max(w * d, 0.0));
      return r > 0 ? size : (r < 0 ? -size : 0.0);
    }
    default:
      QMX_ThrowException("unexpeced output type %s", predictOutputTypeName(type));
  }
}
