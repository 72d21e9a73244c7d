#include "rollback.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QObject>

#include <cstdio>

RollbackData::RollbackData(int op, const QString &oldPath, const QString &newPath)
    : m_Path(newPath), m_OldPath(oldPath), m_Op(op)
{
    Q_ASSERT(op==FILE_RENAME);
}

RollbackData::RollbackData(int op, const QString &path) : m_Path(path), m_Op(op)
{
    Q_ASSERT(op!=FILE_RENAME);
}

bool RollbackData::rollback(QObject *notify) const
{
    switch (m_Op) {
    case DIR_CREATE: {
        const QFileInfo info(m_Path);
        if (info.dir().rmdir(info.fileName()))
            return true;
        message(notify, QObject::tr("warning: rollback create dir %1 failed").arg(m_Path));
        return false;
    }
    case FILE_CREATE:
        if (QFile::remove(m_Path))
            return true;
        message(notify, QObject::tr("warning: rollback create file %1 failed").arg(m_Path));
        return false;
    case FILE_RENAME:
        if (renameEntry(m_Path, m_OldPath))
            return true;
        message(notify,
                QObject::tr("warning: rollback rename %1 to %2 failed").arg(m_OldPath, m_Path));
        return false;
    default:
        // Stopping here would strand every older change; report this one and go on.
        qCritical("Should not reach here");
        message(notify, QObject::tr("warning: rollback of %1 failed").arg(m_Path));
        return false;
    }
}

void RollbackData::message(QObject *notify, QString text)
{
    if (!notify)
        return;
    if (notify->metaObject()->indexOfMethod("message(QString)") < 0) {
        qWarning() << "Warning: message signal was not found in RollbackData::message";
        return;
    }
    QMetaObject::invokeMethod(notify, "message", Qt::AutoConnection, Q_ARG(QString, text));
}

// Moves one entry without following links, so a link in an installed bundle comes back as
// the same link, and never replaces what already stands at the destination: an undo must
// not destroy a file it knows nothing about.
bool RollbackData::renameEntry(const QString &from, const QString &to)
{
    const QFileInfo target(to);
    if (target.exists() || target.isSymLink())
        return false;
    if (!QFileInfo(from).isSymLink())
        return QFile::rename(from, to);
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool RollbackDataList::rollback(QObject *notify)
{
    bool allUndone = true;
    while (!isEmpty())
        allUndone &= takeLast().rollback(notify);
    return allUndone;
}
