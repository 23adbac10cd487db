// One byte range of a CSV file parsed on its own (QMXCsvRangeReader runs several at once):
// the records that start in the range, their fields copied out of the scanner's buffer, and
// each field already tested for a missing marker and read as a number, so that the reader
// that takes the ranges in file order does little more than hand the cells on.
//
// A range after the first starts at a guess: the first line end at or after its start. The
// guess is right unless that line end is inside a quoted field; the reader knows once the
// range before has been parsed (where its last record ends), and parses the range again
// from there when the two disagree. Lines count from the guess; the reader adds the offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

class QMXCsvScanner;

struct QMXCsvCell {
  double value = 0;  // the number the field reads as (when `number`)
  bool missing = false;
  bool number = false;
};

struct QMXCsvRange {
  // Where the first record starts (after the guess and any empty lines) and its line; -1 when
  // parsing failed before.
  std::int64_t first = -1, firstLine = 0;
  // Where the range after starts (the first record at or after the range's end, or the end
  // of the file) and its line; -1 when parsing failed.
  std::int64_t next = -1, nextLine = 0;
  std::size_t columns = 0;
  std::vector<std::int64_t> lines;       // per record: its first line
  std::string text;                      // the fields, one after the other
  std::vector<std::uint32_t> fieldEnds;  // per field: where it ends in `text`
  std::vector<QMXCsvCell> cells;         // per field
  std::exception_ptr error;              // what stopped parsing after the records kept

  std::size_t rows() const { return lines.size(); }
};

// Parses into `out` the records of `scanner`'s file that start in [start, end): exactly from
// `start` with lines from `line`, or (with `guess`) from the first line end at or after
// `start - 1` with lines from 1. An error is kept in out.error, after the records before it.
void QMXCsvParseRange(QMXCsvScanner& scanner, std::int64_t start, std::int64_t end,
                      std::int64_t line, bool guess, QMXCsvRange& out);
