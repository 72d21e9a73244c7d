// Checks one local file before anything uses it: against an expected SHA-512 digest, or
// against the detached RSA signature in its ".sig" file when no digest is given. The work
// runs on the thread pool (CheckSigFunc). The outcome goes out as `checkDone` while the task
// is still running, and the creator chooses whether a failed check also fails the task, so
// that a parent can react to the result before the composed outcome is decided.
#pragma once

#include "asynctaskspecification.h"

#include <QString>

class CheckSignatureTaskSpecification : public ASyncTaskSpecification
{
    Q_OBJECT

public:
    CheckSignatureTaskSpecification(const QString &filePath, const QString &sha512,
                                    bool failOnMismatch, QObject *parent, qreal weight);

    QString m_FilePath;
    QString m_Sha512;
    bool m_FailOnMismatch;

public slots:
    ASyncFunc *createFunc() override;
    void runDone(bool ok) override;

signals:
    void checkDone(bool pass, CheckSignatureTaskSpecification *task);
};
