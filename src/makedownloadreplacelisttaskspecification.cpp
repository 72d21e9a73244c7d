#include "makedownloadreplacelisttaskspecification.h"

#include "makedownloadreplacelistfunc.h"

MakeDownloadReplaceListTaskSpecification::MakeDownloadReplaceListTaskSpecification(
    Configuration *configuration, UpdateLists *lists, QObject *parent, qreal weight)
    : ASyncTaskSpecification(parent, weight)
    , m_Configuration(configuration)
    , m_Lists(lists)
{
}

ASyncFunc *MakeDownloadReplaceListTaskSpecification::createFunc()
{
    return new MakeDownloadReplaceListFunc(m_Configuration, &m_Parsed);
}

void MakeDownloadReplaceListTaskSpecification::runDone(bool ok)
{
    if (ok && m_State == TASK_RUNNING)
        *m_Lists = m_Parsed;
    ASyncTaskSpecification::runDone(ok);
}
