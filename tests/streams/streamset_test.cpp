#include "bytes.h"

#include <gtest/gtest.h>

#include <string>

using streamstest::Bytes;
using streamstest::bytesOf;
using vxpatch::ByteSinkSet;
using vxpatch::ByteSink;
using vxpatch::ByteSourceSet;

namespace {

const Bytes kMagic = {0xEA, 0x9A, 0xCA, 0x09};

Bytes withMagic(const Bytes &rest)
{
    Bytes bytes = kMagic;
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
}

std::string textOf(vxpatch::ByteSource *source)
{
    return std::string(reinterpret_cast<const char *>(source->Position()), source->Remaining());
}

TEST(StreamSet, CombineWritesTheHeaderForEveryAnnouncedStream)
{
    ByteSinkSet all;
    ByteSink combined;
    ASSERT_TRUE(all.Combine(&combined));
    EXPECT_EQ(bytesOf(combined), withMagic({0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    ByteSinkSet two;
    ASSERT_TRUE(two.SetCount(2));
    ByteSink small;
    ASSERT_TRUE(two.Combine(&small));
    EXPECT_EQ(bytesOf(small), withMagic({0x02, 0x00, 0x00}));
}

TEST(StreamSet, CombineThenParseGivesTheStreamsBack)
{
    ByteSinkSet set;
    ASSERT_TRUE(set.SetCount(3));
    ASSERT_TRUE(set.Stream(0)->WriteBytes("zero", 4));
    ASSERT_TRUE(set.Stream(2)->WriteBytes("two!!", 5));
    EXPECT_EQ(set.Stream(3), nullptr);
    ByteSink combined;
    ASSERT_TRUE(combined.WriteBytes("pre", 3));
    ASSERT_TRUE(set.Combine(&combined));
    EXPECT_EQ(set.Stream(0)->Size(), 0u);

    ByteSourceSet parsed;
    ASSERT_TRUE(parsed.Parse(combined.Data() + 3, combined.Size() - 3));
    ASSERT_EQ(parsed.Count(), 3u);
    EXPECT_EQ(textOf(parsed.Stream(0)), "zero");
    EXPECT_TRUE(parsed.Stream(1)->IsConsumed());
    EXPECT_EQ(textOf(parsed.Stream(2)), "two!!");
    EXPECT_EQ(parsed.Stream(3), nullptr);
    EXPECT_FALSE(parsed.AllConsumed());
    ASSERT_TRUE(parsed.Stream(0)->Skip(4));
    ASSERT_TRUE(parsed.Stream(2)->Skip(5));
    EXPECT_TRUE(parsed.AllConsumed());
}

TEST(StreamSet, ParseAcceptsOnlyExactHeaders)
{
    const struct {
        const char *what;
        Bytes input;
        bool valid;
    } cases[] = {
        {"count 0, nothing after", withMagic({0x00}), true},
        {"count 0, one byte after", withMagic({0x00, 0x41}), false},
        {"count 10", withMagic({0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), true},
        {"count 11", withMagic({0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), false},
        {"lengths exceed data", withMagic({0x01, 0x03, 'a', 'b'}), false},
        {"lengths short of data", withMagic({0x01, 0x01, 'a', 'b'}), false},
        {"lengths missing", withMagic({0x02, 0x01}), false},
        {"wrong magic", {0xEA, 0x9A, 0xCA, 0x08, 0x00}, false},
        {"empty", {}, false},
        {"lengths overflow 32 bits in sum",
         withMagic({0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0x01, 'x'}), false},
    };
    for (const auto &c : cases) {
        ByteSourceSet set;
        EXPECT_EQ(set.Parse(c.input.data(), c.input.size()), c.valid) << c.what;
        if (!c.valid) {
            EXPECT_EQ(set.Count(), 10u) << c.what;
        }
    }
}

TEST(StreamSet, ParseRemainingLeavesTheSourceAlone)
{
    const Bytes bytes = withMagic({0x01, 0x02, 'h', 'i'});
    vxpatch::ByteSource source;
    source.Init(bytes.data(), bytes.size());
    ByteSourceSet set;
    ASSERT_TRUE(set.ParseRemaining(source));
    EXPECT_EQ(source.Remaining(), bytes.size());
    EXPECT_EQ(textOf(set.Stream(0)), "hi");
}

TEST(StreamSet, NestedSetsRoundTrip)
{
    ByteSinkSet nested;
    ASSERT_TRUE(nested.Stream(0)->WriteBytes("n0", 2));
    ASSERT_TRUE(nested.Stream(2)->WriteBytes("nested2", 7));
    ByteSinkSet outer;
    ASSERT_TRUE(outer.Stream(0)->WriteBytes("o", 1));
    ASSERT_TRUE(outer.WriteNested(&nested));
    // "o", then used 3 and lengths 2, 0, 7, then nested stream 0.
    EXPECT_EQ(bytesOf(*outer.Stream(0)), (Bytes{'o', 0x03, 0x02, 0x00, 0x07, 'n', '0'}));
    EXPECT_EQ(nested.Stream(2)->Size(), 0u);

    ByteSink combined;
    ASSERT_TRUE(outer.Combine(&combined));
    ByteSourceSet parsed;
    ASSERT_TRUE(parsed.Parse(combined.Data(), combined.Size()));
    ASSERT_TRUE(parsed.Stream(0)->Skip(1));
    ByteSourceSet read;
    ASSERT_TRUE(parsed.ReadNested(&read));
    EXPECT_EQ(read.Count(), 10u);
    EXPECT_EQ(textOf(read.Stream(0)), "n0");
    EXPECT_EQ(textOf(read.Stream(2)), "nested2");
    EXPECT_TRUE(read.Stream(3)->IsConsumed());
    EXPECT_TRUE(parsed.AllConsumed());
}

TEST(StreamSet, ReadNestedRejectsBadHeaders)
{
    const struct {
        const char *what;
        Bytes stream0;
    } cases[] = {
        {"used 11", {0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"length beyond stream", {0x01, 0x05, 'a'}},
        {"lengths missing", {0x02, 0x00}},
        {"empty", {}},
    };
    for (const auto &c : cases) {
        ByteSinkSet outer;
        ASSERT_TRUE(outer.SetCount(1));
        ASSERT_TRUE(outer.Stream(0)->WriteBytes(c.stream0.data(), c.stream0.size()));
        ByteSink combined;
        ASSERT_TRUE(outer.Combine(&combined));
        ByteSourceSet parsed;
        ASSERT_TRUE(parsed.Parse(combined.Data(), combined.Size())) << c.what;
        ByteSourceSet read;
        EXPECT_FALSE(parsed.ReadNested(&read)) << c.what;
        EXPECT_EQ(read.Count(), 10u);
    }
}

TEST(StreamSet, SetCountOnlyBeforeWritingAndWithinTen)
{
    ByteSinkSet set;
    EXPECT_FALSE(set.SetCount(11));
    ASSERT_TRUE(set.Stream(1)->WriteBytes("x", 1));
    EXPECT_FALSE(set.SetCount(2));
    EXPECT_EQ(set.Count(), 10u);
}

} // namespace
