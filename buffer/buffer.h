// A small heap-backed byte container, seen through a read interface (Data)
// and a write interface (WriteableData).
#pragma once

#include <cstdint>

namespace cpplib {

// Read side: where the bytes are and how many there are.
class Data {
 public:
  virtual std::uint8_t* data() = 0;
  virtual std::uint32_t size() const = 0;
  virtual ~Data() = default;
};

// Write side.
class WriteableData {
 public:
  virtual void clear() = 0;
  virtual void reserve(std::uint32_t n) = 0;
  virtual void set_capacity(std::uint32_t n) = 0;
  virtual std::uint32_t append(const std::uint8_t* source, std::uint32_t length) = 0;
  virtual std::uint32_t write_at(std::uint32_t position, const std::uint8_t* source, std::uint32_t length) = 0;
  virtual void set_byte(std::uint32_t position, std::uint8_t value) = 0;
  virtual std::uint32_t extend(std::uint32_t n) = 0;
  virtual std::uint32_t fill(std::uint8_t value, std::uint32_t length) = 0;
  virtual std::uint32_t size() const = 0;
  virtual std::uint32_t capacity() const = 0;

 protected:
  ~WriteableData() = default;
};

// Both sides, plus growth.
class DataBuffer : public Data, public WriteableData {
 public:
  virtual bool ensure_capacity(std::uint32_t n) = 0;
};

// The concrete buffer. Constructed with a capacity n > 0 it owns storage of
// exactly n bytes and grows it on demand (doubling, or straight to the size
// needed). Constructed with 0 it has no storage and cannot grow until
// reserve() or set_capacity() gives it some; writes to it are cut to the room
// left and return the number of bytes written.
class Buffer : public DataBuffer {
 public:
  explicit Buffer(std::uint32_t n);
  ~Buffer() override;
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

  std::uint8_t* data() override { return storage_; }
  std::uint32_t size() const override { return size_; }
  bool ensure_capacity(std::uint32_t n) override;

  void clear() override { size_ = 0; }
  void reserve(std::uint32_t n) override;
  void set_capacity(std::uint32_t n) override;
  std::uint32_t append(const std::uint8_t* source, std::uint32_t length) override;
  std::uint32_t write_at(std::uint32_t position, const std::uint8_t* source, std::uint32_t length) override;
  void set_byte(std::uint32_t position, std::uint8_t value) override;
  std::uint32_t extend(std::uint32_t n) override;
  std::uint32_t fill(std::uint8_t value, std::uint32_t length) override;
  std::uint32_t capacity() const override { return capacity_; }

  bool owns() const { return owns_; }

 private:
  enum class Op { copy, fill, keep };
  // Adds length bytes at the end: copied from source, set to value, or left as
  // the storage holds them.
  std::uint32_t grow_by(Op op, const std::uint8_t* source, std::uint8_t value, std::uint32_t length);

  std::uint32_t capacity_ = 0;
  std::uint32_t size_ = 0;
  std::uint8_t* storage_ = nullptr;
  bool owns_ = true;
};

}  // namespace cpplib
