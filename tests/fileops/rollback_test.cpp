#include "filerenametaskspecification.h"
#include "fixtures.h"
#include "messagesink.h"
#include "rollback.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

TEST(RollbackList, EmptyListUndoesToTrueAndSaysNothing)
{
    RollbackDataList list;
    MessageSink sink;
    EXPECT_TRUE(list.rollback(&sink));
    EXPECT_TRUE(sink.m_Texts.isEmpty());
}

TEST(RollbackList, FailedUndoIsReportedAndTheOlderRecordsAreStillUndone)
{
    QTemporaryDir tmp;
    const QString older = tmp.path() + "/older.bin";
    const QString dir = tmp.path() + "/made";
    const QString newer = tmp.path() + "/newer.bin";
    writeFile(older, "1");
    writeFile(dir + "/stray", "left by someone else");
    writeFile(newer, "2");
    RollbackDataList list;
    list.append(RollbackData(FILE_CREATE, older));
    list.append(RollbackData(DIR_CREATE, dir));
    list.append(RollbackData(7, tmp.path() + "/unknown kind"));
    RollbackDataList later;
    later.append(RollbackData(FILE_CREATE, newer));
    later.append(RollbackData(FILE_CREATE, tmp.path() + "/never-made"));
    list.append(later);
    MessageSink sink;

    EXPECT_FALSE(list.rollback(&sink));

    EXPECT_EQ(sink.m_Texts,
              QStringList({QString("warning: rollback create file %1 failed")
                               .arg(tmp.path() + "/never-made"),
                           QString("warning: rollback of %1 failed").arg(tmp.path() + "/unknown kind"),
                           QString("warning: rollback create dir %1 failed").arg(dir)}));
    EXPECT_FALSE(entryExists(newer));
    EXPECT_TRUE(entryExists(dir + "/stray")) << "a folder with foreign content is kept";
    EXPECT_FALSE(entryExists(older)) << "older records are undone after a failure";
    EXPECT_TRUE(list.isEmpty()) << "failed records are dropped, not retried";
}

QStringList g_logLines;

void collectLog(QtMsgType, const QMessageLogContext &, const QString &text)
{
    g_logLines << text;
}

TEST(RollbackList, WarningsGoToTheLogWhenTheReceiverHasNoMessageSignal)
{
    QTemporaryDir tmp;
    QObject noSignal;
    RollbackDataList list;
    list.append(RollbackData(FILE_CREATE, tmp.path() + "/absent"));
    g_logLines.clear();
    QtMessageHandler previous = qInstallMessageHandler(collectLog);
    const bool undone = list.rollback(&noSignal);
    list.append(RollbackData(FILE_CREATE, tmp.path() + "/absent"));
    const bool undoneQuietly = list.rollback(nullptr);
    qInstallMessageHandler(previous);

    EXPECT_FALSE(undone);
    EXPECT_FALSE(undoneQuietly);
    EXPECT_EQ(g_logLines, QStringList({"Warning: message signal was not found in RollbackData::message"}));
}

// How an installed file is preserved while an update writes its replacement: moved aside
// into a backup tree (folders made on the way), a new file written in its place, and on
// undo the new file deleted and the original moved back.
TEST(FileRename, MoveAsideAcrossFoldersAndBackOnUndo)
{
    QTemporaryDir tmp;
    const QString installed = tmp.path() + "/install/Contents/MacOS/vx3client_mac";
    const QString aside = tmp.path() + "/session/Contents/MacOS/vx3client_mac_old";
    writeFile(installed, "original");
    QFile::setPermissions(installed, QFile::permissions(installed) | QFile::ExeOwner);
    QDir().mkdir(tmp.path() + "/session");
    RollbackDataList list;

    FileRenameTaskSpecification rename(installed, aside, &list, nullptr, 1.0);
    rename.execute();
    ASSERT_EQ(rename.m_State, TASK_FINISHED);
    EXPECT_EQ(readFile(aside), "original");
    EXPECT_FALSE(entryExists(installed));
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[0].m_Path, tmp.path() + "/session/Contents");
    EXPECT_EQ(list[1].m_Path, tmp.path() + "/session/Contents/MacOS");
    EXPECT_EQ(list[2].m_Op, FILE_RENAME);
    EXPECT_EQ(list[2].m_OldPath, installed);
    EXPECT_EQ(list[2].m_Path, aside);

    writeFile(installed, "new version");
    list.append(RollbackData(FILE_CREATE, installed));
    MessageSink sink;
    EXPECT_TRUE(list.rollback(&sink)) << sink.m_Texts.join("\n").toStdString();

    EXPECT_EQ(readFile(installed), "original");
    EXPECT_TRUE(QFile::permissions(installed) & QFile::ExeOwner);
    EXPECT_FALSE(entryExists(tmp.path() + "/session/Contents")) << "no empty backup folders";
    EXPECT_TRUE(QFileInfo(tmp.path() + "/session").isDir());
}

