// A task whose blocking work runs on Qt's global thread pool. The task object never leaves
// the GUI thread; its worker gets copies of what it needs and reports by queued signals, so
// every message and progress step of a run reaches the task before that run's result.
#pragma once

#include "taskspecification.h"

class ASyncFunc;

class ASyncTaskSpecification : public TaskSpecification
{
    Q_OBJECT

public:
    ASyncTaskSpecification(QObject *parent, qreal weight);

public slots:
    void execute() override;
    void reset() override;

    virtual ASyncFunc *createFunc() = 0;
    virtual void connectFunc(ASyncFunc *func);
    virtual void runDone(bool ok);

    void onRunResult(bool res);
    void onProgress(qreal progress);
};
