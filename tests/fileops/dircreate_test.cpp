#include "dircreatetaskspecification.h"
#include "fixtures.h"
#include "messagesink.h"

#include <QDir>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

struct DirCreateRun
{
    DirCreateRun(const QString &path, RollbackDataList *list)
        : task(path, list, nullptr, 1.0), messages(&task, &TaskSpecification::message)
    {
        task.execute();
    }

    QStringList texts() const
    {
        QStringList out;
        for (const QList<QVariant> &args : messages)
            out << args.at(0).toString();
        return out;
    }

    DirCreateTaskSpecification task;
    QSignalSpy messages;
};

TEST(DirCreate, MakesMissingParentsOutermostFirstAndUndoesInnermostFirst)
{
    QTemporaryDir tmp;
    const QString a = tmp.path() + "/a";
    QDir().mkdir(a);
    RollbackDataList list;

    DirCreateRun run(a + "/b/c", &list);

    EXPECT_EQ(run.task.m_State, TASK_FINISHED);
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].m_Op, DIR_CREATE);
    EXPECT_EQ(list[0].m_Path, a + "/b");
    EXPECT_EQ(list[1].m_Op, DIR_CREATE);
    EXPECT_EQ(list[1].m_Path, a + "/b/c");

    MessageSink sink;
    EXPECT_TRUE(list.rollback(&sink)) << sink.m_Texts.join("\n").toStdString();
    EXPECT_FALSE(QFileInfo::exists(a + "/b"));
    EXPECT_TRUE(QFileInfo(a).isDir()) << "what existed before stays";
    EXPECT_TRUE(list.isEmpty());
}

TEST(DirCreate, Outcomes)
{
    QTemporaryDir tmp;
    const QString root = tmp.path();
    QDir().mkdir(root + "/existing");
    writeFile(root + "/file", "x");
    struct Case
    {
        const char *name;
        QString path;
        TaskState state;
        QStringList messages;
        int records;
    };
    const Case cases[] = {
        {"already a directory", root + "/existing", TASK_FINISHED, {}, 0},
        {"trailing separator", root + "/new//", TASK_FINISHED, {}, 1},
        {"a file in the way", root + "/file", TASK_FAILED,
         {QString("Could not create dir '%1' because it already exists and is not a dir")
              .arg(root + "/file")},
         0},
        {"a file as parent", root + "/file/sub", TASK_FAILED,
         {QString("unable to create dir %1").arg(root + "/file/sub")}, 0},
        {"a file as grandparent", root + "/file/sub/leaf", TASK_FAILED,
         {QString("unable to create dir %1").arg(root + "/file/sub")}, 0},
        {"bare relative name", "loose", TASK_FAILED, {"Could not create dir loose"}, 0},
        {"file system root", "/", TASK_FINISHED, {}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RollbackDataList list;
        DirCreateRun run(c.path, &list);
        EXPECT_EQ(run.task.m_State, c.state);
        EXPECT_EQ(run.texts(), c.messages);
        EXPECT_EQ(list.size(), c.records);
    }
    EXPECT_TRUE(QFileInfo(root + "/new").isDir());
    EXPECT_FALSE(QFileInfo::exists("loose"));
}

TEST(DirCreate, WithoutAListRecordsNothing)
{
    QTemporaryDir tmp;
    DirCreateRun run(tmp.path() + "/x/y", nullptr);
    EXPECT_EQ(run.task.m_State, TASK_FINISHED);
    EXPECT_TRUE(QFileInfo(tmp.path() + "/x/y").isDir());
}

} // namespace
