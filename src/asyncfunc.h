// The blocking half of an asynchronous task: runs on a pool thread and talks back only
// through its signals, which reach the task queued on the GUI thread. It has no slots and
// nothing posts events to it, so it may be destroyed on the pool thread that ran it.
#pragma once

#include <QObject>
#include <QString>

class ASyncFunc : public QObject
{
    Q_OBJECT

public:
    ASyncFunc();

    virtual bool run() = 0;

signals:
    void runResult(bool res);
    void message(QString text);
    void error(QString errorMessage);
    void progress(qreal doneFrac);
};
