#include "filedeletetaskspecification.h"
#include "fixtures.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

TEST(FileDelete, Outcomes)
{
    struct Case
    {
        const char *name;
        QString relPath; // inside the scratch folder
        bool failOnError;
        bool recursive;
        TaskState state;
        QString message; // %1 = full path; empty = no message
        QStringList gone;
        QStringList kept;
    };
    const Case cases[] = {
        {"file", "top/f", true, false, TASK_FINISHED, "Deleted file '%1'", {"top/f"}, {"top/d"}},
        {"absent, tolerated", "none", false, false, TASK_FINISHED, "", {}, {"top/f"}},
        {"absent, required", "none", true, false, TASK_FAILED, "Could not delete '%1'", {}, {}},
        {"tree, recursive", "top/d", true, true, TASK_FINISHED,
         "Recursively deleted directory '%1'", {"top/d"}, {"top/f"}},
        {"non-empty, not recursive", "top/d", true, false, TASK_FAILED, "Could not delete '%1'",
         {}, {"top/d/x/file"}},
        {"link to a folder, recursive", "link", true, true, TASK_FINISHED, "Deleted file '%1'",
         {"link"}, {"top/d/x/file"}},
        {"empty dir takes its emptied parents along", "lone/a/b", true, false, TASK_FINISHED,
         "Deleted directory '%1'", {"lone"}, {"top"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir tmp;
        writeFile(tmp.path() + "/top/f", "f");
        writeFile(tmp.path() + "/top/d/x/file", "in a tree");
        QDir().mkpath(tmp.path() + "/lone/a/b");
        QFile::link(tmp.path() + "/top/d", tmp.path() + "/link");
        const QString path = tmp.path() + "/" + c.relPath;
        FileDeleteTaskSpecification task(c.failOnError, path, c.recursive, nullptr, 1.0);
        QSignalSpy messages(&task, &TaskSpecification::message);

        task.execute();

        EXPECT_EQ(task.m_State, c.state);
        if (c.message.isEmpty()) {
            EXPECT_EQ(messages.count(), 0);
        } else {
            ASSERT_EQ(messages.count(), 1);
            EXPECT_EQ(messages.at(0).at(0).toString(), c.message.arg(path));
        }
        for (const QString &rel : c.gone)
            EXPECT_FALSE(entryExists(tmp.path() + "/" + rel)) << rel.toStdString();
        for (const QString &rel : c.kept)
            EXPECT_TRUE(entryExists(tmp.path() + "/" + rel)) << rel.toStdString();
    }
}

} // namespace
