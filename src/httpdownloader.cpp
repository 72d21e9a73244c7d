#include "httpdownloader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

HTTPDownloader::HTTPDownloader(const QNetworkRequest &request)
    : m_Request(request)
{
    // Deleting the object from the end of run() would race with the thread's own exit; once
    // `finished` has been emitted the thread object may safely go.
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

void HTTPDownloader::run()
{
    QNetworkAccessManager *manager = new QNetworkAccessManager;
    connect(manager, &QNetworkAccessManager::finished, this, &HTTPDownloader::on_downloadFinished);
    QNetworkReply *reply = manager->get(m_Request);
    // Stops an endless stream early; a body that arrived in one piece is caught when it ends.
    connect(reply, &QNetworkReply::downloadProgress, manager, [reply](qint64 received, qint64) {
        if (received > kMaxReplyBytes)
            reply->abort();
    });
    exec();
    delete manager;
}

void HTTPDownloader::on_downloadFinished(QNetworkReply *reply)
{
    const bool usable = reply->error() == QNetworkReply::NoError && reply->bytesAvailable() <= kMaxReplyBytes;
    const QByteArray data = usable ? reply->readAll() : QByteArray();
    emit download_available(data);
    reply->deleteLater();
    quit();
}
