// Options of every command that reads a CSV file: --temp-dir DIR (where the parsed cells of
// the data are kept between passes; default $TMPDIR, else /tmp) and --threads N (threads
// that parse the text; default $QMX_THREADS, else all cores), process-wide reading settings
// of qmxbase (QMXReadSettings). A thread count that is not 1 to 1024 is a usage error.
#pragma once

#include <CLI/CLI.hpp>

void addReadingOptions(CLI::App* cmd);
