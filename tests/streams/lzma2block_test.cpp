#include "bytes.h"
#include "logcapture.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <fstream>
#include <random>

using streamstest::Bytes;
using streamstest::bytesOf;
using streamstest::LogCapture;
using vxpatch::ByteSink;
using vxpatch::ByteSource;

namespace {

Bytes sampleData(size_t size, unsigned seed)
{
    // Text-like bytes with repeats, so the encoder has matches at several distances.
    std::mt19937 random(seed);
    Bytes bytes;
    while (bytes.size() < size) {
        if (bytes.size() > 64 && random() % 3 == 0) {
            const size_t from = random() % (bytes.size() - 32);
            bytes.insert(bytes.end(), bytes.begin() + from, bytes.begin() + from + 32);
        } else {
            bytes.push_back(static_cast<uint8_t>('a' + random() % 26));
        }
    }
    bytes.resize(size);
    return bytes;
}

Bytes block(const Bytes &data)
{
    ByteSink sink;
    EXPECT_TRUE(vxpatch::WriteLzma2Block(data.data(), data.size(), &sink));
    return bytesOf(sink);
}

// Splits a block into its properties byte, unpacked size and raw LZMA2 data.
struct BlockParts {
    uint8_t properties;
    uint32_t unpacked;
    Bytes data;
};

BlockParts split(const Bytes &bytes)
{
    ByteSource source;
    source.Init(bytes.data(), bytes.size());
    BlockParts parts;
    EXPECT_TRUE(source.ReadBytes(&parts.properties, 1));
    EXPECT_TRUE(source.ReadVarint(&parts.unpacked));
    parts.data.assign(source.Position(), source.Position() + source.Remaining());
    return parts;
}

Bytes assemble(uint8_t properties, uint32_t unpacked, const Bytes &data)
{
    ByteSink sink;
    sink.WriteBytes(&properties, 1);
    sink.WriteVarint(unpacked);
    sink.WriteBytes(data.data(), data.size());
    return bytesOf(sink);
}

uint64_t dictionaryOf(uint8_t properties)
{
    return properties == 40 ? 0xFFFFFFFFull : (2ull | (properties & 1)) << (properties / 2 + 11);
}

TEST(Lzma2Block, RoundTripsAppendingBehindExistingBytes)
{
    for (const size_t size : {size_t{0}, size_t{1}, size_t{5000}, size_t{700000}}) {
        const Bytes data = sampleData(size, static_cast<unsigned>(size));
        Bytes bytes = block(data);
        const Bytes trailer = {0xAA, 0xBB};
        bytes.insert(bytes.end(), trailer.begin(), trailer.end());

        ByteSource source;
        source.Init(bytes.data(), bytes.size());
        ByteSink sink;
        ASSERT_TRUE(sink.WriteBytes("xy", 2));
        ASSERT_TRUE(vxpatch::ReadLzma2Block(&source, &sink)) << size;
        Bytes expected = {'x', 'y'};
        expected.insert(expected.end(), data.begin(), data.end());
        EXPECT_EQ(bytesOf(sink), expected) << size;
        EXPECT_EQ(source.Remaining(), trailer.size()) << size;
    }
}

TEST(Lzma2Block, DictionaryFollowsTheInputSize)
{
    EXPECT_EQ(dictionaryOf(split(block(sampleData(10, 1))).properties), 4096u);
    EXPECT_EQ(dictionaryOf(split(block(sampleData(700000, 1))).properties), 768u * 1024);
}

class Lzma2Interop : public testing::Test {
protected:
    Bytes runXz(const QStringList &arguments, const Bytes &input)
    {
        QProcess xz;
        xz.start("xz", arguments);
        EXPECT_TRUE(xz.waitForStarted());
        xz.write(reinterpret_cast<const char *>(input.data()), static_cast<qint64>(input.size()));
        xz.closeWriteChannel();
        EXPECT_TRUE(xz.waitForFinished(60000));
        EXPECT_EQ(xz.exitCode(), 0) << xz.readAllStandardError().toStdString();
        const QByteArray out = xz.readAllStandardOutput();
        return Bytes(out.begin(), out.end());
    }
};

TEST_F(Lzma2Interop, XzDecodesOurBlocks)
{
    const Bytes data = sampleData(300000, 7);
    const BlockParts parts = split(block(data));
    EXPECT_EQ(parts.unpacked, data.size());
    const QString dict = QString::number(dictionaryOf(parts.properties));
    EXPECT_EQ(runXz({"--format=raw", "--lzma2=dict=" + dict, "-d", "-c"}, parts.data), data);
}

TEST_F(Lzma2Interop, WeDecodeXzData)
{
    const Bytes data = sampleData(300000, 8);
    // Dictionary 1 MiB is properties byte 16.
    const Bytes raw = runXz({"--format=raw", "--lzma2=preset=6,dict=1MiB", "-c"}, data);
    const Bytes bytes = assemble(16, static_cast<uint32_t>(data.size()), raw);
    ByteSource source;
    source.Init(bytes.data(), bytes.size());
    ByteSink sink;
    ASSERT_TRUE(vxpatch::ReadLzma2Block(&source, &sink));
    EXPECT_EQ(bytesOf(sink), data);
    EXPECT_TRUE(source.IsConsumed());
}

TEST(Lzma2Block, BadBlocksAreReportedAndChangeNothing)
{
    const Bytes data = sampleData(2000, 3);
    const BlockParts good = split(block(data));
    Bytes truncated = good.data;
    truncated.resize(truncated.size() / 2);
    Bytes corrupt = good.data;
    corrupt[corrupt.size() / 2] ^= 0xFF;
    const uint32_t size = good.unpacked;
    const struct {
        const char *what;
        Bytes bytes;
        const char *message;
    } cases[] = {
        {"empty", {}, "Error read LZMA2 properties"},
        {"no size", {good.properties}, "Error read LZMA2 unpack size"},
        {"bad size varint", {good.properties, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "Error read LZMA2 unpack size"},
        {"properties 41", assemble(41, size, good.data), "Error uncompressing data 4"},
        {"announces one byte more", assemble(good.properties, size + 1, good.data),
         "Error uncompressing data 0"},
        {"announces one byte less", assemble(good.properties, size - 1, good.data),
         "Error uncompressing data 1"},
        {"truncated", assemble(good.properties, size, truncated), "Error uncompressing data 6"},
        {"no data", assemble(good.properties, size, {}), "Error uncompressing data 6"},
        {"corrupt", assemble(good.properties, size, corrupt), "Error uncompressing data 1"},
    };
    for (const auto &c : cases) {
        LogCapture log;
        ByteSource source;
        source.Init(c.bytes.data(), c.bytes.size());
        ByteSink sink;
        ASSERT_TRUE(sink.WriteBytes("keep", 4));
        EXPECT_FALSE(vxpatch::ReadLzma2Block(&source, &sink)) << c.what;
        EXPECT_EQ(log.messages, std::vector<std::string>{c.message}) << c.what;
        EXPECT_EQ(bytesOf(sink), (Bytes{'k', 'e', 'e', 'p'})) << c.what;
        EXPECT_EQ(source.Remaining(), c.bytes.size()) << c.what;
    }
}

TEST(Lzma2Block, ALyingSizeCostsOnlyWhatTheDataHolds)
{
    // Ten bytes claiming four gigabytes under the largest dictionary.
    const Bytes bytes = assemble(40, 0xFFFFFFFFu, {0x01, 0x00, 0x00, 'a', 0x00});
    ByteSource source;
    source.Init(bytes.data(), bytes.size());
    ByteSink sink;
    LogCapture log;
    EXPECT_FALSE(vxpatch::ReadLzma2Block(&source, &sink));
    EXPECT_LT(sink.Capacity(), size_t{1} << 20);
    EXPECT_EQ(log.messages, std::vector<std::string>{"Error uncompressing data 0"});
}

} // namespace
