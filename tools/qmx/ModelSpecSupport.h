// What qmx spec and qmx fit share: the model layer's view of the columns of a metadata pass,
// and writing a text file under a temporary name that is renamed only when complete.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "qmxbase/QMXCsvMetadata.h"
#include "qmxmisc/model/DataColumn.h"

// The columns (kind, levels, statistics) of a metadata pass.
std::vector<DataColumn> dataColumns(const QMXCsvMetadata& meta);

// Writes `output` + ".tmp" with `write` (false = failed) and renames it to `output`; the
// temporary file is removed on failure. Throws CommandError "cannot write ...".
void writeFileAtomically(const std::string& output,
                         const std::function<bool(std::ostream&)>& write);
