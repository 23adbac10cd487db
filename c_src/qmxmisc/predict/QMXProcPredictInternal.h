// Helpers shared by the QMXProcPredict implementation files.
#pragma once

namespace predict_detail {

// The fixed text of a scoring proc for a failure that is not a library exception.
inline constexpr char kInternalErrorText[] =
    "internal error while processing data in the prediction proceedure";

}  // namespace predict_detail
