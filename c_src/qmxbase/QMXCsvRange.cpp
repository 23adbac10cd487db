#include "qmxbase/QMXCsvRange.h"

#include <limits>

#include "qmxbase/QMXCsvNumber.h"
#include "qmxbase/QMXCsvScanner.h"
#include "qmxbase/QMXDataError.h"

void QMXCsvParseRange(QMXCsvScanner& scanner, std::int64_t start, std::int64_t end,
                      std::int64_t line, bool guess, QMXCsvRange& out) {
  out.first = out.next = -1;
  out.columns = scanner.header().size();
  out.lines.clear();
  out.text.clear();
  out.fieldEnds.clear();
  out.cells.clear();
  out.error = nullptr;
  try {
    scanner.seekRange(guess ? start - 1 : start, end, guess ? 1 : line, guess);
    while (scanner.next()) {
      if (out.first < 0) {
        out.first = scanner.recordOffset();
        out.firstLine = scanner.line();
      }
      out.lines.push_back(scanner.line());
      for (const std::string_view field : scanner.fields()) {
        out.text.append(field);
        if (out.text.size() > std::numeric_limits<std::uint32_t>::max())
          throw QMXNoMemoryError(scanner.where() + "a range of the file too long to parse");
        out.fieldEnds.push_back(static_cast<std::uint32_t>(out.text.size()));
        QMXCsvCell& cell = out.cells.emplace_back();
        cell.missing = scanner.isMissing(field);
        cell.number = !cell.missing && QMXCsvParseNumber(field, cell.value);
      }
    }
    if (out.first < 0) {
      out.first = scanner.offset();
      out.firstLine = scanner.nextLine();
    }
    out.next = scanner.offset();
    out.nextLine = scanner.nextLine();
  } catch (...) {
    out.error = std::current_exception();
  }
}
