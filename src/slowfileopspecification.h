// A file operation that makes a target file on the thread pool (copy, patch, unpack). A
// success records the target as created, so the undo deletes it. A failure removes whatever
// part of a new target the worker left behind: a half-written file in place of one that was
// moved aside would keep the undo from moving the original back.
#pragma once

#include "asynctaskspecification.h"
#include "rollback.h"

class SlowFileOpSpecification : public ASyncTaskSpecification
{
    Q_OBJECT

public:
    SlowFileOpSpecification(const QString &failMessage, RollbackDataList *rollbackList,
                            const QString &source, const QString &target, QObject *parent,
                            qreal weight);
    SlowFileOpSpecification(const QString &failMessage, RollbackDataList *rollbackList,
                            const QString &source, const QString &patchFile,
                            const QString &target, QObject *parent, qreal weight);

    RollbackDataList *m_RollbackList;
    QString m_Source;
    QString m_PatchFile;
    QString m_Target;
    QString m_FailMessage;

public slots:
    void execute() override;
    void runDone(bool ok) override;

private:
    static bool entryExists(const QString &path);

    bool m_TargetExisted = false;
};
