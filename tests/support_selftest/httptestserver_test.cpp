// The test server is what the download tests trust to misbehave on cue; these check that
// each scripted behaviour reaches a real HTTP client as scripted.
#include "support/eventloop.h"
#include "support/httptestserver.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpSocket>
#include <gtest/gtest.h>

using vxtest::HttpReply;
using vxtest::HttpTestServer;

namespace {

struct Fetched {
    bool done = false;
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    qint64 elapsedMs = 0;
};

Fetched get(QNetworkAccessManager &nam, const QUrl &url, int timeoutMs = 5000)
{
    Fetched f;
    QElapsedTimer timer;
    timer.start();
    QNetworkRequest request(url);
    request.setRawHeader("X-Probe", "yes");
    QNetworkReply *reply = nam.get(request);
    QObject::connect(reply, &QNetworkReply::readyRead, [&] { f.body += reply->readAll(); });
    QObject::connect(reply, &QNetworkReply::finished, [&] {
        f.body += reply->readAll();
        f.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        f.error = reply->error();
        f.done = true;
    });
    vxtest::waitUntil([&] { return f.done; }, timeoutMs);
    f.elapsedMs = timer.elapsed();
    if (!f.done)
        reply->abort();
    reply->deleteLater();
    return f;
}

class HttpTestServerTest : public ::testing::Test {
protected:
    HttpTestServer server;
    QNetworkAccessManager nam;
};

TEST_F(HttpTestServerTest, ServesScriptedStatusHeadersAndBody)
{
    ASSERT_TRUE(server.isListening());
    HttpReply reply = HttpReply::ok("hello");
    reply.headers.append(qMakePair(QByteArray("X-Extra"), QByteArray("42")));
    server.setReply("/a/file.bin", reply);

    const Fetched f = get(nam, server.url("/a/file.bin"));
    EXPECT_EQ(f.status, 200);
    EXPECT_EQ(f.error, QNetworkReply::NoError);
    EXPECT_EQ(f.body, QByteArray("hello"));

    const Fetched missing = get(nam, server.url("/other"));
    EXPECT_EQ(missing.status, 404);
    EXPECT_NE(missing.error, QNetworkReply::NoError);

    server.setReply("/gone", HttpReply::withStatus(500, "boom"));
    EXPECT_EQ(get(nam, server.url("/gone")).status, 500);
}

TEST_F(HttpTestServerTest, LogsMethodPathQueryAndHeaders)
{
    server.setReply("/x", HttpReply::ok("1"));
    get(nam, server.url("/x?q=1"));
    get(nam, server.url("/x"));
    ASSERT_EQ(server.requests().size(), 2);
    const vxtest::HttpRequest first = server.requests().first();
    EXPECT_EQ(first.method, QByteArray("GET"));
    EXPECT_EQ(first.target, QByteArray("/x?q=1"));
    EXPECT_EQ(first.path, QString("/x"));
    EXPECT_EQ(first.header("x-probe"), QByteArray("yes"));
    EXPECT_EQ(server.requestCount("/x"), 2);
    server.clearRequests();
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(HttpTestServerTest, QueuedRepliesAreUsedInTurnAndTheLastOneStays)
{
    server.addReply("/r", HttpReply::withStatus(503));
    server.addReply("/r", HttpReply::ok("second"));
    EXPECT_EQ(get(nam, server.url("/r")).status, 503);
    EXPECT_EQ(get(nam, server.url("/r")).body, QByteArray("second"));
    EXPECT_EQ(get(nam, server.url("/r")).body, QByteArray("second"));
}

TEST_F(HttpTestServerTest, DelayAndTrickleTakeTheirTime)
{
    HttpReply delayed = HttpReply::ok("late");
    delayed.delayMs = 300;
    server.setReply("/late", delayed);
    const Fetched late = get(nam, server.url("/late"));
    EXPECT_EQ(late.body, QByteArray("late"));
    EXPECT_GE(late.elapsedMs, 280);

    HttpReply trickle = HttpReply::ok(QByteArray(1000, 'x'));
    trickle.chunkSize = 100;
    trickle.chunkDelayMs = 30;
    server.setReply("/slow", trickle);
    const Fetched slow = get(nam, server.url("/slow"));
    EXPECT_EQ(slow.body, QByteArray(1000, 'x'));
    EXPECT_GE(slow.elapsedMs, 250);
}

TEST_F(HttpTestServerTest, StallSendsHeadersAndPartOfTheBodyThenNothing)
{
    HttpReply stall = HttpReply::ok(QByteArray(100, 'y'));
    stall.cut = HttpReply::Cut::Stall;
    stall.cutAfter = 10;
    server.setReply("/stall", stall);

    QNetworkReply *reply = nam.get(QNetworkRequest(server.url("/stall")));
    QByteArray got;
    QObject::connect(reply, &QNetworkReply::readyRead, [&] { got += reply->readAll(); });
    EXPECT_TRUE(vxtest::waitUntil([&] { return got.size() == 10; }, 3000));
    EXPECT_EQ(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    vxtest::spinFor(300);
    EXPECT_FALSE(reply->isFinished());
    EXPECT_EQ(got.size(), 10);
    reply->abort();
    delete reply;
}

TEST_F(HttpTestServerTest, DropEndsTheTransferWithAnErrorMidBody)
{
    HttpReply drop = HttpReply::ok(QByteArray(5000, 'z'));
    drop.cut = HttpReply::Cut::Drop;
    drop.cutAfter = 1000;
    server.setReply("/drop", drop);
    const Fetched f = get(nam, server.url("/drop"));
    ASSERT_TRUE(f.done);
    EXPECT_NE(f.error, QNetworkReply::NoError);
    EXPECT_LE(f.body.size(), 1000);
}

TEST_F(HttpTestServerTest, ClosedServerRefusesConnections)
{
    const quint16 port = server.port();
    server.close();
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_FALSE(socket.waitForConnected(2000));
}

TEST_F(HttpTestServerTest, RequestBodyIsRecorded)
{
    server.setReply("/post", HttpReply::ok("ok"));
    QNetworkRequest request(server.url("/post"));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "text/plain");
    QNetworkReply *reply = nam.post(request, QByteArray("payload"));
    ASSERT_TRUE(vxtest::waitUntil([&] { return reply->isFinished(); }));
    delete reply;
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests().first().method, QByteArray("POST"));
    EXPECT_EQ(server.requests().first().body, QByteArray("payload"));
}

} // namespace
