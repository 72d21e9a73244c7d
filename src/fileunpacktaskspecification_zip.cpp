#include "fileunpacktaskspecification_zip.h"

#include "fileunpackfunc_zip.h"

FileUnpackTaskSpecification_zip::FileUnpackTaskSpecification_zip(RollbackDataList *rollbackList,
                                                                 const QString &source,
                                                                 const QString &target,
                                                                 QObject *parent, qreal weight)
    : SlowFileOpSpecification(tr("Could not unzip '%1' to '%2'").arg(source, target),
                              rollbackList, source, target, parent, weight)
{
}

ASyncFunc *FileUnpackTaskSpecification_zip::createFunc()
{
    return new FileUnpackFunc_Zip(m_Source, m_Target);
}
