// Unpacks a gzip-compressed delivered file into its target on the thread pool and records
// the target as created. Data that is not gzip at all passes through unchanged, as the
// gzip reader does; damaged gzip data fails the task and leaves no target behind.
#pragma once

#include "slowfileopspecification.h"

class FileUnpackTaskSpecification_zip : public SlowFileOpSpecification
{
    Q_OBJECT

public:
    FileUnpackTaskSpecification_zip(RollbackDataList *rollbackList, const QString &source,
                                    const QString &target, QObject *parent, qreal weight);

public slots:
    ASyncFunc *createFunc() override;
};
