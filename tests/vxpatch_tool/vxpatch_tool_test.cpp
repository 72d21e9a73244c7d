#include "toolrunner.h"

#include <QDir>

using tooltest::ToolRun;
using tooltest::ToolTest;

namespace {

QByteArray sampleContent()
{
    QByteArray content;
    for (int i = 0; i < 5000; ++i)
        content += "entry " + QByteArray::number(i * 31 % 977) + " value\n";
    return content;
}

TEST_F(ToolTest, HelpListsTheCommandsAndSucceeds)
{
    const ToolRun overview = run({"--help"});
    EXPECT_EQ(overview.exitCode, 0);
    for (const char *command : {"pack", "unpack", "diff", "patch"})
        EXPECT_TRUE(overview.out.contains(command)) << command;
    const ToolRun pack = run({"pack", "--help"});
    EXPECT_EQ(pack.exitCode, 0);
    EXPECT_TRUE(pack.out.contains("[--plain] IN OUT"));
}

TEST_F(ToolTest, UsageErrorsExitWithTwoAndWriteNothing)
{
    write("in", "data");
    const QStringList cases[] = {
        {},
        {"frobnicate", "in", "out"},
        {"--bogus", "pack", "in", "out"},
        {"pack", "--bogus", "in", "out"},
        {"pack", "in"},
        {"pack", "in", "out", "extra"},
        {"unpack", "in"},
        {"diff", "--method", "3", "in", "in", "out"},
        {"diff", "in", "in", "out", "--method"},
        {"patch", "--method", "1", "in", "in", "out"},
    };
    for (const QStringList &arguments : cases) {
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_FALSE(result.err.isEmpty());
        EXPECT_FALSE(exists("out"));
    }
}

TEST_F(ToolTest, PackThenUnpackRestoresTheFile)
{
    const QByteArray content = sampleContent();
    write("in", content);
    for (const QStringList &pack : {QStringList{"pack", "in", "packed"},
                                    QStringList{"pack", "--plain", "in", "packed"}}) {
        const ToolRun packed = run(pack);
        ASSERT_EQ(packed.exitCode, 0) << packed.err.toStdString();
        EXPECT_LT(read("packed").size(), content.size() / 4);
        const ToolRun unpacked = run({"unpack", "packed", "out"});
        ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err.toStdString();
        EXPECT_EQ(read("out"), content);
        EXPECT_EQ(QDir(m_Dir.path()).entryList(QDir::Files).size(), 3);
    }
}

TEST_F(ToolTest, DiffThenPatchRebuildsTheNewFileInEveryForm)
{
    const QByteArray newContent = sampleContent();
    const QByteArray oldContent = newContent.left(20000) + "changed" + newContent.mid(30000);
    write("new", newContent);
    write("old", oldContent);
    write("empty", "");
    for (const char *old : {"old", "empty"}) {
        for (const char *method : {"0", "1", "2"}) {
            for (const QStringList &header : {QStringList{}, QStringList{"--header"}}) {
                const std::string what = std::string(old) + " method " + method + " " + header.join("").toStdString();
                const ToolRun made = run(QStringList{"diff", "--method", method} + header
                                         + QStringList{old, "new", "diff"});
                ASSERT_EQ(made.exitCode, 0) << what << made.err.toStdString();
                EXPECT_EQ(read("diff").startsWith("VXDIFF10"), !header.isEmpty()) << what;
                const ToolRun applied = run(QStringList{"patch"} + header + QStringList{old, "diff", "out"});
                ASSERT_EQ(applied.exitCode, 0) << what << applied.err.toStdString();
                EXPECT_EQ(read("out"), newContent) << what;
            }
        }
    }
}

TEST_F(ToolTest, FailuresExitWithOneAndLeaveOutAlone)
{
    write("garbage", "not a container at all");
    write("out", "previous");
    const struct {
        QStringList arguments;
        const char *reason;
    } cases[] = {
        {{"unpack", "garbage", "out"}, "not lzma file"},
        {{"unpack", "missing", "out"}, "could not open lzma file"},
        {{"pack", "missing", "out"}, "could not open input file"},
        {{"patch", "--header", "garbage", "garbage", "out"}, "Corrupt patch header"},
        {{"patch", "garbage", "missing", "out"}, "cannot read missing"},
        {{"diff", "garbage", "missing", "out"}, "cannot read missing"},
    };
    for (const auto &c : cases) {
        const ToolRun result = run(c.arguments);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err.count('\n'), 1) << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(c.reason)) << result.err.toStdString();
        EXPECT_EQ(read("out"), QByteArray("previous"));
    }
    EXPECT_EQ(QDir(m_Dir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(ToolTest, VerbosePrintsEngineRecords)
{
    write("garbage", "not a container at all");
    for (const QStringList &arguments : {QStringList{"-v", "unpack", "garbage", "out"},
                                         QStringList{"unpack", "-v", "garbage", "out"}}) {
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.err.contains("|ERROR   |")) << result.err.toStdString();
    }
    EXPECT_FALSE(run({"unpack", "garbage", "out"}).err.contains("|ERROR   |"));
}

} // namespace
