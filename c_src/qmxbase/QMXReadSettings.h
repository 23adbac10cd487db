// Process-wide settings of the CSV reader, set once by the host (qmx's --temp-dir) before
// any file is read.
#pragma once

#include <string>

// Where temporary copies of the data go: the directory set here, else $TMPDIR, else /tmp.
void QMXSetSpillDirectory(const std::string& directory);
std::string QMXSpillDirectory();

// Whether the metadata pass may keep the parsed cells (QMXCsvSpill): default yes; the
// environment variable QMX_SPILL=0 says no (the later passes then read the text).
void QMXSetSpillEnabled(bool enabled);
bool QMXSpillEnabled();

// Threads that parse a CSV text: the number set here (qmx --threads), else all the cores.
// One reads exactly as a single scanner always has.
void QMXSetReadThreads(unsigned threads);
unsigned QMXReadThreads();
