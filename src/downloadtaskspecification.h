// Fetches one file of the update-image server into a local file. The body is streamed to
// disk in small pieces as it arrives, so memory stays flat for any file size. A flaky
// server costs retries, not a broken update: any failure (bad status, network error, write
// error, stall) drops the attempt with its partial file and starts over, up to five
// attempts in all. A stall is noticed through downloadStatus(), which the engine calls
// once a second, so no timer of its own is needed.
#pragma once

#include "taskspecification.h"

#include <QFile>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

class DownloadTaskSpecification : public TaskSpecification
{
    Q_OBJECT

public:
    DownloadTaskSpecification(QNetworkAccessManager *manager, const QString &url, int versionNr,
                              const QString &fileName, qint64 expectedSize, QObject *parent,
                              qreal weight);
    ~DownloadTaskSpecification() override;

    static constexpr int kChunkSize = 4096;
    static constexpr int kStallLimit = 15;
    static constexpr int kMaxRetries = 4;

    QNetworkAccessManager *m_Manager;
    QNetworkReply *m_Reply = nullptr;
    int m_StallTicks = 0;
    QString m_Url;
    int m_VersionNr;
    QFile m_File;
    int m_Retries = 0;
    qint64 m_LastSample = 0;
    qint64 m_Expected;
    qint64 m_InitialExpected;
    qint64 m_Received = 0;

public slots:
    void execute() override;
    void reset() override;
    void downloadStatus(qint64 &downloadDone, qint64 &downloadTotal, qint64 &speed,
                        bool &downloading) override;
    void cancel() override;
    void abortOnOtherCancel(TaskSpecification *cancelledTask) override;
    virtual void downloadFinished();

    void onDownloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    void onReadyRead();
    void onDownloadFinished();
    void onMetaDataChanged();

private:
    void startDownload();
    bool readAvailable();
    void dropReply();
    void retryOrFail(const QString &reason);
};
