#include "fastfileoptaskspecification.h"

FastFileOpTaskSpecification::FastFileOpTaskSpecification(const QString &path,
                                                         RollbackDataList *rollbackList,
                                                         QObject *parent, qreal weight)
    : TaskSpecification(parent, weight), m_RollbackList(rollbackList), m_Path(path)
{
}

void FastFileOpTaskSpecification::addRollback(const RollbackData &record)
{
    if (m_RollbackList)
        m_RollbackList->append(record);
}

void FastFileOpTaskSpecification::execute()
{
    m_State = TASK_RUNNING;
    if (doOp())
        setFinished();
    else
        setFailed();
}
