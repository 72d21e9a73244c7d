#include "bytes.h"

#include <gtest/gtest.h>

#include <cstdint>

using streamstest::Bytes;
using streamstest::bytesOf;
using vxpatch::ByteSink;

namespace {

// An allocation no allocator can satisfy, to drive a sink into its failed state.
void failSink(ByteSink *sink)
{
    ASSERT_FALSE(sink->Reserve(SIZE_MAX));
    ASSERT_TRUE(sink->IsFailed());
}

TEST(ByteSinkTest, CapacityDoublesFrom256)
{
    ByteSink sink;
    const uint8_t byte = 7;
    ASSERT_TRUE(sink.WriteBytes(&byte, 1));
    EXPECT_EQ(sink.Capacity(), 256u);
    Bytes block(300, 1);
    ASSERT_TRUE(sink.WriteBytes(block.data(), block.size()));
    EXPECT_EQ(sink.Capacity(), 512u);
    ASSERT_TRUE(sink.WriteBytes(block.data(), block.size()));
    EXPECT_EQ(sink.Capacity(), 1024u);
    EXPECT_EQ(sink.Size(), 601u);
    EXPECT_EQ(sink.Data()[0], 7);
    EXPECT_EQ(sink.Data()[600], 1);
}

TEST(ByteSinkTest, ReserveNeverAllocatesLessThan256AndGrowthContinuesFromIt)
{
    ByteSink sink;
    ASSERT_TRUE(sink.Reserve(10));
    EXPECT_EQ(sink.Capacity(), 256u);
    ASSERT_TRUE(sink.Reserve(1000));
    EXPECT_EQ(sink.Capacity(), 1000u);
    Bytes block(1001, 2);
    ASSERT_TRUE(sink.WriteBytes(block.data(), block.size()));
    EXPECT_EQ(sink.Capacity(), 2000u);
}

TEST(ByteSinkTest, FailureDropsTheBytesAndIsFinal)
{
    ByteSink sink;
    ASSERT_TRUE(sink.WriteVarint(300));
    failSink(&sink);
    EXPECT_EQ(sink.Size(), 0u);
    EXPECT_EQ(sink.Data(), nullptr);
    const uint8_t byte = 1;
    EXPECT_FALSE(sink.WriteBytes(&byte, 1));
    EXPECT_FALSE(sink.WriteBytes(&byte, 0));
    EXPECT_FALSE(sink.Reserve(16));
    EXPECT_FALSE(sink.WriteVarint(1));
    EXPECT_EQ(sink.Extend(1), nullptr);
    EXPECT_TRUE(sink.IsFailed());
}

TEST(ByteSinkTest, AppendAndReleaseMovesBytesOrLeavesTheOtherIntact)
{
    ByteSink target, other;
    ASSERT_TRUE(target.WriteVarint(1));
    ASSERT_TRUE(other.WriteVarint(300));
    ASSERT_TRUE(target.AppendAndRelease(&other));
    EXPECT_EQ(bytesOf(target), (Bytes{0x01, 0xAC, 0x02}));
    EXPECT_EQ(other.Size(), 0u);
    EXPECT_EQ(other.Capacity(), 0u);

    ByteSink failed;
    failSink(&failed);
    ASSERT_TRUE(other.WriteVarint(5));
    EXPECT_FALSE(failed.AppendAndRelease(&other));
    EXPECT_EQ(bytesOf(other), Bytes{0x05});

    EXPECT_FALSE(other.AppendAndRelease(&other));
    EXPECT_EQ(bytesOf(other), Bytes{0x05});
}

TEST(ByteSinkTest, ExtendAndCommitWriteInPlace)
{
    ByteSink sink;
    uint8_t *space = sink.Extend(3);
    ASSERT_NE(space, nullptr);
    space[0] = 'a';
    space[1] = 'b';
    space[2] = 'c';
    EXPECT_EQ(sink.Size(), 0u);
    ASSERT_TRUE(sink.Commit(3));
    EXPECT_EQ(bytesOf(sink), (Bytes{'a', 'b', 'c'}));
    EXPECT_FALSE(sink.Commit(sink.SpareCapacity() + 1));
    EXPECT_EQ(sink.Size(), 3u);
}

TEST(ByteSinkTest, MoveTransfersOwnership)
{
    ByteSink first;
    ASSERT_TRUE(first.WriteVarint(9));
    ByteSink second(std::move(first));
    EXPECT_EQ(first.Size(), 0u);
    EXPECT_EQ(bytesOf(second), Bytes{0x09});
    ByteSink third;
    third = std::move(second);
    EXPECT_EQ(bytesOf(third), Bytes{0x09});
}

TEST(ByteSinkTest, KeepOnlyMovesTheRangeToTheFrontAndGivesBackTheRest)
{
    const struct {
        const char *name;
        size_t size, offset, length;
    } cases[] = {
        {"tail of a small sink", 300, 100, 200},
        {"middle of a mapped sink", 3 << 20, 1 << 20, 5000},
        {"tail of a mapped sink", 3 << 20, 1 << 20, 2 << 20},
        {"nothing", 1000, 1000, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes(c.size);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(i % 251);
        ByteSink sink;
        ASSERT_TRUE(sink.WriteBytes(bytes.data(), bytes.size()));
        ASSERT_TRUE(sink.KeepOnly(c.offset, c.length));
        EXPECT_TRUE(bytesOf(sink) == Bytes(bytes.begin() + c.offset,
                                           bytes.begin() + c.offset + c.length));
        EXPECT_EQ(sink.Capacity(), c.length);
        // The sink goes on growing from what it kept.
        ASSERT_TRUE(sink.WriteVarint(1));
        EXPECT_EQ(sink.Size(), c.length + 1);
    }
}

TEST(ByteSinkTest, KeepOnlyRefusesRangesBeyondTheBytes)
{
    ByteSink sink;
    ASSERT_TRUE(sink.WriteBytes("abcdef", 6));
    EXPECT_FALSE(sink.KeepOnly(7, 0));
    EXPECT_FALSE(sink.KeepOnly(2, 5));
    EXPECT_FALSE(sink.KeepOnly(1, SIZE_MAX));
    EXPECT_EQ(bytesOf(sink), (Bytes{'a', 'b', 'c', 'd', 'e', 'f'}));
    ByteSink failed;
    failSink(&failed);
    EXPECT_FALSE(failed.KeepOnly(0, 0));
}

TEST(ByteSinkDeathTest, SizeBeyond32BitsEndsTheProcess)
{
    ByteSink sink;
    EXPECT_EXIT(sink.WriteSizeVarint(size_t{1} << 32), testing::ExitedWithCode(1),
                "");
    ASSERT_TRUE(sink.WriteSizeVarint(0xFFFFFFFFu));
    EXPECT_EQ(bytesOf(sink), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x0F}));
}

} // namespace
