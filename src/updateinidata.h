// The record of the update session in progress, kept in group "current" of update.ini next to
// the running updater. A restarted updater (after a crash, or the new one of step two) finds
// the session here and continues it. Every call opens the file anew and closes it before
// returning, so the file on disk is always the truth and other groups are left as they are.
#pragma once

#include <QString>

class UpdateIniData
{
public:
    static QString updateIniPath();

    // Fills the non-null outputs only for a valid record: a numeric version, a type, and a
    // "dir" that still exists.
    static bool get(int *version, QString *type, QString *dir, QString *vx3dir);
    static bool modify(int version, const QString &dir, const QString &vx3dir, const QString &type);
    // Gives the updater that step one assembled in `dir` the same session, as a client update.
    static bool modifyTempIni(const QString &dir);

private:
    static bool write(const QString &path, int version, const QString &dir, const QString &vx3dir,
                      const QString &type, const char *what);
};
