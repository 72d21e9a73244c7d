#include "fileunpacktaskspecification_lzma2.h"
#include "fileunpacktaskspecification_zip.h"
#include "rollback.h"
#include "support/eventloop.h"
#include "vxpatch/container.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <memory>

namespace {

QByteArray payload()
{
    QByteArray data;
    for (int i = 0; i < 50000; ++i)
        data += char('a' + (i * 31 + i / 97) % 26);
    return data;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QByteArray gzipped(const QByteArray &data, const QString &scratch)
{
    gzFile out = gzopen(scratch.toUtf8().constData(), "wb");
    gzwrite(out, data.constData(), unsigned(data.size()));
    gzclose(out);
    return readFile(scratch);
}

QByteArray packed(const QByteArray &data, const QString &scratch)
{
    writeFile(scratch, data);
    const QString out = scratch + ".packed";
    EXPECT_TRUE(vxpatch::CompressFile(scratch.toUtf8().constData(), out.toUtf8().constData(),
                                      vxpatch::ContainerMode::Plain));
    return readFile(out);
}

enum class Kind { Lzma2, Zip };

struct Case {
    const char *name;
    Kind kind;
    // Makes the source bytes; `scratch` is a free path to work with.
    std::function<QByteArray(const QString &scratch)> source;
    bool ok;
    QByteArray expected;  // target content when ok
};

class UnpackTest : public ::testing::TestWithParam<Case>
{
protected:
    QString path(const QString &name) const { return m_Dir.filePath(name); }

    std::unique_ptr<SlowFileOpSpecification> makeTask(Kind kind, const QString &source,
                                                      const QString &target)
    {
        if (kind == Kind::Lzma2)
            return std::make_unique<FileUnpackTaskSpecification_lzma2>(&m_Rollback, source,
                                                                       target, nullptr, 1.0);
        return std::make_unique<FileUnpackTaskSpecification_zip>(&m_Rollback, source, target,
                                                                 nullptr, 1.0);
    }

    // Runs the task to its end; returns its messages.
    QStringList run(SlowFileOpSpecification *task)
    {
        QStringList messages;
        QObject::connect(task, &TaskSpecification::message, [&](const QString &m) { messages << m; });
        task->execute();
        EXPECT_TRUE(vxtest::waitUntil([&] { return task->m_State != TASK_RUNNING; }));
        return messages;
    }

    QTemporaryDir m_Dir;
    RollbackDataList m_Rollback;
};

TEST_P(UnpackTest, ProducesTargetOrFailsWithoutOne)
{
    const Case &c = GetParam();
    const QString source = path("source"), target = path("target");
    writeFile(source, c.source(path("scratch")));
    auto task = makeTask(c.kind, source, target);
    const QStringList messages = run(task.get());

    if (c.ok) {
        EXPECT_EQ(task->m_State, TASK_FINISHED) << qPrintable(messages.join('|'));
        EXPECT_EQ(readFile(target), c.expected);
        ASSERT_EQ(m_Rollback.size(), 1);
        EXPECT_EQ(m_Rollback[0].m_Op, FILE_CREATE);
        EXPECT_EQ(m_Rollback[0].m_Path, target);
        EXPECT_TRUE(messages.isEmpty());
    } else {
        EXPECT_EQ(task->m_State, TASK_FAILED);
        EXPECT_FALSE(QFile::exists(target));
        EXPECT_TRUE(m_Rollback.isEmpty());
        const QString format = c.kind == Kind::Lzma2 ? "Could not unpack '%1' to '%2'"
                                                     : "Could not unzip '%1' to '%2'";
        EXPECT_EQ(messages, QStringList{format.arg(source, target)});
    }
}

const Case kCases[] = {
    {"lzma2_container", Kind::Lzma2, [](const QString &s) { return packed(payload(), s); }, true,
     payload()},
    {"lzma2_empty_file", Kind::Lzma2, [](const QString &s) { return packed({}, s); }, true, {}},
    {"lzma2_not_a_container", Kind::Lzma2, [](const QString &) { return payload(); }, false, {}},
    {"lzma2_damaged_body", Kind::Lzma2,
     [](const QString &s) {
         QByteArray data = packed(payload(), s);
         data[data.size() - 20] = char(data[data.size() - 20] ^ 0x55);
         return data;
     },
     false, {}},
    {"gzip_file", Kind::Zip, [](const QString &s) { return gzipped(payload(), s); }, true,
     payload()},
    {"not_gzip_passes_through", Kind::Zip, [](const QString &) { return payload(); }, true,
     payload()},
    {"gzip_damaged_body", Kind::Zip,
     [](const QString &s) {
         QByteArray data = gzipped(payload(), s);
         for (int i = 20; i < 60; ++i)
             data[i] = char(data[i] ^ 0xA5);
         return data;
     },
     false, {}},
    {"gzip_truncated", Kind::Zip,
     [](const QString &s) { return gzipped(payload(), s).left(300); }, false, {}},
    {"gzip_bad_checksum", Kind::Zip,
     [](const QString &s) {
         QByteArray data = gzipped(payload(), s);
         data[data.size() - 6] = char(data[data.size() - 6] ^ 0x01);
         return data;
     },
     false, {}},
};

INSTANTIATE_TEST_SUITE_P(Sources, UnpackTest, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

class UnpackTargetTest : public UnpackTest
{
};

TEST_F(UnpackTargetTest, UnwritableTargetFailsBoth)
{
    for (Kind kind : {Kind::Lzma2, Kind::Zip}) {
        const QString source = path("source");
        writeFile(source, kind == Kind::Lzma2 ? packed(payload(), path("scratch"))
                                              : gzipped(payload(), path("scratch")));
        const QString target = path("missing/dir/target");
        auto task = makeTask(kind, source, target);
        const QStringList messages = run(task.get());
        EXPECT_EQ(task->m_State, TASK_FAILED);
        EXPECT_EQ(messages.size(), 1);
        EXPECT_TRUE(m_Rollback.isEmpty());
    }
}

TEST_F(UnpackTargetTest, ExistingTargetIsOverwritten)
{
    for (Kind kind : {Kind::Lzma2, Kind::Zip}) {
        const QString source = path("source"), target = path("target");
        writeFile(source, kind == Kind::Lzma2 ? packed(payload(), path("scratch"))
                                              : gzipped(payload(), path("scratch")));
        writeFile(target, "an older, longer file that must not survive in part " + payload());
        auto task = makeTask(kind, source, target);
        run(task.get());
        EXPECT_EQ(task->m_State, TASK_FINISHED);
        EXPECT_EQ(readFile(target), payload());
    }
}

} // namespace
