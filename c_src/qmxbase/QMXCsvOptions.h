// Settings shared by the CSV reader pieces (scanner, metadata pass, source) and the sink.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct QMXCsvOptions {
  char separator = ',';
  char quote = '"';
  // The decimal mark of numbers in the file: with ',' a field "1,5" reads as 1.5 (the
  // scanner rewrites the mark of every field that then reads as a number).
  char decimal = '.';
  // A field whose text (after removing quotes) equals one of these is missing. The
  // defaults match what R's read.csv treats as missing in a numeric column.
  std::vector<std::string> naStrings{"", "NA"};
  // A non-numeric column with at most this many distinct values is a factor; with more it
  // is a string column. The metadata pass keeps at most maxLevels + 1 distinct values.
  std::size_t maxLevels = 1024;
  // Bytes read from the file at a time. The buffer grows beyond this only to hold one
  // record that is longer.
  std::size_t blockBytes = std::size_t{1} << 20;
  // The longest field and the longest record (line) in bytes, as written in the file. Each
  // is further capped by a quarter of the memory available (QMXAvailableMemory).
  std::size_t maxFieldBytes = std::size_t{16} << 20;
  std::size_t maxRecordBytes = std::size_t{64} << 20;
  // A file with a header but no data rows is an error ("no rows of data in <path>") for
  // the metadata pass unless this is set.
  bool allowNoRows = false;
  // The metadata pass keeps the parsed cells in a temporary file (QMXCsvSpill) for the
  // passes that follow, which then do not read the text again.
  bool spill = false;
  // The metadata pass works out each column's min, max, mean and sd (QMXCsvColumnSummary);
  // without, those are NaN (the counts and types stay), for a caller that needs only the
  // columns' types and levels.
  bool summaries = true;
  // Threads that parse the text (QMXCsvRecords): 0 for QMXReadThreads(); with more than one,
  // a regular file is parsed in ranges of rangeBytes bytes, the same records as on one.
  unsigned threads = 0;
  std::size_t rangeBytes = std::size_t{1} << 20;
};
