#include "qmxbase/QMXCsvScanner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "qmxbase/QMXCsvNumber.h"
#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXMemoryStatus.h"
#include "qmxbase/QMXSeekablePath.h"

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

constexpr std::uint64_t kOnes = 0x0101'0101'0101'0101;
constexpr std::uint64_t kHighs = 0x8080'8080'8080'8080;

// The high bit of each byte of `word` that is zero (and maybe of bytes above the lowest zero).
std::uint64_t zeroBytes(std::uint64_t word) {
  return (word - kOnes) & ~word & kHighs;
}

std::atomic<std::int64_t> passes{0};

// Bytes a range reads past its end at a time, for its last record.
constexpr std::int64_t kRangeSlack = 64 * 1024;

}  // namespace

std::int64_t QMXCsvScanner::passesStarted() {
  return passes.load();
}

std::uint64_t QMXCsvScanner::fileBytes() const {
  struct stat status {};
  return ::fstat(fd_, &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

QMXCsvScanner::QMXCsvScanner(std::string path, const QMXCsvOptions& options)
    : QMXCsvScanner(std::move(path), options, true) {}

QMXCsvScanner::QMXCsvScanner(std::string path, const QMXCsvOptions& options, RangesTag)
    : QMXCsvScanner(std::move(path), options, false) {}

QMXCsvScanner::QMXCsvScanner(std::string path, const QMXCsvOptions& options, bool countPass)
    : path_(std::move(path)),
      separator_(options.separator),
      quote_(options.quote),
      decimal_(options.decimal),
      naStrings_(options.naStrings) {
  emptyIsMissing_ = std::find(naStrings_.begin(), naStrings_.end(), "") != naStrings_.end();
  for (const std::string& marker : naStrings_)
    if (!marker.empty()) markerStart_[static_cast<unsigned char>(marker.front())] = true;
  if (emptyIsMissing_) markerStart_[' '] = markerStart_['\t'] = true;
  const std::size_t memoryCap = std::max<std::uint64_t>(QMXAvailableMemory() / 4, 1);
  maxRecord_ = std::max<std::size_t>(std::min<std::size_t>(options.maxRecordBytes, memoryCap), 1);
  maxField_ = std::max<std::size_t>(std::min(options.maxFieldBytes, maxRecord_), 1);
  const std::string source = QMXSeekablePath(path_);
  fd_ = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw QMXDataError("cannot open " + path_ + ": " + std::strerror(errno));
  if (countPass) ++passes;
  buf_.resize(std::clamp<std::size_t>(options.blockBytes, 1, maxRecord_));
  while (end_ < 3 && !eof_)
    refill();
  if (end_ >= 3 && std::memcmp(buf_.data(), "\xEF\xBB\xBF", 3) == 0) begin_ = 3;
  if (!next()) throw QMXDataError(path_ + ": file is empty");
  header_.assign(fields_.begin(), fields_.end());
  dataOffset_ = bufOffset_ + static_cast<std::int64_t>(begin_);
  dataLine_ = line_;
}

QMXCsvScanner::~QMXCsvScanner() {
  if (fd_ >= 0) ::close(fd_);
}

void QMXCsvScanner::fail(std::int64_t line, const std::string& what) const {
  throw QMXDataError(path_ + ":" + std::to_string(line) + ": " + what);
}

std::string QMXCsvScanner::where() const {
  return path_ + ":" + std::to_string(recordLine_) + ": ";
}

// Moves the unparsed tail to the front of the buffer and fills the rest from the file.
// When the tail (one incomplete record) takes more than half the buffer, the buffer
// doubles, so a record of any length is re-scanned only O(log length) times.
void QMXCsvScanner::refill() {
  std::size_t tail = end_ - begin_;
  if (begin_ > 0) {
    std::memmove(buf_.data(), buf_.data() + begin_, tail);
    bufOffset_ += static_cast<std::int64_t>(begin_);
    begin_ = 0;
    end_ = tail;
  }
  if (tail > buf_.size() / 2) {
    try {
      buf_.resize(std::min(buf_.size() * 2, maxRecord_ + 2));
    } catch (const std::bad_alloc&) {
      throw QMXNoMemoryError(path_ + ":" + std::to_string(line_) + ": a record of more than " +
                             std::to_string(tail) + " bytes");
    }
  }
  // A range reads little past its end: the rest of its last record.
  std::size_t limit = buf_.size();
  if (rangeEnd_ >= 0) {
    const std::int64_t at = bufOffset_ + static_cast<std::int64_t>(end_);
    const std::int64_t left = std::max<std::int64_t>(rangeEnd_ - at, 0);
    if (left < static_cast<std::int64_t>(limit))
      limit = std::min<std::size_t>(limit, end_ + static_cast<std::size_t>(left + kRangeSlack));
  }
  while (end_ < limit) {
    ssize_t got = ::read(fd_, buf_.data() + end_, limit - end_);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw QMXDataError("cannot read " + path_ + ": " + std::strerror(errno));
    }
    if (got == 0) {
      eof_ = true;
      break;
    }
    end_ += static_cast<std::size_t>(got);
  }
}

bool QMXCsvScanner::next() {
  for (;;) {
    // Skip empty physical lines before the record. A CR last in the block waits for the
    // next block: it may be the first half of a CRLF.
    while (begin_ < end_) {
      const char c = buf_[begin_];
      if ((c != '\n' && c != '\r') || (c == '\r' && begin_ + 1 == end_ && !eof_)) break;
      begin_ += (c == '\r' && begin_ + 1 < end_ && buf_[begin_ + 1] == '\n') ? 2 : 1;
      ++line_;
    }
    if (begin_ == end_ && eof_) return false;
    if (begin_ == end_ || buf_[begin_] == '\r') {
      refill();
      continue;
    }
    recordOffset_ = offset();
    if (rangeEnd_ >= 0 && recordOffset_ >= rangeEnd_) return false;
    if (parseRecord() == Parse::Done) break;
    refill();  // parseRecord asks for more only before the end of the file
  }
  finishFields();
  if (decimal_ != '.' && !header_.empty()) readDecimalMarks();
  if (!header_.empty() && fields_.size() != header_.size())
    fail(recordLine_, "expected " + std::to_string(header_.size()) + " fields but found " +
                          std::to_string(fields_.size()));
  return true;
}

// The record does not end in this block: asks for more unless a field (`partial` bytes of
// the one being read so far) or the record already exceeds its limit.
QMXCsvScanner::Parse QMXCsvScanner::needMore(std::ptrdiff_t partial) {
  checkSizes(static_cast<std::size_t>(partial), end_ - begin_);
  return Parse::NeedMore;
}

// The limits, checked in the same order whether or not the record ends in this block, so
// that the outcome does not depend on where the blocks end: the fields read so far, the
// one being read (`partial` bytes), the record.
void QMXCsvScanner::checkSizes(std::size_t partial, std::size_t recordBytes) const {
  const auto tooLong = [this](std::size_t column) {
    fail(line_, "column " + std::to_string(column) + ": field longer than the limit of " +
                    std::to_string(maxField_) + " bytes");
  };
  // No field is longer than the record.
  if (recordBytes > maxField_)
    for (std::size_t colIdx = 0; colIdx < fields_.size(); ++colIdx)
      if (fields_[colIdx].size() > maxField_) tooLong(colIdx + 1);
  if (partial > maxField_) tooLong(fields_.size() + 1);
  if (recordBytes > maxRecord_)
    fail(line_, "record longer than the limit of " + std::to_string(maxRecord_) + " bytes");
}

// The first separator, LF or CR at or after `p`, else `end`: sixteen bytes at a time (SSE2)
// or eight (the lowest byte that matches is the first, read little end first) while they are
// there, then byte by byte.
const char* QMXCsvScanner::fieldEnd(const char* p, const char* const end) const {
#if defined(__SSE2__)
  // Sixteen bytes at a time: most fields end in the first sixteen.
  const __m128i seps16 = _mm_set1_epi8(separator_);
  const __m128i lf16 = _mm_set1_epi8('\n');
  const __m128i cr16 = _mm_set1_epi8('\r');
  while (end - p >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hits =
        _mm_or_si128(_mm_cmpeq_epi8(bytes, seps16),
                     _mm_or_si128(_mm_cmpeq_epi8(bytes, lf16), _mm_cmpeq_epi8(bytes, cr16)));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (mask != 0) return p + std::countr_zero(mask);
    p += 16;
  }
#endif
  const std::uint64_t seps = kOnes * static_cast<unsigned char>(separator_);
  while (std::endian::native == std::endian::little && end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    const std::uint64_t hits = zeroBytes(word ^ seps) | zeroBytes(word ^ (kOnes * '\n')) |
                               zeroBytes(word ^ (kOnes * '\r'));
    if (hits != 0) return p + (std::countr_zero(hits) >> 3);
    p += 8;
  }
  while (p < end && *p != separator_ && *p != '\n' && *p != '\r')
    ++p;
  return p;
}

// Splits the record at buf_[begin_] into fields. Returns NeedMore when the block ends
// before the record does (and the file has more); the caller refills and starts over.
QMXCsvScanner::Parse QMXCsvScanner::parseRecord() {
  const char* const data = buf_.data();
  const char* p = data + begin_;
  const char* const end = data + end_;
  const char sep = separator_;
  const char quote = quote_;
  std::int64_t extraLines = 0;  // line ends inside quoted fields
  fields_.clear();
  unescape_.clear();
  for (;;) {
    if (p < end && *p == quote) {
      const char* const content = ++p;
      const std::int64_t openLine = line_ + extraLines;
      bool rewrite = false;
      const char* close = nullptr;
      while (close == nullptr) {
        const char* q = static_cast<const char*>(std::memchr(p, quote, end - p));
        if (q == nullptr) {
          if (!eof_) return needMore(end - content);
          fail(openLine, "quoted field not closed before the end of the file");
        }
        extraLines += std::count(p, q, '\n');
        if (std::memchr(p, '\r', q - p) != nullptr) {
          rewrite = true;
          for (const char* c = p; c < q; ++c)
            extraLines += *c == '\r' && (c + 1 == q || c[1] != '\n');
        }
        if (q + 1 == end && !eof_) return needMore(q - content);
        if (q + 1 < end && q[1] == quote) {
          rewrite = true;
          p = q + 2;
        } else {
          close = q;
        }
      }
      if (rewrite) unescape_.push_back(fields_.size());
      fields_.emplace_back(content, close - content);
      p = close + 1;
      if (p == end) {
        if (!eof_) return needMore(0);
        break;
      }
      if (*p == sep) {
        ++p;
        continue;
      }
      if (*p == '\r' && p + 1 == end && !eof_) return needMore(0);
      if (*p == '\n' || *p == '\r') {
        p += (*p == '\r' && p + 1 < end && p[1] == '\n') ? 2 : 1;
        break;
      }
      recordLine_ = line_;
      fail(line_ + extraLines, "column " + std::to_string(fields_.size()) +
                                   ": unexpected text after the closing quote");
    }
    const char* const start = p;
    p = fieldEnd(p, end);
    if (p == end || (*p == '\r' && p + 1 == end)) {
      if (!eof_) return needMore(p - start);
    }
    fields_.emplace_back(start, p - start);
    if (p == end) break;
    if (*p == sep) {
      ++p;
      continue;
    }
    p += (*p == '\r' && p + 1 < end && p[1] == '\n') ? 2 : 1;
    break;
  }
  checkSizes(0, static_cast<std::size_t>(p - data) - begin_);
  recordLine_ = line_;
  line_ += 1 + extraLines;
  begin_ = static_cast<std::size_t>(p - data);
  return Parse::Done;
}

// Rewrites quoted fields that hold doubled quotes or a CR, in place (the result is not
// longer): a doubled quote becomes one, a CRLF or lone CR becomes LF.
// A field with one decimal mark and no '.' that reads as a number once the mark is a '.'
// gets the '.' in place (the field is in the block, as finishFields rewrites it).
void QMXCsvScanner::readDecimalMarks() {
  std::string copy;
  for (std::string_view field : fields_) {
    const auto mark = field.find(decimal_);
    if (mark == std::string_view::npos || field.find('.') != std::string_view::npos ||
        field.find(decimal_, mark + 1) != std::string_view::npos)
      continue;
    copy.assign(field);
    copy[mark] = '.';
    double value = 0;
    if (QMXCsvParseNumber(copy, value)) const_cast<char*>(field.data())[mark] = '.';
  }
}

void QMXCsvScanner::finishFields() {
  for (std::size_t idx : unescape_) {
    std::string_view field = fields_[idx];
    char* out = const_cast<char*>(field.data());
    const char* in = field.data();
    const char* const stop = in + field.size();
    char* const first = out;
    while (in < stop) {
      if (*in == '\r') {
        *out++ = '\n';
        in += (in + 1 < stop && in[1] == '\n') ? 2 : 1;
        continue;
      }
      *out++ = *in;
      in += (*in == quote_) ? 2 : 1;
    }
    fields_[idx] = std::string_view(first, static_cast<std::size_t>(out - first));
  }
}

// Reading starts again at byte `offset` of the file, with an empty buffer.
void QMXCsvScanner::seekTo(std::int64_t offset) {
  if (::lseek(fd_, offset, SEEK_SET) < 0)
    throw QMXDataError("cannot seek in " + path_ + ": " + std::strerror(errno));
  bufOffset_ = offset;
  begin_ = end_ = 0;
  eof_ = false;
}

void QMXCsvScanner::rewind() {
  ++passes;
  seekTo(dataOffset_);
  line_ = dataLine_;
  recordLine_ = 0;
  refill();
}

void QMXCsvScanner::seekRange(std::int64_t start, std::int64_t end, std::int64_t line,
                              bool skipLine) {
  seekTo(start);
  rangeEnd_ = end;
  refill();
  // A CR that ends a CRLF leaves its LF to next(), which skips it as an empty line.
  while (skipLine) {
    const char* const data = buf_.data();
    const char* p = data + begin_;
    while (p < data + end_ && *p != '\n' && *p != '\r')
      ++p;
    begin_ = static_cast<std::size_t>(p - data);
    if (begin_ < end_) {
      ++begin_;
      break;
    }
    if (eof_) break;
    refill();
  }
  line_ = line;
  recordLine_ = 0;
  recordOffset_ = offset();
}

bool QMXCsvScanner::isMarker(std::string_view text) const {
  for (const std::string& marker : naStrings_)
    if (text == marker) return true;
  if (emptyIsMissing_ && !text.empty() && isBlank(text.front()))
    return std::all_of(text.begin(), text.end(), isBlank);
  return false;
}
