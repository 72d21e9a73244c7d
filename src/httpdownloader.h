// One HTTP GET on a thread of its own, for the version query. The thread owns its network
// manager so that a slow server never holds up the window; the result comes back to the GUI
// thread as plain bytes, empty for every kind of failure.
#pragma once

#include <QNetworkRequest>
#include <QThread>

class QNetworkReply;

class HTTPDownloader : public QThread
{
    Q_OBJECT
public:
    explicit HTTPDownloader(const QNetworkRequest &request);

    // Replies larger than this are not a version answer; they are cut off and count as failed.
    static constexpr qint64 kMaxReplyBytes = 1 << 20;

signals:
    void download_available(QByteArray data);

public slots:
    void on_downloadFinished(QNetworkReply *reply);

protected:
    void run() override;

private:
    QNetworkRequest m_Request;
};
