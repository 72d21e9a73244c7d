// An asynchronous task whose worker runs a function given by the test, so each test can
// script what the pool thread sends and returns.
#pragma once

#include "asyncfunc.h"
#include "asynctaskspecification.h"

#include <functional>

class LambdaFunc : public ASyncFunc
{
    Q_OBJECT

public:
    using Work = std::function<bool(LambdaFunc &)>;

    explicit LambdaFunc(Work work) : m_Work(std::move(work)) {}

    bool run() override { return m_Work(*this); }

private:
    Work m_Work;
};

class LambdaTask : public ASyncTaskSpecification
{
    Q_OBJECT

public:
    LambdaTask(LambdaFunc::Work work, QObject *parent, qreal weight)
        : ASyncTaskSpecification(parent, weight), m_Work(std::move(work))
    {
    }

    ASyncFunc *createFunc() override { return new LambdaFunc(m_Work); }

    // A task that ends at once when cancelled, leaving its worker to finish unobserved.
    void cancel() override
    {
        ASyncTaskSpecification::cancel();
        if (m_EndOnCancel && m_State == TASK_RUNNING)
            setCanceled();
    }

    LambdaFunc::Work m_Work;
    bool m_EndOnCancel = false;
};
