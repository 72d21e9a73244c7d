// Session directories: a fresh, never reused "voxtrel_temp_" folder, and the install folder
// derived from where the updater sits.
#include "configenv.h"
#include "configuration.h"

#include <QDir>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

TEST(TempDir, TakesTheFirstNumberNotInUse)
{
    ConfigEnv env;
    for (int n = 0; n < 5; ++n)
        QDir().mkpath(env.tempDir() + "/voxtrel_temp_" + QString::number(n));
    ConfigEnv::write(env.tempDir() + "/voxtrel_temp_5", "a file, not a folder");
    Configuration configuration;
    ASSERT_TRUE(configuration.createTempDir());
    EXPECT_EQ(configuration.m_TempDir, env.tempDir() + "/voxtrel_temp_6");
    EXPECT_TRUE(QFileInfo(configuration.m_TempDir).isDir());

    ASSERT_TRUE(configuration.createTempDir());
    EXPECT_EQ(configuration.m_TempDir, env.tempDir() + "/voxtrel_temp_7");
}

TEST(TempDir, AllCandidatesTakenIsAFatalError)
{
    ConfigEnv env;
    for (int n = 0; n < 1000; ++n)
        QDir().mkpath(env.tempDir() + "/voxtrel_temp_" + QString::number(n));
    Configuration configuration;
    QSignalSpy fatal(&configuration, &Configuration::fatalError);
    EXPECT_FALSE(configuration.createTempDir());
    ASSERT_EQ(fatal.count(), 1);
    EXPECT_EQ(fatal.first().first().toString(), QString("Unable to create temp directory."));
    EXPECT_TRUE(configuration.m_TempDir.isEmpty());
    EXPECT_FALSE(QDir(env.tempDir() + "/voxtrel_temp_1000").exists());
}

TEST(InitalizeStart, KeepsGivenDirectoriesOrMakesDefaults)
{
    ConfigEnv env;
    Configuration given;
    ASSERT_TRUE(given.initalizeStart("/some/session", "/some/Client.app/Contents/"));
    EXPECT_EQ(given.m_TempDir, QString("/some/session"));
    EXPECT_EQ(given.m_InstallDir, QString("/some/Client.app/Contents/"));
    EXPECT_FALSE(QDir(env.tempDir() + "/voxtrel_temp_0").exists());

    Configuration defaults;
    ASSERT_TRUE(defaults.initalizeStart(QString(), QString()));
    EXPECT_EQ(defaults.m_TempDir, env.tempDir() + "/voxtrel_temp_0");
    EXPECT_TRUE(defaults.m_InstallDir.endsWith("/"));
    EXPECT_EQ(QDir(defaults.m_InstallDir).canonicalPath(), QDir(env.contents()).canonicalPath());
}

TEST(BaseDirs, FollowFromTheUpdaterInsideTheBundle)
{
    ConfigEnv env;
    EXPECT_TRUE(Configuration::updaterBaseDir().endsWith("/../../../"));
    EXPECT_EQ(QDir(Configuration::updaterBaseDir()).canonicalPath(), QDir(env.sharedSupport()).canonicalPath());
    EXPECT_EQ(Configuration::installIniDir(), QDir::cleanPath(env.sharedSupport()));
    EXPECT_EQ(Configuration::defaultClientType(0), QString("update_macosx"));
    EXPECT_EQ(Configuration::defaultClientType(1), QString("client_macosx"));
    EXPECT_EQ(Configuration::defaultClientType(7), QString("client_macosx"));
}

} // namespace
