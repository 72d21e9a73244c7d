#include "filerenametaskspecification.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

FileRenameTaskSpecification::FileRenameTaskSpecification(const QString &source,
                                                         const QString &target,
                                                         RollbackDataList *rollbackList,
                                                         QObject *parent, qreal weight)
    : FastFileOpTaskSpecification(target, rollbackList, parent, weight), m_Source(source)
{
}

bool FileRenameTaskSpecification::doOp()
{
    makeTargetDir();
    if (!RollbackData::renameEntry(m_Source, m_Path)) {
        emit message(tr("Could not rename '%1' to '%2'").arg(m_Source, m_Path));
        return false;
    }
    addRollback(RollbackData(FILE_RENAME, m_Source, m_Path));
    return true;
}

// A failure here needs no message of its own: the rename that follows fails and says so.
void FileRenameTaskSpecification::makeTargetDir()
{
    QStringList missing;
    for (QString dir = QFileInfo(m_Path).path(); !QFileInfo::exists(dir);) {
        missing.prepend(dir);
        const QString up = QFileInfo(dir).path();
        if (up == dir)
            break;
        dir = up;
    }
    for (const QString &dir : qAsConst(missing)) {
        if (!QDir().mkdir(dir))
            return;
        addRollback(RollbackData(DIR_CREATE, dir));
    }
}
