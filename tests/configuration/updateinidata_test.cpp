// The session record in update.ini: only a complete record whose folder still exists counts,
// and writing it never disturbs the other groups of the file.
#include "configenv.h"
#include "updateinidata.h"

#include <QDir>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

class SessionRecordTest : public ::testing::Test {
protected:
    SessionRecordTest()
    {
        sessionDir = env.tempDir() + "/voxtrel_temp_3";
        QDir().mkpath(sessionDir);
    }

    QString iniPath() const { return env.sharedSupport() + "/update.ini"; }

    QByteArray record(const QByteArray &version, const QString &dir, const QByteArray &type) const
    {
        return "[current]\nversion=" + version + "\ndir=" + dir.toUtf8() + "\nvx3dir=/Client.app/Contents/\ntype="
            + type + "\n";
    }

    ConfigEnv env;
    QString sessionDir;
};

TEST_F(SessionRecordTest, OnlyACompleteRecordWithAnExistingFolderIsValid)
{
    const struct {
        const char *what;
        QByteArray content;
        bool valid;
    } cases[] = {
        {"complete", record("12345", sessionDir, "client_macosx"), true},
        {"vx3dir may be empty", "[current]\nversion=7\ndir=" + sessionDir.toUtf8() + "\ntype=update_macosx\n", true},
        {"version is text", record("abc", sessionDir, "client_macosx"), false},
        {"version missing", "[current]\ndir=" + sessionDir.toUtf8() + "\ntype=client_macosx\n", false},
        {"type empty", record("1", sessionDir, ""), false},
        {"dir empty", record("1", QString(), "client_macosx"), false},
        {"dir vanished", record("1", env.tempDir() + "/voxtrel_temp_99", "client_macosx"), false},
        {"other group only", "[Channel]\nbeta=true\n", false},
        {"no file", QByteArray(), false},
    };
    for (const auto &c : cases) {
        QFile::remove(iniPath());
        if (!c.content.isNull())
            ConfigEnv::write(iniPath(), c.content);
        int version = -1;
        QString type = "untouched";
        QString dir = "untouched";
        QString vx3dir = "untouched";
        EXPECT_EQ(UpdateIniData::get(&version, &type, &dir, &vx3dir), c.valid) << c.what;
        if (!c.valid) {
            EXPECT_EQ(version, -1) << c.what;
            EXPECT_EQ(type, QString("untouched")) << c.what;
            EXPECT_EQ(dir, QString("untouched")) << c.what;
        }
    }
}

TEST_F(SessionRecordTest, NullOutputsAreSkipped)
{
    ConfigEnv::write(iniPath(), record("12345", sessionDir, "client_macosx"));
    QString dir;
    ASSERT_TRUE(UpdateIniData::get(nullptr, nullptr, &dir, nullptr));
    EXPECT_EQ(dir, sessionDir);
    int version = 0;
    ASSERT_TRUE(UpdateIniData::get(&version, nullptr, nullptr, nullptr));
    EXPECT_EQ(version, 12345);
}

TEST_F(SessionRecordTest, ModifyWritesTheRecordAndKeepsOtherGroups)
{
    ConfigEnv::write(iniPath(), "[Channel]\nalpha=http://a.example/\n\n[update]\nproxy=http://p.example:3128\nstreams=2\n"
                                "\n[current]\nversion=1\ndir=/old\nvx3dir=/old/\ntype=update_macosx\n");
    ASSERT_TRUE(UpdateIniData::modify(500, sessionDir, "/Client.app/Contents/", "client_macosx"));

    QSettings settings(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(settings.value("Channel/alpha").toString(), QString("http://a.example/"));
    EXPECT_EQ(settings.value("update/proxy").toString(), QString("http://p.example:3128"));
    EXPECT_EQ(settings.value("update/streams").toInt(), 2);

    int version = 0;
    QString type, dir, vx3dir;
    ASSERT_TRUE(UpdateIniData::get(&version, &type, &dir, &vx3dir));
    EXPECT_EQ(version, 500);
    EXPECT_EQ(type, QString("client_macosx"));
    EXPECT_EQ(dir, sessionDir);
    EXPECT_EQ(vx3dir, QString("/Client.app/Contents/"));
}

TEST_F(SessionRecordTest, ModifyCreatesTheFileAndReportsAnUnwritableOne)
{
    ASSERT_TRUE(UpdateIniData::modify(9, sessionDir, QString(), "update_macosx"));
    EXPECT_TRUE(UpdateIniData::get(nullptr, nullptr, nullptr, nullptr));

    QFile::remove(iniPath());
    QDir().mkpath(iniPath()); // a folder where the file should be cannot be written
    EXPECT_FALSE(UpdateIniData::modify(9, sessionDir, QString(), "update_macosx"));
}

TEST_F(SessionRecordTest, TempIniCarriesTheSessionAsAClientUpdate)
{
    ConfigEnv::write(iniPath(), record("321", sessionDir, "update_macosx"));
    const QString target = sessionDir + "/SharedSupport";
    QDir().mkpath(target);
    ASSERT_TRUE(UpdateIniData::modifyTempIni(target));

    QSettings settings(target + "/update.ini", QSettings::IniFormat);
    EXPECT_EQ(settings.value("current/version").toInt(), 321);
    EXPECT_EQ(settings.value("current/dir").toString(), sessionDir);
    EXPECT_EQ(settings.value("current/vx3dir").toString(), QString("/Client.app/Contents/"));
    EXPECT_EQ(settings.value("current/type").toString(), QString("client_macosx"));
}

TEST_F(SessionRecordTest, TempIniNeedsAValidRecord)
{
    ConfigEnv::write(iniPath(), record("x", sessionDir, "update_macosx"));
    const QString target = sessionDir + "/SharedSupport";
    QDir().mkpath(target);
    EXPECT_FALSE(UpdateIniData::modifyTempIni(target));
    EXPECT_FALSE(QFile::exists(target + "/update.ini"));
}

} // namespace
