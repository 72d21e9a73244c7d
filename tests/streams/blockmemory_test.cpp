#include "vxpatch/blockmemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

using vxpatch::kMappedBlockSize;

namespace {

// A block keeps its first `used` bytes through every change between the heap and a mapping
// of its own, growing and shrinking.
TEST(BlockMemoryTest, ResizingKeepsTheUsedBytesAcrossHeapAndMappings)
{
    const struct {
        const char *name;
        size_t size, used, newSize;
    } cases[] = {
        {"heap grows on the heap", 100, 100, 4000},
        {"heap moves to a mapping", 4000, 3000, kMappedBlockSize},
        {"mapping grows", kMappedBlockSize, kMappedBlockSize, 8 * kMappedBlockSize + 5},
        {"mapping shrinks", 8 * kMappedBlockSize, 3 * kMappedBlockSize, 2 * kMappedBlockSize},
        {"mapping moves to the heap", 2 * kMappedBlockSize, kMappedBlockSize, 1000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto *block = static_cast<uint8_t *>(vxpatch::ResizeBlock(nullptr, 0, 0, c.size));
        ASSERT_NE(block, nullptr);
        for (size_t i = 0; i < c.used; ++i)
            block[i] = static_cast<uint8_t>(i * 7 + 1);
        auto *resized =
            static_cast<uint8_t *>(vxpatch::ResizeBlock(block, c.size, c.used, c.newSize));
        ASSERT_NE(resized, nullptr);
        const size_t kept = c.used < c.newSize ? c.used : c.newSize;
        size_t differing = 0;
        for (size_t i = 0; i < kept; ++i)
            differing += resized[i] != static_cast<uint8_t>(i * 7 + 1);
        EXPECT_EQ(differing, 0u);
        // The whole new size is writable.
        std::memset(resized, 0xAB, c.newSize);
        vxpatch::FreeBlock(resized, c.newSize);
    }
}

TEST(BlockMemoryTest, RefusedSizesLeaveTheBlockIntact)
{
    auto *block = static_cast<uint8_t *>(vxpatch::ResizeBlock(nullptr, 0, 0, kMappedBlockSize));
    ASSERT_NE(block, nullptr);
    block[0] = 42;
    EXPECT_EQ(vxpatch::ResizeBlock(block, kMappedBlockSize, 1, SIZE_MAX), nullptr);
    EXPECT_EQ(block[0], 42);
    vxpatch::FreeBlock(block, kMappedBlockSize);

    EXPECT_EQ(vxpatch::AllocateSized(SIZE_MAX), nullptr);
}

TEST(BlockMemoryTest, SizedBlocksFreeWithoutTheirSize)
{
    for (size_t size : {size_t{1}, size_t{1000}, kMappedBlockSize, 3 * kMappedBlockSize}) {
        SCOPED_TRACE(size);
        auto *block = static_cast<uint8_t *>(vxpatch::AllocateSized(size));
        ASSERT_NE(block, nullptr);
        std::memset(block, 0x5C, size);
        vxpatch::FreeSized(block);
    }
    vxpatch::FreeSized(nullptr);
}

} // namespace
