#include "image/raster_file.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Memory streams grow in steps of this many bytes.
constexpr size_t kMemGrowStep = 4096;

// Bytes of `count` items of `size` bytes, or false when the product does not fit.
bool ItemBytes(size_t size, size_t count, size_t* bytes) {
  if (size != 0 && count > std::numeric_limits<size_t>::max() / size) {
    return false;
  }
  *bytes = size * count;
  return true;
}

}  // namespace

bool CRasterFile::PutC(uint8_t c) { return Write(&c, 1, 1) == 1; }

// ---- CRasterIOFile -------------------------------------------------------------------------------

CRasterIOFile::CRasterIOFile(FILE* fp) : m_fp(fp), m_owned(fp == nullptr) {}

CRasterIOFile::CRasterIOFile(const CRasterIOFile& other) : CRasterFile(other), m_fp(other.m_fp), m_owned(false) {}

CRasterIOFile& CRasterIOFile::operator=(const CRasterIOFile& other) {
  if (this != &other) {
    Close();
    m_fp = other.m_fp;
    m_owned = false;
  }
  return *this;
}

CRasterIOFile::~CRasterIOFile() { Close(); }

bool CRasterIOFile::Open(const char* name, const char* mode) {
  if (m_fp != nullptr || name == nullptr || mode == nullptr) {
    return false;
  }
  m_fp = std::fopen(name, mode);
  if (m_fp == nullptr) {
    return false;
  }
  m_owned = true;
  return true;
}

bool CRasterIOFile::Close() {
  int err = 0;
  if (m_fp != nullptr && m_owned) {
    err = std::fclose(m_fp);
    m_fp = nullptr;
  }
  return err == 0;
}

size_t CRasterIOFile::Read(void* buffer, size_t size, size_t count) {
  if (m_fp == nullptr || buffer == nullptr) {
    return 0;
  }
  return std::fread(buffer, size, count, m_fp);
}

size_t CRasterIOFile::Write(const void* buffer, size_t size, size_t count) {
  if (m_fp == nullptr || buffer == nullptr) {
    return 0;
  }
  return std::fwrite(buffer, size, count, m_fp);
}

bool CRasterIOFile::Seek(int64_t offset, int32_t origin) {
  if (m_fp == nullptr) {
    return false;
  }
  return fseeko(m_fp, static_cast<off_t>(offset), origin) == 0;
}

int64_t CRasterIOFile::Tell() {
  if (m_fp == nullptr) {
    return 0;
  }
  return static_cast<int64_t>(ftello(m_fp));
}

int64_t CRasterIOFile::Size() {
  if (m_fp == nullptr) {
    return -1;
  }
  const off_t pos = ftello(m_fp);
  if (pos < 0 || fseeko(m_fp, 0, SEEK_END) != 0) {
    return -1;
  }
  const off_t size = ftello(m_fp);
  if (fseeko(m_fp, pos, SEEK_SET) != 0) {
    return -1;
  }
  return static_cast<int64_t>(size);
}

bool CRasterIOFile::Flush() { return m_fp != nullptr && std::fflush(m_fp) == 0; }

bool CRasterIOFile::Eof() { return m_fp == nullptr || std::feof(m_fp) != 0; }

int64_t CRasterIOFile::Error() { return m_fp == nullptr ? -1 : std::ferror(m_fp); }

bool CRasterIOFile::PutC(uint8_t c) { return m_fp != nullptr && std::fputc(c, m_fp) == c; }

int64_t CRasterIOFile::GetC() {
  if (m_fp == nullptr) {
    return -1;
  }
  const int c = std::fgetc(m_fp);
  return c == EOF ? -1 : c;
}

// ---- CRasterMemFile ------------------------------------------------------------------------------

CRasterMemFile::CRasterMemFile(uint8_t* buffer, size_t size)
    : m_buffer(buffer), m_size(buffer != nullptr ? size : 0), m_capacity(buffer != nullptr ? size : 0) {}

CRasterMemFile::CRasterMemFile(const CRasterMemFile& other) : CRasterFile(other) { CopyFrom(other); }

CRasterMemFile& CRasterMemFile::operator=(const CRasterMemFile& other) {
  if (this != &other) {
    Release();
    CopyFrom(other);
  }
  return *this;
}

CRasterMemFile::~CRasterMemFile() { Release(); }

void CRasterMemFile::Release() {
  if (m_owned) {
    std::free(m_buffer);
  }
  m_buffer = nullptr;
  m_owned = false;
  m_size = 0;
  m_position = 0;
  m_capacity = 0;
}

void CRasterMemFile::CopyFrom(const CRasterMemFile& other) {
  m_position = other.m_position;
  if (!other.m_owned) {
    // A caller's block: both objects read it, neither frees it.
    m_buffer = other.m_buffer;
    m_size = other.m_size;
    m_capacity = other.m_capacity;
    m_owned = false;
    return;
  }
  // An owned block is copied, so each object frees only its own.
  const size_t capacity = other.m_capacity > 0 ? other.m_capacity : 1;
  m_buffer = static_cast<uint8_t*>(std::malloc(capacity));
  if (m_buffer == nullptr) {
    m_size = 0;
    m_position = 0;
    m_capacity = 0;
    m_owned = false;
    return;
  }
  if (other.m_size > 0) {
    std::memcpy(m_buffer, other.m_buffer, other.m_size);
  }
  m_size = other.m_size;
  m_capacity = other.m_capacity;
  m_owned = true;
}

