// Carries one ASyncFunc through the global thread pool. The pool deletes the runnable on the
// pool thread right after run(), and the worker with it, so the result signal is the last
// thing the worker ever does.
#pragma once

#include <QRunnable>

class ASyncFunc;

class ASyncRun : public QRunnable
{
public:
    explicit ASyncRun(ASyncFunc *func);
    ~ASyncRun() override;

    void run() override;

private:
    ASyncFunc *m_Func;
};
