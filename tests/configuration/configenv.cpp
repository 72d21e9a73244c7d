#include "configenv.h"

#include "configuration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

void restore(const char *name, const QByteArray &old)
{
    if (old.isNull())
        qunsetenv(name);
    else
        qputenv(name, old);
}

} // namespace

ConfigEnv::ConfigEnv()
    : m_OldTmp(qgetenv("TMPDIR"))
    , m_OldConfig(qgetenv("VX3_CONFIG_DIR"))
{
    QDir().mkpath(tempDir());
    QDir().mkpath(configDir());
    const QString macos = sharedSupport() + "/update.app/Contents/MacOS";
    QDir().mkpath(macos);
    qputenv("TMPDIR", tempDir().toLocal8Bit());
    qputenv("VX3_CONFIG_DIR", configDir().toLocal8Bit());
    Configuration::setApplicationDir(macos);
}

ConfigEnv::~ConfigEnv()
{
    Configuration::setApplicationDir(QString());
    restore("TMPDIR", m_OldTmp);
    restore("VX3_CONFIG_DIR", m_OldConfig);
}

QString ConfigEnv::tempDir() const
{
    return m_Root.path() + "/tmp";
}

QString ConfigEnv::configDir() const
{
    return m_Root.path() + "/config";
}

QString ConfigEnv::sharedSupport() const
{
    return m_Root.path() + "/Client.app/Contents/SharedSupport";
}

QString ConfigEnv::contents() const
{
    return m_Root.path() + "/Client.app/Contents";
}

void ConfigEnv::write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}
