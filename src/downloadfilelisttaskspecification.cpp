#include "downloadfilelisttaskspecification.h"

#include "configuration.h"
#include "downloadfiletaskspecification.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

DownloadFileListTaskSpecification::DownloadFileListTaskSpecification(
    QList<DownloadEntry> *downloads, QNetworkAccessManager *manager,
    Configuration *configuration, QObject *parent, qreal weight)
    : ComposedTaskSpecification(configuration->m_Streams, parent, weight)
    , m_Downloads(downloads)
    , m_Manager(manager)
    , m_Configuration(configuration)
{
}

void DownloadFileListTaskSpecification::execute()
{
    m_State = TASK_RUNNING;
    if (m_Downloads->isEmpty()) {
        emit message(tr("No downloads needed"));
        setFinished();
        return;
    }
    if (!makeFolders()) {
        setFailed();
        return;
    }
    emit message(tr("Downloading files"));
    const qreal weight = 1.0 / m_Downloads->size();
    for (const DownloadEntry &entry : qAsConst(*m_Downloads)) {
        addSubTask(new DownloadFileTaskSpecification(entry, m_Manager, m_Configuration, this,
                                                     weight));
        m_TotalSize += entry.size;
    }
    startSubTasks();
}

bool DownloadFileListTaskSpecification::makeFolders()
{
    QSet<QString> made{QStringLiteral(".")};
    for (const DownloadEntry &entry : qAsConst(*m_Downloads)) {
        const int slash = entry.name.lastIndexOf(QLatin1Char('/'));
        const QString folder = slash < 0 ? QStringLiteral(".") : entry.name.left(slash);
        if (made.contains(folder))
            continue;
        const QString path = m_Configuration->m_TempDir + QLatin1Char('/') + folder;
        if (!QDir().mkpath(path)) {
            const QString canonical = QFileInfo(path).canonicalFilePath();
            emit message(tr("Could not create dir %1").arg(canonical.isEmpty() ? path : canonical));
            return false;
        }
        made.insert(folder);
    }
    return true;
}

void DownloadFileListTaskSpecification::downloadStatus(qint64 &downloadDone,
                                                       qint64 &downloadTotal, qint64 &speed,
                                                       bool &downloading)
{
    ComposedTaskSpecification::downloadStatus(downloadDone, downloadTotal, speed, downloading);
    downloadTotal = static_cast<qint64>(m_TotalSize);
}

void DownloadFileListTaskSpecification::reset()
{
    deleteSubTasks();
    m_TotalSize = 0;
    ComposedTaskSpecification::reset();
}
