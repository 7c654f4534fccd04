// The byte buffer's growth, its non-owning form and set_capacity.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "buffer/buffer.h"

using cpplib::Buffer;

namespace {
const std::uint8_t BYTES[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

std::vector<std::uint8_t> content(Buffer& b) { return std::vector<std::uint8_t>(b.data(), b.data() + b.size()); }
}  // namespace

TEST(Buffer, GrowsByDoublingOrStraightToTheSizeNeeded) {
  Buffer b(4);
  EXPECT_EQ(b.capacity(), 4u);
  EXPECT_EQ(b.append(BYTES, 3), 3u);
  EXPECT_EQ(b.append(BYTES + 3, 3), 3u);
  EXPECT_EQ(b.capacity(), 8u);
  EXPECT_EQ(b.size(), 6u);
  EXPECT_EQ(content(b), std::vector<std::uint8_t>(BYTES, BYTES + 6));

  Buffer c(4);
  EXPECT_EQ(c.append(BYTES, 20), 20u);
  EXPECT_EQ(c.capacity(), 20u);
  EXPECT_EQ(content(c), std::vector<std::uint8_t>(BYTES, BYTES + 20));

  EXPECT_TRUE(c.ensure_capacity(21));
  EXPECT_EQ(c.capacity(), 40u);
  EXPECT_TRUE(c.ensure_capacity(100));
  EXPECT_EQ(c.capacity(), 100u);
}

TEST(Buffer, FillExtendAndWriteAt) {
  Buffer b(2);
  EXPECT_EQ(b.fill(0xAB, 5), 5u);
  EXPECT_EQ(content(b), std::vector<std::uint8_t>(5, 0xAB));
  EXPECT_EQ(b.extend(3), 3u);
  EXPECT_EQ(b.size(), 8u);

  Buffer w(16);
  w.append(BYTES, 10);
  EXPECT_EQ(w.write_at(2, BYTES + 10, 3), 3u);
  EXPECT_EQ(w.size(), 5u);  // writing may shorten the content
  EXPECT_EQ(content(w), (std::vector<std::uint8_t>{1, 2, 11, 12, 13}));
  EXPECT_EQ(w.write_at(30, BYTES, 2), 2u);  // an owning buffer grows to take it
  EXPECT_EQ(w.size(), 32u);
  EXPECT_GE(w.capacity(), 32u);

  w.set_byte(0, 99);
  EXPECT_EQ(w.data()[0], 99);
  const std::vector<std::uint8_t> before = content(w);
  w.set_byte(w.size(), 42);  // at the size: nothing
  EXPECT_EQ(content(w), before);
  // Nor into the storage behind the content: a shorter write leaves the old
  // bytes there (11, 12, 13 at positions 2 to 4), and they stay as they are.
  EXPECT_EQ(w.write_at(0, BYTES, 2), 2u);
  ASSERT_EQ(w.size(), 2u);
  w.set_byte(2, 42);
  w.set_byte(4, 42);
  EXPECT_EQ(w.data()[2], 11);
  EXPECT_EQ(w.data()[4], 13);
}

TEST(Buffer, WithoutStorageWritesNothingUntilGivenSome) {
  Buffer b(0);
  EXPECT_FALSE(b.owns());
  EXPECT_EQ(b.data(), nullptr);
  EXPECT_EQ(b.append(BYTES, 5), 0u);
  EXPECT_EQ(b.fill(1, 5), 0u);
  EXPECT_EQ(b.extend(5), 0u);
  EXPECT_EQ(b.write_at(0, BYTES, 5), 0u);
  EXPECT_EQ(b.write_at(7, BYTES, 5), 0u);
  EXPECT_EQ(b.size(), 0u);
  EXPECT_FALSE(b.ensure_capacity(1));

  b.reserve(8);
  EXPECT_TRUE(b.owns());
  EXPECT_EQ(b.capacity(), 8u);
  EXPECT_EQ(b.append(BYTES, 5), 5u);
  EXPECT_EQ(content(b), std::vector<std::uint8_t>(BYTES, BYTES + 5));

  Buffer c(0);
  c.set_capacity(3);
  EXPECT_TRUE(c.owns());
  EXPECT_EQ(c.append(BYTES, 7), 7u);
  EXPECT_EQ(c.capacity(), 7u);
}

TEST(Buffer, SetCapacityKeepsContent) {
  Buffer b(16);
  b.append(BYTES, 10);
  b.set_capacity(4);  // below the size: grows again to hold it
  EXPECT_EQ(b.size(), 10u);
  EXPECT_EQ(b.capacity(), 10u);  // the larger of the old size and twice 4
  EXPECT_EQ(content(b), std::vector<std::uint8_t>(BYTES, BYTES + 10));

  Buffer c(16);
  c.append(BYTES, 5);
  c.set_capacity(4);
  EXPECT_EQ(c.capacity(), 8u);  // twice 4 is more than the old size
  EXPECT_EQ(content(c), std::vector<std::uint8_t>(BYTES, BYTES + 5));

  c.set_capacity(64);
  EXPECT_EQ(c.capacity(), 64u);
  EXPECT_EQ(content(c), std::vector<std::uint8_t>(BYTES, BYTES + 5));

  c.reserve(10);  // never shrinks
  EXPECT_EQ(c.capacity(), 64u);
}

TEST(Buffer, ClearKeepsTheStorage) {
  Buffer b(8);
  b.append(BYTES, 6);
  std::uint8_t* storage = b.data();
  b.clear();
  EXPECT_EQ(b.size(), 0u);
  EXPECT_EQ(b.capacity(), 8u);
  EXPECT_EQ(b.append(BYTES + 10, 4), 4u);
  EXPECT_EQ(b.data(), storage);
  EXPECT_EQ(content(b), std::vector<std::uint8_t>(BYTES + 10, BYTES + 14));
}

TEST(Buffer, SeenThroughItsInterfaces) {
  Buffer b(4);
  cpplib::DataBuffer& both = b;
  cpplib::WriteableData& write = b;
  cpplib::Data& read = b;
  EXPECT_EQ(write.append(BYTES, 6), 6u);
  EXPECT_EQ(read.size(), 6u);
  EXPECT_EQ(write.size(), 6u);
  EXPECT_EQ(write.capacity(), 8u);
  EXPECT_TRUE(both.ensure_capacity(8));
  EXPECT_EQ(std::memcmp(read.data(), BYTES, 6), 0);
}
