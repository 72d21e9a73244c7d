#include "composedtaskspecification.h"
#include "downloadfixture.h"
#include "downloadtaskspecification.h"
#include "support/eventloop.h"

#include <QFile>

#include <memory>

using namespace dltest;
using vxtest::HttpReply;

namespace {

class DownloadTaskTest : public DownloadTest
{
protected:
    std::unique_ptr<DownloadTaskSpecification> makeTask(const QString &name,
                                                        qint64 expected = -1)
    {
        return std::make_unique<DownloadTaskSpecification>(&m_Manager, name, kVersion,
                                                           local(name), expected, nullptr, 0.5);
    }

    // Polls the task as the engine does once a second.
    static bool poll(DownloadTaskSpecification *task, qint64 *done = nullptr,
                     qint64 *total = nullptr, qint64 *speed = nullptr)
    {
        qint64 d = 0, t = 0, s = 0;
        bool downloading = false;
        task->downloadStatus(d, t, s, downloading);
        if (done)
            *done = d;
        if (total)
            *total = t;
        if (speed)
            *speed = s;
        return downloading;
    }
};

TEST_F(DownloadTaskTest, StreamsBodyToFileWithProgress)
{
    const QByteArray body = pattern(100000);
    HttpReply reply = HttpReply::ok(body);
    reply.chunkSize = 7000;
    reply.chunkDelayMs = 5;
    m_Server.setReply(serverPath("dir/file.bin"), reply);
    QDir(m_Dir.path()).mkpath("dir");

    auto task = makeTask("dir/file.bin", body.size());
    Recorder rec(task.get());
    task->execute();
    EXPECT_EQ(task->m_State, TASK_RUNNING);
    ASSERT_TRUE(runToEnd(rec));

    EXPECT_EQ(task->m_State, TASK_FINISHED);
    EXPECT_EQ(rec.finished, 1);
    EXPECT_EQ(rec.canceled, 0);
    EXPECT_EQ(readLocal("dir/file.bin"), body);
    EXPECT_EQ(rec.messages, QStringList({"Downloading dir/file.bin", "Downloading dir/file.bin finished"}));
    // Several intermediate steps, never decreasing, ending at the weight.
    ASSERT_GT(rec.progress.size(), 3);
    for (int i = 1; i < rec.progress.size(); ++i)
        EXPECT_GE(rec.progress[i], rec.progress[i - 1]);
    EXPECT_DOUBLE_EQ(rec.progress.last(), 0.5);
    EXPECT_EQ(m_Server.requestCount(serverPath("dir/file.bin")), 1);
}

// Without a size from the ini the total is 0 (left out of the parents' sums) until the
// server's length is known.
TEST_F(DownloadTaskTest, LearnsLengthFromServer)
{
    HttpReply reply = HttpReply::ok(pattern(20000));
    reply.delayMs = 100;
    m_Server.setReply(serverPath("f"), reply);
    auto task = makeTask("f");
    Recorder rec(task.get());
    task->execute();
    qint64 done = -1, total = -1;
    EXPECT_TRUE(poll(task.get(), &done, &total));
    EXPECT_EQ(done, 0);
    EXPECT_EQ(total, 0);
    ASSERT_TRUE(runToEnd(rec));
    EXPECT_EQ(task->m_State, TASK_FINISHED);
    EXPECT_EQ(task->m_Expected, 20000);
}

TEST_F(DownloadTaskTest, ReportsFiguresAndCapsProgressAtOne)
{
    const QByteArray body = pattern(30000);
    HttpReply reply = HttpReply::ok(body);
    reply.chunkSize = 10000;
    reply.chunkDelayMs = 100;
    m_Server.setReply(serverPath("f"), reply);
    auto task = makeTask("f", 10000);  // the ini claims less than the server sends

    qint64 done = 0, total = 0, speed = 0;
    Recorder rec(task.get());
    task->execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return task->m_Received >= 20000; }));
    EXPECT_TRUE(poll(task.get(), &done, &total, &speed));
    EXPECT_EQ(done, task->m_Received);
    EXPECT_EQ(total, 10000);
    EXPECT_EQ(speed, done);
    EXPECT_DOUBLE_EQ(task->m_Progress, 0.5);
    const qint64 firstDone = done;
    ASSERT_TRUE(vxtest::waitUntil([&] { return task->m_Received > firstDone; }));
    poll(task.get(), &done, &total, &speed);
    EXPECT_EQ(speed, done - firstDone) << "bytes since the last poll";
    ASSERT_TRUE(runToEnd(rec));
    EXPECT_EQ(task->m_State, TASK_FINISHED) << "size is left to the digest check";
    for (qreal p : rec.progress)
        EXPECT_LE(p, 0.5);
}

struct StatusCase {
    const char *name;
    int status;
};

class DownloadStatusTest : public DownloadTaskTest, public ::testing::WithParamInterface<StatusCase>
{
};

