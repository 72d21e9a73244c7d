// Which step, product and version the updater settles on for each accepted command line and
// argument file, and which command lines it refuses.
#include "configenv.h"
#include "configuration.h"
#include "support/httptestserver.h"
#include "updatechecker.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

const char kArgsFile[] = "/vx3clientupdateargs";

struct Settled {
    int updateType;
    QString clientType;
    int versionNr;
    QString version;
    bool ready;
    bool queried;
};

struct ParseCase {
    const char *what;
    QStringList args;       // after the program name
    QByteArray argsFile;    // written to the temp folder unless null
    Settled expected;
};

class CommandLineTest : public ::testing::Test {
protected:
    CommandLineTest()
    {
        // Queries made here must not be answered: the server keeps them waiting.
        vxtest::HttpReply silent;
        silent.cut = vxtest::HttpReply::Cut::Stall;
        server.setReply("/vx3-client-2", silent);
    }

    ConfigEnv env;
    vxtest::HttpTestServer server;
};

TEST_F(CommandLineTest, AcceptedFormsSettleStepProductAndVersion)
{
    const ParseCase cases[] = {
        {"nothing at all", {}, QByteArray(), {0, "update_macosx", 0, "", false, true}},
        {"argument file of step two", {}, "--clientupdate\nclient_macosx\n12345\n3.5.3\n",
         {1, "client_macosx", 12345, "3.5.3", true, false}},
        {"'#' means no version text", {"--clientupdate", "client_macosx", "12345", "#"}, QByteArray(),
         {1, "client_macosx", 12345, "", true, false}},
        {"step two asking the server", {"--clientupdate"}, QByteArray(), {1, "client_macosx", 0, "", false, true}},
        {"flag with a client type only", {"--clientupdate", "client_macosx"}, QByteArray(),
         {1, "client_macosx", 0, "", false, true}},
        {"nouser stays step one", {"--nouser", "x", "5"}, QByteArray(), {0, "x", 5, "", true, false}},
        {"extra arguments are ignored", {"--nouser", "x", "5", "5.0", "more"}, QByteArray(),
         {0, "x", 5, "5.0", true, false}},
        {"client type and version", {"client_macosx", "777"}, QByteArray(),
         {0, "client_macosx", 777, "", true, false}},
        {"three unflagged arguments are no form", {"a", "1", "b"}, QByteArray(),
         {0, "update_macosx", 0, "", false, true}},
        {"command line wins over the file", {"client_macosx", "42"}, "--clientupdate\nclient_macosx\n12345\n",
         {0, "client_macosx", 42, "", true, false}},
        {"file lines end at the first NUL", {}, QByteArray("--clientupdate\nclient_macosx\n123") + QByteArray(1, '\0') + "\n999\nx\n",
         {1, "client_macosx", 123, "", true, false}},
        {"empty lines in the file are dropped", {}, "\n\n--nouser\n\nx\n\n5\n",
         {0, "x", 5, "", true, false}},
        // The file is read in text mode, which drops the CRs of a file written with CR LF.
        {"CR line ends", {}, "--clientupdate\r\nclient_macosx\r\n12345\r\n3.5.3\r\n",
         {1, "client_macosx", 12345, "3.5.3", true, false}},
        {"blanks are kept", {}, "--clientupdate\nclient_macosx\n12345\n 3.5.3 beta\n",
         {1, "client_macosx", 12345, " 3.5.3 beta", true, false}},
    };
    for (const ParseCase &c : cases) {
        QFile::remove(env.tempDir() + kArgsFile);
        if (!c.argsFile.isNull())
            ConfigEnv::write(env.tempDir() + kArgsFile, c.argsFile);
        Configuration configuration;
        configuration.m_VersionServerUrl = server.url("/vx3-client-2");
        QSignalSpy fatal(&configuration, &Configuration::fatalError);
        ASSERT_TRUE(configuration.parseCommandLineOptions(QStringList{"update"} + c.args)) << c.what;
        EXPECT_EQ(configuration.m_UpdateType, c.expected.updateType) << c.what;
        EXPECT_EQ(configuration.m_ClientType, c.expected.clientType) << c.what;
        EXPECT_EQ(configuration.m_VersionNr, c.expected.versionNr) << c.what;
        EXPECT_EQ(configuration.m_Version, c.expected.version) << c.what;
        EXPECT_EQ(configuration.m_Ready, c.expected.ready) << c.what;
        EXPECT_EQ(!configuration.findChildren<UpdateChecker *>().isEmpty(), c.expected.queried) << c.what;
        EXPECT_EQ(fatal.count(), 0) << c.what;
    }
}

TEST_F(CommandLineTest, RefusedVersionsEndInOneFatalError)
{
    const struct {
        QStringList args;
        QString message;
    } cases[] = {
        {{"client_macosx", "abc"}, "Invalid version nr (abc)"},
        {{"--clientupdate", "client_macosx", "12x"}, "Invalid version nr (12x)"},
        {{"--nouser", "x", ""}, "Invalid version nr ()"},
        // Zero means "no version yet" and no release has a negative number.
        {{"client_macosx", "0"}, "Invalid version nr (0)"},
        {{"client_macosx", "-4"}, "Invalid version nr (-4)"},
    };
    for (const auto &c : cases) {
        Configuration configuration;
        QSignalSpy fatal(&configuration, &Configuration::fatalError);
        EXPECT_FALSE(configuration.parseCommandLineOptions(QStringList{"update"} + c.args)) << c.message.toStdString();
        ASSERT_EQ(fatal.count(), 1) << c.message.toStdString();
        EXPECT_EQ(fatal.first().first().toString(), c.message);
        EXPECT_FALSE(configuration.m_Ready);
        EXPECT_EQ(configuration.m_VersionNr, 0);
    }
}

TEST_F(CommandLineTest, AlphaRevisionWinsOverTheCommandLine)
{
    ConfigEnv::write(env.sharedSupport() + "/update.ini",
                     "[Channel]\nalpha=http://alpha.voxtrel.example/img\nalphaRevno=100\n");
    for (const QString &version : {QString("200"), QString("not-a-number")}) {
        Configuration configuration;
        QSignalSpy fatal(&configuration, &Configuration::fatalError);
        ASSERT_TRUE(configuration.parseCommandLineOptions({"update", "client_macosx", version}));
        EXPECT_EQ(configuration.m_VersionNr, 100);
        EXPECT_TRUE(configuration.m_Ready);
        EXPECT_EQ(fatal.count(), 0);
    }
}

} // namespace
