#include "asynctaskspecification.h"

#include "asyncfunc.h"
#include "asyncrun.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThreadPool>

ASyncTaskSpecification::ASyncTaskSpecification(QObject *parent, qreal weight)
    : TaskSpecification(parent, weight)
{
}

void ASyncTaskSpecification::execute()
{
    ASyncFunc *func = createFunc();
    connectFunc(func);
    QThreadPool::globalInstance()->start(new ASyncRun(func), 0);
    m_State = TASK_RUNNING;
}

void ASyncTaskSpecification::connectFunc(ASyncFunc *func)
{
    connect(func, &ASyncFunc::runResult, this, &ASyncTaskSpecification::onRunResult,
            Qt::QueuedConnection);
    connect(func, &ASyncFunc::message, this, &TaskSpecification::message, Qt::QueuedConnection);
    connect(func, &ASyncFunc::error, this, &TaskSpecification::error, Qt::QueuedConnection);
    connect(func, &ASyncFunc::progress, this, &ASyncTaskSpecification::onProgress,
            Qt::QueuedConnection);
}

void ASyncTaskSpecification::runDone(bool ok)
{
    if (m_State != TASK_RUNNING)
        return;
    if (ok)
        setFinished();
    else
        setFailed();
}

void ASyncTaskSpecification::onRunResult(bool res)
{
    runDone(res);
}

void ASyncTaskSpecification::onProgress(qreal progress)
{
    if (m_State == TASK_RUNNING)
        setProgress(progress);
}

// Once the pool is idle every signal of the old worker has been posted; dropping them keeps
// a stale result or progress step from landing in the next run.
void ASyncTaskSpecification::reset()
{
    QThreadPool::globalInstance()->waitForDone(-1);
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    TaskSpecification::reset();
}
