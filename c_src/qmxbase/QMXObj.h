// The base of every host object that carries messages: procs, buffers, readers and writers.
//
// Messages are kept in order in a log (kind + text) that the driver reads; an optional
// listener sees each message as it is added, so a command-line host can print them at once.
// `setError` records THE error of the object (the first one set is kept, `getError` returns
// it and a non-null error stops the proc); `addError` only logs an error message. Both make
// `hasError` true. `setError(text, value)` logs "text: value".
//
// Missing values: a double is missing when `isDoubleNaN` holds (any NaN). `getDoubleNA` is
// the NaN carrying R's NA payload (low word 1954); `getDoubleNaN` is the quiet NaN returned
// for undefined results. A missing factor level is `getLevelNumNA()` (-1).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

enum class QMXMessageKind : int { Error = 0, Warning = 1, Information = 2, Debug = 3 };

struct QMXMessage {
  QMXMessageKind kind = QMXMessageKind::Information;
  std::string text;

  bool operator==(const QMXMessage&) const = default;
};

// The word a host prints before a message: "error", "warning", "info", "debug".
const char* QMXMessageKindName(QMXMessageKind kind);

using QMXMessageListener = std::function<void(const QMXMessage&)>;

class QMXObj {
 public:
  QMXObj() = default;
  QMXObj(const QMXObj&) = default;
  QMXObj& operator=(const QMXObj&) = default;
  virtual ~QMXObj() = default;

  void setError(const char* text);
  void setError(const char* text, long value);
  const char* getError() const;
  bool hasError() const;
  void addError(const char* text);
  void addWarning(const char* text);
  void addInformation(const char* text);
  void addDebug(const char* text);
  // Forgets the error and every logged message.
  void clearMessages();

  // Host side: the message log in order, and the listener called on each new message.
  const std::vector<QMXMessage>& getMessages() const { return messages_; }
  void setMessageListener(QMXMessageListener listener) { listener_ = std::move(listener); }

  static double getDoubleNA();
  static bool isDoubleNA(double x);
  static double getDoubleNaN();
  static bool isDoubleNaN(double x);
  static long getLevelNumNA() { return -1; }

  // A malloc'ed copy of `text` (nullptr for nullptr, or when memory runs out), to be freed
  // with releaseString; releaseString(nullptr) does nothing.
  static char* copyString(const char* text);
  static void releaseString(char* text);
  // Copies UTF-8 `src` into `dst` (capacity bytes, always NUL-terminated when capacity > 0),
  // replacing each non-ASCII character by '?'. Returns the number of bytes written before the
  // terminator. A null src writes "".
  static long copyUTFToPlainString(const char* src, char* dst, long capacity);

 private:
  void log(QMXMessageKind kind, std::string text);

  std::optional<std::string> error_;
  bool hasError_ = false;
  std::vector<QMXMessage> messages_;
  QMXMessageListener listener_;
};
