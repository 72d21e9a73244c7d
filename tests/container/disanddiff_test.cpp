// Containers whose payload is a dis-and-diff set, built here from hand-made encoded programs
// so the reader is checked on its own, independent of any disassembler.
#include "vxpatch/binarydiffmaker.h"
#include "vxpatch/container.h"
#include "vxpatch/encodedprogram.h"

#include "streams/bytes.h"
#include "streams/logcapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using streamstest::Bytes;
using streamstest::bytesOf;
using streamstest::LogCapture;
using vxpatch::ByteSink;
using vxpatch::ByteSinkSet;

namespace {

Bytes toBytes(const std::string &text)
{
    return Bytes(text.begin(), text.end());
}

// A program that assembles to `image` by copying `copyCount` literal bytes; a count beyond
// the bytes makes a program that cannot be assembled.
Bytes storedProgram(const std::string &image, uint32_t copyCount)
{
    vxpatch::EncodedProgram program;
    EXPECT_TRUE(program.ops.Push(vxpatch::OpCopy));
    EXPECT_TRUE(program.copyCounts.Push(copyCount));
    EXPECT_TRUE(program.copyBytes.Append(reinterpret_cast<const uint8_t *>(image.data()),
                                         image.size()));
    ByteSinkSet sources;
    EXPECT_EQ(vxpatch::StoreEncodedProgram(program, &sources), vxpatch::StatusOk);
    ByteSink combined;
    EXPECT_TRUE(sources.Combine(&combined));
    return bytesOf(combined);
}

Bytes storedProgram(const std::string &image)
{
    return storedProgram(image, static_cast<uint32_t>(image.size()));
}

Bytes diff(const std::string &from, const Bytes &to)
{
    ByteSink sink;
    EXPECT_TRUE(vxpatch::MakeBinaryDiff(reinterpret_cast<const uint8_t *>(from.data()),
                                        from.size(), to.data(), to.size(), 0, false, &sink));
    return bytesOf(sink);
}

Bytes combined(const std::vector<Bytes> &streams)
{
    ByteSinkSet set;
    EXPECT_TRUE(set.SetCount(streams.size()));
    for (size_t i = 0; i < streams.size(); ++i)
        EXPECT_TRUE(set.Stream(i)->WriteBytes(streams[i].data(), streams[i].size()));
    ByteSink sink;
    EXPECT_TRUE(set.Combine(&sink));
    return bytesOf(sink);
}

Bytes container(uint32_t directive, const Bytes &file, const Bytes &payload)
{
    ByteSink sink;
    sink.WriteVarint(vxpatch::kContainerMagic);
    sink.WriteVarint(vxpatch::ComputeChecksum(file.data(), file.size()));
    sink.WriteVarint(directive);
    EXPECT_TRUE(vxpatch::WriteLzma2Block(payload.data(), payload.size(), &sink));
    return bytesOf(sink);
}

bool unpack(const Bytes &bytes, Bytes *result)
{
    vxpatch::ByteSource source;
    source.Init(bytes.data(), bytes.size());
    ByteSink sink;
    const bool ok = vxpatch::DecompressBuffer(&source, &sink);
    *result = bytesOf(sink);
    return ok;
}

const std::string kFirst = "first image: code and data of the first program";
const std::string kSecond = "second image: the other architecture's program";
const Bytes kFile = toBytes("header|" + kFirst + "|gap|" + kSecond + "|trailer");

TEST(DisAndDiff, ProgramsAndDiffRebuildTheFileAsThePlainFormDoes)
{
    const Bytes payload =
        combined({storedProgram(kFirst), storedProgram(kSecond), diff(kFirst + kSecond, kFile)});
    Bytes executableAware, plain;
    ASSERT_TRUE(unpack(container(2, kFile, payload), &executableAware));
    ASSERT_TRUE(unpack(container(1, kFile, kFile), &plain));
    EXPECT_EQ(executableAware, kFile);
    EXPECT_EQ(plain, executableAware);
}

TEST(DisAndDiff, OneProgramAndTheDiffAreEnough)
{
    Bytes result;
    ASSERT_TRUE(unpack(container(2, kFile, combined({storedProgram(kFirst), diff(kFirst, kFile)})),
                       &result));
    EXPECT_EQ(result, kFile);
}

TEST(DisAndDiff, MalformedPayloadsAreReported)
{
    const Bytes goodDiff = diff(kFirst, kFile);
    Bytes badDiff = goodDiff;
    badDiff.resize(badDiff.size() / 2);
    const Bytes twoStreamProgram = combined({toBytes("a"), toBytes("b")});
    const struct {
        const char *what;
        Bytes payload;
        const char *message;
    } cases[] = {
        {"not a set", toBytes("plain bytes"), "could not init dif_and_dis set"},
        {"diff alone", combined({goodDiff}), "dis_and_diff too small"},
        {"no streams", combined({}), "dis_and_diff too small"},
        {"program not a set", combined({toBytes("junk"), goodDiff}),
         "could not init program_source set"},
        {"program with two streams", combined({twoStreamProgram, goodDiff}),
         "could not read encoded program"},
        {"copy beyond its bytes", combined({storedProgram(kFirst, 1000), goodDiff}),
         "could not assemble program"},
        {"diff cut short", combined({storedProgram(kFirst), badDiff}), "could not apply diff"},
    };
    for (const auto &c : cases) {
        LogCapture log;
        Bytes result;
        EXPECT_FALSE(unpack(container(2, kFile, c.payload), &result)) << c.what;
        ASSERT_FALSE(log.messages.empty()) << c.what;
        EXPECT_EQ(log.messages.back(), c.message) << c.what;
    }
}

TEST(DisAndDiff, ChecksumCoversTheRebuiltFile)
{
    const Bytes payload = combined({storedProgram(kFirst), diff(kFirst, kFile)});
    Bytes other = kFile;
    other.back() ^= 1;
    LogCapture log;
    Bytes result;
    EXPECT_FALSE(unpack(container(2, other, payload), &result));
    EXPECT_EQ(log.messages, std::vector<std::string>{"crc mismatch"});
}

} // namespace
