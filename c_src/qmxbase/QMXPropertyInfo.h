// One property request: a name and a chain of values. The request object is the first value;
// `getNext()` gives the next one (nullptr after the last).
//
// Values given by a host are texts converted on demand by the getters. A getter whose value
// does not convert (getLong on "abc", or on a missing value) returns 0 (false for getBool)
// and records a conversion problem on the whole request, e.g.
// "property define.target.column: 'abc' is not an integer"; the host reports it.
// getString on a missing value returns nullptr without a problem. getDouble reads "NA" as NaN.
// Setters leave a typed answer on the value they are called on (usually the first).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class QMXPropertyInfo {
 public:
  using Answer = std::variant<std::monostate, long, long long, double, bool, std::string>;

  explicit QMXPropertyInfo(std::string name);
  QMXPropertyInfo(std::string name, const std::vector<std::string>& values);
  QMXPropertyInfo(const QMXPropertyInfo&) = delete;
  QMXPropertyInfo& operator=(const QMXPropertyInfo&) = delete;
  virtual ~QMXPropertyInfo();

  // The request interface seen by procs, in this order.
  virtual bool isName(const char* name) const;
  virtual long getLong();
  virtual void setLong(long value);
  virtual void setLongLong(long long value);
  virtual double getDouble();
  virtual void setDouble(double value);
  virtual bool getBool();
  virtual void setBool(bool value);
  virtual const char* getString();
  virtual void setString(const char* value);
  virtual QMXPropertyInfo* getNext();
  virtual void* getJavaArray();  // always nullptr: this host has no Java side
  virtual void* getJNIEnv();     // always nullptr

  // Host side.
  const std::string& name() const { return head_->name_; }
  // Appends a value at the end of the chain.
  void addValue(std::string text);
  const QMXPropertyInfo* next() const { return next_.get(); }
  // Number of values in the chain starting at this one.
  std::size_t valueCount() const;
  // The input text of this value (nullopt when the request has no value here).
  const std::optional<std::string>& valueText() const { return value_; }
  const Answer& answer() const { return answer_; }
  bool hasAnswer() const { return answer_.index() != 0; }
  // The answer as text: integers in decimal, doubles with 15 significant digits ("%.15g";
  // "NaN", "Inf", "-Inf"), bools as "true"/"false", "" without an answer.
  std::string answerText() const;
  // Conversion problems of the whole request, in order.
  const std::vector<std::string>& problems() const { return head_->problems_; }

 private:
  QMXPropertyInfo(QMXPropertyInfo* head, std::string text);
  void noteProblem(const char* what);

  QMXPropertyInfo* head_;
  std::string name_;  // set on the head only
  std::optional<std::string> value_;
  Answer answer_;
  std::unique_ptr<QMXPropertyInfo> next_;
  std::vector<std::string> problems_;  // used on the head only
};
