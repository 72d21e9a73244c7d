#include "filecopytaskspecification.h"

#include "filecopyfunc.h"

FileCopyTaskSpecification::FileCopyTaskSpecification(RollbackDataList *rollbackList,
                                                     const QString &source,
                                                     const QString &target, QObject *parent,
                                                     qreal weight)
    : SlowFileOpSpecification(tr("Could not copy '%1' to '%2'").arg(source, target),
                              rollbackList, source, target, parent, weight)
{
}

ASyncFunc *FileCopyTaskSpecification::createFunc()
{
    return new FileCopyFunc(m_Source, m_Target);
}
