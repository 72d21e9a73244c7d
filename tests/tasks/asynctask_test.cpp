#include "composedtaskspecification.h"
#include "lambdatask.h"
#include "support/eventloop.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QThread>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <atomic>

namespace {

bool ended(const TaskSpecification &task)
{
    return task.m_State == TASK_FINISHED || task.m_State == TASK_FAILED
        || task.m_State == TASK_CANCELED;
}

// Lets queued signals of workers that are already done reach their tasks.
void drainPool()
{
    QThreadPool::globalInstance()->waitForDone(-1);
    vxtest::spinFor(20);
}

TEST(ASyncTask, EverySignalOfARunArrivesBeforeItsResult)
{
    struct Case
    {
        bool result;
        QStringList expected;
    };
    const Case cases[] = {
        {true, {"message first", "progress 0.15", "error oops", "message last", "progress 0.3",
                "finished"}},
        {false, {"message first", "progress 0.15", "error oops", "message last", "canceled"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.result);
        const bool result = c.result;
        LambdaTask task(
            [result](LambdaFunc &f) {
                emit f.message("first");
                emit f.progress(0.5);
                emit f.error("oops");
                emit f.message("last");
                return result;
            },
            nullptr, 0.3);
        QStringList seen;
        QObject::connect(&task, &TaskSpecification::message,
                         [&](const QString &m) { seen << "message " + m; });
        QObject::connect(&task, &TaskSpecification::error,
                         [&](const QString &m) { seen << "error " + m; });
        QObject::connect(&task, &TaskSpecification::updateProgress,
                         [&](qreal p) { seen << "progress " + QString::number(p); });
        QObject::connect(&task, &TaskSpecification::finished, [&] { seen << "finished"; });
        QObject::connect(&task, &TaskSpecification::canceled, [&] { seen << "canceled"; });

        task.execute();
        EXPECT_EQ(task.m_State, TASK_RUNNING);
        ASSERT_TRUE(vxtest::waitUntil([&] { return ended(task); }));
        EXPECT_EQ(seen, c.expected);
        EXPECT_EQ(task.m_State, result ? TASK_FINISHED : TASK_FAILED);
    }
}

TEST(ASyncTask, CancelLetsTheWorkerFinishAndTheResultDecide)
{
    QSemaphore go;
    LambdaTask task([&go](LambdaFunc &) { return go.tryAcquire(1, 5000); }, nullptr, 1.0);
    QSignalSpy finished(&task, &TaskSpecification::finished);

    task.execute();
    task.cancel();
    go.release();

    ASSERT_TRUE(vxtest::waitUntil([&] { return ended(task); }));
    EXPECT_EQ(task.m_State, TASK_FINISHED);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(task.m_CancelRequested);
}

TEST(ASyncTask, TwoTasksRunAtTheSameTimeOnPoolThreads)
{
    QThreadPool *pool = QThreadPool::globalInstance();
    const int oldMax = pool->maxThreadCount();
    pool->setMaxThreadCount(std::max(2, oldMax));
    // Each worker waits for the other to have started: both succeed only if they overlap.
    QSemaphore firstIn, secondIn;
    QThread *gui = QThread::currentThread();
    auto meetWith = [gui](QSemaphore *mine, QSemaphore *other) {
        return [=](LambdaFunc &) {
            mine->release();
            return other->tryAcquire(1, 5000) && QThread::currentThread() != gui;
        };
    };
    ComposedTaskSpecification parent(2, nullptr, 1.0);
    parent.addSubTask(new LambdaTask(meetWith(&firstIn, &secondIn), &parent, 0.5));
    parent.addSubTask(new LambdaTask(meetWith(&secondIn, &firstIn), &parent, 0.5));

    parent.execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return ended(parent); }, 10000));
    EXPECT_EQ(parent.m_State, TASK_FINISHED);
    pool->setMaxThreadCount(oldMax);
}

TEST(ASyncTask, ResultAfterTheTaskEndedIsIgnored)
{
    QSemaphore go;
    LambdaTask task(
        [&go](LambdaFunc &f) {
            go.acquire();
            emit f.progress(1.0);
            return true;
        },
        nullptr, 1.0);
    task.m_EndOnCancel = true;
    QSignalSpy finished(&task, &TaskSpecification::finished);
    QSignalSpy canceled(&task, &TaskSpecification::canceled);

    task.execute();
    task.cancel();
    EXPECT_EQ(task.m_State, TASK_CANCELED);
    go.release();
    drainPool();

    EXPECT_EQ(task.m_State, TASK_CANCELED);
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(canceled.count(), 1);
    EXPECT_EQ(task.m_Progress, 0);
}

TEST(ASyncTask, ResetWaitsForTheWorkerAndDropsWhatItStillHadToSay)
{
    std::atomic<bool> firstRunDone{false};
    LambdaTask task(
        [&](LambdaFunc &f) {
            QThread::msleep(50);
            emit f.message("stale");
            firstRunDone = true;
            return true;
        },
        nullptr, 1.0);
    QSignalSpy finished(&task, &TaskSpecification::finished);
    QSignalSpy messages(&task, &TaskSpecification::message);

    task.execute();
    task.reset();
    EXPECT_TRUE(firstRunDone) << "reset() returns only when the pool is idle";
    EXPECT_EQ(task.m_State, TASK_IDLE);
    EXPECT_EQ(task.m_Progress, 0);

    QSemaphore go;
    task.m_Work = [&go](LambdaFunc &) { return go.tryAcquire(1, 5000); };
    task.execute();
    vxtest::spinFor(50);
    EXPECT_EQ(task.m_State, TASK_RUNNING) << "the first run's result must not end the second";
    EXPECT_EQ(messages.count(), 0);

    go.release();
    ASSERT_TRUE(vxtest::waitUntil([&] { return ended(task); }));
    drainPool();
    EXPECT_EQ(finished.count(), 1);
}

} // namespace
