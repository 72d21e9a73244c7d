#include "configuration.h"

#include "buildconfig.h"
#include "updatechecker.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcessEnvironment>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>

namespace {

const char kArgsFileName[] = "/vx3clientupdateargs";
const char kIniFileName[] = "update.ini";
const int kDefaultStreams = 6;
const int kTempDirCandidates = 1000;

QString withTrailingSlash(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

QWidget *mainWindowWidget()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("MainWindow"))
            return widget;
    }
    return nullptr;
}

} // namespace

QString Configuration::s_UpdateUrl = QStringLiteral(VX_UPDATE_IMAGE_URL);
QString Configuration::s_ApplicationDir;

Configuration::Configuration(QObject *parent)
    : QObject(parent)
    , m_VersionServerUrl(UpdateChecker::defaultServerUrl())
{
}

QString Configuration::applicationDir()
{
    return s_ApplicationDir.isEmpty() ? QCoreApplication::applicationDirPath() : s_ApplicationDir;
}

void Configuration::setApplicationDir(const QString &dir)
{
    s_ApplicationDir = dir;
}

QString Configuration::updateUrl()
{
    return s_UpdateUrl;
}

QString Configuration::defaultClientType(int updateType)
{
    return updateType == 0 ? QStringLiteral("update_macosx") : QStringLiteral("client_macosx");
}

QString Configuration::updaterBaseDir()
{
    return applicationDir() + QStringLiteral("/../../../");
}

QString Configuration::installIniDir()
{
    QDir dir(applicationDir());
    dir.cdUp();
    dir.cdUp();
    dir.cdUp();
    return dir.path();
}

QString Configuration::configDir()
{
    QString dir = QProcessEnvironment::systemEnvironment().value(QStringLiteral("VX3_CONFIG_DIR"));
    if (dir.isEmpty())
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Voxtrel 3/");
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    return dir;
}

