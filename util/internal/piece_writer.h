#pragma once
// Internal: collects whole pieces into a caller buffer of `size` bytes (NUL counted), stopping for
// good at the first piece that does not fit. The text stays NUL-terminated after every piece.
#include <cstddef>
#include <cstring>

namespace tw::internal {

class PieceWriter {
 public:
  PieceWriter(char* out, size_t size) : out_(size > 0 ? out : nullptr), limit_(size > 0 ? size - 1 : 0) {
    if (out_ != nullptr) {
      out_[0] = 0;
    }
  }
  // Put: appends the n bytes, or nothing (and every later piece is refused too).
  bool Put(const char* p, size_t n) {
    if (full_ || out_ == nullptr || n > limit_ - len_) {
      full_ = true;
      return false;
    }
    memcpy(out_ + len_, p, n);
    len_ += n;
    out_[len_] = 0;
    return true;
  }
  [[nodiscard]] size_t length() const { return len_; }
  [[nodiscard]] char last() const { return len_ > 0 ? out_[len_ - 1] : 0; }
  [[nodiscard]] bool full() const { return full_; }

 private:
  char* out_;
  size_t limit_;
  size_t len_ = 0;
  bool full_ = false;
};

}  // namespace tw::internal
