// Puts the signed product ini of the target version, unpacked and verified, into the
// session temp dir: fetches the packed ini and its detached signature, unpacks, checks.
// Files that an earlier run of the same session left there are not fetched again but are
// always checked, so nothing unverified is ever parsed. The steps run strictly one after
// another; a failed signature ends the task failed and with it the update.
#pragma once

#include "composedtaskspecification.h"

class CheckSignatureTaskSpecification;
class Configuration;
class QNetworkAccessManager;

class IniDownloadTaskSpecification : public ComposedTaskSpecification
{
    Q_OBJECT

public:
    IniDownloadTaskSpecification(QNetworkAccessManager *manager, Configuration *configuration,
                                 QObject *parent, qreal weight);

    // "update_macosx.ini" for the updater step (0), "vx3_client_macosx.ini" for the client.
    static QString productIniName(int updateType);

    QNetworkAccessManager *m_Manager;
    Configuration *m_Configuration;

public slots:
    void execute() override;
    void reset() override;
    virtual void makeSubtasksAndStart();

    void onSigCheckDone(bool pass, CheckSignatureTaskSpecification *task);
};
