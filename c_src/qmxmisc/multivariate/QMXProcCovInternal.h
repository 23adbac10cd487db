// Constants shared by the sources of QMXProcCov.
#pragma once

// The most rows one execute call examines.
inline constexpr long kQMXCovMaxRowsPerCall = 1000;

// The fixed message for a failure other than a QMXException or an allocation failure.
inline constexpr const char kQMXProcCovInternalError[] = "internal error in covariance procedure";
