#include "runlog.h"

#include <QDir>
#include <QMutexLocker>

#include <cstdlib>

RunLog &RunLog::instance()
{
    static RunLog *log = new RunLog(QDir::tempPath());
    return *log;
}

RunLog::RunLog(const QString &tempPath)
    : m_Enabled(QFile::exists(tempPath + QStringLiteral("/vx3_update_log")))
{
    if (!m_Enabled)
        return;
    const QString folder = QDir::toNativeSeparators(tempPath + QDir::separator() + QStringLiteral("voxtrel_update_log")
                                                    + QDir::separator());
    if (!QDir(folder).exists())
        QDir().mkdir(folder);
    m_File.setFileName(folder + fileNameFor(QDateTime::currentDateTime()));
    // Appending keeps the log of an earlier run that started in the same second, such as the
    // first step of an update starting the second.
    m_File.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
}

QString RunLog::filePath() const
{
    return m_File.fileName();
}

QString RunLog::fileNameFor(const QDateTime &start)
{
    QString stamp = start.toString(Qt::ISODate);
    stamp.replace(QLatin1Char(':'), QLatin1Char('_'));
    stamp.replace(QLatin1Char('T'), QStringLiteral("__"));
    return QStringLiteral("update__") + stamp + QStringLiteral(".log");
}

QByteArray RunLog::formatLine(QtMsgType type, const QString &message, const QDateTime &when)
{
    const char *level = nullptr;
    switch (type) {
    case QtDebugMsg: level = "Debug"; break;
    case QtWarningMsg: level = "Warning"; break;
    case QtCriticalMsg: level = "Critical"; break;
    case QtFatalMsg: level = "Fatal"; break;
    case QtInfoMsg: level = "Info"; break;
    }
    if (!level)
        return QByteArray();
    return when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz")).toLocal8Bit() + "\t|\t" + level + "\t|\t"
        + message.toLocal8Bit();
}

void RunLog::write(QtMsgType type, const QString &message)
{
    if (!m_Enabled)
        return;
    QMutexLocker lock(&m_Mutex);
    if (!m_File.isOpen())
        return;
    const QByteArray line = formatLine(type, message, QDateTime::currentDateTime());
    if (line.isEmpty())
        return;
    m_File.write(line + '\n');
    m_File.flush();
}

void RunLog::close()
{
    QMutexLocker lock(&m_Mutex);
    if (m_File.isOpen()) {
        m_File.flush();
        m_File.close();
    }
}

void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    RunLog &log = RunLog::instance();
    if (!log.isEnabled())
        return;
    log.write(type, message);
    if (type == QtFatalMsg)
        abort();
}
