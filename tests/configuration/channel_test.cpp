// Channel and image URL from update.ini (the CONFIG file first, else the one next to the
// updater), and the network settings, which only ever come from the file next to the updater.
#include "buildconfig.h"
#include "configenv.h"
#include "configuration.h"

#include <gtest/gtest.h>

namespace {

const QString kDefaultUrl = QStringLiteral(VX_UPDATE_IMAGE_URL);

TEST(Channel, DetectedFromConfigOrInstallFile)
{
    const struct {
        const char *what;
        QByteArray config;   // CONFIG/update.ini unless null
        QByteArray install;  // update.ini next to update.app unless null
        int channel;
        int versionNr;
        QString url;
    } cases[] = {
        {"no file", QByteArray(), QByteArray(), 0, 0, kDefaultUrl},
        {"install: beta", QByteArray(), "[Channel]\nbeta=true\n", 1, 0, kDefaultUrl},
        {"install: Beta when beta is false", QByteArray(), "[Channel]\nbeta=false\nBeta=true\n", 1, 0, kDefaultUrl},
        {"install: alpha gets a trailing slash", QByteArray(),
         "[Channel]\nalpha=http://alpha.voxtrel.example/img\nalphaRevno=7\nbeta=true\n", 2, 7,
         "http://alpha.voxtrel.example/img/"},
        {"install: alpha keeps its slash", QByteArray(), "[Channel]\nalpha=http://a.example/x/\n", 2, 0,
         "http://a.example/x/"},
        {"install: negative alpha revision asks the server", QByteArray(),
         "[Channel]\nalpha=http://a.example/x/\nalphaRevno=-3\n", 2, 0, "http://a.example/x/"},
        {"config wins, even without the group", "[update]\nstreams=2\n", "[Channel]\nbeta=true\n", 0, 0,
         kDefaultUrl},
        {"config beta over install alpha", "[Channel]\nbeta=1\n", "[Channel]\nalpha=http://a.example/\n", 1, 0,
         kDefaultUrl},
        {"garbage file", QByteArray(), QByteArray("\x00\xff[[[=\n\x01" "beta", 12), 0, 0, kDefaultUrl},
    };
    for (const auto &c : cases) {
        ConfigEnv env;
        if (!c.config.isNull())
            ConfigEnv::write(env.configDir() + "/update.ini", c.config);
        if (!c.install.isNull())
            ConfigEnv::write(env.sharedSupport() + "/update.ini", c.install);
        Configuration configuration;
        configuration.m_VersionNr = 555;
        configuration.getUpdateChannel();
        EXPECT_EQ(configuration.m_Channel, c.channel) << c.what;
        EXPECT_EQ(configuration.m_VersionNr, c.versionNr) << c.what;
        EXPECT_EQ(Configuration::updateUrl(), c.url) << c.what;
    }
}

TEST(Channel, StableDetectionRestoresTheDefaultUrl)
{
    ConfigEnv env;
    ConfigEnv::write(env.sharedSupport() + "/update.ini", "[Channel]\nalpha=http://a.example/x\n");
    Configuration configuration;
    configuration.getUpdateChannel();
    ASSERT_EQ(Configuration::updateUrl(), QString("http://a.example/x/"));
    QFile::remove(env.sharedSupport() + "/update.ini");
    configuration.getUpdateChannel();
    EXPECT_EQ(Configuration::updateUrl(), kDefaultUrl);
}

TEST(ProxySettings, ReadFromTheFileNextToTheUpdaterOnly)
{
    const struct {
        QByteArray install;
        QString proxy;
        int streams;
    } cases[] = {
        {QByteArray(), "", 6},
        {"[update]\nproxy=http://proxy.example:8080\nstreams=3\n", "http://proxy.example:8080", 3},
        {"[update]\nstreams=0\n", "", 6},
        {"[update]\nstreams=-3\n", "", 6},
        {"[update]\nstreams=lots\n", "", 6},
    };
    for (const auto &c : cases) {
        ConfigEnv env;
        ConfigEnv::write(env.configDir() + "/update.ini", "[update]\nproxy=http://config.example\nstreams=9\n");
        if (!c.install.isNull())
            ConfigEnv::write(env.sharedSupport() + "/update.ini", c.install);
        Configuration configuration;
        configuration.readProxySettings();
        EXPECT_EQ(configuration.m_Proxy, c.proxy) << c.install.constData();
        EXPECT_EQ(configuration.m_Streams, c.streams) << c.install.constData();
    }
}

TEST(ConfigDir, EnvironmentFolderGetsATrailingSeparator)
{
    ConfigEnv env;
    EXPECT_EQ(Configuration::configDir(), env.configDir() + "/");
    qputenv("VX3_CONFIG_DIR", "");
    EXPECT_TRUE(Configuration::configDir().endsWith("/Voxtrel 3/"));
}

} // namespace
