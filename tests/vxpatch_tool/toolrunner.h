// Runs the built vxpatch tool in a scratch folder and collects its exit code and output.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace tooltest {

struct ToolRun {
    int exitCode;
    QString out;
    QString err;
};

class ToolTest : public testing::Test {
protected:
    ToolRun run(const QStringList &arguments)
    {
        QProcess process;
        process.setWorkingDirectory(m_Dir.path());
        process.start(VXPATCH_TOOL, arguments);
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QString path(const QString &name) const { return m_Dir.filePath(name); }

    QString write(const QString &name, const QByteArray &content) const
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    }

    QByteArray read(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool exists(const QString &name) const { return QFile::exists(path(name)); }

    QTemporaryDir m_Dir;
};

} // namespace tooltest
