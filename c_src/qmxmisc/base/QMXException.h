// The exception family of the library. Every failure inside qmxmisc is thrown as a
// QMXException carrying a printf-formatted message; the proc boundary turns it into a
// message on the proc.
//
// Message storage: three texts are shared and never copied or freed ("Internal Error",
// "Insufficient memory available" and one static 128-byte buffer used by the memory
// exception). Any other text is copied into storage owned by the exception.
#pragma once

#include <exception>
#include <memory>

// A std::exception, so that code catching the standard base also sees library failures;
// what() is the message, or "Internal Error" when none was set.
class QMXException : public std::exception {
 public:
  QMXException() = default;
  explicit QMXException(const char* message);
  QMXException(const QMXException& other);
  QMXException& operator=(const QMXException& other);
  QMXException& operator=(const char* message);
  QMXException& operator=(char* message);
  ~QMXException() override = default;

  const char* what() const noexcept override;

  // The message text, or null when none was set.
  operator const char*() const { return error_; }
  const char* message() const { return error_; }

 protected:
  // True when the message is owned by this exception (neither null nor a shared store).
  bool canDelete() const { return owned_ != nullptr; }
  // Releases an owned message; the message becomes null.
  void freeError();
  // Releases the old message, then shares a shared store or copies any other text.
  void copyError(const char* message);

  // Shared stores: compared by address, never freed.
  static const char* internalErrorText();
  static const char* memoryErrorText();
  static char* staticBuffer();
  static constexpr std::size_t kStaticBufferSize = 128;

 private:
  static bool isSharedStore(const char* text);

  const char* error_ = nullptr;
  std::unique_ptr<char[]> owned_;
};

// An internal failure of the library; the message is the shared text "Internal Error".
class QMXFatalException : public QMXException {
 public:
  QMXFatalException();
};

// An allocation failure. With a byte count the message is formatted into the shared
// static buffer: "Insufficient memory available for %ld bytes".
class QMXMemoryException : public QMXException {
 public:
  QMXMemoryException();
  explicit QMXMemoryException(long bytes);
};

// Formats its arguments like printf into a message holding the complete text, however
// long, and throws a QMXException carrying it.
[[noreturn]] void QMX_ThrowException(const char* format, ...) __attribute__((format(printf, 1, 2)));
