// Downloads every file of the update's download list into the session temp dir, a few at a
// time (the configured number of streams), each followed by its digest check. The total
// shown to the user is the sum of the sizes in the product ini, fixed from the start, so
// the figure does not grow as downloads begin. Any file that fails for good fails the
// list, and with it the update, before anything installed is touched.
#pragma once

#include "composedtaskspecification.h"
#include "updatelists.h"

class Configuration;
class QNetworkAccessManager;

class DownloadFileListTaskSpecification : public ComposedTaskSpecification
{
    Q_OBJECT

public:
    DownloadFileListTaskSpecification(QList<DownloadEntry> *downloads,
                                      QNetworkAccessManager *manager,
                                      Configuration *configuration, QObject *parent,
                                      qreal weight);

    QList<DownloadEntry> *m_Downloads;
    QNetworkAccessManager *m_Manager;
    Configuration *m_Configuration;
    quint64 m_TotalSize = 0;

public slots:
    void execute() override;
    void reset() override;
    void downloadStatus(qint64 &downloadDone, qint64 &downloadTotal, qint64 &speed,
                        bool &downloading) override;

private:
    bool makeFolders();
};
