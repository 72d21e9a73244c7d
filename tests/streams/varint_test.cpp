#include "bytes.h"

#include <gtest/gtest.h>

#include <climits>

using streamstest::Bytes;
using streamstest::bytesOf;
using vxpatch::ByteSink;
using vxpatch::ByteSource;

namespace {

struct UnsignedCase {
    uint32_t value;
    Bytes encoding;
};

const UnsignedCase kUnsignedCases[] = {
    {0, {0x00}},
    {127, {0x7F}},
    {128, {0x80, 0x01}},
    {0xFFFFFFFFu, {0xFF, 0xFF, 0xFF, 0xFF, 0x0F}},
    {20090218, {0xEA, 0x9A, 0xCA, 0x09}},
    {132781929, {0xE9, 0xAE, 0xA8, 0x3F}},
    {7696195, {0xC3, 0xDE, 0xD5, 0x03}},
    {20110216, {0x88, 0xB7, 0xCB, 0x09}},
};

TEST(Varint, UnsignedEncodesAndDecodesTheKnownForms)
{
    for (const UnsignedCase &c : kUnsignedCases) {
        ByteSink sink;
        ASSERT_TRUE(sink.WriteVarint(c.value));
        EXPECT_EQ(bytesOf(sink), c.encoding) << c.value;

        ByteSource source;
        source.Init(c.encoding.data(), c.encoding.size());
        uint32_t decoded = 0;
        ASSERT_TRUE(source.ReadVarint(&decoded)) << c.value;
        EXPECT_EQ(decoded, c.value);
        EXPECT_TRUE(source.IsConsumed());
    }
}

TEST(Varint, SignedUsesZigZag)
{
    const struct {
        int32_t value;
        Bytes encoding;
    } cases[] = {
        {0, {0x00}}, {-1, {0x01}}, {1, {0x02}}, {-2, {0x03}}, {2, {0x04}},
        {INT32_MIN, {0xFF, 0xFF, 0xFF, 0xFF, 0x0F}}, {INT32_MAX, {0xFE, 0xFF, 0xFF, 0xFF, 0x0F}},
    };
    for (const auto &c : cases) {
        ByteSink sink;
        ASSERT_TRUE(sink.WriteSignedVarint(c.value));
        EXPECT_EQ(bytesOf(sink), c.encoding) << c.value;
        ByteSource source;
        source.Init(sink);
        int32_t decoded = 0;
        ASSERT_TRUE(source.ReadSignedVarint(&decoded));
        EXPECT_EQ(decoded, c.value);
    }
}

TEST(Varint, DecodingFailuresLeaveTheCursorInPlace)
{
    const struct {
        const char *what;
        Bytes input;
    } cases[] = {
        {"empty", {}},
        {"ends inside", {0x80, 0x80}},
        {"fifth byte continues", {0xFF, 0xFF, 0xFF, 0xFF, 0x80}},
        {"fifth byte missing", {0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto &c : cases) {
        ByteSource source;
        source.Init(c.input.data(), c.input.size());
        uint32_t value = 42;
        EXPECT_FALSE(source.ReadVarint(&value)) << c.what;
        EXPECT_EQ(value, 42u) << c.what;
        EXPECT_EQ(source.Remaining(), c.input.size()) << c.what;
    }
}

TEST(Varint, FifthByteKeepsOnlyItsLowFourBits)
{
    const Bytes input = {0x80, 0x80, 0x80, 0x80, 0x1F, 0x55};
    ByteSource source;
    source.Init(input.data(), input.size());
    uint32_t value = 0;
    ASSERT_TRUE(source.ReadVarint(&value));
    EXPECT_EQ(value, 0xF0000000u);
    EXPECT_EQ(source.Remaining(), 1u);
}

TEST(ByteSourceTest, BoundedReadsSkipsAndSubstreams)
{
    const Bytes input = {1, 2, 3, 4, 5, 6};
    ByteSource source;
    source.Init(input.data(), input.size());
    uint8_t two[2];
    ASSERT_TRUE(source.ReadBytes(two, 2));
    EXPECT_EQ(two[1], 2);
    EXPECT_FALSE(source.Skip(5));
    EXPECT_FALSE(source.ReadBytes(two, 5));
    ByteSource sub;
    EXPECT_FALSE(source.TakeSubstream(5, &sub));
    ASSERT_TRUE(source.TakeSubstream(3, &sub));
    EXPECT_EQ(sub.Remaining(), 3u);
    EXPECT_EQ(*sub.Position(), 3);
    EXPECT_EQ(source.Remaining(), 1u);
    ASSERT_TRUE(source.Skip(1));
    EXPECT_TRUE(source.IsConsumed());
    EXPECT_TRUE(source.ReadBytes(two, 0));
}

TEST(ByteSourceTest, DefaultIsAnEmptyView)
{
    ByteSource source;
    EXPECT_TRUE(source.IsConsumed());
    EXPECT_EQ(source.Remaining(), 0u);
    uint32_t value;
    EXPECT_FALSE(source.ReadVarint(&value));
}

} // namespace
