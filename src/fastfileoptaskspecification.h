// A file change small enough to make on the GUI thread inside execute(): the task starts and
// ends within that one call. Changes that can be undone are recorded in the owner's rollback
// list; a null list records nothing.
#pragma once

#include "rollback.h"
#include "taskspecification.h"

class FastFileOpTaskSpecification : public TaskSpecification
{
    Q_OBJECT

public:
    FastFileOpTaskSpecification(const QString &path, RollbackDataList *rollbackList,
                                QObject *parent, qreal weight);

    void addRollback(const RollbackData &record);

    RollbackDataList *m_RollbackList;
    QString m_Path;

public slots:
    void execute() override;
    virtual bool doOp() = 0;
};
