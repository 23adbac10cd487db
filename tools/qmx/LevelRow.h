// The row behind a factor level a model document refuses. The document writer names the
// column and the level ("column f: the level "a\x1b" cannot be written to a model document:
// ..."); the data row where the level first occurs is known only to the command that read
// the file, which adds it, as its other data errors name rows.
#pragma once

#include <string>

#include "qmxbase/QMXCsvMetadata.h"
#include "qmxbase/QMXCsvSource.h"

// `message` with " (first in row N)" after the level it names (N 1-based among the data
// rows), found by reading `path` again; `message` itself when it names no such level or the
// data cannot be read again (standard input).
std::string withLevelRow(const std::string& message, const QMXCsvMetadata& meta,
                         const QMXCsvOptions& csv);
