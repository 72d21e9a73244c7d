#include "dircreatetaskspecification.h"

#include <QDir>
#include <QFileInfo>

DirCreateTaskSpecification::DirCreateTaskSpecification(const QString &path,
                                                       RollbackDataList *rollbackList,
                                                       QObject *parent, qreal weight)
    : FastFileOpTaskSpecification(path, rollbackList, parent, weight)
{
}

// Cleaned first: a trailing "/" or a doubled separator from path concatenation would
// otherwise leave an empty last component that can never be made.
bool DirCreateTaskSpecification::doOp()
{
    return create(QDir::cleanPath(m_Path));
}

bool DirCreateTaskSpecification::create(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists()) {
        if (info.isDir())
            return true;
        emit message(tr("Could not create dir '%1' because it already exists and is not a dir")
                         .arg(path));
        return false;
    }
    const QString parentPath = info.path();
    if (parentPath == "." || QDir(path).isRoot()) {
        emit message(tr("Could not create dir %1").arg(m_Path));
        return false;
    }
    if (!QFileInfo::exists(parentPath) && !create(parentPath))
        return false;
    if (!QDir(parentPath).mkdir(info.fileName())) {
        emit message(tr("unable to create dir %1").arg(path));
        return false;
    }
    addRollback(RollbackData(DIR_CREATE, path));
    return true;
}
