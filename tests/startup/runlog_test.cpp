// The run log: silent without the marker, one well-formed line per message with it, whole
// lines even when many threads log at once, and nothing lost when a run dies or restarts.
#include "runlog.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringList();
    return QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

TEST(RunLog, FileNameFromTheStartTime)
{
    const QDateTime start(QDate(2020, 3, 4), QTime(12, 5, 9));
    EXPECT_EQ(RunLog::fileNameFor(start), QString("update__2020-03-04__12_05_09.log"));
}

TEST(RunLog, LineCarriesTimeLevelAndText)
{
    const QDateTime when(QDate(2021, 11, 30), QTime(23, 59, 58, 7));
    const struct {
        QtMsgType type;
        const char *line;
    } cases[] = {
        {QtDebugMsg, "2021-11-30 23:59:58:007\t|\tDebug\t|\tt\xc3\xa4xt"},
        {QtWarningMsg, "2021-11-30 23:59:58:007\t|\tWarning\t|\tt\xc3\xa4xt"},
        {QtCriticalMsg, "2021-11-30 23:59:58:007\t|\tCritical\t|\tt\xc3\xa4xt"},
        {QtFatalMsg, "2021-11-30 23:59:58:007\t|\tFatal\t|\tt\xc3\xa4xt"},
        {QtInfoMsg, "2021-11-30 23:59:58:007\t|\tInfo\t|\tt\xc3\xa4xt"},
        {QtMsgType(42), ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RunLog::formatLine(c.type, QString::fromUtf8("t\xc3\xa4xt"), when), QByteArray(c.line)) << c.type;
}

TEST(RunLog, WithoutTheMarkerNothingIsCreated)
{
    QTemporaryDir temp;
    RunLog log(temp.path());
    EXPECT_FALSE(log.isEnabled());
    log.write(QtWarningMsg, "never written");
    EXPECT_TRUE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST(RunLog, MarkerFileOrFolderEnablesItAndTheFolderIsMade)
{
    for (bool markerIsFolder : {false, true}) {
        QTemporaryDir temp;
        const QString marker = temp.path() + "/vx3_update_log";
        if (markerIsFolder)
            QDir().mkdir(marker);
        else
            QFile(marker).open(QIODevice::WriteOnly);
        RunLog log(temp.path());
        ASSERT_TRUE(log.isEnabled());
        EXPECT_EQ(QFileInfo(log.filePath()).path(), temp.path() + "/voxtrel_update_log");
        log.write(QtDebugMsg, "first");
        log.write(QtMsgType(99), "no level, no line");
        log.write(QtInfoMsg, "second");
        // Flushed per line: the file holds both lines before the log is closed.
        const QStringList lines = linesOf(log.filePath());
        ASSERT_EQ(lines.size(), 2);
        EXPECT_TRUE(lines[0].endsWith("\t|\tDebug\t|\tfirst"));
        EXPECT_TRUE(lines[1].endsWith("\t|\tInfo\t|\tsecond"));
    }
}

TEST(RunLog, ARunStartingInTheSameSecondKeepsTheEarlierLines)
{
    QTemporaryDir temp;
    QFile(temp.path() + "/vx3_update_log").open(QIODevice::WriteOnly);
    std::unique_ptr<RunLog> second;
    QString firstPath;
    do {
        RunLog first(temp.path());
        first.write(QtDebugMsg, "from the first run");
        first.close();
        firstPath = first.filePath();
        second.reset(new RunLog(temp.path()));
    } while (firstPath != second->filePath());
    second->write(QtDebugMsg, "from the second run");
    const QStringList lines = linesOf(second->filePath());
    EXPECT_GE(lines.filter("from the first run").size(), 1);
    EXPECT_TRUE(lines.last().endsWith("from the second run"));
}

TEST(RunLog, LinesFromManyThreadsStayWhole)
{
    QTemporaryDir temp;
    QFile(temp.path() + "/vx3_update_log").open(QIODevice::WriteOnly);
    RunLog log(temp.path());
    const int threads = 8;
    const int perThread = 400;
    const QString payload(300, QLatin1Char('x'));
    std::vector<std::unique_ptr<QThread>> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back(QThread::create([&log, &payload, t] {
            for (int i = 0; i < perThread; ++i)
                log.write(QtDebugMsg, QString("thread %1 line %2 %3 end").arg(t).arg(i).arg(payload));
        }));
        workers.back()->start();
    }
    for (auto &w : workers)
        w->wait();

    const QRegularExpression whole(
        "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{3}\t\\|\tDebug\t\\|\tthread \\d line \\d+ x{300} end$");
    const QStringList lines = linesOf(log.filePath());
    EXPECT_EQ(lines.size(), threads * perThread);
    int broken = 0;
    for (const QString &line : lines)
        broken += whole.match(line).hasMatch() ? 0 : 1;
    EXPECT_EQ(broken, 0);
}

// The handler of the process-wide log; runs in a child, which dies on the fatal message.
void logAndDie(const QString &tempPath)
{
    qputenv("TMPDIR", tempPath.toLocal8Bit());
    RunLog::instance();
    qInstallMessageHandler(messageHandler);
    qDebug() << "before the end";
    qFatal("last words");
}

TEST(RunLogDeathTest, FatalMessageIsTheLastLineOfTheLog)
{
    QTemporaryDir temp;
    QFile(temp.path() + "/vx3_update_log").open(QIODevice::WriteOnly);
    EXPECT_DEATH(logAndDie(temp.path()), "");
    const QStringList logs = QDir(temp.path() + "/voxtrel_update_log").entryList(QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    const QStringList lines = linesOf(temp.path() + "/voxtrel_update_log/" + logs.first());
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().endsWith("\t|\tFatal\t|\tlast words"));
    EXPECT_EQ(lines.filter("before the end").size(), 1);
}

} // namespace
