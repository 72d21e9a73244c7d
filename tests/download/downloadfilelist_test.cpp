#include "downloadfilelisttaskspecification.h"
#include "downloadfiletaskspecification.h"
#include "downloadfixture.h"
#include "downloadtaskspecification.h"
#include "support/eventloop.h"

#include <QFile>
#include <QTimer>

using namespace dltest;
using vxtest::HttpReply;

namespace {

class DownloadFileListTest : public DownloadTest
{
protected:
    DownloadEntry serve(const QString &section, const QString &name, const QByteArray &body,
                        int chunkDelayMs = 0)
    {
        HttpReply reply = HttpReply::ok(body);
        if (chunkDelayMs > 0) {
            reply.chunkSize = 1000;
            reply.chunkDelayMs = chunkDelayMs;
        }
        m_Server.setReply(serverPath(section + "/" + name), reply);
        return DownloadEntry{section, name, sha512Hex(body), quint64(body.size())};
    }
};

TEST_F(DownloadFileListTest, EmptyListFinishesAtOnce)
{
    QList<DownloadEntry> downloads;
    DownloadFileListTaskSpecification list(&downloads, &m_Manager, &m_Configuration, nullptr, 0.4);
    Recorder rec(&list);
    list.execute();
    EXPECT_EQ(list.m_State, TASK_FINISHED);
    EXPECT_EQ(rec.messages, QStringList{"No downloads needed"});
    vxtest::spinFor(30);
    EXPECT_TRUE(m_Server.requests().isEmpty());
}

// Files are asked for in their section's folder and stored below the temp dir without it.
TEST_F(DownloadFileListTest, FetchesFilesIntoTempDirAndChecksThem)
{
    QList<DownloadEntry> downloads{
        serve("common_client", "tool.bin", pattern(3000)),
        serve("client", "Frameworks/a.dylib", pattern(5000)),
        serve("client", "Frameworks/b.dylib", pattern(7000)),
    };
    DownloadFileListTaskSpecification list(&downloads, &m_Manager, &m_Configuration, nullptr, 0.4);
    Recorder rec(&list);
    list.execute();
    ASSERT_TRUE(runToEnd(rec));

    EXPECT_EQ(list.m_State, TASK_FINISHED) << qPrintable(rec.messages.join('|'));
    EXPECT_EQ(readLocal("tool.bin"), pattern(3000));
    EXPECT_EQ(readLocal("Frameworks/a.dylib"), pattern(5000));
    EXPECT_EQ(readLocal("Frameworks/b.dylib"), pattern(7000));
    EXPECT_EQ(m_Server.requestCount(serverPath("common_client/tool.bin")), 1);
    EXPECT_TRUE(rec.messages.contains("Downloading files"));
    EXPECT_DOUBLE_EQ(list.m_Progress, 0.4);
}

TEST_F(DownloadFileListTest, NeverMoreTransfersThanStreams)
{
    m_Configuration.m_Streams = 3;
    QList<DownloadEntry> downloads;
    quint64 total = 0;
    for (int i = 0; i < 10; ++i) {
        downloads << serve("client", QStringLiteral("f%1").arg(i), pattern(4000 + i), 10);
        total += 4000 + i;
    }
    DownloadFileListTaskSpecification list(&downloads, &m_Manager, &m_Configuration, nullptr, 0.4);
    Recorder rec(&list);
    list.execute();

    int most = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        int running = 0;
        for (auto *d : list.findChildren<DownloadTaskSpecification *>())
            running += d->m_Reply != nullptr;
        most = qMax(most, running);
    });
    sampler.start(1);

    qint64 done = 0, shownTotal = 0, speed = 0;
    bool downloading = false;
    list.downloadStatus(done, shownTotal, speed, downloading);
    EXPECT_EQ(quint64(shownTotal), total) << "the ini sizes, before any transfer starts";

    ASSERT_TRUE(runToEnd(rec, 60000));
    EXPECT_EQ(list.m_State, TASK_FINISHED);
    EXPECT_EQ(most, 3);
    const auto files = list.findChildren<DownloadFileTaskSpecification *>();
    ASSERT_EQ(files.size(), 10);
    for (auto *file : files)
        EXPECT_DOUBLE_EQ(file->m_Weight, 0.1);
    EXPECT_EQ(m_Server.requests().size(), 10);
}

// A file that does not match its digest is deleted, and the list fails before anything
// would be installed from it.
TEST_F(DownloadFileListTest, DigestMismatchFailsAndDeletesFile)
{
    DownloadEntry good = serve("client", "good", pattern(2000));
    DownloadEntry bad = serve("client", "bad", pattern(2000));
    bad.hash = sha512Hex("something else");
    QList<DownloadEntry> downloads{bad, good};
    m_Configuration.m_Streams = 1;
    DownloadFileListTaskSpecification list(&downloads, &m_Manager, &m_Configuration, nullptr, 0.4);
    Recorder rec(&list);
    list.execute();
    ASSERT_TRUE(runToEnd(rec));

    EXPECT_EQ(list.m_State, TASK_FAILED);
    EXPECT_EQ(rec.canceled, 1);
    EXPECT_TRUE(rec.messages.contains("Signature check failed for " + local("bad")));
    EXPECT_FALSE(QFile::exists(local("bad")));
    EXPECT_EQ(m_Server.requestCount(serverPath("client/good")), 0) << "no further downloads";
}

TEST_F(DownloadFileListTest, FailedDownloadFailsList)
{
    QList<DownloadEntry> downloads{DownloadEntry{"client", "gone", sha512Hex("x"), 1}};
    DownloadFileListTaskSpecification list(&downloads, &m_Manager, &m_Configuration, nullptr, 0.4);
    Recorder rec(&list);
    list.execute();
    ASSERT_TRUE(runToEnd(rec));
    EXPECT_EQ(list.m_State, TASK_FAILED);
    EXPECT_TRUE(rec.messages.contains("Unable to download client/gone"));
}

TEST_F(DownloadFileListTest, CancelEndsListCanceled)
{
    QList<DownloadEntry> downloads{serve("client", "slow", pattern(100000), 20)};
    DownloadFileListTaskSpecification list(&downloads, &m_Manager, &m_Configuration, nullptr, 0.4);
    Recorder rec(&list);
    list.execute();
    ASSERT_TRUE(vxtest::waitUntil([&] {
        auto *download = list.findChild<DownloadTaskSpecification *>();
        return download && download->m_Received > 0;
    }));
    list.cancel();
    ASSERT_TRUE(runToEnd(rec));
    EXPECT_EQ(list.m_State, TASK_CANCELED);
    EXPECT_FALSE(QFile::exists(local("slow")));
}

TEST_F(DownloadFileListTest, FolderThatCannotBeMadeFailsBeforeDownloading)
{
    writeLocal("blocker", "a file where a folder should go");
    QList<DownloadEntry> downloads{serve("client", "blocker/f", pattern(10))};
    DownloadFileListTaskSpecification list(&downloads, &m_Manager, &m_Configuration, nullptr, 0.4);
    Recorder rec(&list);
    list.execute();
    EXPECT_EQ(list.m_State, TASK_FAILED);
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_TRUE(rec.messages[0].startsWith("Could not create dir ")) << qPrintable(rec.messages[0]);
    vxtest::spinFor(30);
    EXPECT_TRUE(m_Server.requests().isEmpty());
}

} // namespace
