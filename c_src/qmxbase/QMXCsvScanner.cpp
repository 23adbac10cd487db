#include "qmxbase/QMXCsvScanner.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "qmxbase/QMXDataError.h"

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

QMXCsvScanner::QMXCsvScanner(std::string path, const QMXCsvOptions& options)
    : path_(std::move(path)),
      separator_(options.separator),
      quote_(options.quote),
      naStrings_(options.naStrings) {
  emptyIsMissing_ = std::find(naStrings_.begin(), naStrings_.end(), "") != naStrings_.end();
  fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw QMXDataError("cannot open " + path_ + ": " + std::strerror(errno));
  buf_.resize(std::max<std::size_t>(options.blockBytes, 1));
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
  if (tail > buf_.size() / 2) buf_.resize(buf_.size() * 2);
  while (end_ < buf_.size()) {
    ssize_t got = ::read(fd_, buf_.data() + end_, buf_.size() - end_);
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
    // Skip empty physical lines before the record.
    while (begin_ < end_) {
      const char c = buf_[begin_];
      if (c == '\n') {
        ++begin_;
        ++line_;
      } else if (c == '\r' && begin_ + 1 < end_ && buf_[begin_ + 1] == '\n') {
        begin_ += 2;
        ++line_;
      } else if (c == '\r' && begin_ + 1 == end_ && eof_) {
        ++begin_;
      } else {
        break;
      }
    }
    if (begin_ == end_ || (begin_ + 1 == end_ && buf_[begin_] == '\r')) {
      if (eof_ && begin_ == end_) return false;
      refill();
      continue;
    }
    if (parseRecord() == Parse::Done) break;
    refill();  // parseRecord asks for more only before the end of the file
  }
  finishFields();
  if (!header_.empty() && fields_.size() != header_.size())
    fail(recordLine_, "expected " + std::to_string(header_.size()) + " fields but found " +
                          std::to_string(fields_.size()));
  return true;
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
      bool doubled = false;
      const char* close = nullptr;
      while (close == nullptr) {
        const char* q = static_cast<const char*>(std::memchr(p, quote, end - p));
        if (q == nullptr) {
          if (!eof_) return Parse::NeedMore;
          fail(openLine, "quoted field not closed before the end of the file");
        }
        extraLines += std::count(p, q, '\n');
        if (q + 1 == end && !eof_) return Parse::NeedMore;  // "" may straddle the block
        if (q + 1 < end && q[1] == quote) {
          doubled = true;
          p = q + 2;
        } else {
          close = q;
        }
      }
      if (doubled) unescape_.push_back(fields_.size());
      fields_.emplace_back(content, close - content);
      p = close + 1;
      if (p == end) {
        if (!eof_) return Parse::NeedMore;
        break;
      }
      if (*p == sep) {
        ++p;
        continue;
      }
      if (*p == '\n') {
        ++p;
        break;
      }
      if (*p == '\r' && p + 1 == end && !eof_) return Parse::NeedMore;
      if (*p == '\r' && (p + 1 == end || p[1] == '\n')) {
        p += (p + 1 == end) ? 1 : 2;
        break;
      }
      recordLine_ = line_;
      fail(line_ + extraLines, "column " + std::to_string(fields_.size()) +
                                   ": unexpected text after the closing quote");
    }
    const char* const start = p;
    while (p < end && *p != sep && *p != '\n')
      ++p;
    if (p == end) {
      if (!eof_) return Parse::NeedMore;
      const char* stop = (p > start && p[-1] == '\r') ? p - 1 : p;
      fields_.emplace_back(start, stop - start);
      break;
    }
    if (*p == sep) {
      fields_.emplace_back(start, p - start);
      ++p;
      continue;
    }
    const char* stop = (p > start && p[-1] == '\r') ? p - 1 : p;
    fields_.emplace_back(start, stop - start);
    ++p;
    break;
  }
  recordLine_ = line_;
  line_ += 1 + extraLines;
  begin_ = static_cast<std::size_t>(p - data);
  return Parse::Done;
}

// Rewrites quoted fields that contain doubled quotes, in place (the result is shorter).
void QMXCsvScanner::finishFields() {
  for (std::size_t idx : unescape_) {
    std::string_view field = fields_[idx];
    char* out = const_cast<char*>(field.data());
    const char* in = field.data();
    const char* const stop = in + field.size();
    char* const first = out;
    while (in < stop) {
      *out++ = *in;
      in += (*in == quote_) ? 2 : 1;
    }
    fields_[idx] = std::string_view(first, static_cast<std::size_t>(out - first));
  }
}

void QMXCsvScanner::rewind() {
  if (::lseek(fd_, dataOffset_, SEEK_SET) < 0)
    throw QMXDataError("cannot seek in " + path_ + ": " + std::strerror(errno));
  bufOffset_ = dataOffset_;
  begin_ = end_ = 0;
  eof_ = false;
  line_ = dataLine_;
  recordLine_ = 0;
  refill();
}

bool QMXCsvScanner::isMissing(std::string_view text) const {
  for (const std::string& marker : naStrings_)
    if (text == marker) return true;
  if (emptyIsMissing_ && !text.empty() && isBlank(text.front()))
    return std::all_of(text.begin(), text.end(), isBlank);
  return false;
}
