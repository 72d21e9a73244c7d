// The version query against a real HTTP server: every way it can go wrong must end in exactly
// one answer, an empty map, and leave no thread behind.
#include "replies.h"
#include "support/eventloop.h"
#include "support/httptestserver.h"
#include "httpdownloader.h"
#include "updatechecker.h"
#include "updateserver_client/versions.h"

#include <QPointer>
#include <QTcpServer>
#include <gtest/gtest.h>

using vxtest::HttpReply;

namespace {

const QString kPath = QStringLiteral("/vx3-client-2");

struct Answers {
    QList<UpdateVersions> received;
};

// Starts one query at `url` and returns every answer it gave before it deleted itself.
QList<UpdateVersions> query(const QUrl &url)
{
    Answers answers;
    QPointer<UpdateChecker> checker = new UpdateChecker(nullptr, url);
    QObject::connect(checker, &UpdateChecker::update_available,
                     [&answers](const UpdateVersions &v) { answers.received.append(v); });
    checker->check();
    EXPECT_TRUE(vxtest::waitUntil([&] { return checker.isNull(); }, 10000)) << "checker never finished";
    vxtest::spinFor(50);
    return answers.received;
}

class UpdateCheckerTest : public ::testing::Test {
protected:
    vxtest::HttpTestServer server;
};

TEST_F(UpdateCheckerTest, GoodReplyGivesEveryChannelWithItsNumberAsText)
{
    server.setReply(kPath, HttpReply::ok(replies::encodedByProtoc()));
    const QList<UpdateVersions> answers = query(server.url(kPath));
    ASSERT_EQ(answers.size(), 1);
    const UpdateVersions &v = answers.first();
    EXPECT_EQ(v.size(), 3);
    EXPECT_EQ(v.value("stable"), qMakePair(QString("12345"), QString("3.5.3")));
    EXPECT_EQ(v.value("beta"), qMakePair(QString("12400"), QString("3.6.0 beta 1")));
    EXPECT_EQ(v.value("alpha").second, QString::fromUtf8("3.7.0 \xce\xb1"));

    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests().first().method, QByteArray("GET"));
}

TEST_F(UpdateCheckerTest, RepeatedChannelNameKeepsTheFirstValues)
{
    voxtrel::update::Versions message;
    message.set_licenseagreementid(1);
    replies::addChannel(message, "beta", 300, "3.0");
    replies::addChannel(message, "stable", 100, "1.0");
    replies::addChannel(message, "beta", 999, "9.9");
    server.setReply(kPath, HttpReply::ok(replies::serialized(message)));
    const QList<UpdateVersions> answers = query(server.url(kPath));
    ASSERT_EQ(answers.size(), 1);
    EXPECT_EQ(answers.first().size(), 2);
    EXPECT_EQ(answers.first().value("beta"), qMakePair(QString("300"), QString("3.0")));
}

QByteArray missingRequiredField()
{
    voxtrel::update::Versions message;
    replies::addChannel(message, "stable", 100, "1.0");
    return replies::serialized(message);
}

TEST_F(UpdateCheckerTest, FailuresAllEndAsOneEmptyAnswer)
{
    HttpReply dropped = HttpReply::ok(replies::encodedByProtoc());
    dropped.cut = HttpReply::Cut::Drop;
    dropped.cutAfter = 5;
    // Still a valid message (the licence field repeated over and over), only far too long.
    QByteArray huge = replies::encodedByProtoc();
    while (huge.size() <= HTTPDownloader::kMaxReplyBytes)
        huge += QByteArray("\x08\x07").repeated(4096);
    voxtrel::update::DecodedVersions decoded;
    ASSERT_EQ(voxtrel::update::parseVersions(huge.constData(), huge.size(), decoded), voxtrel::update::PARSE_OK);
    HttpReply oversized = HttpReply::ok(huge);
    HttpReply redirect = HttpReply::withStatus(302);
    redirect.headers.append(qMakePair(QByteArray("Location"), QByteArray("/elsewhere")));
    server.setReply("/elsewhere", HttpReply::ok(replies::encodedByProtoc()));

    struct Case {
        const char *what;
        HttpReply reply;
    };
    const Case cases[] = {
        {"missing required field", HttpReply::ok(missingRequiredField())},
        {"404", HttpReply::withStatus(404, replies::encodedByProtoc())},
        {"500", HttpReply::withStatus(500)},
        {"redirect is not followed", redirect},
        {"empty body", HttpReply::ok(QByteArray())},
        {"connection dropped mid-body", dropped},
        {"reply too large to be an answer", oversized},
    };
    for (const Case &c : cases) {
        server.setReply(kPath, c.reply);
        const QList<UpdateVersions> answers = query(server.url(kPath));
        ASSERT_EQ(answers.size(), 1) << c.what;
        EXPECT_TRUE(answers.first().isEmpty()) << c.what;
    }
    EXPECT_EQ(server.requestCount("/elsewhere"), 0);
}

TEST_F(UpdateCheckerTest, RefusedConnectionGivesAnEmptyAnswer)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    const QList<UpdateVersions> answers = query(QUrl(QStringLiteral("http://127.0.0.1:%1/vx3-client-2").arg(port)));
    ASSERT_EQ(answers.size(), 1);
    EXPECT_TRUE(answers.first().isEmpty());
}

TEST_F(UpdateCheckerTest, OwnerGoingAwayStopsAQueryTheServerNeverAnswers)
{
    HttpReply stall = HttpReply::ok(replies::encodedByProtoc());
    stall.cut = HttpReply::Cut::Stall;
    stall.cutAfter = 3;
    server.setReply(kPath, stall);

    auto *owner = new QObject;
    QPointer<UpdateChecker> checker = new UpdateChecker(owner, server.url(kPath));
    bool answered = false;
    QObject::connect(checker, &UpdateChecker::update_available, [&answered] { answered = true; });
    checker->check();
    ASSERT_TRUE(vxtest::waitUntil([&] { return server.requestCount(kPath) == 1; }));
    vxtest::spinFor(100);
    delete owner;
    EXPECT_TRUE(checker.isNull());
    vxtest::spinFor(100);
    EXPECT_FALSE(answered);
}

TEST(VersionForChannel, PicksTheEntryOfTheChannelNumber)
{
    UpdateVersions v;
    v["stable"] = qMakePair(QString("1"), QString("a"));
    v["beta"] = qMakePair(QString("2"), QString("b"));
    v["alpha"] = qMakePair(QString("3"), QString("c"));
    const struct {
        int channel;
        QString number;
    } cases[] = {{0, "1"}, {1, "2"}, {2, "3"}, {3, ""}, {-1, ""}};
    for (const auto &c : cases)
        EXPECT_EQ(UpdateChecker::versionForChannel(v, c.channel).first, c.number) << c.channel;
    v.remove("beta");
    EXPECT_EQ(UpdateChecker::versionForChannel(v, 1), qMakePair(QString(), QString()));
}

} // namespace
