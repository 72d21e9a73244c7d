// Diffs made by the maker: every method and form applies back to the new bytes, for inputs
// at the edges (empty, identical, unrelated) and for the shapes real releases have (moved
// blocks, inserted code, shifted addresses). Size checks guard the matching quality that
// small updates depend on.
#include "diffbuilder.h"

#include "vxpatch/binarydiff.h"
#include "vxpatch/binarydiffmaker.h"

#include <gtest/gtest.h>

#include <random>

namespace binarydifftest {
namespace {

Bytes randomBytes(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (uint8_t &b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

// Code-like data: random instructions with 32-bit little-endian addresses every 16 bytes.
Bytes codeLike(size_t size, uint32_t seed, uint32_t addressShift)
{
    Bytes bytes = randomBytes(size, seed);
    for (size_t at = 0; at + 16 <= size; at += 16) {
        const uint32_t address = 0x401000 + static_cast<uint32_t>(at) * 3 + addressShift;
        for (int k = 0; k < 4; ++k)
            bytes[at + 12 + k] = static_cast<uint8_t>(address >> (8 * k));
    }
    return bytes;
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes slice(const Bytes &bytes, size_t from, size_t to)
{
    return Bytes(bytes.begin() + from, bytes.begin() + to);
}

Bytes makeDiff(const Bytes &oldBytes, const Bytes &newBytes, int method, bool withHeader)
{
    vxpatch::ByteSink out;
    EXPECT_TRUE(vxpatch::MakeBinaryDiff(oldBytes.data(), oldBytes.size(), newBytes.data(),
                                        newBytes.size(), method, withHeader, &out));
    return bytesOf(out);
}

struct Pair {
    const char *name;
    Bytes oldBytes;
    Bytes newBytes;
};

std::vector<Pair> pairs()
{
    const Bytes a = randomBytes(20000, 1);
    const Bytes b = randomBytes(5000, 2);
    const Bytes code = codeLike(40000, 3, 0);
    return {
        {"BothEmpty", {}, {}},
        {"OldEmpty", {}, a},
        {"NewEmpty", a, {}},
        {"Identical", a, a},
        {"Unrelated", a, b},
        {"OneByte", {7}, {9}},
        {"Insertion", a, concat({slice(a, 0, 9000), b, slice(a, 9000, 20000)})},
        {"Deletion", a, concat({slice(a, 0, 3000), slice(a, 11000, 20000)})},
        {"BlocksSwapped", a, concat({slice(a, 12000, 20000), slice(a, 0, 12000)})},
        {"BlockRepeated", a, concat({slice(a, 0, 5000), slice(a, 0, 5000), slice(a, 5000, 20000)})},
        {"AddressesShifted", code, codeLike(40000, 3, 0x40)},
        {"RunsOfOneByte", Bytes(30000, 0), concat({Bytes(10000, 0), b, Bytes(25000, 0)})},
        {"PeriodicData", Bytes(5000, 'a'), concat({Bytes(3000, 'a'), Bytes(1, 'b'), Bytes(4000, 'a')})},
    };
}

class MakeRoundTrip : public ::testing::TestWithParam<std::tuple<Pair, int, bool>> {};

TEST_P(MakeRoundTrip, AppliesBackToTheNewBytes)
{
    const auto &[pair, method, withHeader] = GetParam();
    const Bytes diff = makeDiff(pair.oldBytes, pair.newBytes, method, withHeader);
    const ApplyResult result = applyDiff(pair.oldBytes, diff, withHeader);
    ASSERT_TRUE(result.ok);
    EXPECT_TRUE(result.output == pair.newBytes);
    EXPECT_EQ(result.patchLeft, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, MakeRoundTrip,
    ::testing::Combine(::testing::ValuesIn(pairs()), ::testing::Values(0, 1, 2), ::testing::Bool()),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).name) + "_Method" +
               std::to_string(std::get<1>(info.param)) +
               (std::get<2>(info.param) ? "_Header" : "_Bare");
    });

// Upper bounds on method-2 sizes for pairs whose changes are small: a maker that stops
// finding the old bytes (or cuts regions needlessly) breaks these long before a round trip
// would notice anything.
TEST(MakeBinaryDiff, SmallChangesGiveSmallDiffs)
{
    const Bytes a = randomBytes(200000, 4);
    const Bytes code = codeLike(200000, 5, 0);
    struct Case {
        const char *name;
        Bytes oldBytes;
        Bytes newBytes;
        size_t limit;
    } cases[] = {
        {"Identical", a, a, 200},
        {"OneByteInserted", a, concat({slice(a, 0, 100000), Bytes{42}, slice(a, 100000, 200000)}), 300},
        {"BlocksSwapped", a, concat({slice(a, 150000, 200000), slice(a, 0, 150000)}), 300},
        {"AddressesShifted", code, codeLike(200000, 5, 0x40), 2000},
    };
    for (const Case &c : cases) {
        const Bytes diff = makeDiff(c.oldBytes, c.newBytes, 2, false);
        EXPECT_LE(diff.size(), c.limit) << c.name;
    }
}

TEST(MakeBinaryDiff, StoredFormIsWhatTheContainerEmbeds)
{
    // Method byte, new size varint, then three lengths: the layout callers parse directly.
    const Bytes diff = makeDiff(bytesOf("hello"), bytesOf("hello!"), 0, false);
    ASSERT_GE(diff.size(), 5u);
    EXPECT_EQ(diff[0], 0);
    EXPECT_EQ(diff[1], 6);
}

TEST(MakeBinaryDiff, HeaderCarriesMagicAndChecksum)
{
    const Bytes newBytes = bytesOf("123456789");
    const Bytes diff = makeDiff(bytesOf("12345"), newBytes, 0, true);
    ASSERT_GE(diff.size(), 13u);
    EXPECT_EQ(Bytes(diff.begin(), diff.begin() + 8), bytesOf("VXDIFF10"));
    // 0x340BC6D9 as a varint.
    EXPECT_EQ(Bytes(diff.begin() + 8, diff.begin() + 13), (Bytes{0xD9, 0x8D, 0xAF, 0xA0, 0x03}));
}

// Every cut of a diff is detected: no prefix of it may pass as a complete diff.
TEST(MakeBinaryDiff, EveryTruncationFails)
{
    const Bytes oldBytes = codeLike(3000, 6, 0);
    const Bytes newBytes = concat({slice(oldBytes, 0, 1000), bytesOf("inserted"), codeLike(2000, 6, 8)});
    for (int method : {0, 1, 2}) {
        const Bytes diff = makeDiff(oldBytes, newBytes, method, true);
        for (size_t cut = 0; cut < diff.size(); ++cut) {
            LogCapture quiet;
            EXPECT_FALSE(applyDiff(oldBytes, slice(diff, 0, cut), true).ok)
                << "method " << method << " cut at " << cut;
        }
    }
}

TEST(MakeBinaryDiff, UnknownMethodIsRefused)
{
    for (int method : {-1, 3}) {
        LogCapture log;
        vxpatch::ByteSink out;
        EXPECT_FALSE(vxpatch::MakeBinaryDiff(nullptr, 0, nullptr, 0, method, false, &out));
        EXPECT_EQ(out.Size(), 0u);
        EXPECT_EQ(log.messages, std::vector<std::string>{"Invalid compression method"});
    }
}

} // namespace
} // namespace binarydifftest
