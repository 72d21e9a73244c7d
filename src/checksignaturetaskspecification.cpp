#include "checksignaturetaskspecification.h"

#include "checksigfunc.h"

#include <QDebug>

CheckSignatureTaskSpecification::CheckSignatureTaskSpecification(const QString &filePath,
                                                                 const QString &sha512,
                                                                 bool failOnMismatch,
                                                                 QObject *parent, qreal weight)
    : ASyncTaskSpecification(parent, weight)
    , m_FilePath(filePath)
    , m_Sha512(sha512)
    , m_FailOnMismatch(failOnMismatch)
{
}

ASyncFunc *CheckSignatureTaskSpecification::createFunc()
{
    return new CheckSigFunc(m_FilePath, m_Sha512);
}

void CheckSignatureTaskSpecification::runDone(bool ok)
{
    if (m_State != TASK_RUNNING)
        return;
    if (ok) {
        emit checkDone(true, this);
        setFinished();
        return;
    }
    qDebug() << "Signature check failed for" << m_FilePath;
    emit message(tr("Signature check failed for %1").arg(m_FilePath));
    emit checkDone(false, this);
    if (m_FailOnMismatch)
        setFailed();
    else
        setFinished();
}