bool CRasterMemFile::Open() {
  if (m_buffer != nullptr) {
    return false;
  }
  m_buffer = static_cast<uint8_t*>(std::malloc(1));
  if (m_buffer == nullptr) {
    return false;
  }
  m_owned = true;
  m_size = 0;
  m_position = 0;
  m_capacity = 0;
  return true;
}

uint8_t* CRasterMemFile::GetBuffer(bool detach) {
  if (detach) {
    m_owned = false;
  }
  return m_buffer;
}

bool CRasterMemFile::Close() {
  if (m_owned) {
    std::free(m_buffer);
    m_buffer = nullptr;
    m_owned = false;
    m_capacity = 0;
    m_position = 0;
  }
  m_size = 0;
  return true;
}

size_t CRasterMemFile::Read(void* buffer, size_t size, size_t count) {
  if (m_buffer == nullptr || buffer == nullptr || size == 0 || m_position >= m_size) {
    return 0;
  }
  size_t wanted = 0;
  if (!ItemBytes(size, count, &wanted)) {
    wanted = std::numeric_limits<size_t>::max();
  }
  const size_t available = m_size - m_position;
  const size_t bytes = wanted < available ? wanted : available;
  std::memcpy(buffer, m_buffer + m_position, bytes);
  m_position += bytes;
  return bytes / size;
}

bool CRasterMemFile::Reserve(size_t needed) {
  if (needed <= m_capacity) {
    return true;
  }
  if (needed > std::numeric_limits<size_t>::max() - kMemGrowStep) {
    return false;
  }
  const size_t capacity = needed / kMemGrowStep * kMemGrowStep + kMemGrowStep;
  uint8_t* grown = nullptr;
  if (m_owned) {
    grown = static_cast<uint8_t*>(std::realloc(m_buffer, capacity));
    if (grown == nullptr) {
      return false;
    }
  } else {
    // A caller's block is never reallocated: the data moves into a block of our own.
    grown = static_cast<uint8_t*>(std::malloc(capacity));
    if (grown == nullptr) {
      return false;
    }
    if (m_buffer != nullptr && m_size > 0) {
      std::memcpy(grown, m_buffer, m_size);
    }
    m_owned = true;
  }
  m_buffer = grown;
  m_capacity = capacity;
  return true;
}

size_t CRasterMemFile::Write(const void* buffer, size_t size, size_t count) {
  if (m_buffer == nullptr || buffer == nullptr) {
    return 0;
  }
  size_t bytes = 0;
  if (!ItemBytes(size, count, &bytes) || m_position > std::numeric_limits<size_t>::max() - bytes) {
    return 0;
  }
  if (bytes == 0) {
    return count;
  }
  const size_t end = m_position + bytes;
  if (!Reserve(end)) {
    return 0;
  }
  if (m_position > m_size) {
    // A write after a seek past the end: the gap reads as zeros, never as old heap bytes.
    std::memset(m_buffer + m_size, 0, m_position - m_size);
  }
  std::memcpy(m_buffer + m_position, buffer, bytes);
  m_position = end;
  if (m_position > m_size) {
    m_size = m_position;
  }
  return count;
}

bool CRasterMemFile::Seek(int64_t offset, int32_t origin) {
  if (m_buffer == nullptr) {
    return false;
  }
  int64_t base = 0;
  switch (origin) {
    case kRasterSeekSet:
      base = 0;
      break;
    case kRasterSeekCur:
      base = static_cast<int64_t>(m_position);
      break;
    case kRasterSeekEnd:
      base = static_cast<int64_t>(m_size);
      break;
    default:
      return false;
  }
  int64_t target = 0;
  if (__builtin_add_overflow(base, offset, &target)) {
    target = offset < 0 ? 0 : std::numeric_limits<int64_t>::max();
  }
  m_position = target < 0 ? 0 : static_cast<size_t>(target);
  return true;
}

int64_t CRasterMemFile::Tell() { return m_buffer == nullptr ? -1 : static_cast<int64_t>(m_position); }

int64_t CRasterMemFile::Size() { return m_buffer == nullptr ? -1 : static_cast<int64_t>(m_size); }

bool CRasterMemFile::Flush() { return m_buffer != nullptr; }

bool CRasterMemFile::Eof() { return m_buffer == nullptr || m_position >= m_size; }

int64_t CRasterMemFile::Error() {
  if (m_buffer == nullptr) {
    return -1;
  }
  return m_position > m_size ? 1 : 0;
}

bool CRasterMemFile::PutC(uint8_t c) { return Write(&c, 1, 1) == 1; }

int64_t CRasterMemFile::GetC() {
  if (m_buffer == nullptr || m_position >= m_size) {
    return -1;
  }
  return m_buffer[m_position++];
}
