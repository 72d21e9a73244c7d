// A throw-away installation for configuration tests: a client bundle tree with the updater in
// Contents/SharedSupport, a temp folder and a CONFIG folder, all under one temporary
// directory, with the process environment pointed at them for the life of the object.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class ConfigEnv
{
public:
    ConfigEnv();
    ~ConfigEnv();

    QString tempDir() const;       // what QDir::tempPath() returns meanwhile
    QString configDir() const;     // VX3_CONFIG_DIR
    QString sharedSupport() const; // the folder holding update.app
    QString contents() const;      // the client bundle's Contents folder

    static void write(const QString &path, const QByteArray &bytes);

private:
    QTemporaryDir m_Root;
    QByteArray m_OldTmp;
    QByteArray m_OldConfig;
};
