#include "fileunpacktaskspecification_lzma2.h"

#include "fileunpackfunc_lzma2.h"

FileUnpackTaskSpecification_lzma2::FileUnpackTaskSpecification_lzma2(
    RollbackDataList *rollbackList, const QString &source, const QString &target,
    QObject *parent, qreal weight)
    : SlowFileOpSpecification(tr("Could not unpack '%1' to '%2'").arg(source, target),
                              rollbackList, source, target, parent, weight)
{
}

ASyncFunc *FileUnpackTaskSpecification_lzma2::createFunc()
{
    return new FileUnpackFunc_lzma2(m_Source, m_Target);
}
