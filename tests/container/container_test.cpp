#include "vxpatch/container.h"

#include "streams/bytes.h"
#include "streams/logcapture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fstream>
#include <iterator>
#include <string>

using streamstest::Bytes;
using streamstest::bytesOf;
using streamstest::LogCapture;
using vxpatch::ByteSink;

namespace {

Bytes textBytes(size_t size)
{
    Bytes bytes;
    for (size_t i = 0; bytes.size() < size; ++i) {
        const std::string line = "line " + std::to_string(i * 7919 % 1000) + " of the file\n";
        bytes.insert(bytes.end(), line.begin(), line.end());
    }
    bytes.resize(size);
    return bytes;
}

Bytes lzma2Block(const Bytes &content)
{
    ByteSink sink;
    EXPECT_TRUE(vxpatch::WriteLzma2Block(content.data(), content.size(), &sink));
    return bytesOf(sink);
}

Bytes container(uint32_t magic, uint32_t checksum, uint32_t directive, const Bytes &payload)
{
    ByteSink sink;
    sink.WriteVarint(magic);
    sink.WriteVarint(checksum);
    sink.WriteVarint(directive);
    sink.WriteBytes(payload.data(), payload.size());
    return bytesOf(sink);
}

uint32_t checksumOf(const Bytes &bytes)
{
    return vxpatch::ComputeChecksum(bytes.data(), bytes.size());
}

class ContainerTest : public testing::Test {
protected:
    std::string path(const std::string &name) const
    {
        return m_Dir.filePath(QString::fromStdString(name)).toStdString();
    }

    std::string write(const std::string &name, const Bytes &content) const
    {
        const std::string p = path(name);
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char *>(content.data()),
                   static_cast<std::streamsize>(content.size()));
        return p;
    }

    static Bytes read(const std::string &p)
    {
        std::ifstream in(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    QTemporaryDir m_Dir;
};

TEST_F(ContainerTest, PackAndUnpackGiveTheSameBytes)
{
    for (const size_t size : {size_t{0}, size_t{1}, size_t{100000}}) {
        const Bytes content = textBytes(size);
        const std::string in = write("in", content);
        for (const auto mode : {vxpatch::ContainerMode::Plain,
                                vxpatch::ContainerMode::ExecutableAware}) {
            ASSERT_TRUE(vxpatch::CompressFile(in.c_str(), path("packed").c_str(), mode)) << size;
            const Bytes packed = read(path("packed"));
            // Magic, then the checksum and directive 1: text is never executable.
            ASSERT_GE(packed.size(), 4u);
            EXPECT_EQ(Bytes(packed.begin(), packed.begin() + 4), (Bytes{0xE9, 0xAE, 0xA8, 0x3F}));
            EXPECT_EQ(packed, container(vxpatch::kContainerMagic, checksumOf(content), 1,
                                        lzma2Block(content)));
            ASSERT_TRUE(vxpatch::DecompressFile(path("packed").c_str(), path("out").c_str()));
            EXPECT_EQ(read(path("out")), content) << size;
        }
    }
}

TEST_F(ContainerTest, ExecutableAwareModeFallsBackForDataFiles)
{
    const std::string in = write("in", textBytes(500));
    LogCapture log;
    ASSERT_TRUE(vxpatch::CompressFile(in.c_str(), path("packed").c_str(),
                                      vxpatch::ContainerMode::ExecutableAware));
    EXPECT_TRUE(log.contains("falling back to default compression"));
}

TEST_F(ContainerTest, EmptyBlockWithTheChecksumOfNothingGivesAnEmptyFile)
{
    const std::string packed =
        write("packed", container(vxpatch::kContainerMagic, 0xFFFFFFFFu, 1, lzma2Block({})));
    ASSERT_TRUE(vxpatch::DecompressFile(packed.c_str(), path("out").c_str()));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path("out"))));
    EXPECT_TRUE(read(path("out")).empty());
}

TEST_F(ContainerTest, TrailingBytesAreIgnored)
{
    const Bytes content = textBytes(3000);
    Bytes bytes = container(vxpatch::kContainerMagic, checksumOf(content), 1, lzma2Block(content));
    bytes.insert(bytes.end(), {'j', 'u', 'n', 'k'});
    const std::string packed = write("packed", bytes);
    ASSERT_TRUE(vxpatch::DecompressFile(packed.c_str(), path("out").c_str()));
    EXPECT_EQ(read(path("out")), content);
}

TEST_F(ContainerTest, BadContainersAreReportedAndLeaveTheTargetAlone)
{
    const Bytes content = textBytes(3000);
    const uint32_t crc = checksumOf(content);
    const Bytes block = lzma2Block(content);
    Bytes props41 = block;
    props41[0] = 41;
    const uint32_t magic = vxpatch::kContainerMagic;
    const struct {
        const char *what;
        Bytes bytes;
        std::vector<std::string> messages;
    } cases[] = {
        {"empty file", {}, {"could not open lzma file"}},
        {"header cut short", {0xE9, 0xAE, 0xA8, 0x3F, 0x01}, {"could not read lzma header"}},
        {"wrong magic", container(magic + 1, crc, 1, block), {"not lzma file"}},
        {"checksum off by one bit", container(magic, crc ^ 1, 1, block), {"crc mismatch"}},
        {"directive 3", container(magic, crc, 3, block), {"Unknown preprocessing dirrective"}},
        {"directive 0", container(magic, crc, 0, block), {"Unknown preprocessing dirrective"}},
        {"properties 41", container(magic, crc, 1, props41),
         {"Error uncompressing data 4", "could not decompress file"}},
        {"block missing", container(magic, crc, 1, {}),
         {"Error read LZMA2 properties", "could not decompress file"}},
    };
    for (const auto &c : cases) {
        const std::string packed = write("packed", c.bytes);
        const std::string target = write("target", {'o', 'l', 'd'});
        LogCapture log;
        EXPECT_FALSE(vxpatch::DecompressFile(packed.c_str(), target.c_str())) << c.what;
        EXPECT_EQ(log.messages, c.messages) << c.what;
        EXPECT_EQ(read(target), (Bytes{'o', 'l', 'd'})) << c.what;
    }
    EXPECT_EQ(QDir(m_Dir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(ContainerTest, MissingInputsAndUnwritableTargets)
{
    LogCapture log;
    EXPECT_FALSE(vxpatch::DecompressFile(path("missing").c_str(), path("out").c_str()));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("out"))));

    const Bytes content = textBytes(10);
    const std::string packed = write(
        "packed", container(vxpatch::kContainerMagic, checksumOf(content), 1, lzma2Block(content)));
    EXPECT_FALSE(vxpatch::DecompressFile(packed.c_str(), path("no/dir/out").c_str()));
    EXPECT_EQ(log.messages,
              (std::vector<std::string>{"could not open lzma file", "could not write output file"}));

    EXPECT_FALSE(vxpatch::CompressFile(path("missing").c_str(), path("out").c_str(),
                                       vxpatch::ContainerMode::Plain));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("out"))));
}

} // namespace
