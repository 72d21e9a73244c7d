// One step of an update: started once, driven on the GUI thread, ends exactly once.
// Parents see a task only through its signals and its weighted progress, so any step —
// a download, a file copy on the thread pool, a whole sub-tree — plugs into any parent.
// A task ends with `finished` on success and `canceled` on failure or cancellation; its
// state tells those two apart, which keeps the wiring of every parent the same.
#pragma once

#include <QObject>
#include <QString>

enum TaskState {
    TASK_IDLE = 0,
    TASK_RUNNING = 1,
    TASK_FINISHED = 2,
    TASK_FAILED = 3,
    TASK_CANCELED = 4
};

class TaskSpecification : public QObject
{
    Q_OBJECT

public:
    TaskSpecification(QObject *parent, qreal weight);

    bool m_CancelRequested = false;
    qreal m_Weight;
    qreal m_Progress = 0;
    TaskState m_State = TASK_IDLE;

public slots:
    virtual void execute() = 0;
    virtual void reset();
    virtual void downloadStatus(qint64 &downloadDone, qint64 &downloadTotal, qint64 &speed,
                                bool &downloading);
    virtual void cancel();
    virtual void abortOnOtherCancel(TaskSpecification *cancelledTask);

    void onOtherTaskCancelled(TaskSpecification *task);

signals:
    void finished(TaskSpecification *task);
    void canceled(TaskSpecification *task);
    void error(QString errorMessage);
    void updateProgress(qreal doneFrac);
    void message(QString text);
    void otherTaskCancelled(TaskSpecification *task);

protected:
    void setProgress(qreal doneFrac);
    void setFinished();
    void setFailed();
    void setCanceled();
};
