#include "updatechecker.h"

#include "buildconfig.h"
#include "httpdownloader.h"
#include "updateserver_client/versions.h"

UpdateChecker::UpdateChecker(QObject *parent, const QUrl &serverUrl)
    : QObject(parent)
    , m_ServerUrl(serverUrl)
{
}

// A query still in flight when its owner goes (the program is ending) is stopped and joined
// here, so no thread outlives the application object.
UpdateChecker::~UpdateChecker()
{
    if (m_Downloader) {
        m_Downloader->quit();
        m_Downloader->wait();
        delete m_Downloader.data();
    }
}

QUrl UpdateChecker::defaultServerUrl()
{
    return QUrl(QStringLiteral(VX_VERSION_SERVER_URL), QUrl::TolerantMode);
}

void UpdateChecker::check()
{
    const QNetworkRequest request(m_ServerUrl);
    m_Downloader = new HTTPDownloader(request);
    connect(m_Downloader, &HTTPDownloader::download_available, this, &UpdateChecker::on_updateCheckAvailable);
    m_Downloader->start(QThread::InheritPriority);
}

QPair<QString, QString> UpdateChecker::versionForChannel(const UpdateVersions &versions, int channel)
{
    static const char *const names[] = {"stable", "beta", "alpha"};
    if (channel < 0 || channel > 2)
        return QPair<QString, QString>();
    return versions.value(QString::fromLatin1(names[channel]));
}

void UpdateChecker::on_updateCheckAvailable(QByteArray updateData)
{
    UpdateVersions versions;
    voxtrel::update::DecodedVersions decoded;
    if (voxtrel::update::parseVersions(updateData.constData(), updateData.size(), decoded) == voxtrel::update::PARSE_OK) {
        for (const std::string &name : decoded.channelNames) {
            versions[QString::fromStdString(name)] =
                qMakePair(QString::number(decoded.versionNumber(name)),
                          QString::fromStdString(decoded.versionString(name)));
        }
    }
    emit update_available(versions);
    deleteLater();
}