// Every status but 200 costs an attempt; five of them end the task with no file left.
TEST_P(DownloadStatusTest, FiveBadAnswersFail)
{
    const int status = GetParam().status;
    HttpReply reply = HttpReply::withStatus(status, "nope");
    if (status / 100 == 3)
        reply.headers << qMakePair(QByteArray("Location"), m_Server.url("/elsewhere").toEncoded());
    m_Server.setReply(serverPath("f"), reply);
    m_Server.setReply("/elsewhere", HttpReply::ok("moved body"));

    auto task = makeTask("f");
    Recorder rec(task.get());
    task->execute();
    ASSERT_TRUE(runToEnd(rec));

    EXPECT_EQ(task->m_State, TASK_FAILED);
    EXPECT_EQ(rec.canceled, 1);
    EXPECT_EQ(rec.finished, 0);
    EXPECT_EQ(m_Server.requestCount(serverPath("f")), 5);
    EXPECT_EQ(m_Server.requestCount("/elsewhere"), 0) << "redirects are not followed";
    EXPECT_EQ(rec.messages.count(QStringLiteral("f returned %1").arg(status)), 5);
    EXPECT_EQ(rec.messages.last(), "Unable to download f");
    EXPECT_FALSE(QFile::exists(local("f")));
}

INSTANTIATE_TEST_SUITE_P(Statuses, DownloadStatusTest,
                         ::testing::Values(StatusCase{"not_found", 404},
                                           StatusCase{"moved_permanently", 301},
                                           StatusCase{"found", 302},
                                           StatusCase{"server_error", 500},
                                           StatusCase{"no_content", 204}),
                         [](const auto &info) { return std::string(info.param.name); });

struct RecoveryCase {
    const char *name;
    HttpReply first;
    const char *reason;  // expected message of the dropped attempt, empty: any
};

class DownloadRecoveryTest : public DownloadTaskTest,
                             public ::testing::WithParamInterface<RecoveryCase>
{
};

// A failed attempt is dropped with its partial file and the next one starts from empty.
TEST_P(DownloadRecoveryTest, RetryDeliversCompleteFile)
{
    const QByteArray body = pattern(50000);
    m_Server.addReply(serverPath("f"), GetParam().first);
    m_Server.addReply(serverPath("f"), HttpReply::ok(body));

    auto task = makeTask("f", body.size());
    Recorder rec(task.get());
    task->execute();
    ASSERT_TRUE(runToEnd(rec));

    EXPECT_EQ(task->m_State, TASK_FINISHED) << qPrintable(rec.messages.join('|'));
    EXPECT_EQ(readLocal("f"), body);
    EXPECT_EQ(m_Server.requestCount(serverPath("f")), 2);
    EXPECT_EQ(task->m_Retries, 1);
    if (*GetParam().reason) {
        EXPECT_TRUE(rec.messages.contains(GetParam().reason)) << qPrintable(rec.messages.join('|'));
    }
}

HttpReply dropped()
{
    HttpReply reply = HttpReply::ok(pattern(50000));
    reply.chunkSize = 5000;
    reply.cut = HttpReply::Cut::Drop;
    reply.cutAfter = 20000;
    return reply;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, DownloadRecoveryTest,
    ::testing::Values(RecoveryCase{"not_found_once", HttpReply::withStatus(404), "f returned 404"},
                      RecoveryCase{"dropped_mid_body", dropped(), ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DownloadTaskTest, StallTimesOutOnSixteenthPollAndRecovers)
{
    const QByteArray body = pattern(40000);
    HttpReply stalled = HttpReply::ok(body);
    stalled.cut = HttpReply::Cut::Stall;
    stalled.cutAfter = 10000;
    m_Server.addReply(serverPath("f"), stalled);
    m_Server.addReply(serverPath("f"), HttpReply::ok(body));

    auto task = makeTask("f");
    Recorder rec(task.get());
    task->execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return task->m_Received == 10000; }));
    vxtest::spinFor(50);
    for (int i = 1; i <= 15; ++i)
        ASSERT_TRUE(poll(task.get())) << "poll " << i;
    EXPECT_EQ(m_Server.requestCount(serverPath("f")), 1);
    EXPECT_FALSE(poll(task.get())) << "the 16th poll times out";
    EXPECT_TRUE(rec.messages.contains("file f timed out"));
    ASSERT_TRUE(runToEnd(rec));
    EXPECT_EQ(task->m_State, TASK_FINISHED);
    EXPECT_EQ(readLocal("f"), body);
    EXPECT_EQ(m_Server.requestCount(serverPath("f")), 2);
}

// Data arriving between polls keeps the transfer alive however many polls there are.
TEST_F(DownloadTaskTest, TrickleNeverTimesOut)
{
    HttpReply slow = HttpReply::ok(pattern(4000));
    slow.chunkSize = 100;
    slow.chunkDelayMs = 5;
    m_Server.setReply(serverPath("f"), slow);
    auto task = makeTask("f");
    Recorder rec(task.get());
    task->execute();
    while (rec.ends() == 0) {
        vxtest::spinFor(6);
        poll(task.get());
    }
    EXPECT_EQ(task->m_State, TASK_FINISHED);
    EXPECT_EQ(m_Server.requestCount(serverPath("f")), 1);
}