TEST(FileRename, LinksMoveAsLinksEvenWhenDangling)
{
    QTemporaryDir tmp;
    const QString link = tmp.path() + "/Current";
    const QString aside = tmp.path() + "/backup/Current_old";
    ASSERT_TRUE(QFile::link("A", link)) << "a relative link to a missing folder";
    RollbackDataList list;

    FileRenameTaskSpecification rename(link, aside, &list, nullptr, 1.0);
    rename.execute();
    ASSERT_EQ(rename.m_State, TASK_FINISHED);
    EXPECT_EQ(QFileInfo(aside).symLinkTarget(), tmp.path() + "/backup/A");

    EXPECT_TRUE(list.rollback(nullptr));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QFile::symLinkTarget(link), tmp.path() + "/A");
}

TEST(FileRename, NeverReplacesWhatStandsAtTheTarget)
{
    QTemporaryDir tmp;
    const QString source = tmp.path() + "/source";
    const QString target = tmp.path() + "/target";
    const QString danglingLink = tmp.path() + "/link";
    writeFile(source, "source");
    writeFile(target, "target");
    QFile::link(tmp.path() + "/nowhere", danglingLink);
    for (const QString &occupied : {target, danglingLink}) {
        SCOPED_TRACE(occupied.toStdString());
        RollbackDataList list;
        FileRenameTaskSpecification rename(source, occupied, &list, nullptr, 1.0);
        QSignalSpy messages(&rename, &TaskSpecification::message);
        rename.execute();

        EXPECT_EQ(rename.m_State, TASK_FAILED);
        ASSERT_EQ(messages.count(), 1);
        EXPECT_EQ(messages.at(0).at(0).toString(),
                  QString("Could not rename '%1' to '%2'").arg(source, occupied));
        EXPECT_TRUE(list.isEmpty());
        EXPECT_EQ(readFile(source), "source");
    }
    EXPECT_EQ(readFile(target), "target");
    EXPECT_FALSE(entryExists(tmp.path() + "/nowhere"));
}

TEST(FileRename, UndoDoesNotOverwriteAFileThatTookTheOldPlace)
{
    QTemporaryDir tmp;
    const QString installed = tmp.path() + "/lib.dylib";
    const QString aside = tmp.path() + "/aside/lib.dylib_old";
    writeFile(installed, "original");
    RollbackDataList list;
    FileRenameTaskSpecification rename(installed, aside, &list, nullptr, 1.0);
    rename.execute();
    writeFile(installed, "unrecorded newcomer");
    MessageSink sink;

    EXPECT_FALSE(list.rollback(&sink));

    EXPECT_EQ(sink.m_Texts,
              QStringList({QString("warning: rollback rename %1 to %2 failed").arg(installed, aside),
                           QString("warning: rollback create dir %1 failed")
                               .arg(tmp.path() + "/aside")}));
    EXPECT_EQ(readFile(installed), "unrecorded newcomer");
    EXPECT_EQ(readFile(aside), "original") << "the preserved file is not lost";
}

TEST(FileRename, MissingSourceFailsWithoutARecord)
{
    QTemporaryDir tmp;
    RollbackDataList list;
    FileRenameTaskSpecification rename(tmp.path() + "/absent", tmp.path() + "/x", &list,
                                       nullptr, 1.0);
    rename.execute();
    EXPECT_EQ(rename.m_State, TASK_FAILED);
    EXPECT_TRUE(list.isEmpty());
}

} // namespace
