#include "taskspecification.h"

TaskSpecification::TaskSpecification(QObject *parent, qreal weight)
    : QObject(parent), m_Weight(weight)
{
}

void TaskSpecification::reset()
{
    m_CancelRequested = false;
    m_State = TASK_IDLE;
    m_Progress = 0;
    emit updateProgress(m_Progress);
}

void TaskSpecification::downloadStatus(qint64 &downloadDone, qint64 &downloadTotal,
                                       qint64 &speed, bool &downloading)
{
    downloadDone = 0;
    downloadTotal = 0;
    speed = 0;
    downloading = false;
}

void TaskSpecification::cancel()
{
    m_CancelRequested = true;
}

void TaskSpecification::abortOnOtherCancel(TaskSpecification *)
{
}

void TaskSpecification::onOtherTaskCancelled(TaskSpecification *task)
{
    if (task != this && m_State == TASK_RUNNING)
        abortOnOtherCancel(task);
}

void TaskSpecification::setProgress(qreal doneFrac)
{
    m_Progress = doneFrac * m_Weight;
    emit updateProgress(m_Progress);
}

void TaskSpecification::setFinished()
{
    m_State = TASK_FINISHED;
    m_Progress = m_Weight;
    emit updateProgress(m_Progress);
    emit finished(this);
}

void TaskSpecification::setFailed()
{
    m_State = TASK_FAILED;
    emit canceled(this);
}

void TaskSpecification::setCanceled()
{
    m_State = TASK_CANCELED;
    emit canceled(this);
}
