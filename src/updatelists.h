// The work lists of one update, built from the signed product ini against the installed
// files and consumed by the download, install and command steps. Plain value records: they
// are filled on a pool thread into lists private to the parsing task and handed over whole
// on the GUI thread, so no list is ever shared between threads.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One file to fetch into the session temp dir.
struct DownloadEntry {
    QString section;  // also the server sub-folder the file lies in
    QString name;     // relative to the section on the server, to m_TempDir locally
    QString hash;     // expected SHA-512, hex
    quint64 size = 0;
};

// One file to install.
struct ReplaceEntry {
    QString section;
    QString name;        // the delivered file in m_TempDir
    QString hash;        // SHA-512 of the final file; empty when delivered as is
    quint64 size = 0;
    QString targetName;  // final relative path; empty when the delivered file is final
    QString patchName;   // chosen binary patch in m_TempDir; empty for a whole file

    // Where the final file goes, relative to the install dir.
    QString targetPath() const;
};

struct DeleteEntry {
    QString path;  // relative to the install dir
    bool recursive = false;
};

struct InstallCommand {
    QString program;  // relative to m_TempDir
    QStringList arguments;
    bool required = true;
};

struct UpdateLists {
    QList<DownloadEntry> downloads;
    QList<ReplaceEntry> replacements;
    QList<DeleteEntry> deletions;
    QList<InstallCommand> preInstall;
    QList<InstallCommand> postInstall;

    void clear();
};
