// Start-up tidying of what earlier releases left: "_old_" files, the previous Qt generation's
// frameworks and the links to them. It must remove exactly those and nothing they point to.
#include "updateengine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("x");
}

TEST(Leftovers, OldFilesGoOthersStay)
{
    QTemporaryDir dir;
    const QStringList removed = {"_old_update", "_old_libQt5Core.so.5", "_old_libsqlite.so", "_old_libqjpeg.so"};
    const QStringList kept = {"update", "_old_unknown.so", "old_update", "libQt5Core.so.5"};
    for (const QString &name : removed + kept)
        touch(dir.filePath(name));
    UpdateEngine::removeOldFiles(dir.path());
    for (const QString &name : removed)
        EXPECT_FALSE(QFile::exists(dir.filePath(name))) << name.toStdString();
    for (const QString &name : kept)
        EXPECT_TRUE(QFile::exists(dir.filePath(name))) << name.toStdString();
}

TEST(Leftovers, MissingFolderIsNoError)
{
    UpdateEngine::removeOldFiles("/nonexistent/voxtrel/folder");
    UpdateEngine::removeQt4Files("/nonexistent/voxtrel/folder/");
}

class Qt4FilesTest : public ::testing::Test {
protected:
    QString contents() const { return root.path() + "/Client.app/Contents"; }
    QString base() const { return contents() + "/SharedSupport/"; }

    QTemporaryDir root;
};

TEST_F(Qt4FilesTest, FrameworkFoldersGoWithTheirContents)
{
    touch(contents() + "/Frameworks/QtGui.framework/Versions/4/QtGui");
    touch(contents() + "/Frameworks/QtCore.framework/QtCore");
    touch(contents() + "/Frameworks/QtWidgets.framework/QtWidgets");
    UpdateEngine::removeQt4Files(base());
    EXPECT_FALSE(QFileInfo::exists(contents() + "/Frameworks/QtGui.framework"));
    EXPECT_FALSE(QFileInfo::exists(contents() + "/Frameworks/QtCore.framework"));
    EXPECT_TRUE(QFileInfo::exists(contents() + "/Frameworks/QtWidgets.framework/QtWidgets"));
}

TEST_F(Qt4FilesTest, ToolAppLinksGoRealFoldersStay)
{
    touch(contents() + "/Frameworks/QtNetwork.framework/QtNetwork");
    const QString updateFw = base() + "update.app/Contents/Frameworks";
    const QString senderFw = base() + "fault_sender.app/Contents/Frameworks";
    QDir().mkpath(updateFw);
    QDir().mkpath(senderFw);
    ASSERT_TRUE(QFile::link("../../../../Frameworks/QtGui.framework", updateFw + "/QtGui.framework"));
    ASSERT_TRUE(QFile::link("/nonexistent/QtSql.framework", senderFw + "/QtSql.framework"));
    touch(updateFw + "/QtCore.framework/QtCore");

    UpdateEngine::removeQt4Files(base());
    EXPECT_FALSE(QFileInfo(updateFw + "/QtGui.framework").isSymLink());
    EXPECT_FALSE(QFileInfo(senderFw + "/QtSql.framework").isSymLink());
    EXPECT_TRUE(QFileInfo::exists(updateFw + "/QtCore.framework/QtCore"));
}

TEST_F(Qt4FilesTest, LinkedFrameworkIsUnlinkedNotEmptied)
{
    const QString elsewhere = root.path() + "/shared/QtGui.framework";
    touch(elsewhere + "/QtGui");
    QDir().mkpath(contents() + "/Frameworks");
    ASSERT_TRUE(QFile::link(elsewhere, contents() + "/Frameworks/QtGui.framework"));
    UpdateEngine::removeQt4Files(base());
    EXPECT_FALSE(QFileInfo(contents() + "/Frameworks/QtGui.framework").isSymLink());
    EXPECT_TRUE(QFile::exists(elsewhere + "/QtGui"));
}

} // namespace
