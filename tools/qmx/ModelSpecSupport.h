// What qmx spec and qmx fit share: the model layer's view of the columns of a metadata pass,
// the level order of a binomial factor response, and writing a text file under a temporary
// name that is renamed only when complete.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "qmxbase/QMXCsvMetadata.h"
#include "qmxmisc/model/DataColumn.h"

// The columns (kind, levels, statistics) of a metadata pass.
std::vector<DataColumn> dataColumns(const QMXCsvMetadata& meta);

// A binomial fit codes a factor response by the indicator of its first listed level, so it
// models the probability of that level, while R's glm models the probability of the second
// level (its "success"). When `response` names a two-level factor column, its levels (and
// level counts) are swapped in `columns`, so that the specification lists the second level
// first and the fit matches R; returns that level, or "" when nothing was swapped.
std::string putSecondLevelFirst(std::vector<DataColumn>& columns, const std::string& response);

// Writes `output` + ".tmp" with `write` (false = failed) and renames it to `output`; the
// temporary file is removed on failure. Throws CommandError "cannot write ...".
void writeFileAtomically(const std::string& output,
                         const std::function<bool(std::ostream&)>& write);
