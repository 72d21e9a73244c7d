// Builds the work lists of an update from the product ini on the thread pool. The worker
// fills lists private to this task; only a successful run replaces the caller's lists, in
// one step on the GUI thread, so a failed or half-parsed ini never leaves partial lists.
#pragma once

#include "asynctaskspecification.h"
#include "updatelists.h"

class Configuration;

class MakeDownloadReplaceListTaskSpecification : public ASyncTaskSpecification
{
    Q_OBJECT

public:
    MakeDownloadReplaceListTaskSpecification(Configuration *configuration, UpdateLists *lists,
                                             QObject *parent, qreal weight);

public slots:
    ASyncFunc *createFunc() override;
    void runDone(bool ok) override;

private:
    Configuration *m_Configuration;
    UpdateLists *m_Lists;
    UpdateLists m_Parsed;
};
