#include "composedtaskspecification.h"

#include <QCoreApplication>
#include <QEvent>

ComposedTaskSpecification::ComposedTaskSpecification(int maxParallel, QObject *parent,
                                                     qreal weight)
    : TaskSpecification(parent, weight), m_MaxParallel(maxParallel)
{
    connect(this, &ComposedTaskSpecification::startNextTask, this,
            &ComposedTaskSpecification::onStartNextTask, Qt::QueuedConnection);
}

ComposedTaskSpecification::~ComposedTaskSpecification()
{
    deleteSubTasks();
}

// Subclasses usually build their subtasks here first; a task given its subtasks from
// outside just starts them.
void ComposedTaskSpecification::execute()
{
    startSubTasks();
}

void ComposedTaskSpecification::addSubTask(TaskSpecification *task)
{
    m_SubTasks.append(task);
    m_WaitingTasks.append(task);
    connectSubTask(task);
    onUpdateProgress(0);
}

void ComposedTaskSpecification::connectSubTask(TaskSpecification *task)
{
    connect(task, &TaskSpecification::finished, this,
            &ComposedTaskSpecification::onSubTaskFinished);
    connect(task, &TaskSpecification::canceled, this,
            &ComposedTaskSpecification::onSubTaskCanceled);
    connect(task, &TaskSpecification::error, this, &TaskSpecification::error);
    connect(task, &TaskSpecification::updateProgress, this,
            &ComposedTaskSpecification::onUpdateProgress);
    connect(task, &TaskSpecification::message, this, &TaskSpecification::message);
    connect(this, &TaskSpecification::otherTaskCancelled, task,
            &TaskSpecification::onOtherTaskCancelled);
}

// Subtasks may still be on the call stack (this can run from one of their signals), so they
// are cut off from this task first and destroyed later from the event loop.
void ComposedTaskSpecification::deleteSubTasks()
{
    for (TaskSpecification *task : qAsConst(m_SubTasks)) {
        disconnect(task, nullptr, this, nullptr);
        disconnect(this, nullptr, task, nullptr);
        task->deleteLater();
    }
    m_SubTasks.clear();
    m_WaitingTasks.clear();
    m_RunningTasks.clear();
    m_EndedTasks.clear();
}

// A parallelism below 1 can start nothing; ending at once (failed, by the outcome rule)
// is better than waiting forever for a subtask that never comes.
void ComposedTaskSpecification::startSubTasks()
{
    m_State = TASK_RUNNING;
    const int n = qMin(m_WaitingTasks.size(), m_MaxParallel);
    if (n <= 0) {
        subtasksDone();
        return;
    }
    for (int i = 0; i < n; ++i)
        emit startNextTask();
}

void ComposedTaskSpecification::onStartNextTask()
{
    if (m_WaitingTasks.isEmpty() || m_SubTaskCanceled || m_CancelRequested) {
        if (m_RunningTasks.isEmpty())
            endOnce();
        return;
    }
    TaskSpecification *task = m_WaitingTasks.takeFirst();
    m_RunningTasks.append(task);
    task->execute();
}

void ComposedTaskSpecification::onUpdateProgress(qreal)
{
    qreal sum = 0;
    for (const TaskSpecification *task : qAsConst(m_SubTasks))
        sum += task->m_Progress;
    setProgress(sum);
}

void ComposedTaskSpecification::onSubTaskFinished(TaskSpecification *task)
{
    m_RunningTasks.removeOne(task);
    m_EndedTasks.append(task);
    emit startNextTask();
}

void ComposedTaskSpecification::onSubTaskCanceled(TaskSpecification *task)
{
    m_RunningTasks.removeOne(task);
    m_EndedTasks.append(task);
    if (!m_SubTaskCanceled) {
        m_SubTaskCanceled = true;
        emit otherTaskCancelled(task);
    }
    if (m_RunningTasks.isEmpty())
        endOnce();
}

void ComposedTaskSpecification::endOnce()
{
    if (m_DoneCalled)
        return;
    m_DoneCalled = true;
    subtasksDone();
}

void ComposedTaskSpecification::subtasksDone()
{
    bool anyFailed = false;
    bool anyCanceled = false;
    bool allFinished = true;
    for (const TaskSpecification *task : qAsConst(m_SubTasks)) {
        anyFailed |= task->m_State == TASK_FAILED;
        anyCanceled |= task->m_State == TASK_CANCELED;
        allFinished &= task->m_State == TASK_FINISHED;
    }
    if (anyFailed)
        setFailed();
    else if (anyCanceled)
        setCanceled();
    else if (allFinished)
        setFinished();
    else if (m_CancelRequested)
        setCanceled();
    else
        setFailed();
}

void ComposedTaskSpecification::cancel()
{
    TaskSpecification::cancel();
    if (m_State != TASK_RUNNING)
        return;
    // A subtask that ends inside cancel() may end this task, and an overridden
    // subtasksDone() may then rebuild the list, so walk a copy.
    const QList<TaskSpecification *> tasks = m_SubTasks;
    for (TaskSpecification *task : tasks)
        task->cancel();
}

void ComposedTaskSpecification::abortOnOtherCancel(TaskSpecification *cancelledTask)
{
    emit otherTaskCancelled(cancelledTask);
}

void ComposedTaskSpecification::downloadStatus(qint64 &downloadDone, qint64 &downloadTotal,
                                               qint64 &speed, bool &downloading)
{
    downloading = false;
    for (TaskSpecification *task : qAsConst(m_SubTasks)) {
        qint64 done = 0, total = 0, taskSpeed = 0;
        bool taskDownloading = false;
        task->downloadStatus(done, total, taskSpeed, taskDownloading);
        downloading |= taskDownloading;
        speed += taskSpeed;
        if (total != 0) {
            downloadDone += done;
            downloadTotal += total;
        }
    }
}

// Starts still queued from the previous run would otherwise start subtasks of the next run
// beyond the parallelism limit.
void ComposedTaskSpecification::reset()
{
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    for (TaskSpecification *task : qAsConst(m_SubTasks))
        task->reset();
    m_WaitingTasks = m_SubTasks;
    m_RunningTasks.clear();
    m_EndedTasks.clear();
    m_SubTaskCanceled = false;
    m_DoneCalled = false;
    TaskSpecification::reset();
}
