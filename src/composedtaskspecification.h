// A task made of ordered subtasks, at most m_MaxParallel of them running at once.
// The next subtask is always started from the event loop (a queued signal to itself), never
// from inside the signal of the one that just ended, so deep trees do not recurse and a
// subtask may safely end inside its own execute(). The first subtask that ends with
// `canceled` stops all further starts; the outcome is decided once, after the last running
// subtask has ended, from the states of all subtasks.
#pragma once

#include "taskspecification.h"

#include <QList>

class ComposedTaskSpecification : public TaskSpecification
{
    Q_OBJECT

public:
    ComposedTaskSpecification(int maxParallel, QObject *parent, qreal weight);
    ~ComposedTaskSpecification() override;

    void addSubTask(TaskSpecification *task);
    void startSubTasks();
    void deleteSubTasks();

    QList<TaskSpecification *> m_SubTasks;
    QList<TaskSpecification *> m_WaitingTasks;
    QList<TaskSpecification *> m_RunningTasks;
    QList<TaskSpecification *> m_EndedTasks;
    int m_MaxParallel;
    bool m_SubTaskCanceled = false;
    bool m_DoneCalled = false;

public slots:
    void execute() override;
    void reset() override;
    void downloadStatus(qint64 &downloadDone, qint64 &downloadTotal, qint64 &speed,
                        bool &downloading) override;
    void cancel() override;
    void abortOnOtherCancel(TaskSpecification *cancelledTask) override;

    virtual void subtasksDone();
    virtual void connectSubTask(TaskSpecification *task);

    void onStartNextTask();
    void onUpdateProgress(qreal doneFrac);
    void onSubTaskFinished(TaskSpecification *task);
    void onSubTaskCanceled(TaskSpecification *task);

signals:
    void startNextTask();

private:
    void endOnce();
};
