// Removes a file or a directory. Deletions are not undone, which is why the update deletes
// only after every file has been installed; a failure ends the task only when asked to.
// Links are removed themselves, never what they point to.
#pragma once

#include "fastfileoptaskspecification.h"

class FileDeleteTaskSpecification : public FastFileOpTaskSpecification
{
    Q_OBJECT

public:
    FileDeleteTaskSpecification(bool failOnError, const QString &path, bool recursive,
                                QObject *parent, qreal weight);

    bool m_FailOnError;
    bool m_Recursive;

public slots:
    bool doOp() override;

private:
    bool removeDir();
    bool removeFile();
};
