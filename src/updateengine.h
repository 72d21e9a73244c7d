// Drives one update from session set-up to cleanup. The start-up tidying of files that earlier
// releases left behind lives here too, since those files are what past updates produced; it
// runs before anything else and ignores every failure, because a leftover that cannot be
// removed must never stop an update.
#pragma once

#include <QObject>
#include <QString>

class UpdateEngine : public QObject
{
    Q_OBJECT
public:
    // Deletes the files an update moved aside under the prefix "_old_" in `dir`.
    static void removeOldFiles(const QString &dir);
    // Deletes the previous Qt generation's frameworks from the client bundle and the links to
    // them inside its tool applications; `baseDir` holds update.app and ends in "/".
    static void removeQt4Files(const QString &baseDir);
};
