#include "asyncrun.h"

#include "asyncfunc.h"
#include "threadhandoff.h"

ASyncRun::ASyncRun(ASyncFunc *func) : m_Func(func)
{
    markHandedOver(this);
}

ASyncRun::~ASyncRun()
{
    delete m_Func;
}

void ASyncRun::run()
{
    markTakenOver(this);
    const bool res = m_Func->run();
    emit m_Func->runResult(res);
}
