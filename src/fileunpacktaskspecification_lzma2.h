// Unpacks a compressed file container ("._lzma2_") into its target on the thread pool and
// records the target as created. The engine writes the target only after the container's
// checksum matched, so a damaged download never becomes a half-right file.
#pragma once

#include "slowfileopspecification.h"

class FileUnpackTaskSpecification_lzma2 : public SlowFileOpSpecification
{
    Q_OBJECT

public:
    FileUnpackTaskSpecification_lzma2(RollbackDataList *rollbackList, const QString &source,
                                      const QString &target, QObject *parent, qreal weight);

public slots:
    ASyncFunc *createFunc() override;
};
