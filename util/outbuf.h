#pragma once
// OutBuf: the one bounded output type that every writer of the system appends to (JSON replies, SQL
// text, escapers, log lines).
//
// A buffer knows its end. A piece that does not fit is not written: the buffer is marked overflowed,
// stays NUL-terminated after the last whole piece, and ignores every later piece, so that a reply is
// never half of one value followed by the next. The handler looks at overflowed() and answers an
// error (or rewinds to a mark and closes what it has) instead of writing past the end.
//
// A growable buffer starts in the caller's memory and moves to heap memory of its own when that is
// full, up to a maximum, so that a reply of any length can be sent whole.
//
// Not thread-safe: one buffer belongs to one request.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tw {

class OutBuf {
 public:
  // Mark() of a buffer that has already overflowed: rewinding to it changes nothing.
  static constexpr size_t kOverflowedMark = static_cast<size_t>(-1);

  // Fixed room: `capacity` counts the NUL. REQUIRES: buf holds capacity bytes (a null buf or a
  // capacity of 0 gives a buffer that overflows on the first piece).
  OutBuf(char* buf, size_t capacity);
  // Starts in buf (capacity bytes) and moves to heap memory when full, up to maxCapacity bytes.
  [[nodiscard]] static OutBuf Growable(char* buf, size_t capacity, size_t maxCapacity);

  OutBuf(OutBuf&& other) noexcept;
  OutBuf& operator=(OutBuf&& other) noexcept;
  OutBuf(const OutBuf&) = delete;
  OutBuf& operator=(const OutBuf&) = delete;
  ~OutBuf();

  // The text written so far, NUL-terminated (never null).
  [[nodiscard]] const char* data() const { return buf_ != nullptr ? buf_ : ""; }
  [[nodiscard]] size_t size() const { return size_; }
  [[nodiscard]] std::string_view view() const { return {data(), size_}; }
  [[nodiscard]] bool overflowed() const { return overflowed_; }
  // Bytes that can still be appended without growing (the NUL not counted).
  [[nodiscard]] size_t room() const { return capacity_ > size_ ? capacity_ - size_ - 1 : 0; }

  // Append: writes the n bytes as one piece, or nothing (and marks the overflow).
  // Returns false when the buffer has overflowed (now or before).
  bool Append(const char* p, size_t n) {
    // The common case inline: the piece fits in the room there is (capacity_ - size_ counts the NUL,
    // and is 0 for a buffer without memory, which therefore always takes the slow road).
    if (n < capacity_ - size_ && !overflowed_) {
      std::memcpy(buf_ + size_, p, n);
      size_ += n;
      buf_[size_] = 0;
      return true;
    }
    return AppendSlow(p, n);
  }
  bool Append(const char* s);
  bool Append(std::string_view s) { return Append(s.data(), s.size()); }
  bool AppendChar(char c) {
    if (size_ + 1 < capacity_ && !overflowed_) {
      buf_[size_++] = c;
      buf_[size_] = 0;
      return true;
    }
    return AppendSlow(&c, 1);
  }
  // Printf: one formatted piece, numbers in the C locale whatever the process locale.
  bool Printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  bool VPrintf(const char* fmt, va_list ap);

  // Reserve: makes room for n more bytes and returns where they go, or null (and marks the
  // overflow). The caller writes at most n bytes there and then calls Commit with the count.
  [[nodiscard]] char* Reserve(size_t n);
  void Commit(size_t n);

  // Mark: the current size, or kOverflowedMark once the buffer has overflowed.
  [[nodiscard]] size_t Mark() const { return overflowed_ ? kOverflowedMark : size_; }
  // Rewind: drops what was written after `mark` and clears the overflow (undoes a half-written list
  // item so the handler can close the reply); a mark of kOverflowedMark changes nothing.
  void Rewind(size_t mark);
  // Truncate: drops what was written after `mark` but keeps the overflow state (a writer that
  // failed halfway removes its partial piece).
  void Truncate(size_t mark);
  // Clear: empty again, no overflow (heap memory is kept for reuse).
  void Clear();

 private:
  bool AppendSlow(const char* p, size_t n);
  bool Grow(size_t needed);
  void Overflow();

  char* buf_;
  size_t capacity_;
  size_t size_ = 0;
  size_t maxCapacity_;
  bool overflowed_ = false;
  bool heap_ = false;
};

}  // namespace tw
