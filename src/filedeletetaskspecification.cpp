#include "filedeletetaskspecification.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

FileDeleteTaskSpecification::FileDeleteTaskSpecification(bool failOnError, const QString &path,
                                                         bool recursive, QObject *parent,
                                                         qreal weight)
    : FastFileOpTaskSpecification(path, nullptr, parent, weight),
      m_FailOnError(failOnError),
      m_Recursive(recursive)
{
}

// A link to a folder is removed as a link: following it would empty a folder that may lie
// outside the tree being cleaned.
bool FileDeleteTaskSpecification::doOp()
{
    const QFileInfo info(m_Path);
    const bool removed = info.isDir() && !info.isSymLink() ? removeDir() : removeFile();
    if (!removed && m_FailOnError) {
        emit message(tr("Could not delete '%1'").arg(m_Path));
        return false;
    }
    return true;
}

bool FileDeleteTaskSpecification::removeDir()
{
    if (m_Recursive) {
        const bool ok = QDir(m_Path).removeRecursively();
        qDebug() << "Recursively deleted directory" << m_Path << ok;
        if (ok)
            emit message(tr("Recursively deleted directory '%1'").arg(m_Path));
        return ok;
    }
    const bool ok = QDir().rmpath(m_Path);
    qDebug() << "Deleted directory" << m_Path << ok;
    if (ok)
        emit message(tr("Deleted directory '%1'").arg(m_Path));
    return ok;
}

bool FileDeleteTaskSpecification::removeFile()
{
    const bool ok = QFile::remove(m_Path);
    qDebug() << "Deleted file" << m_Path << ok;
    if (ok)
        emit message(tr("Deleted file '%1'").arg(m_Path));
    return ok;
}
