// Undo records for the file changes of an update, kept in memory by the task that drives the
// changes and undone newest first when it fails: files before the folders that hold them,
// inner folders before outer ones, a new file before the old one is moved back in its place.
// An undo never overwrites or deletes anything it did not record, and one failed undo does
// not stop the older ones.
#pragma once

#include <QList>
#include <QString>

class QObject;

enum RollbackOp {
    FILE_RENAME = 0,
    FILE_CREATE = 1,
    DIR_CREATE = 2
};

class RollbackData
{
public:
    RollbackData(int op, const QString &oldPath, const QString &newPath);
    RollbackData(int op, const QString &path);

    bool rollback(QObject *notify) const;

    static void message(QObject *notify, QString text);
    static bool renameEntry(const QString &from, const QString &to);

    QString m_Path;
    QString m_OldPath;
    int m_Op;
};

class RollbackDataList : public QList<RollbackData>
{
public:
    bool rollback(QObject *notify);
};
