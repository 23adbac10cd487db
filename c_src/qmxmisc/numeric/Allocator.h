// The allocator of the library's small containers (String, strVector, lVector, dVector,
// Index): raw room for n elements, in-place copy construction and destruction, release.
// Every allocation failure throws QMXMemoryException carrying the requested byte count.
//
// The functions are templates, so the element types named by the containers (char, double,
// long, unsigned, String) and those of higher layers (FactorInfo) all get their overload.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

// Raw heap room of `bytes` bytes (not zero-filled), aligned for any fundamental type.
// Throws QMXMemoryException(bytes) when the room cannot be had.
void* _TMalloc(std::size_t bytes);
// Releases room from _TMalloc; null is a no-op.
void _TFree(void* room);
// The byte count of n elements of `size` bytes, or throws QMXMemoryException when it
// overflows (the count reported is then the largest long).
std::size_t _TByteCount(std::size_t n, std::size_t size);

// Raw room for n elements of T (not constructed).
template <class T>
T* _TAllocate(std::size_t n) {
  return static_cast<T*>(_TMalloc(_TByteCount(n, sizeof(T))));
}

// Copy-constructs one element in place.
template <class T>
void _TConstruct(T* where, const T& value) {
  std::construct_at(where, value);
}

// Destroys one element in place (the room stays).
template <class T>
void _TDestroy(T* where) {
  std::destroy_at(where);
}

// Frees room from _TAllocate.
template <class T>
void _TDealloc(T* room) {
  _TFree(room);
}

// Standard-library allocator that routes the containers' storage through _TAllocate and
// _TDealloc, so their growth failures throw QMXMemoryException.
template <class T>
struct QmxAllocator {
  using value_type = T;
  QmxAllocator() noexcept = default;
  template <class U>
  QmxAllocator(const QmxAllocator<U>&) noexcept {}  // NOLINT(google-explicit-constructor)
  T* allocate(std::size_t n) { return _TAllocate<T>(n); }
  void deallocate(T* room, std::size_t) noexcept { _TDealloc(room); }
  template <class U>
  bool operator==(const QmxAllocator<U>&) const noexcept {
    return true;
  }
};
