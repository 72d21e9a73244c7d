#include "slowfileopspecification.h"

#include <QFile>
#include <QFileInfo>

SlowFileOpSpecification::SlowFileOpSpecification(const QString &failMessage,
                                                 RollbackDataList *rollbackList,
                                                 const QString &source, const QString &target,
                                                 QObject *parent, qreal weight)
    : SlowFileOpSpecification(failMessage, rollbackList, source, QString(), target, parent,
                              weight)
{
}

SlowFileOpSpecification::SlowFileOpSpecification(const QString &failMessage,
                                                 RollbackDataList *rollbackList,
                                                 const QString &source, const QString &patchFile,
                                                 const QString &target, QObject *parent,
                                                 qreal weight)
    : ASyncTaskSpecification(parent, weight),
      m_RollbackList(rollbackList),
      m_Source(source),
      m_PatchFile(patchFile),
      m_Target(target),
      m_FailMessage(failMessage)
{
}

void SlowFileOpSpecification::execute()
{
    m_TargetExisted = entryExists(m_Target);
    ASyncTaskSpecification::execute();
}

// A result after the task has ended (it was ended by other means or reset) belongs to no
// run any more: recording it would undo a file this run never made.
void SlowFileOpSpecification::runDone(bool ok)
{
    if (m_State != TASK_RUNNING)
        return;
    if (ok && m_RollbackList)
        m_RollbackList->append(RollbackData(FILE_CREATE, m_Target));
    if (!ok) {
        if (!m_TargetExisted && entryExists(m_Target))
            QFile::remove(m_Target);
        emit message(m_FailMessage);
    }
    ASyncTaskSpecification::runDone(ok);
}

bool SlowFileOpSpecification::entryExists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}
