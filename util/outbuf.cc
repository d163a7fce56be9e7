#include "util/outbuf.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "util/internal/c_locale.h"

namespace tw {

OutBuf::OutBuf(char* buf, size_t capacity)
    : buf_(buf), capacity_(buf != nullptr ? capacity : 0), maxCapacity_(capacity_) {
  if (capacity_ > 0) {
    buf_[0] = 0;
  }
}

OutBuf OutBuf::Growable(char* buf, size_t capacity, size_t maxCapacity) {
  OutBuf out(buf, capacity);
  out.maxCapacity_ = maxCapacity > out.capacity_ ? maxCapacity : out.capacity_;
  return out;
}

OutBuf::OutBuf(OutBuf&& other) noexcept
    : buf_(std::exchange(other.buf_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      size_(std::exchange(other.size_, 0)),
      maxCapacity_(std::exchange(other.maxCapacity_, 0)),
      overflowed_(std::exchange(other.overflowed_, false)),
      heap_(std::exchange(other.heap_, false)) {}

OutBuf& OutBuf::operator=(OutBuf&& other) noexcept {
  if (this != &other) {
    if (heap_) {
      free(buf_);
    }
    buf_ = std::exchange(other.buf_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
    size_ = std::exchange(other.size_, 0);
    maxCapacity_ = std::exchange(other.maxCapacity_, 0);
    overflowed_ = std::exchange(other.overflowed_, false);
    heap_ = std::exchange(other.heap_, false);
  }
  return *this;
}

OutBuf::~OutBuf() {
  if (heap_) {
    free(buf_);
  }
}

void OutBuf::Overflow() { overflowed_ = true; }

// Makes capacity_ at least `needed` (NUL included) by moving to larger heap memory.
bool OutBuf::Grow(size_t needed) {
  if (needed > maxCapacity_) {
    return false;
  }
  size_t cap = capacity_ < 256 ? 256 : capacity_;
  while (cap < needed) {
    cap = cap > maxCapacity_ / 2 ? maxCapacity_ : cap * 2;
  }
  if (cap > maxCapacity_) {
    cap = maxCapacity_;
  }
  char* p;
  if (heap_) {
    p = static_cast<char*>(realloc(buf_, cap));
  } else {
    p = static_cast<char*>(malloc(cap));
    if (p != nullptr && size_ > 0) {
      memcpy(p, buf_, size_);
    }
  }
  if (p == nullptr) {
    return false;
  }
  p[size_] = 0;
  buf_ = p;
  capacity_ = cap;
  heap_ = true;
  return true;
}

char* OutBuf::Reserve(size_t n) {
  if (overflowed_) {
    return nullptr;
  }
  if (n >= capacity_ - size_ || capacity_ == 0) {
    // size_ + n + 1 must not wrap.
    if (n > static_cast<size_t>(-1) - size_ - 1 || !Grow(size_ + n + 1)) {
      Overflow();
      return nullptr;
    }
  }
  return buf_ + size_;
}

void OutBuf::Commit(size_t n) {
  if (overflowed_ || capacity_ == 0) {
    return;
  }
  size_t limit = capacity_ - size_ - 1;
  size_ += n < limit ? n : limit;
  buf_[size_] = 0;
}

bool OutBuf::AppendSlow(const char* p, size_t n) {
  if (n == 0) {
    return !overflowed_;
  }
  char* dst = Reserve(n);
  if (dst == nullptr) {
    return false;
  }
  memcpy(dst, p, n);
  Commit(n);
  return true;
}

bool OutBuf::Append(const char* s) { return s == nullptr ? !overflowed_ : Append(s, strlen(s)); }

bool OutBuf::Printf(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  bool ok = VPrintf(fmt, ap);
  va_end(ap);
  return ok;
}

bool OutBuf::VPrintf(const char* fmt, va_list ap) {
  if (overflowed_) {
    return false;
  }
  internal::CLocaleScope cLocale;
  va_list again;
  va_copy(again, ap);
  size_t room = capacity_ > size_ ? capacity_ - size_ : 0;
  int n = vsnprintf(room > 0 ? buf_ + size_ : nullptr, room, fmt, ap);
  if (n < 0) {
    va_end(again);
    if (room > 0) {
      buf_[size_] = 0;
    }
    Overflow();
    return false;
  }
  if (static_cast<size_t>(n) < room) {
    size_ += static_cast<size_t>(n);
    va_end(again);
    return true;
  }
  // Did not fit: undo the partial text, grow if allowed and format again.
  if (room > 0) {
    buf_[size_] = 0;
  }
  char* dst = Reserve(static_cast<size_t>(n));
  if (dst == nullptr) {
    va_end(again);
    return false;
  }
  vsnprintf(dst, static_cast<size_t>(n) + 1, fmt, again);
  va_end(again);
  size_ += static_cast<size_t>(n);
  return true;
}

void OutBuf::Truncate(size_t mark) {
  if (mark < size_) {
    size_ = mark;
    buf_[size_] = 0;
  }
}

void OutBuf::Rewind(size_t mark) {
  if (mark == kOverflowedMark) {
    return;
  }
  Truncate(mark);
  overflowed_ = false;
}

void OutBuf::Clear() {
  size_ = 0;
  overflowed_ = false;
  if (capacity_ > 0) {
    buf_[0] = 0;
  }
}

}  // namespace tw
