// Reference-counted storage blocks of the dense matrices.
//
// A block made by _TMAllocate(n) is a header of two 32-bit words followed by n zero-filled
// elements; the word just before the first element is the block's reference count (1 when
// made). MatrixStorage<T> is the owning handle: copying it shares the block and raises the
// count, destroying it drops one reference and frees the block at zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

// Untyped block functions (MatrixStorage.cpp).
void* tmAllocateBlock(std::size_t n, std::size_t elementSize);
void tmDeallocBlock(void* first);
inline std::uint32_t& tmRefCount(void* first) {
  return static_cast<std::uint32_t*>(first)[-1];
}

// A zero-filled block of n elements with reference count 1. Throws QMXMemoryException with
// the byte count when the allocation fails.
template <class T>
T* _TMAllocate(std::size_t n) {
  return static_cast<T*>(tmAllocateBlock(n, sizeof(T)));
}

// Frees a block from _TMAllocate whatever its count; null is a no-op.
template <class T>
void _TMDealloc(T* first) {
  tmDeallocBlock(first);
}

template <class T>
class MatrixStorage {
 public:
  MatrixStorage() = default;
  explicit MatrixStorage(std::size_t n) : first_(_TMAllocate<T>(n)) {}
  MatrixStorage(const MatrixStorage& other) : first_(other.first_) { retain(); }
  MatrixStorage(MatrixStorage&& other) noexcept : first_(std::exchange(other.first_, nullptr)) {}
  MatrixStorage& operator=(const MatrixStorage& other) {
    MatrixStorage copy(other);
    swap(copy);
    return *this;
  }
  MatrixStorage& operator=(MatrixStorage&& other) noexcept {
    MatrixStorage moved(std::move(other));
    swap(moved);
    return *this;
  }
  ~MatrixStorage() { release(); }

  T* get() const { return first_; }
  explicit operator bool() const { return first_ != nullptr; }
  std::uint32_t useCount() const { return first_ ? tmRefCount(first_) : 0; }

  // Drops this handle's reference; the handle becomes null.
  void release() {
    if (first_ != nullptr && --tmRefCount(first_) == 0) _TMDealloc(first_);
    first_ = nullptr;
  }

  // Makes the block this handle's own: when shared, copies its first n elements into a
  // fresh block and drops one reference to the old one.
  void unshare(std::size_t n) {
    if (first_ == nullptr || tmRefCount(first_) == 1) return;
    MatrixStorage fresh(n);
    if (n > 0) std::memcpy(fresh.first_, first_, n * sizeof(T));
    swap(fresh);
  }

  void swap(MatrixStorage& other) noexcept { std::swap(first_, other.first_); }

 private:
  void retain() {
    if (first_ != nullptr) ++tmRefCount(first_);
  }

  T* first_ = nullptr;
};
