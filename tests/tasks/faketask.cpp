#include "faketask.h"

#include <algorithm>

FakeTask::FakeTask(const QString &name, FakeTaskLog *log, QObject *parent, qreal weight,
                   Behaviour behaviour)
    : TaskSpecification(parent, weight), m_Name(name), m_Log(log), m_Behaviour(behaviour)
{
}

void FakeTask::execute()
{
    m_State = TASK_RUNNING;
    ++m_ExecuteCount;
    m_Log->started.append(m_Name);
    m_Log->maxRunning = std::max(m_Log->maxRunning, ++m_Log->running);
    m_Log->maxExecuteDepth = std::max(m_Log->maxExecuteDepth, ++m_Log->executeDepth);
    if (m_Behaviour == FINISH_IN_EXECUTE)
        finish();
    else if (m_Behaviour == FAIL_IN_EXECUTE)
        fail();
    --m_Log->executeDepth;
}

void FakeTask::cancel()
{
    TaskSpecification::cancel();
    if (m_EndOnCancel && m_State == TASK_RUNNING)
        endCanceled();
}

void FakeTask::abortOnOtherCancel(TaskSpecification *cancelledTask)
{
    m_AbortedBy.append(cancelledTask);
    if (m_EndOnOtherCancel)
        endCanceled();
}

void FakeTask::downloadStatus(qint64 &downloadDone, qint64 &downloadTotal, qint64 &speed,
                              bool &downloading)
{
    downloadDone = m_Done;
    downloadTotal = m_Total;
    speed = m_Speed;
    downloading = m_Downloading;
}

void FakeTask::finish()
{
    ended();
    setFinished();
}

void FakeTask::fail()
{
    ended();
    setFailed();
}

void FakeTask::endCanceled()
{
    ended();
    setCanceled();
}

void FakeTask::progressTo(qreal doneFrac)
{
    setProgress(doneFrac);
}

void FakeTask::ended()
{
    --m_Log->running;
}