// The previous updater hands over its arguments in this file, one per line. The bytes are
// taken up to the first NUL and nothing is trimmed, so a line is exactly what was written.
QStringList Configuration::readArgsFile()
{
    QFile file(QDir::tempPath() + QLatin1String(kArgsFileName));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringList();
    QByteArray bytes = file.readAll();
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    QStringList args = QString::fromLatin1(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    args.prepend(QString());
    return args;
}

bool Configuration::parseCommandLineOptions()
{
    return parseCommandLineOptions(QCoreApplication::arguments());
}

bool Configuration::parseCommandLineOptions(const QStringList &arguments)
{
    QStringList args = arguments;
    qDebug() << "parseCommandLineOptions" << args;
    if (args.size() <= 1)
        args = readArgsFile();
    m_UpdateType = args.size() >= 2 && args[1] == QLatin1String("--clientupdate") ? 1 : 0;
    getUpdateChannel();

    const bool flagged = args.size() >= 2
        && (args[1] == QLatin1String("--nouser") || args[1] == QLatin1String("--clientupdate"));
    if (flagged) {
        qDebug() << "CLIENTUPDATE" << (args[1] == QLatin1String("--clientupdate"));
        if (args.size() >= 4) {
            if (!parseClientArgs(args, 2))
                return false;
            if (args.size() >= 5 && args[4] != QLatin1String("#"))
                m_Version = args[4];
        }
    } else if (args.size() == 3) {
        if (!parseClientArgs(args, 1))
            return false;
        m_Ready = true;
        return true;
    } else {
        qDebug() << "Empty cmdline params";
    }
    getDefaultParameters();
    m_Ready = m_VersionNr != 0;
    return true;
}

bool Configuration::parseClientArgs(const QStringList &args, int index)
{
    if (index < 0 || index >= args.size()) {
        emit fatalError(QStringLiteral("No client type specified"));
        return false;
    }
    m_ClientType = args[index];
    if (index + 1 >= args.size()) {
        emit fatalError(QStringLiteral("No client version specified"));
        return false;
    }
    return setVersionNr(args[index + 1], tr("Invalid version nr (%1)"));
}

// The first non-zero version wins (an alpha revision from update.ini beats the command line).
// Zero and negative numbers name no version that exists, so they are rejected like text.
bool Configuration::setVersionNr(const QString &text, const QString &messageFormat)
{
    if (m_VersionNr != 0)
        return true;
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (ok && number > 0) {
        m_VersionNr = number;
        return true;
    }
    emit fatalError(messageFormat.arg(text));
    return false;
}

void Configuration::getUpdateChannel()
{
    qDebug() << "Searching update.ini";
    QString path = configDir() + QLatin1String(kIniFileName);
    bool found = QFile::exists(path);
    qDebug() << "Update ini check #1 in CONFIG" << path << found;
    if (found) {
        qDebug() << "Found CONFIG/update.ini";
    } else {
        path = installIniDir() + QLatin1Char('/') + QLatin1String(kIniFileName);
        found = QFile::exists(path);
        qDebug() << "Update ini check #2 in INSTALL" << path << found;
        if (!found) {
            m_Channel = 0;
            m_VersionNr = 0;
            s_UpdateUrl = QStringLiteral(VX_UPDATE_IMAGE_URL);
            qDebug() << "No update.ini found, using stable channel, URL =" << s_UpdateUrl;
            return;
        }
        qDebug() << "Found INSTALL/update.ini";
    }

    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Channel"));
    const QString alphaUrl = settings.value(QStringLiteral("alpha")).toString();
    bool beta = settings.value(QStringLiteral("beta"), false).toBool();
    if (!beta)
        beta = settings.value(QStringLiteral("Beta"), false).toBool();
    if (!alphaUrl.isEmpty()) {
        m_Channel = 2;
        // A negative revision names no version; the server is asked instead.
        m_VersionNr = qMax(0, settings.value(QStringLiteral("alphaRevno"), 0).toInt());
        s_UpdateUrl = withTrailingSlash(alphaUrl);
        qDebug() << "Alpha channel detected, URL =" << s_UpdateUrl;
    } else {
        m_Channel = beta ? 1 : 0;
        m_VersionNr = 0;
        s_UpdateUrl = QStringLiteral(VX_UPDATE_IMAGE_URL);
        qDebug() << (beta ? "Beta" : "Stable") << "channel detected, URL =" << s_UpdateUrl;
    }
}

bool Configuration::getDefaultParameters()
{
    qDebug() << "getDefaultParameters" << m_ClientType;
    if (m_ClientType.isEmpty())
        m_ClientType = defaultClientType(m_UpdateType);
    qDebug() << "clientType" << m_ClientType;
    if (m_VersionNr != 0)
        return true;
    UpdateChecker *checker = new UpdateChecker(this, m_VersionServerUrl);
    connect(checker, &UpdateChecker::update_available, this, &Configuration::on_updateAvailable);
    checker->check();
    return true;
}

void Configuration::on_updateAvailable(UpdateVersions versions)
{
    qDebug() << "on_updateAvailable" << versions;
    if (versions.isEmpty()) {
        QMessageBox::critical(mainWindowWidget(), tr("Error"),
                              tr("Failed to query latest client\nversion from update server."),
                              QMessageBox::Abort);
        // Not knowing what to install is a failure, and the exit code says so.
        QCoreApplication::exit(1);
        return;
    }
    const QPair<QString, QString> pair = UpdateChecker::versionForChannel(versions, m_Channel);
    qDebug() << "Received version from remote server:" << pair;
    if (pair.first.isEmpty()) {
        emit fatalError(tr("Update server returned no version"));
        return;
    }
    if (setVersionNr(pair.first, tr("Update server returned invalid version nr (%1)"))) {
        m_Version = pair.second;
        m_Ready = true;
        emit ready();
    }
}

bool Configuration::initalizeStart(const QString &tempDir, const QString &installDir)
{
    qDebug() << "initalizeStart" << tempDir << installDir;
    if (!tempDir.isEmpty())
        m_TempDir = tempDir;
    else if (!createTempDir())
        return false;
    m_InstallDir = installDir.isEmpty() ? updaterBaseDir() + QStringLiteral("../") : installDir;
    return true;
}

bool Configuration::createTempDir()
{
    QString base = QDir::tempPath();
    if (base.isEmpty()) {
        qDebug() << "*Error* Unable to get temp directory";
        emit fatalError(QStringLiteral("Unable to get temp directory."));
        return false;
    }
    base = withTrailingSlash(base) + QStringLiteral("voxtrel_temp_");
    for (int n = 0; n < kTempDirCandidates; ++n) {
        const QString candidate = base + QString::number(n);
        if (!QDir().exists(candidate) && QDir().mkpath(candidate)) {
            m_TempDir = candidate;
            return true;
        }
    }
    qDebug() << "*Error* Unable to create temp directory";
    emit fatalError(QStringLiteral("Unable to create temp directory."));
    return false;
}

void Configuration::readProxySettings()
{
    QSettings settings(QDir(updaterBaseDir()).absoluteFilePath(QLatin1String(kIniFileName)), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("update"));
    m_Proxy = settings.value(QStringLiteral("proxy")).toString();
    m_Streams = settings.value(QStringLiteral("streams"), kDefaultStreams).toInt();
    if (m_Streams < 1)
        m_Streams = kDefaultStreams;
}
