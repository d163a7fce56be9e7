#pragma once
// Byte streams of the image library: the codecs read and write pictures through CRasterFile, so a
// picture goes to a file or a memory block alike. CRasterIOFile works over a C stdio stream,
// CRasterMemFile over a growable memory block. These classes are exported from Tarnwick.so under their
// own names.
//
// Thread-safety: one stream object belongs to one thread at a time.
//
// Copies: a copied CRasterIOFile shares the FILE but never closes it (only the object that opened it
// does); a copied CRasterMemFile over a block it owns gets its own copy of the data, and one over a
// caller's block refers to the same caller's block without owning it. So no copy or assignment can
// free or close anything twice.

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Seek origins, as fseek takes them.
inline constexpr int32_t kRasterSeekSet = 0;
inline constexpr int32_t kRasterSeekCur = 1;
inline constexpr int32_t kRasterSeekEnd = 2;

class CRasterFile {
 public:
  CRasterFile() = default;
  CRasterFile(const CRasterFile&) = default;
  CRasterFile& operator=(const CRasterFile&) = default;
  virtual ~CRasterFile() = default;

  // Close: releases what the stream owns. Returns false when closing failed.
  virtual bool Close() = 0;
  // Read: reads up to `count` items of `size` bytes into `buffer`. Returns the whole items read.
  [[nodiscard]] virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
  // Write: writes `count` items of `size` bytes. Returns the items written.
  virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
  // Seek: moves the position (origin kRasterSeekSet/Cur/End). Returns true on success.
  virtual bool Seek(int64_t offset, int32_t origin) = 0;
  // Tell: the position, or a negative value when there is no stream.
  [[nodiscard]] virtual int64_t Tell() = 0;
  // Size: the length of the data, or -1 when there is no stream.
  [[nodiscard]] virtual int64_t Size() = 0;
  virtual bool Flush() = 0;
  [[nodiscard]] virtual bool Eof() = 0;
  [[nodiscard]] virtual int64_t Error() = 0;
  // PutC: writes one byte. Returns true when it was written.
  virtual bool PutC(uint8_t c);
  // GetC: the next byte (0-255), or -1 at the end.
  [[nodiscard]] virtual int64_t GetC() = 0;
};

class CRasterIOFile : public CRasterFile {
 public:
  // Holds `fp` (not owned); without one the object owns what Open opens later.
  explicit CRasterIOFile(FILE* fp = nullptr);
  CRasterIOFile(const CRasterIOFile& other);
  CRasterIOFile& operator=(const CRasterIOFile& other);
  ~CRasterIOFile() override;

  // Open: fopen(name, mode) unless a stream is already held. Returns false on failure.
  bool Open(const char* name, const char* mode);
  bool Close() override;
  [[nodiscard]] size_t Read(void* buffer, size_t size, size_t count) override;
  size_t Write(const void* buffer, size_t size, size_t count) override;
  bool Seek(int64_t offset, int32_t origin) override;
  [[nodiscard]] int64_t Tell() override;
  [[nodiscard]] int64_t Size() override;
  bool Flush() override;
  [[nodiscard]] bool Eof() override;
  [[nodiscard]] int64_t Error() override;
  bool PutC(uint8_t c) override;
  [[nodiscard]] int64_t GetC() override;

  [[nodiscard]] FILE* GetStream() const { return m_fp; }

 private:
  FILE* m_fp = nullptr;
  bool m_owned = false;
};

class CRasterMemFile : public CRasterFile {
 public:
  // Wraps the caller's block of `size` bytes (not owned; it is never reallocated or freed), or nothing.
  explicit CRasterMemFile(uint8_t* buffer = nullptr, size_t size = 0);
  CRasterMemFile(const CRasterMemFile& other);
  CRasterMemFile& operator=(const CRasterMemFile& other);
  ~CRasterMemFile() override;

  // Open: when no buffer is held, starts an empty growable block owned by the object. Returns false
  // when a buffer is already held or the allocation failed.
  bool Open();
  // GetBuffer: the data block; with `detach` the caller takes it over (it was allocated with malloc
  // and the caller frees it with free) and the object forgets it.
  [[nodiscard]] uint8_t* GetBuffer(bool detach = true);

  bool Close() override;
  [[nodiscard]] size_t Read(void* buffer, size_t size, size_t count) override;
  size_t Write(const void* buffer, size_t size, size_t count) override;
  bool Seek(int64_t offset, int32_t origin) override;
  [[nodiscard]] int64_t Tell() override;
  [[nodiscard]] int64_t Size() override;
  bool Flush() override;
  [[nodiscard]] bool Eof() override;
  [[nodiscard]] int64_t Error() override;
  bool PutC(uint8_t c) override;
  [[nodiscard]] int64_t GetC() override;

  // Capacity: bytes allocated for the block (the caller's size for a wrapped block).
  [[nodiscard]] size_t Capacity() const { return m_capacity; }

 private:
  // Makes room for `needed` bytes. Returns false (block unchanged) when it cannot.
  [[nodiscard]] bool Reserve(size_t needed);
  void CopyFrom(const CRasterMemFile& other);
  void Release();

  uint8_t* m_buffer = nullptr;
  size_t m_size = 0;
  bool m_owned = false;
  size_t m_position = 0;
  size_t m_capacity = 0;
};
