// Shared by the download tests: the in-process HTTP server standing in for the update-image
// server, the updater's base URL pointed at it, a scratch temp dir, and a recorder of what a
// task tells its parent.
#pragma once

#include "configuration.h"
#include "support/httptestserver.h"
#include "taskspecification.h"

#include <QNetworkAccessManager>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace dltest {

constexpr int kVersion = 4711;

// Everything a task sends upward, in order.
struct Recorder {
    explicit Recorder(TaskSpecification *task);

    int ends() const { return finished + canceled; }

    QStringList messages;
    QStringList errors;
    QList<qreal> progress;
    int finished = 0;
    int canceled = 0;
};

class DownloadTest : public ::testing::Test
{
protected:
    void SetUp() override;

    // Server path of a file of the version folder.
    static QString serverPath(const QString &name);
    QString local(const QString &name) const { return m_Dir.path() + QLatin1Char('/') + name; }
    QByteArray readLocal(const QString &name) const;
    void writeLocal(const QString &name, const QByteArray &data) const;
    // Runs the event loop until the task has ended.
    bool runToEnd(const Recorder &recorder, int timeoutMs = 20000);

    vxtest::HttpTestServer m_Server;
    QNetworkAccessManager m_Manager;
    QTemporaryDir m_Dir;
    Configuration m_Configuration;
};

QString sha512Hex(const QByteArray &data);
QByteArray pattern(int size);

} // namespace dltest
