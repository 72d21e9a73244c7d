#include "filecopytaskspecification.h"
#include "fixtures.h"
#include "slowfileopfunc.h"
#include "support/eventloop.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QThreadPool>
#include <gtest/gtest.h>

namespace {

bool ended(const TaskSpecification &task)
{
    return task.m_State != TASK_IDLE && task.m_State != TASK_RUNNING;
}

TEST(FileCopy, CopiesAndRecordsTheTargetAsCreated)
{
    QTemporaryDir tmp;
    const QString source = tmp.path() + "/download/app";
    const QString target = tmp.path() + "/install/app";
    writeFile(source, "payload");
    QDir().mkdir(tmp.path() + "/install");
    RollbackDataList list;
    FileCopyTaskSpecification task(&list, source, target, nullptr, 0.5);
    QSignalSpy finished(&task, &TaskSpecification::finished);

    task.execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return ended(task); }));

    EXPECT_EQ(task.m_State, TASK_FINISHED);
    EXPECT_EQ(task.m_Progress, 0.5);
    EXPECT_EQ(readFile(target), "payload");
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].m_Op, FILE_CREATE);
    EXPECT_EQ(list[0].m_Path, target);
    EXPECT_TRUE(list.rollback(nullptr));
    EXPECT_FALSE(entryExists(target));
    EXPECT_TRUE(entryExists(source));
}

TEST(FileCopy, FailuresRecordNothingAndKeepWhatWasThere)
{
    QTemporaryDir tmp;
    const QString source = tmp.path() + "/source";
    const QString existing = tmp.path() + "/existing";
    writeFile(source, "new");
    writeFile(existing, "installed");
    struct Case
    {
        const char *name;
        QString source;
        QString target;
    };
    const Case cases[] = {
        {"target exists", source, existing},
        {"source missing", tmp.path() + "/absent", tmp.path() + "/fresh"},
        {"target folder missing", source, tmp.path() + "/no/such/folder/file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RollbackDataList list;
        FileCopyTaskSpecification task(&list, c.source, c.target, nullptr, 1.0);
        QSignalSpy messages(&task, &TaskSpecification::message);
        QSignalSpy canceled(&task, &TaskSpecification::canceled);

        task.execute();
        ASSERT_TRUE(vxtest::waitUntil([&] { return ended(task); }));

        EXPECT_EQ(task.m_State, TASK_FAILED);
        ASSERT_EQ(messages.count(), 1);
        EXPECT_EQ(messages.at(0).at(0).toString(),
                  QString("Could not copy '%1' to '%2'").arg(c.source, c.target));
        EXPECT_EQ(canceled.count(), 1);
        EXPECT_TRUE(list.isEmpty());
    }
    EXPECT_EQ(readFile(existing), "installed");
    EXPECT_FALSE(entryExists(tmp.path() + "/fresh"));
}

// A worker that writes half of its target and then gives up, as a patch or unpack can.
class HalfWriteFunc : public SlowFileOpFunc
{
public:
    HalfWriteFunc(const QString &source, const QString &target, QSemaphore *gate)
        : SlowFileOpFunc(source, target), m_Gate(gate)
    {
    }

    bool run() override
    {
        if (m_Gate)
            m_Gate->acquire();
        writeFile(m_Target, "half");
        return m_Result;
    }

    QSemaphore *m_Gate;
    bool m_Result = false;
};

class HalfWriteTask : public SlowFileOpSpecification
{
public:
    HalfWriteTask(RollbackDataList *list, const QString &target, QSemaphore *gate = nullptr)
        : SlowFileOpSpecification("Could not make it", list, "src", target, nullptr, 1.0),
          m_Gate(gate)
    {
    }

    ASyncFunc *createFunc() override
    {
        auto *func = new HalfWriteFunc(m_Source, m_Target, m_Gate);
        func->m_Result = m_Result;
        return func;
    }

    void cancel() override
    {
        SlowFileOpSpecification::cancel();
        if (m_State == TASK_RUNNING)
            setCanceled();
    }

    QSemaphore *m_Gate;
    bool m_Result = false;
};

// A half-written new file in the place of one moved aside would block moving it back.
TEST(SlowFileOp, FailureRemovesANewPartialTargetButNeverAnOldOne)
{
    QTemporaryDir tmp;
    const QString fresh = tmp.path() + "/fresh";
    const QString old = tmp.path() + "/old";
    writeFile(old, "installed");
    for (const QString &target : {fresh, old}) {
        RollbackDataList list;
        HalfWriteTask task(&list, target);
        task.execute();
        ASSERT_TRUE(vxtest::waitUntil([&] { return ended(task); }));
        EXPECT_EQ(task.m_State, TASK_FAILED);
        EXPECT_TRUE(list.isEmpty());
    }
    EXPECT_FALSE(entryExists(fresh));
    EXPECT_TRUE(entryExists(old));
}

TEST(SlowFileOp, ResultAfterTheTaskEndedRecordsNothing)
{
    QTemporaryDir tmp;
    QSemaphore gate;
    RollbackDataList list;
    HalfWriteTask task(&list, tmp.path() + "/late", &gate);
    task.m_Result = true;
    QSignalSpy messages(&task, &TaskSpecification::message);

    task.execute();
    task.cancel();
    gate.release();
    QThreadPool::globalInstance()->waitForDone(-1);
    vxtest::spinFor(20);

    EXPECT_EQ(task.m_State, TASK_CANCELED);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(messages.count(), 0);
}

} // namespace
