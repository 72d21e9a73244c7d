// Fetches one listed file into the session temp dir and checks it against the SHA-512
// digest from the signed product ini. A file that does not match is deleted and the task
// fails, so a bad download can neither be installed nor be taken for complete by a later
// run of the same session.
#pragma once

#include "composedtaskspecification.h"
#include "updatelists.h"

class CheckSignatureTaskSpecification;
class Configuration;
class QNetworkAccessManager;

class DownloadFileTaskSpecification : public ComposedTaskSpecification
{
    Q_OBJECT

public:
    DownloadFileTaskSpecification(const DownloadEntry &entry, QNetworkAccessManager *manager,
                                  Configuration *configuration, QObject *parent, qreal weight);

    DownloadEntry m_Entry;
    QNetworkAccessManager *m_Manager;
    Configuration *m_Configuration;

public slots:
    void execute() override;
    void reset() override;
    void subtasksDone() override;

    void onSigCheckDone(bool pass, CheckSignatureTaskSpecification *task);

private:
    bool m_CheckFailed = false;
};
