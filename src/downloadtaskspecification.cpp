#include "downloadtaskspecification.h"

#include "configuration.h"

#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

DownloadTaskSpecification::DownloadTaskSpecification(QNetworkAccessManager *manager,
                                                     const QString &url, int versionNr,
                                                     const QString &fileName,
                                                     qint64 expectedSize, QObject *parent,
                                                     qreal weight)
    : TaskSpecification(parent, weight)
    , m_Manager(manager)
    , m_Url(url)
    , m_VersionNr(versionNr)
    , m_File(fileName)
    , m_Expected(expectedSize)
    , m_InitialExpected(expectedSize)
{
}

DownloadTaskSpecification::~DownloadTaskSpecification()
{
    if (m_Reply) {
        disconnect(m_Reply, nullptr, this, nullptr);
        m_Reply->deleteLater();
    }
    m_File.close();
}

void DownloadTaskSpecification::execute()
{
    qDebug() << "Downloading" << m_Url;
    emit message(tr("Downloading %1").arg(m_Url));
    m_State = TASK_RUNNING;
    startDownload();
}

void DownloadTaskSpecification::startDownload()
{
    if (!m_File.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        emit error(tr("Unable to create file %1 for saving").arg(m_File.fileName()));
        setFailed();
        return;
    }
    const QUrl url(Configuration::updateUrl() + QString::number(m_VersionNr) + QLatin1Char('/')
                       + m_Url,
                   QUrl::TolerantMode);
    qDebug() << "Requesting download of" << url;
    m_Reply = m_Manager->get(QNetworkRequest(url));
    if (!m_Reply) {
        emit error(tr("Download failed to initialize"));
        setFailed();
        return;
    }
    if (!m_Reply->isRunning()) {
        retryOrFail(m_Reply->errorString());
        return;
    }
    connect(m_Reply, &QNetworkReply::downloadProgress, this,
            &DownloadTaskSpecification::onDownloadProgress);
    connect(m_Reply, &QNetworkReply::readyRead, this, &DownloadTaskSpecification::onReadyRead);
    connect(m_Reply, &QNetworkReply::finished, this,
            &DownloadTaskSpecification::onDownloadFinished);
    connect(m_Reply, &QNetworkReply::metaDataChanged, this,
            &DownloadTaskSpecification::onMetaDataChanged);
}

void DownloadTaskSpecification::onMetaDataChanged()
{
    if (!m_Reply)
        return;
    const QVariant status = m_Reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() != 200)
        retryOrFail(tr("%1 returned %2").arg(m_Url).arg(status.toInt()));
}

void DownloadTaskSpecification::onDownloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    if (bytesTotal > 0 && m_Expected == -1)
        m_Expected = bytesTotal;
}

void DownloadTaskSpecification::onReadyRead()
{
    readAvailable();
}

void DownloadTaskSpecification::onDownloadFinished()
{
    if (!m_Reply)
        return;
    if (m_Reply->error() != QNetworkReply::NoError) {
        if (m_Reply->error() == QNetworkReply::AuthenticationRequiredError)
            m_Reply->close();
        retryOrFail(m_Reply->errorString());
        return;
    }
    if (!readAvailable())
        return;
    m_Reply->close();
    m_Reply->deleteLater();
    m_Reply = nullptr;
    m_File.close();
    downloadFinished();
}

void DownloadTaskSpecification::downloadFinished()
{
    const bool exists = m_File.exists();
    qDebug() << "Download finished:" << m_Url << m_File.fileName() << m_File.isOpen() << exists;
    // The file was written and closed just now; if it is gone, something else removed it,
    // and reporting success would hand a missing file to the check that follows.
    if (!exists) {
        emit message(tr("Downloaded file %1 has disappeared").arg(m_File.fileName()));
        setFailed();
        return;
    }
    emit message(tr("Downloading %1 finished").arg(m_Url));
    setFinished();
}

bool DownloadTaskSpecification::readAvailable()
{
    char buffer[kChunkSize];
    while (m_Reply) {
        m_StallTicks = 0;
        const qint64 available = m_Reply->bytesAvailable();
        if (available <= 0)
            return true;
        const qint64 read = m_Reply->read(buffer, qMin<qint64>(available, kChunkSize));
        if (read == 0)
            return true;
        if (read < 0) {
            retryOrFail(m_Reply->errorString());
            return false;
        }
        const qint64 written = m_File.write(buffer, read);
        if (written < 0) {
            retryOrFail(m_File.errorString());
            return false;
        }
        if (written != read) {
            retryOrFail(tr("Error writing to file %1. Should write %2 bytes but wrote %3 bytes")
                            .arg(m_File.fileName())
                            .arg(read)
                            .arg(written));
            return false;
        }
        m_Received += written;
        if (m_Expected > 0)
            setProgress(qMin<qreal>(1.0, qreal(m_Received) / qreal(m_Expected)));
    }
    return true;
}

void DownloadTaskSpecification::downloadStatus(qint64 &downloadDone, qint64 &downloadTotal,
                                               qint64 &speed, bool &downloading)
{
    downloadDone = m_Received;
    downloadTotal = m_Expected < 0 ? 0 : m_Expected;
    speed = m_Received - m_LastSample;
    m_LastSample = m_Received;
    if (m_State != TASK_RUNNING || !m_Reply)
        return;
    if (m_StallTicks++ < kStallLimit)
        downloading = true;
    else
        retryOrFail(tr("file %1 timed out").arg(m_Url));
}

void DownloadTaskSpecification::cancel()
{
    m_CancelRequested = true;
    if (m_State != TASK_RUNNING)
        return;
    dropReply();
    setCanceled();
}

void DownloadTaskSpecification::abortOnOtherCancel(TaskSpecification *cancelledTask)
{
    if (m_Reply) {
        emit message(tr("Abort downloading %1").arg(m_Url));
        dropReply();
    }
    setFailed();
}

void DownloadTaskSpecification::reset()
{
    dropReply();
    m_Retries = 0;
    TaskSpecification::reset();
}

void DownloadTaskSpecification::dropReply()
{
    if (m_Reply) {
        disconnect(m_Reply, nullptr, this, nullptr);
        m_Reply->deleteLater();
        m_Reply = nullptr;
    }
    m_StallTicks = 0;
    if (m_File.isOpen()) {
        m_File.close();
        m_File.remove();
    }
    m_LastSample = 0;
    m_Expected = m_InitialExpected;
    m_Received = 0;
    setProgress(0);
}

void DownloadTaskSpecification::retryOrFail(const QString &reason)
{
    dropReply();
    emit message(reason);
    if (m_Retries++ < kMaxRetries) {
        startDownload();
        return;
    }
    emit message(tr("Unable to download %1").arg(m_Url));
    m_File.remove();
    setFailed();
}
