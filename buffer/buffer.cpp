#include "buffer/buffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace cpplib {

namespace {
constexpr std::uint32_t MAX_U32 = std::numeric_limits<std::uint32_t>::max();
}

Buffer::Buffer(std::uint32_t n) {
  if (n != 0)
    reserve(n);
  else
    owns_ = false;
}

Buffer::~Buffer() {
  if (owns_ && storage_ != nullptr) std::free(storage_);
  storage_ = nullptr;
  size_ = 0;
  capacity_ = 0;
  owns_ = false;
}

bool Buffer::ensure_capacity(std::uint32_t n) {
  if (capacity_ >= n) return true;
  if (!owns_) return false;
  if (capacity_ > MAX_U32 / 2 || n >= 2 * capacity_)
    reserve(n);
  else
    reserve(2 * capacity_);
  // Only false when the heap could not supply the storage.
  return capacity_ >= n;
}

void Buffer::reserve(std::uint32_t n) {
  if (n > capacity_) set_capacity(n);
}

void Buffer::set_capacity(std::uint32_t n) {
  if (n == capacity_) return;
  // A zero-byte request still gets a distinct block, so that the buffer is
  // owning with valid storage afterwards.
  auto* fresh = static_cast<std::uint8_t*>(std::malloc(n != 0 ? n : 1));
  if (fresh == nullptr) return;  // out of memory: the buffer stays as it was
  std::uint8_t* old = storage_;
  const std::uint32_t old_size = size_;
  storage_ = fresh;
  capacity_ = n;
  size_ = 0;
  owns_ = true;
  if (old != nullptr) {
    // Appending grows the new storage again when n is below the old size,
    // so no content is lost.
    append(old, old_size);
    std::free(old);
  }
}

std::uint32_t Buffer::grow_by(Op op, const std::uint8_t* source, std::uint8_t value, std::uint32_t length) {
  std::uint32_t count = length;
  const bool fits = length <= MAX_U32 - size_;
  if (!(owns_ && fits && ensure_capacity(size_ + length))) {
    const std::uint32_t room = capacity_ - size_;
    if (count > room) count = room;
    if (count == 0) return 0;
  }
  if (op == Op::copy)
    std::memcpy(storage_ + size_, source, count);
  else if (op == Op::fill)
    std::memset(storage_ + size_, value, count);
  size_ += count;
  return count;
}

std::uint32_t Buffer::append(const std::uint8_t* source, std::uint32_t length) {
  return grow_by(Op::copy, source, 0, length);
}

std::uint32_t Buffer::fill(std::uint8_t value, std::uint32_t length) { return grow_by(Op::fill, nullptr, value, length); }

std::uint32_t Buffer::extend(std::uint32_t n) { return grow_by(Op::keep, nullptr, 0, n); }

std::uint32_t Buffer::write_at(std::uint32_t position, const std::uint8_t* source, std::uint32_t length) {
  std::uint32_t count = length;
  const bool fits = length <= MAX_U32 - position;
  if (!(owns_ && fits && ensure_capacity(position + length))) {
    // Without room to grow, writing starts only inside the storage and is
    // cut at its end.
    if (position > capacity_) return 0;
    const std::uint32_t room = capacity_ - position;
    if (count > room) count = room;
    if (count == 0) return 0;
  }
  std::memcpy(storage_ + position, source, count);
  size_ = position + count;
  return count;
}

void Buffer::set_byte(std::uint32_t position, std::uint8_t value) {
  if (position < size_) storage_[position] = value;
}

}  // namespace cpplib
