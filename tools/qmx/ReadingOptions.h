// Options of every command that reads a CSV file: --temp-dir DIR (where the parsed cells of
// the data are kept between passes; default $TMPDIR, else /tmp), a process-wide reading
// setting of qmxbase (QMXReadSettings).
#pragma once

#include <CLI/CLI.hpp>

void addReadingOptions(CLI::App* cmd);
