#include "updateengine.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const char *const kOldFileNames[] = {
    "update", "libQtCore.so.4", "libQtGui.so.4", "libQtNetwork.so.4", "libQtSql.so.4",
    "libQt5Core.so.5", "libQt5Gui.so.5", "libQt5Network.so.5", "libQt5Sql.so.5",
    "libqgif.so", "libqjpeg.so", "libqtaccessiblewidgets.so", "libsqlite.so",
};

const char *const kQt4Frameworks[] = {
    "QtCore.framework", "QtGui.framework", "QtNetwork.framework", "QtSql.framework",
};

const char *const kToolApps[] = {"fault_sender", "addon_setup", "update"};

} // namespace

void UpdateEngine::removeOldFiles(const QString &dir)
{
    for (const char *name : kOldFileNames) {
        const QString path = QDir(dir).absoluteFilePath(QStringLiteral("_old_") + QLatin1String(name));
        if (QFile::exists(path)) {
            qDebug() << "Remove old file:" << path;
            QFile::remove(path);
        }
    }
}

void UpdateEngine::removeQt4Files(const QString &baseDir)
{
    const QDir frameworks(baseDir + QStringLiteral("../Frameworks"));
    for (const char *name : kQt4Frameworks) {
        const QString path = frameworks.absoluteFilePath(QLatin1String(name));
        if (!frameworks.exists(path))
            continue;
        qDebug() << "Remove Qt4 dir:" << path;
        // A link is removed as a link: following it would empty a folder outside the bundle.
        if (QFileInfo(path).isSymLink())
            QFile::remove(path);
        else
            QDir(path).removeRecursively();
    }
    for (const char *tool : kToolApps) {
        const QDir toolFrameworks(baseDir + QLatin1String(tool) + QStringLiteral(".app/Contents/Frameworks"));
        for (const char *name : kQt4Frameworks)
            QFile::remove(toolFrameworks.absoluteFilePath(QLatin1String(name)));
    }
}
