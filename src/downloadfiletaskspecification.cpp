#include "downloadfiletaskspecification.h"

#include "checksignaturetaskspecification.h"
#include "configuration.h"
#include "downloadtaskspecification.h"

#include <QDebug>
#include <QFile>

DownloadFileTaskSpecification::DownloadFileTaskSpecification(const DownloadEntry &entry,
                                                             QNetworkAccessManager *manager,
                                                             Configuration *configuration,
                                                             QObject *parent, qreal weight)
    : ComposedTaskSpecification(1, parent, weight)
    , m_Entry(entry)
    , m_Manager(manager)
    , m_Configuration(configuration)
{
}

void DownloadFileTaskSpecification::execute()
{
    const QString localPath = m_Configuration->m_TempDir + QLatin1Char('/') + m_Entry.name;
    addSubTask(new DownloadTaskSpecification(m_Manager, m_Entry.section + QLatin1Char('/') + m_Entry.name,
                                             m_Configuration->m_VersionNr, localPath,
                                             static_cast<qint64>(m_Entry.size), this, 0.8));
    auto *check = new CheckSignatureTaskSpecification(localPath, m_Entry.hash, false, this, 0.2);
    connect(check, &CheckSignatureTaskSpecification::checkDone, this,
            &DownloadFileTaskSpecification::onSigCheckDone);
    addSubTask(check);
    startSubTasks();
}

// The check itself finishes either way; the mismatch is turned into this task's failure
// once the check has ended, so the task still ends exactly once.
void DownloadFileTaskSpecification::onSigCheckDone(bool pass, CheckSignatureTaskSpecification *task)
{
    if (pass)
        return;
    m_CheckFailed = true;
    const bool removed = QFile::remove(task->m_FilePath);
    qDebug() << "Removed file that failed its check:" << task->m_FilePath << removed;
}

void DownloadFileTaskSpecification::subtasksDone()
{
    if (m_CheckFailed)
        setFailed();
    else
        ComposedTaskSpecification::subtasksDone();
}

void DownloadFileTaskSpecification::reset()
{
    deleteSubTasks();
    m_CheckFailed = false;
    ComposedTaskSpecification::reset();
}
