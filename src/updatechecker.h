// Asks the version server for the current version of every channel and answers with one
// `update_available` per check — an empty map for any failure, so the receiver has a single
// place to handle it. The checker deletes itself after answering.
#pragma once

#include "updateversions.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

class HTTPDownloader;

class UpdateChecker : public QObject
{
    Q_OBJECT
public:
    explicit UpdateChecker(QObject *parent, const QUrl &serverUrl = defaultServerUrl());
    ~UpdateChecker() override;

    static QUrl defaultServerUrl();

    void check();

    // The entry of "stable" (0), "beta" (1) or "alpha" (2); empty strings when absent.
    static QPair<QString, QString> versionForChannel(const UpdateVersions &versions, int channel);

signals:
    void update_available(UpdateVersions versions);

public slots:
    void on_updateCheckAvailable(QByteArray updateData);

private:
    QUrl m_ServerUrl;
    QPointer<HTTPDownloader> m_Downloader;
};
