// FactorInfo: one categorical variable of a model (name, level labels in code order,
// optional per-level counts and values, and how it becomes model-matrix columns).
// factVector: a sequence of FactorInfo.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qmxmisc/numeric/String.h"
#include "qmxmisc/numeric/Vectors.h"

// How a factor becomes model-matrix columns; the numeric codes are stored by callers and
// in documents, so they are fixed.
enum class MatrixCoding : std::int32_t {
  kNumeric = 0,        // the buffer's numeric value as is: 1 column
  kIndicator = 1,      // one 0/1 column per level: L columns
  kSumToZero = 2,      // last level -1 in every column: L - 1 columns
  kLastReference = 3,  // last level all zeros: L - 1 columns
  kPolynomial = 4,     // orthogonal polynomial contrasts: L - 1 columns
};

class FactorInfo {
 public:
  FactorInfo() = default;
  FactorInfo(const FactorInfo&) = default;
  FactorInfo(FactorInfo&&) noexcept = default;
  FactorInfo& operator=(const FactorInfo&) = default;
  FactorInfo& operator=(FactorInfo&&) noexcept = default;
  virtual ~FactorInfo() = default;

  void setName(const String& name) { name_ = name; }
  void setName(const char* name) { name_ = String(name); }
  void setName(const std::string& name) { name_ = String(name); }
  const String& name() const { return name_; }

  void setLevels(const strVector& levels) { levels_ = levels; }
  void setLevels(const std::vector<std::string>& levels) { levels_ = strVector(levels); }
  const strVector& levels() const { return levels_; }
  // Level label i; throws "bad index %d" (const) or "Bad index %d" (mutable) out of range.
  const String& level(long i) const;
  String& level(long i);
  // Number of levels.
  long length() const { return static_cast<long>(levels_.size()); }

  void setCounts(const lVector& counts) { counts_ = counts; }
  void setCounts(const std::vector<long>& counts);
  const lVector& counts() const { return counts_; }
  // Count of level i; "Bad index %d" out of range.
  long count(long i) const;
  bool hasCounts() const { return !levels_.empty() && counts_.size() == levels_.size(); }
  // Sum of the counts.
  long N() const;

  void setValues(const dVector& values) { values_ = values; }
  void setValues(const std::vector<double>& values);
  const dVector& values() const { return values_; }
  // Value of level i; "Bad index" out of range.
  double value(long i) const;
  bool hasValues() const { return !levels_.empty() && values_.size() == levels_.size(); }

  void setMatrixCoding(MatrixCoding coding) { coding_ = coding; }
  MatrixCoding matrixCoding() const { return coding_; }

  // Resizes the levels to L (new labels empty) and non-empty counts and values to L (new
  // entries 0); a negative L throws "Bad length".
  void resize(long L);
  // Three-way byte comparison of the name with `text`; an empty name or a null text never
  // compares equal.
  int compare(const char* text) const;
  // Clears name, levels, counts and values.
  void erase();
  // Clears levels, counts and values but keeps the name.
  void empty();
  // True when both the name and the levels are non-empty.
  bool valid() const { return !name_.empty() && !levels_.empty(); }

 private:
  String name_;
  strVector levels_;
  lVector counts_;
  dVector values_;
  MatrixCoding coding_ = MatrixCoding::kIndicator;
};

class factVector : public QmxSequence<FactorInfo> {
 public:
  using QmxSequence<FactorInfo>::QmxSequence;
  explicit factVector(const std::vector<FactorInfo>& factors)
      : QmxSequence<FactorInfo>(factors.begin(), factors.end()) {}
};
