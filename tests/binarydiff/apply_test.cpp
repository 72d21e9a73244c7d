// Applying hand-built diffs: what each control triple does, and how every malformed field is
// refused with its message and without touching bytes outside the streams.
#include "diffbuilder.h"

#include "vxpatch/binarydiff.h"

#include <gtest/gtest.h>

namespace binarydifftest {
namespace {

const Bytes kOld = bytesOf("0123456789");

struct ApplyCase {
    const char *name;
    Bytes old;
    DiffParts parts;
    uint32_t newSize;
    bool ok;
    Bytes expected;       // output when ok
    std::string message;  // the one error message when not ok; empty for none
};

class ApplyTable : public ::testing::TestWithParam<ApplyCase> {};

TEST_P(ApplyTable, StoredDiffWithoutHeader)
{
    const ApplyCase &c = GetParam();
    LogCapture log;
    const ApplyResult result = applyDiff(c.old, buildDiff(c.parts, c.newSize, 0), false);
    EXPECT_EQ(result.ok, c.ok);
    if (c.ok) {
        EXPECT_EQ(result.output, c.expected);
        EXPECT_TRUE(log.messages.empty());
    } else if (c.message.empty()) {
        EXPECT_TRUE(log.messages.empty()) << log.messages.front();
    } else {
        EXPECT_EQ(log.messages, std::vector<std::string>{c.message});
    }
}

const ApplyCase kApplyCases[] = {
    {"EmptyResult", kOld, {{}, {}, {}}, 0, true, {}, ""},
    {"ExtraOnly", kOld, {{{0, 3, 0}}, {}, bytesOf("abc")}, 3, true, bytesOf("abc"), ""},
    {"EqualBytesNeedZeroDiff", kOld, {{{4, 0, 0}}, Bytes(4, 0), {}}, 4, true, bytesOf("0123"), ""},
    {"DiffAddsToOldBytes", kOld, {{{3, 0, 0}}, {1, 1, 1}, {}}, 3, true, bytesOf("123"), ""},
    {"AdditionWraps", {0xFF, 0x80}, {{{2, 0, 0}}, {0x02, 0x80}, {}}, 2, true, {0x01, 0x00}, ""},
    {"SeekForwardThenDiff", kOld, {{{1, 0, 4}, {2, 0, 0}}, Bytes(3, 0), {}}, 3, true,
     bytesOf("056"), ""},
    {"NegativeSeekReusesOldBytes", kOld, {{{3, 0, -3}, {3, 1, 0}}, Bytes(6, 0), bytesOf("x")},
     7, true, bytesOf("012012x"), ""},
    {"DiffThenExtraInOneTriple", kOld, {{{2, 2, 0}}, Bytes(2, 0), bytesOf("ab")}, 4, true,
     bytesOf("01ab"), ""},
    {"LeftoverStreamsIgnored", kOld, {{{1, 1, 0}, {5, 5, 5}}, Bytes(9, 0), bytesOf("abcdef")},
     2, true, bytesOf("0a"), ""},
    {"ControlEndsEarly", kOld, {{{1, 0, 0}}, Bytes(5, 0), {}}, 5, false, {},
     "Corrupt patch reading control"},
    {"EmptyTriplesIntoEmptyOutput", kOld, {{{0, 0, 0}}, {}, {}}, 1, false, {},
     "Corrupt patch reading control"},
    {"DiffCountBeyondNewSize", kOld, {{{4, 0, 0}}, Bytes(4, 0), {}}, 3, false, {}, "Corrupt patch"},
    {"ExtraCountBeyondNewSize", kOld, {{{1, 3, 0}}, Bytes(1, 0), bytesOf("abc")}, 3, false, {},
     "Corrupt patch"},
    {"NegativeDiffCount", kOld, {{{-1, 2, 0}}, {}, bytesOf("ab")}, 2, false, {}, "Corrupt patch"},
    {"NegativeExtraCount", kOld, {{{0, -1, 0}, {0, 2, 0}}, {}, bytesOf("ab")}, 2, false, {},
     "Corrupt patch"},
    {"OldRangePastEnd", kOld, {{{0, 0, 8}, {3, 0, 0}}, Bytes(3, 0), {}}, 3, false, {}, ""},
    {"NegativeOldPositionWithPositiveEnd", kOld, {{{0, 0, -2}, {4, 0, 0}}, Bytes(4, 0), {}}, 4,
     false, {}, ""},
    {"SeekWrapsBelowZero", kOld, {{{0, 0, INT32_MIN}, {1, 0, 0}}, Bytes(1, 0), {}}, 1, false, {}, ""},
    {"DiffBytesRunOut", kOld, {{{4, 0, 0}}, Bytes(2, 0), bytesOf("ab")}, 4, false, {}, ""},
    {"ExtraBytesRunOut", kOld, {{{0, 4, 0}}, {}, bytesOf("ab")}, 4, false, {}, ""},
    {"DiffAgainstEmptyOld", {}, {{{1, 0, 0}}, Bytes(1, 0), {}}, 1, false, {}, ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, ApplyTable, ::testing::ValuesIn(kApplyCases),
                         [](const auto &info) { return std::string(info.param.name); });

// A hand-cut control stream: one triple whose last varint is missing.
TEST(ApplyBinaryDiff, TruncatedTripleIsUnreadable)
{
    const Bytes patch = {0, 2, /*lengths*/ 2, 0, 2, /*control*/ 0, 4, /*extra*/ 'a', 'b'};
    LogCapture log;
    EXPECT_FALSE(applyDiff(kOld, patch, false).ok);
    EXPECT_EQ(log.messages, std::vector<std::string>{"Corrupt patch reading control"});
}

TEST(ApplyBinaryDiff, StreamLengthsBeyondPatchAreRefused)
{
    DiffParts parts{{{0, 3, 0}}, {}, bytesOf("abc")};
    Bytes patch = buildDiff(parts, 3, 0);
    patch.pop_back();
    EXPECT_FALSE(applyDiff(kOld, patch, false).ok);
}

// A patch of a few bytes announcing 4 GiB must fail without first claiming the memory.
TEST(ApplyBinaryDiff, HugeNewSizeFailsCheaply)
{
    const ApplyResult result = applyDiff(kOld, buildDiff({{{0, 1, 0}}, {}, bytesOf("a")},
                                                         0xFFFFFFFF, 0), false);
    EXPECT_FALSE(result.ok);
}

TEST(ApplyBinaryDiff, MethodAboveTwoIsRejected)
{
    for (uint8_t method : {3, 0x80, 0xFF}) {
        LogCapture log;
        EXPECT_FALSE(applyDiff(kOld, buildDiff({{{0, 1, 0}}, {}, bytesOf("a")}, 1, method), false).ok);
        EXPECT_EQ(log.messages, std::vector<std::string>{"Invalid compression method"});
    }
}

// The same streams stored three ways give the same file, and the patch is left just past the
// diff so that a caller can read what follows it.
TEST(ApplyBinaryDiff, MethodsAgreeAndStopAtTheDiffsEnd)
{
    const DiffParts parts{{{3, 2, -3}, {3, 1, 0}}, {0, 0, 1, 0, 0, 9}, bytesOf("xyz")};
    const Bytes expected = {'0', '1', '3', 'x', 'y', '0', '1', '2' + 9, 'z'};
    for (uint8_t method : {0, 1, 2}) {
        Bytes patch = buildDiff(parts, 9, method);
        patch.insert(patch.end(), {0xAA, 0xBB});
        const ApplyResult result = applyDiff(kOld, patch, false);
        ASSERT_TRUE(result.ok) << "method " << int(method);
        EXPECT_EQ(result.output, expected) << "method " << int(method);
        EXPECT_EQ(result.patchLeft, 2u) << "method " << int(method);
    }
}

TEST(ApplyBinaryDiff, OldSourceStartsAtItsPosition)
{
    vxpatch::ByteSource old, patch;
    old.Init(kOld.data(), kOld.size());
    ASSERT_TRUE(old.Skip(5));
    const Bytes diff = buildDiff({{{2, 0, 0}}, Bytes(2, 0), {}}, 2, 0);
    patch.Init(diff.data(), diff.size());
    vxpatch::ByteSink out;
    ASSERT_TRUE(vxpatch::ApplyBinaryDiff(&old, &patch, &out, false));
    EXPECT_EQ(bytesOf(out), bytesOf("56"));
}

struct HeaderCase {
    const char *name;
    Bytes patch;
    bool ok;
    std::string message;
};

const DiffParts kAbc{{{0, 3, 0}}, {}, bytesOf("abc")};
const uint32_t kAbcChecksum = vxpatch::ComputeChecksum("abc", 3);

Bytes withMagic(const char *magic, Bytes rest)
{
    rest.insert(rest.begin(), magic, magic + 8);
    return rest;
}

class HeaderTable : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderTable, MagicAndChecksum)
{
    const HeaderCase &c = GetParam();
    LogCapture log;
    const ApplyResult result = applyDiff(kOld, c.patch, true);
    EXPECT_EQ(result.ok, c.ok);
    if (c.ok) {
        EXPECT_EQ(result.output, bytesOf("abc"));
    }
    if (c.message.empty())
        EXPECT_TRUE(log.messages.empty());
    else
        EXPECT_EQ(log.messages, std::vector<std::string>{c.message});
}

const HeaderCase kHeaderCases[] = {
    {"Valid", buildDiffWithHeader(kAbc, 3, 0, kAbcChecksum), true, ""},
    {"ValidCompressed", buildDiffWithHeader(kAbc, 3, 2, kAbcChecksum), true, ""},
    {"ChecksumMismatch", buildDiffWithHeader(kAbc, 3, 0, kAbcChecksum ^ 1), false, "crc mismatch"},
    {"WrongMagic", withMagic("VXDIFF11", buildDiff(kAbc, 3, 0)), false, "Corrupt patch header"},
    {"MagicCutShort", bytesOf("VXDIFF1"), false, ""},
    {"ChecksumMissing", bytesOf("VXDIFF10"), false, "Could not read crc"},
    {"ChecksumVarintBadFifthByte", withMagic("VXDIFF10", {0xFF, 0xFF, 0xFF, 0xFF, 0x80}), false,
     "Could not read crc"},
};

INSTANTIATE_TEST_SUITE_P(Cases, HeaderTable, ::testing::ValuesIn(kHeaderCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ApplyBinaryDiff, EmptyFileWithHeader)
{
    const ApplyResult result = applyDiff(kOld, buildDiffWithHeader({}, 0, 0, 0xFFFFFFFF), true);
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(result.output.empty());
}

} // namespace
} // namespace binarydifftest
