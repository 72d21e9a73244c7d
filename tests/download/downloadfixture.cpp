#include "downloadfixture.h"

#include "support/eventloop.h"

#include <QCryptographicHash>
#include <QFile>

namespace dltest {

Recorder::Recorder(TaskSpecification *task)
{
    QObject::connect(task, &TaskSpecification::message, [this](const QString &m) { messages << m; });
    QObject::connect(task, &TaskSpecification::error, [this](const QString &e) { errors << e; });
    QObject::connect(task, &TaskSpecification::updateProgress, [this](qreal p) { progress << p; });
    QObject::connect(task, &TaskSpecification::finished, [this] { ++finished; });
    QObject::connect(task, &TaskSpecification::canceled, [this] { ++canceled; });
}

// The base URL comes from the alpha channel of the update.ini in the configuration folder,
// the one way the updater lets a run choose another image server.
void DownloadTest::SetUp()
{
    ASSERT_TRUE(m_Server.isListening());
    QTemporaryDir configDir;
    QFile ini(configDir.filePath(QStringLiteral("update.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Channel]\nalpha=" + m_Server.url(QStringLiteral("/img/")).toString().toUtf8()
              + "\n");
    ini.close();
    qputenv("VX3_CONFIG_DIR", configDir.path().toUtf8());
    m_Configuration.getUpdateChannel();
    qunsetenv("VX3_CONFIG_DIR");
    ASSERT_EQ(Configuration::updateUrl(), m_Server.url(QStringLiteral("/img/")).toString());

    m_Configuration.m_TempDir = m_Dir.path();
    m_Configuration.m_VersionNr = kVersion;
    m_Configuration.m_UpdateType = 1;
    m_Configuration.m_Streams = 6;
}

QString DownloadTest::serverPath(const QString &name)
{
    return QStringLiteral("/img/%1/%2").arg(kVersion).arg(name);
}

QByteArray DownloadTest::readLocal(const QString &name) const
{
    QFile file(local(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void DownloadTest::writeLocal(const QString &name, const QByteArray &data) const
{
    QFile file(local(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

bool DownloadTest::runToEnd(const Recorder &recorder, int timeoutMs)
{
    const bool ended = vxtest::waitUntil([&] { return recorder.ends() > 0; }, timeoutMs);
    vxtest::spinFor(30);  // a second end, if any, would show now
    return ended;
}

QString sha512Hex(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha512).toHex());
}

QByteArray pattern(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return data;
}

} // namespace dltest
