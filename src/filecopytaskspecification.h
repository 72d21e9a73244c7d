// Copies a file into place on the thread pool and records it as created.
#pragma once

#include "slowfileopspecification.h"

class FileCopyTaskSpecification : public SlowFileOpSpecification
{
    Q_OBJECT

public:
    FileCopyTaskSpecification(RollbackDataList *rollbackList, const QString &source,
                              const QString &target, QObject *parent, qreal weight);

public slots:
    ASyncFunc *createFunc() override;
};
