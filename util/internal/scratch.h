#pragma once
// Internal: a work area that lives on the stack up to N elements and on the heap beyond (allocated
// without exceptions; ok() is false when the heap had no room).
#include <cstddef>
#include <new>

namespace tw::internal {

template <typename T, size_t N>
class Scratch {
 public:
  explicit Scratch(size_t n) {
    if (n <= N) {
      data_ = stack_;
      capacity_ = N;
    } else {
      heap_ = new (std::nothrow) T[n];
      data_ = heap_;
      capacity_ = heap_ != nullptr ? n : 0;
    }
  }
  ~Scratch() { delete[] heap_; }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  [[nodiscard]] bool ok() const { return data_ != nullptr; }
  [[nodiscard]] T* data() { return data_; }
  [[nodiscard]] size_t capacity() const { return capacity_; }

 private:
  T stack_[N];
  T* heap_ = nullptr;
  T* data_ = nullptr;
  size_t capacity_ = 0;
};

}  // namespace tw::internal
