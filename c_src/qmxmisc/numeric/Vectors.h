// The sequence types of every public signature: strVector (names), lVector (signed 32-bit
// integers), dVector (doubles). Each is a standard vector whose storage comes from the
// library allocator (Allocator.h), with a virtual destructor. Index lives in Index.h.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "qmxmisc/numeric/Allocator.h"
#include "qmxmisc/numeric/String.h"

// A sequence of T with the standard vector interface (size, operator[], push_back, data,
// iterators, resize, ...). Convertible from and to std::vector<T>.
template <class T>
class QmxSequence : public std::vector<T, QmxAllocator<T>> {
 public:
  using Base = std::vector<T, QmxAllocator<T>>;
  using Base::Base;
  QmxSequence() = default;
  QmxSequence(const QmxSequence&) = default;
  QmxSequence(QmxSequence&&) noexcept = default;
  QmxSequence& operator=(const QmxSequence&) = default;
  QmxSequence& operator=(QmxSequence&&) noexcept = default;
  explicit QmxSequence(const std::vector<T>& values) : Base(values.begin(), values.end()) {}
  virtual ~QmxSequence() = default;

  std::vector<T> toStd() const { return std::vector<T>(this->begin(), this->end()); }
};

class strVector : public QmxSequence<String> {
 public:
  using QmxSequence<String>::QmxSequence;
  explicit strVector(const std::vector<std::string>& names)
      : QmxSequence<String>(names.begin(), names.end()) {}
};

class lVector : public QmxSequence<std::int32_t> {
 public:
  using QmxSequence<std::int32_t>::QmxSequence;
};

class dVector : public QmxSequence<double> {
 public:
  using QmxSequence<double>::QmxSequence;
};
