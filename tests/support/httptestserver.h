// An HTTP/1.1 server inside the test process, on 127.0.0.1 and a port the system picks.
// Tests script per path what the server answers — status, headers, body — and the ways a
// real server misbehaves: a slow start, a trickling body, a stall after the headers, a
// connection dropped mid-body. It records every request so that tests can check what the
// client asked for. It runs on the thread that created it and needs that thread's event loop
// (vxtest::waitUntil) to make progress; every connection is closed after one reply, so a
// request log entry is exactly one client attempt.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

class QTcpServer;
class QTcpSocket;

namespace vxtest {

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

struct HttpReply {
    // How the body transfer ends early, after `cutAfter` body bytes have been sent.
    enum class Cut { None, Stall, Drop };

    int status = 200;
    HttpHeaders headers;         // Content-Length is added unless given here
    QByteArray body;
    int delayMs = 0;             // silence before the status line
    int chunkSize = 0;           // > 0: body sent in pieces of this size ...
    int chunkDelayMs = 0;        // ... with this pause between them
    Cut cut = Cut::None;
    int cutAfter = 0;

    static HttpReply ok(const QByteArray &body);
    static HttpReply withStatus(int status, const QByteArray &body = QByteArray());
};

struct HttpRequest {
    QByteArray method;
    QByteArray target;  // as sent: path plus query
    QString path;       // decoded path, the key replies are looked up by
    HttpHeaders headers;
    QByteArray body;

    // Value of the first header of this name (case-insensitive), empty if absent.
    QByteArray header(const QByteArray &name) const;
};

class HttpTestServer : public QObject
{
    Q_OBJECT
public:
    explicit HttpTestServer(QObject *parent = nullptr);
    ~HttpTestServer() override;

    bool isListening() const;
    quint16 port() const;
    QUrl url(const QString &path) const;

    // Replaces every reply of `path` by this one, used for all requests.
    void setReply(const QString &path, const HttpReply &reply);
    // Queues a reply: requests of `path` take the queued replies in turn, the last one stays.
    void addReply(const QString &path, const HttpReply &reply);

    // Paths without a reply are answered with 404.
    QList<HttpRequest> requests() const;
    int requestCount(const QString &path) const;
    void clearRequests();

    // Closes the listening socket: later connections are refused.
    void close();

signals:
    void requestReceived(const vxtest::HttpRequest &request);

private slots:
    void onNewConnection();

private:
    struct Connection;

    void onReadyRead(QTcpSocket *socket);
    bool parseRequest(Connection &connection);
    HttpReply takeReply(const QString &path);
    void sendReply(QTcpSocket *socket, const HttpReply &reply);
    void sendBodyFrom(QTcpSocket *socket, const HttpReply &reply, int offset);

    QTcpServer *m_Server;
    QHash<QTcpSocket *, Connection *> m_Connections;
    QHash<QString, QList<HttpReply>> m_Replies;
    QList<HttpRequest> m_Requests;
};

} // namespace vxtest
