// Makes a directory with every missing parent, outermost first, recording each one it made
// so that the undo removes them innermost first and leaves folders that existed alone.
#pragma once

#include "fastfileoptaskspecification.h"

class DirCreateTaskSpecification : public FastFileOpTaskSpecification
{
    Q_OBJECT

public:
    DirCreateTaskSpecification(const QString &path, RollbackDataList *rollbackList,
                               QObject *parent, qreal weight);

public slots:
    bool doOp() override;

private:
    bool create(const QString &path);
};
