// The built update program, started from inside a client bundle tree of its own with its own
// temp folder: what it writes, removes and returns.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QByteArray console;
    QStringList log; // lines of the one run-log file, empty if there is none
};

class UpdaterProgram : public ::testing::Test {
protected:
    UpdaterProgram()
    {
        QDir().mkpath(tempDir());
        QDir().mkpath(macos());
        QFile::copy(QStringLiteral(VX_BINARY_DIR "/update.app/Contents/MacOS/update"), macos() + "/update");
    }

    QString tempDir() const { return root.path() + "/tmp"; }
    QString sharedSupport() const { return root.path() + "/Client.app/Contents/SharedSupport"; }
    QString macos() const { return sharedSupport() + "/update.app/Contents/MacOS"; }
    QString logDir() const { return tempDir() + "/voxtrel_update_log"; }

    void write(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    void enableLog() { write(tempDir() + "/vx3_update_log", ""); }

    Outcome run(const QStringList &args, const QString &locale = QStringLiteral("C"))
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", tempDir());
        env.insert("VX3_CONFIG_DIR", root.path() + "/config");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LANG", locale);
        env.insert("LC_ALL", locale);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(macos() + "/update", args);
        Outcome outcome;
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
            return outcome;
        }
        outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        outcome.console = process.readAll();
        const QStringList files = QDir(logDir()).entryList(QDir::Files);
        if (files.size() == 1) {
            QFile file(logDir() + "/" + files.first());
            file.open(QIODevice::ReadOnly);
            outcome.log = QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts);
        }
        return outcome;
    }

    QTemporaryDir root;
};

TEST_F(UpdaterProgram, SilentWithoutTheMarker)
{
    const Outcome outcome = run({"client_macosx", "123"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.console, QByteArray());
    EXPECT_FALSE(QFileInfo::exists(logDir()));
}

TEST_F(UpdaterProgram, WithTheMarkerEveryLineIsLogged)
{
    enableLog();
    const Outcome outcome = run({"client_macosx", "123"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.console, QByteArray());
    ASSERT_FALSE(outcome.log.isEmpty());
    const QRegularExpression format("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{3}\t\\|\t(Debug|Warning|Info)\t\\|\t");
    for (const QString &line : outcome.log)
        EXPECT_TRUE(format.match(line).hasMatch()) << line.toStdString();
    EXPECT_EQ(outcome.log.filter("\tVoxtrel updater started").size(), 1);
    EXPECT_EQ(outcome.log.filter("\tRemoving old files done").size(), 1);
    EXPECT_EQ(outcome.log.filter("Update ini check #2 in INSTALL").size(), 1);
    EXPECT_TRUE(outcome.log.last().contains("Configuration ready: type 0 channel 0 client \"client_macosx\" version 123"));
}

TEST_F(UpdaterProgram, HelpPrintsUsageAndTouchesNothing)
{
    enableLog();
    write(sharedSupport() + "/_old_update", "x");
    const Outcome outcome = run({"--help"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_TRUE(outcome.console.startsWith("Usage: update"));
    EXPECT_TRUE(QFileInfo::exists(sharedSupport() + "/_old_update"));
    EXPECT_FALSE(QFileInfo::exists(logDir()));
}

TEST_F(UpdaterProgram, RefusedCommandLineEndsWithOne)
{
    enableLog();
    const Outcome outcome = run({"client_macosx", "abc"});
    EXPECT_EQ(outcome.exitCode, 1);
    ASSERT_GE(outcome.log.size(), 2);
    EXPECT_TRUE(outcome.log.last().endsWith("\t|\tWarning\t|\tFailed to parse command line options, aborting"));
    EXPECT_TRUE(outcome.log[outcome.log.size() - 2].contains("Invalid version nr (abc)"));
}

TEST_F(UpdaterProgram, MessagesFollowTheSystemLanguage)
{
    enableLog();
    const QString built = QStringLiteral(VX_BINARY_DIR "/translations/");
    QDir().mkpath(sharedSupport() + "/translations");
    ASSERT_TRUE(QFile::copy(built + "update_de.qm", sharedSupport() + "/translations/update_de.qm"));
    const Outcome outcome = run({"client_macosx", "abc"}, "de_DE.UTF-8");
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.log.filter(QString::fromUtf8("Ungültige Versionsnummer (abc)")).size(), 1);
}

TEST_F(UpdaterProgram, LeftoversAreRemovedAtStart)
{
    enableLog();
    write(sharedSupport() + "/_old_update", "x");
    write(sharedSupport() + "/update", "x");
    write(sharedSupport() + "/old/_old_libqgif.so", "x");
    write(sharedSupport() + "/imageformats/_old_libqjpeg.so", "x");
    const Outcome outcome = run({"client_macosx", "123"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_FALSE(QFileInfo::exists(sharedSupport() + "/_old_update"));
    EXPECT_TRUE(QFileInfo::exists(sharedSupport() + "/update"));
    EXPECT_FALSE(QFileInfo::exists(sharedSupport() + "/old"));
    EXPECT_FALSE(QFileInfo::exists(sharedSupport() + "/imageformats/_old_libqjpeg.so"));
    EXPECT_TRUE(QFileInfo::exists(sharedSupport() + "/imageformats"));
    EXPECT_EQ(outcome.log.filter("Remove old file:").size(), 3);
    EXPECT_EQ(outcome.log.filter(QRegularExpression("Remove old file: \"/.*/_old_update\"$")).size(), 1);
}

TEST_F(UpdaterProgram, ArgumentFileStartsStepTwo)
{
    enableLog();
    write(tempDir() + "/vx3clientupdateargs", "--clientupdate\nclient_macosx\n12345\n3.5.3\n");
    const Outcome outcome = run({});
    EXPECT_EQ(outcome.exitCode, 0);
    ASSERT_FALSE(outcome.log.isEmpty());
    EXPECT_TRUE(outcome.log.last().contains(
        "Configuration ready: type 1 channel 0 client \"client_macosx\" version 12345 \"3.5.3\""));
    EXPECT_TRUE(QFileInfo::exists(tempDir() + "/vx3clientupdateargs"));
}

TEST_F(UpdaterProgram, AlphaChannelFromTheFileNextToTheUpdater)
{
    enableLog();
    write(sharedSupport() + "/update.ini", "[Channel]\nalpha=http://alpha.voxtrel.example/img\nalphaRevno=77\n");
    const Outcome outcome = run({});
    EXPECT_EQ(outcome.exitCode, 0);
    ASSERT_FALSE(outcome.log.isEmpty());
    EXPECT_EQ(outcome.log.filter("Found INSTALL/update.ini").size(), 1);
    EXPECT_TRUE(outcome.log.last().contains("channel 2 client \"update_macosx\" version 77"));
    EXPECT_TRUE(outcome.log.last().endsWith("\"http://alpha.voxtrel.example/img/\""));
}

} // namespace