TEST_F(DownloadTaskTest, CancelMidTransferDropsFileSilently)
{
    HttpReply slow = HttpReply::ok(pattern(100000));
    slow.chunkSize = 1000;
    slow.chunkDelayMs = 20;
    m_Server.setReply(serverPath("f"), slow);
    auto task = makeTask("f");
    Recorder rec(task.get());
    task->execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return task->m_Received > 0; }));
    const int messagesBefore = rec.messages.size();
    task->cancel();
    EXPECT_EQ(task->m_State, TASK_CANCELED);
    vxtest::spinFor(200);
    EXPECT_EQ(rec.canceled, 1);
    EXPECT_EQ(rec.finished, 0);
    EXPECT_EQ(rec.messages.size(), messagesBefore);
    EXPECT_FALSE(QFile::exists(local("f")));
    EXPECT_EQ(task->m_Reply, nullptr);
}

// When a sibling fails for good, a running download stops and deletes its partial file.
TEST_F(DownloadTaskTest, SiblingFailureAbortsRunningDownload)
{
    HttpReply slow = HttpReply::ok(pattern(100000));
    slow.chunkSize = 1000;
    slow.chunkDelayMs = 20;
    m_Server.setReply(serverPath("slow"), slow);
    HttpReply late404 = HttpReply::withStatus(404);
    late404.delayMs = 30;
    m_Server.setReply(serverPath("missing"), late404);

    ComposedTaskSpecification parent(2, nullptr, 1.0);
    auto *slowTask = new DownloadTaskSpecification(&m_Manager, "slow", kVersion, local("slow"),
                                                   -1, &parent, 0.5);
    auto *badTask = new DownloadTaskSpecification(&m_Manager, "missing", kVersion,
                                                  local("missing"), -1, &parent, 0.5);
    parent.addSubTask(slowTask);
    parent.addSubTask(badTask);
    Recorder rec(&parent);
    parent.execute();
    ASSERT_TRUE(runToEnd(rec));

    EXPECT_EQ(parent.m_State, TASK_FAILED);
    EXPECT_EQ(slowTask->m_State, TASK_FAILED);
    EXPECT_TRUE(rec.messages.contains("Abort downloading slow"));
    EXPECT_FALSE(QFile::exists(local("slow")));
    EXPECT_EQ(rec.canceled, 1);
}

TEST_F(DownloadTaskTest, UnwritableTargetFailsWithoutRequest)
{
    m_Server.setReply(serverPath("f"), HttpReply::ok("x"));
    DownloadTaskSpecification task(&m_Manager, "f", kVersion, local("no/such/dir/f"), -1,
                                   nullptr, 1.0);
    Recorder rec(&task);
    task.execute();
    EXPECT_EQ(task.m_State, TASK_FAILED);
    EXPECT_EQ(rec.errors, QStringList{"Unable to create file " + local("no/such/dir/f") + " for saving"});
    vxtest::spinFor(50);
    EXPECT_EQ(m_Server.requestCount(serverPath("f")), 0);
}

// Something removing the file between the last write and the end must not be reported as
// a completed download.
class VanishingDownload : public DownloadTaskSpecification
{
public:
    using DownloadTaskSpecification::DownloadTaskSpecification;
    void downloadFinished() override
    {
        m_File.remove();
        DownloadTaskSpecification::downloadFinished();
    }
};

TEST_F(DownloadTaskTest, MissingFileAtTheEndFails)
{
    m_Server.setReply(serverPath("f"), HttpReply::ok("content"));
    VanishingDownload task(&m_Manager, "f", kVersion, local("f"), -1, nullptr, 1.0);
    Recorder rec(&task);
    task.execute();
    ASSERT_TRUE(runToEnd(rec));
    EXPECT_EQ(task.m_State, TASK_FAILED);
    EXPECT_EQ(rec.finished, 0);
    EXPECT_FALSE(rec.messages.contains("Downloading f finished"));
}

TEST_F(DownloadTaskTest, ResetAllowsAFreshRun)
{
    m_Server.setReply(serverPath("f"), HttpReply::withStatus(404));
    auto task = makeTask("f");
    Recorder rec(task.get());
    task->execute();
    ASSERT_TRUE(runToEnd(rec));
    ASSERT_EQ(task->m_State, TASK_FAILED);

    m_Server.setReply(serverPath("f"), HttpReply::ok("now here"));
    task->reset();
    EXPECT_EQ(task->m_State, TASK_IDLE);
    EXPECT_EQ(task->m_Retries, 0);
    task->execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return rec.finished == 1; }));
    EXPECT_EQ(readLocal("f"), "now here");
}

} // namespace
