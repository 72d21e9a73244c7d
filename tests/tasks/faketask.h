// Leaf tasks that a test drives by hand, so that start order, parallelism and the reactions
// to cancel requests can be observed through the event loop.
#pragma once

#include "taskspecification.h"

#include <QStringList>

// Shared by all fake tasks of one test: the order in which they started, how many run at
// once, and how deep execute() calls nest (more than 1 means a subtask was started from
// inside another subtask's signal).
struct FakeTaskLog
{
    QStringList started;
    int running = 0;
    int maxRunning = 0;
    int executeDepth = 0;
    int maxExecuteDepth = 0;
};

class FakeTask : public TaskSpecification
{
    Q_OBJECT

public:
    // What the task does by itself; everything else is driven by the test.
    enum Behaviour {
        WAIT,               // runs until the test ends it
        FINISH_IN_EXECUTE,  // ends with `finished` inside execute()
        FAIL_IN_EXECUTE,    // ends with `canceled` (failed) inside execute()
    };

    FakeTask(const QString &name, FakeTaskLog *log, QObject *parent, qreal weight,
             Behaviour behaviour = WAIT);

    void execute() override;
    void cancel() override;
    void abortOnOtherCancel(TaskSpecification *cancelledTask) override;
    void downloadStatus(qint64 &downloadDone, qint64 &downloadTotal, qint64 &speed,
                        bool &downloading) override;

    void finish();
    void fail();
    void endCanceled();
    void progressTo(qreal doneFrac);

    QString m_Name;
    FakeTaskLog *m_Log;
    Behaviour m_Behaviour;
    bool m_EndOnCancel = false;      // a leaf that stops at once when cancelled
    bool m_EndOnOtherCancel = false; // a leaf that stops when a sibling failed
    QList<TaskSpecification *> m_AbortedBy;
    int m_ExecuteCount = 0;
    // Figures reported by downloadStatus().
    qint64 m_Done = 0;
    qint64 m_Total = 0;
    qint64 m_Speed = 0;
    bool m_Downloading = false;

private:
    void ended();
};
