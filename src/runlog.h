// The run log: every diagnostic line of the program, written to a file in the temp folder, but
// only when support has asked for it by creating the marker "vx3_update_log" there. Without
// the marker nothing is written anywhere. Lines come from the GUI thread, the version-query
// thread and pool workers alike, so each line is composed, written and flushed under one lock
// and a line is in the file as soon as the call returns.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QString>
#include <QtGlobal>

class RunLog
{
public:
    // The process-wide log, deciding on first call from the system temp folder.
    static RunLog &instance();

    // A log deciding from `tempPath` instead; the process uses instance().
    explicit RunLog(const QString &tempPath);
    RunLog(const RunLog &) = delete;
    RunLog &operator=(const RunLog &) = delete;

    bool isEnabled() const { return m_Enabled; }
    QString filePath() const;

    // Writes one line; types without a level word write nothing.
    void write(QtMsgType type, const QString &message);
    void close();

    static QString fileNameFor(const QDateTime &start);
    // The line without its trailing LF; empty for types without a level word.
    static QByteArray formatLine(QtMsgType type, const QString &message, const QDateTime &when);

private:
    bool m_Enabled = false;
    QFile m_File;
    QMutex m_Mutex;
};

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);
