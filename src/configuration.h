// Everything an update run needs to know before it starts: which step this process performs,
// the channel, the product type, the target version, the image server's base URL, the session
// and install directories and the network settings. One object, created by main and read
// directly by the window, the engine and every task, so its members are public. The target
// version may arrive only later from the version server; `m_Ready` says when it is settled.
#pragma once

#include "updateversions.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

class Configuration : public QObject
{
    Q_OBJECT
public:
    explicit Configuration(QObject *parent = nullptr);

    bool parseCommandLineOptions();
    // The same with the arguments given; the first one is the program name.
    bool parseCommandLineOptions(const QStringList &arguments);
    void getUpdateChannel();
    bool getDefaultParameters();
    bool initalizeStart(const QString &tempDir, const QString &installDir);
    bool createTempDir();
    void readProxySettings();

    // The folder the program runs from (inside update.app/Contents/MacOS); every default path
    // follows from it. Tests that need a bundle tree somewhere else set it; empty restores it.
    static QString applicationDir();
    static void setApplicationDir(const QString &dir);

    static QString updateUrl();
    static QString defaultClientType(int updateType);
    static QString updaterBaseDir();
    static QString installIniDir();
    static QString configDir();
    static QStringList readArgsFile();

    bool m_Ready = false;
    int m_UpdateType = 0;
    int m_Channel = 0;
    QString m_ClientType;
    int m_VersionNr = 0;
    QString m_Version;
    QString m_TempDir;
    QString m_InstallDir;
    QString m_Proxy;
    int m_Streams = 6;
    // Where the version query goes: the build's version server; tests point it elsewhere.
    QUrl m_VersionServerUrl;

signals:
    void ready();
    void fatalError(QString errorMessage);

public slots:
    void on_updateAvailable(UpdateVersions versions);

private:
    bool parseClientArgs(const QStringList &args, int index);
    bool setVersionNr(const QString &text, const QString &messageFormat);

    static QString s_UpdateUrl;
    static QString s_ApplicationDir;
};
