// Moves a file to a new name, possibly in another folder of the same file system; the usual
// use is moving an installed file aside before a new one is written in its place, so that
// the undo can put it back. Folders made for the new name are recorded as well, so the undo
// leaves none of them behind.
#pragma once

#include "fastfileoptaskspecification.h"

class FileRenameTaskSpecification : public FastFileOpTaskSpecification
{
    Q_OBJECT

public:
    FileRenameTaskSpecification(const QString &source, const QString &target,
                                RollbackDataList *rollbackList, QObject *parent, qreal weight);

    QString m_Source;

public slots:
    bool doOp() override;

private:
    void makeTargetDir();
};
