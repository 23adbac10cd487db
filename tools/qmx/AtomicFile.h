// Writing a text file under a temporary name that is renamed only when complete, as qmx spec
// and qmx fit write their documents.
#pragma once

#include <functional>
#include <ostream>
#include <string>

// Writes `output` + ".tmp" with `write` (false = failed) and renames it to `output`; the
// temporary file is removed on failure. Throws CommandError "cannot write ...".
void writeFileAtomically(const std::string& output,
                         const std::function<bool(std::ostream&)>& write);
