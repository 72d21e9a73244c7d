// What the configuration makes of the version server's answer: a target version and `ready`,
// a fatal error, or — for no answer at all — an error box and a failing exit.
#include "configenv.h"
#include "configuration.h"
#include "support/eventloop.h"
#include "support/httptestserver.h"
#include "UpdateMessage.pb.h"

#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>
#include <tuple>

namespace {

UpdateVersions answer(const QString &channel, const QString &number, const QString &text)
{
    UpdateVersions versions;
    versions[channel] = qMakePair(number, text);
    return versions;
}

TEST(VersionAnswer, SettlesTheVersionOrFails)
{
    const struct {
        const char *what;
        int channel;
        UpdateVersions versions;
        int versionNr;     // 0 when a fatal error is expected
        QString fatal;
    } cases[] = {
        {"stable entry", 0, answer("stable", "12345", "3.5.3"), 12345, ""},
        {"beta entry", 1, answer("beta", "200", "2.0"), 200, ""},
        {"no entry for the channel", 1, answer("stable", "100", "1.0"), 0, "Update server returned no version"},
        {"empty number", 0, answer("stable", "", "1.0"), 0, "Update server returned no version"},
        {"number is text", 0, answer("stable", "1.0", "1.0"), 0, "Update server returned invalid version nr (1.0)"},
        {"number is zero", 0, answer("stable", "0", "0"), 0, "Update server returned invalid version nr (0)"},
    };
    for (const auto &c : cases) {
        Configuration configuration;
        configuration.m_Channel = c.channel;
        QSignalSpy ready(&configuration, &Configuration::ready);
        QSignalSpy fatal(&configuration, &Configuration::fatalError);
        configuration.on_updateAvailable(c.versions);
        EXPECT_EQ(configuration.m_VersionNr, c.versionNr) << c.what;
        EXPECT_EQ(configuration.m_Ready, c.fatal.isEmpty()) << c.what;
        EXPECT_EQ(ready.count(), c.fatal.isEmpty() ? 1 : 0) << c.what;
        ASSERT_EQ(fatal.count(), c.fatal.isEmpty() ? 0 : 1) << c.what;
        if (!c.fatal.isEmpty())
            EXPECT_EQ(fatal.first().first().toString(), c.fatal) << c.what;
        else
            EXPECT_EQ(configuration.m_Version, c.versions.begin().value().second) << c.what;
    }
}

TEST(VersionAnswer, EmptyAnswerShowsAnErrorBoxAndNoSignal)
{
    Configuration configuration;
    QSignalSpy ready(&configuration, &Configuration::ready);
    QSignalSpy fatal(&configuration, &Configuration::fatalError);
    QString shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->done(QMessageBox::Abort);
        }
    });
    closer.start(20);
    configuration.on_updateAvailable(UpdateVersions());
    EXPECT_EQ(shown, QString("Failed to query latest client\nversion from update server."));
    EXPECT_EQ(ready.count(), 0);
    EXPECT_EQ(fatal.count(), 0);
    EXPECT_FALSE(configuration.m_Ready);
}

TEST(VersionAnswer, QueryStartedByTheParseEndsInReady)
{
    ConfigEnv env;
    ConfigEnv::write(env.sharedSupport() + "/update.ini", "[Channel]\nBeta=true\n");
    voxtrel::update::Versions message;
    message.set_licenseagreementid(1);
    for (const auto &c : {std::make_tuple("stable", 100, "1.0"), std::make_tuple("beta", 200, "2.0 beta")}) {
        voxtrel::update::Channel *channel = message.add_channels();
        channel->set_name(std::get<0>(c));
        channel->set_version_number(std::get<1>(c));
        channel->set_version_string(std::get<2>(c));
    }
    vxtest::HttpTestServer server;
    server.setReply("/vx3-client-2", vxtest::HttpReply::ok(QByteArray::fromStdString(message.SerializeAsString())));

    Configuration configuration;
    configuration.m_VersionServerUrl = server.url("/vx3-client-2");
    QSignalSpy ready(&configuration, &Configuration::ready);
    ASSERT_TRUE(configuration.parseCommandLineOptions({"update", "--clientupdate"}));
    EXPECT_FALSE(configuration.m_Ready);
    ASSERT_TRUE(vxtest::waitUntil([&] { return ready.count() == 1; }));
    EXPECT_EQ(configuration.m_VersionNr, 200);
    EXPECT_EQ(configuration.m_Version, QString("2.0 beta"));
    EXPECT_EQ(configuration.m_ClientType, QString("client_macosx"));
    EXPECT_TRUE(configuration.m_Ready);
}

} // namespace
