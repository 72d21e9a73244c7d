#include "vxpatch/streams.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <fstream>
#include <stdexcept>
#include <string>

using vxpatch::MappedFile;
using vxpatch::WriteWholeFile;

namespace {

class FilesTest : public testing::Test {
protected:
    std::string path(const char *name) const { return m_Dir.filePath(name).toStdString(); }

    std::string write(const char *name, const std::string &content) const
    {
        const std::string p = path(name);
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }

    QTemporaryDir m_Dir;
};

TEST_F(FilesTest, MapsWholeFileOrLimitedPrefix)
{
    const std::string p = write("data", "hello world");
    MappedFile file;
    ASSERT_TRUE(file.Open(p.c_str()));
    EXPECT_TRUE(file.IsValid());
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(file.Data()), file.Length()),
              "hello world");
    EXPECT_FALSE(file.Open(p.c_str()));
    file.Close();
    EXPECT_FALSE(file.IsValid());

    ASSERT_TRUE(file.Open(p.c_str(), 5));
    EXPECT_EQ(file.Length(), 5u);
    EXPECT_EQ(file.FileSize(), 11u);
    EXPECT_EQ(file.At(4), 'o');
    // Past the mapped prefix but inside the file: must not read unmapped memory.
    EXPECT_THROW(file.At(5), std::out_of_range);
}

TEST_F(FilesTest, DroppedPagesReadBackFromTheFile)
{
    std::string content(3 << 20, '\0');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i % 253);
    const std::string p = write("large", content);
    MappedFile file;
    ASSERT_TRUE(file.Open(p.c_str()));
    ASSERT_EQ(std::string(reinterpret_cast<const char *>(file.Data()), file.Length()), content);
    file.DropResidentPages();
    EXPECT_TRUE(file.IsValid());
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(file.Data()), file.Length()), content);
    file.Close();
    file.DropResidentPages();
}

TEST_F(FilesTest, EmptyMissingAndDirectoryInputsNeverMap)
{
    const std::string empty = write("empty", "");
    for (const std::string &p : {empty, path("missing"), m_Dir.path().toStdString()}) {
        MappedFile file;
        EXPECT_FALSE(file.Open(p.c_str())) << p;
        EXPECT_FALSE(file.IsValid());
        EXPECT_THROW(file.At(0), std::invalid_argument);
    }
}

TEST_F(FilesTest, WriteWholeFileReportsWhatReachedTheFile)
{
    const std::string p = path("out");
    EXPECT_EQ(WriteWholeFile(p.c_str(), "abc", 3), 3u);
    std::ifstream in(p, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "abc");
    EXPECT_EQ(WriteWholeFile(p.c_str(), "", 0), 0u);

    // Neither an uncreatable file nor a full disk may pass for a complete write, not even
    // of zero bytes.
    const std::string unreachable = path("no/such/dir");
    EXPECT_NE(WriteWholeFile(unreachable.c_str(), "", 0), 0u);
    EXPECT_NE(WriteWholeFile(unreachable.c_str(), "abc", 3), 3u);
    EXPECT_NE(WriteWholeFile("/dev/full", "abc", 3), 3u);
}

TEST_F(FilesTest, ReplaceWholeFileSwapsInCompleteContentOnly)
{
    const std::string p = write("target", "old content");
    ASSERT_TRUE(vxpatch::ReplaceWholeFile(p.c_str(), "new", 3));
    std::ifstream in(p, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
    // A plain new file, as fopen would make it: readable by others under the usual umask.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    struct stat info;
    ASSERT_EQ(::stat(p.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);

    EXPECT_FALSE(vxpatch::ReplaceWholeFile("/dev/full/x", "abc", 3));
    EXPECT_FALSE(vxpatch::ReplaceWholeFile(path("no/dir/file").c_str(), "", 0));
    EXPECT_EQ(QDir(m_Dir.path()).entryList(QDir::Files), QStringList{"target"});
}

} // namespace
