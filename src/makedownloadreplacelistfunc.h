// Turns the verified product ini into the work lists of an update by comparing every listed
// file with what is installed: only what differs is downloaded and replaced, a binary patch
// is chosen when the installed file is exactly its base, and a delivered file already
// complete in the temp dir is not fetched again. Runs on a pool thread; it takes copies of
// the configuration values it needs so that nothing of the GUI thread is read while it
// works, and fills only the list object it was given.
#pragma once

#include "asyncfunc.h"
#include "updatelists.h"

#include <QMultiMap>
#include <QString>

class Configuration;
class QSettings;

class MakeDownloadReplaceListFunc : public ASyncFunc
{
    Q_OBJECT

public:
    MakeDownloadReplaceListFunc(Configuration *configuration, UpdateLists *lists);

    bool run() override;

    // "mac" is 5; only that code selects a command on this platform.
    static int osCode(const QString &name);

private:
    struct PatchEntry {
        QString section, name, hash, size, targetName, baseHash, baseSize;
    };
    using PatchMap = QMultiMap<QString, PatchEntry>;

    bool readPatches(QSettings &ini, const QString &section, QStringList &keys,
                     PatchMap &patches);
    void readDeletions(QSettings &ini, const QStringList &keys, int &counter, int total);
    void readCommands(QSettings &ini, const QString &section, const QStringList &keys);
    void readFiles(QSettings &ini, const QString &section, const QStringList &keys,
                   const PatchMap &patches, int &counter, int total);
    void readFile(const QString &section, const QString &key, const QStringList &fields,
                  const PatchMap &patches);
    void queue(const DownloadEntry &download, const ReplaceEntry &replacement);
    void copyUpdaterFile(const QString &targetPath);
    void warnInvalid(const QString &section);

    static bool sameDigest(const QString &path, const QString &digest);

    int m_UpdateType;
    QString m_TempDir;
    QString m_InstallDir;
    UpdateLists *m_Lists;
};
