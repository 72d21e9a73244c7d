#include "asyncrun.h"

#include "asyncfunc.h"

ASyncRun::ASyncRun(ASyncFunc *func) : m_Func(func)
{
}

ASyncRun::~ASyncRun()
{
    delete m_Func;
}

void ASyncRun::run()
{
    const bool res = m_Func->run();
    emit m_Func->runResult(res);
}
