#include "support/httptestserver.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace vxtest {

namespace {

// Requests larger than this are a broken client, not something a test wants served.
const int kMaxRequestBytes = 1 << 20;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

bool hasHeader(const HttpHeaders &headers, const QByteArray &name)
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

struct HttpTestServer::Connection {
    QByteArray buffer;
    bool answered = false;
};

HttpReply HttpReply::ok(const QByteArray &body)
{
    HttpReply r;
    r.body = body;
    return r;
}

HttpReply HttpReply::withStatus(int status, const QByteArray &body)
{
    HttpReply r;
    r.status = status;
    r.body = body;
    return r;
}

QByteArray HttpRequest::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return QByteArray();
}

HttpTestServer::HttpTestServer(QObject *parent)
    : QObject(parent)
    , m_Server(new QTcpServer(this))
{
    connect(m_Server, &QTcpServer::newConnection, this, &HttpTestServer::onNewConnection);
    m_Server->listen(QHostAddress::LocalHost, 0);
}

HttpTestServer::~HttpTestServer()
{
    qDeleteAll(m_Connections);
}

bool HttpTestServer::isListening() const
{
    return m_Server->isListening();
}

quint16 HttpTestServer::port() const
{
    return m_Server->serverPort();
}

QUrl HttpTestServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
}

void HttpTestServer::setReply(const QString &path, const HttpReply &reply)
{
    m_Replies[path] = {reply};
}

void HttpTestServer::addReply(const QString &path, const HttpReply &reply)
{
    m_Replies[path].append(reply);
}

QList<HttpRequest> HttpTestServer::requests() const
{
    return m_Requests;
}

int HttpTestServer::requestCount(const QString &path) const
{
    int n = 0;
    for (const auto &r : m_Requests)
        n += r.path == path ? 1 : 0;
    return n;
}

void HttpTestServer::clearRequests()
{
    m_Requests.clear();
}

void HttpTestServer::close()
{
    m_Server->close();
}

void HttpTestServer::onNewConnection()
{
    while (QTcpSocket *socket = m_Server->nextPendingConnection()) {
        m_Connections.insert(socket, new Connection);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            delete m_Connections.take(socket);
            socket->deleteLater();
        });
    }
}

void HttpTestServer::onReadyRead(QTcpSocket *socket)
{
    Connection *connection = m_Connections.value(socket);
    if (!connection || connection->answered) {
        socket->readAll();
        return;
    }
    connection->buffer += socket->readAll();
    if (connection->buffer.size() > kMaxRequestBytes) {
        socket->abort();
        return;
    }
    if (!parseRequest(*connection))
        return;
    connection->answered = true;
    const HttpRequest &request = m_Requests.last();
    emit requestReceived(request);
    const HttpReply reply = takeReply(request.path);
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(reply.delayMs, this, [this, guard, reply] {
        if (guard)
            sendReply(guard, reply);
    });
}

// Appends the request to the log once it is complete; false while more bytes are needed.
bool HttpTestServer::parseRequest(Connection &connection)
{
    const int headEnd = connection.buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return false;
    const QList<QByteArray> lines = connection.buffer.left(headEnd).split('\n');
    HttpRequest request;
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    request.path = QUrl::fromEncoded(request.target).path();
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.append({lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
    }
    const int bodyLength = request.header("Content-Length").toInt();
    if (connection.buffer.size() < headEnd + 4 + bodyLength)
        return false;
    request.body = connection.buffer.mid(headEnd + 4, bodyLength);
    m_Requests.append(request);
    return true;
}

HttpReply HttpTestServer::takeReply(const QString &path)
{
    auto it = m_Replies.find(path);
    if (it == m_Replies.end() || it->isEmpty())
        return HttpReply::withStatus(404, "not found\n");
    return it->size() > 1 ? it->takeFirst() : it->first();
}

void HttpTestServer::sendReply(QTcpSocket *socket, const HttpReply &reply)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    if (!hasHeader(reply.headers, "Content-Length"))
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    head += "Connection: close\r\n";
    for (const auto &h : reply.headers)
        head += h.first + ": " + h.second + "\r\n";
    head += "\r\n";
    socket->write(head);
    sendBodyFrom(socket, reply, 0);
}

// Sends the body from `offset` on, a piece at a time when the reply trickles, and ends the
// transfer the way the reply asks: closed when complete, silent or dropped at the cut.
void HttpTestServer::sendBodyFrom(QTcpSocket *socket, const HttpReply &reply, int offset)
{
    const int end = reply.cut == HttpReply::Cut::None ? reply.body.size()
                                                      : qMin(reply.cutAfter, reply.body.size());
    const int piece = reply.chunkSize > 0 ? reply.chunkSize : end - offset;
    const int n = qMin(piece, end - offset);
    if (n > 0)
        socket->write(reply.body.constData() + offset, n);
    offset += n;
    if (offset < end) {
        QPointer<QTcpSocket> guard(socket);
        QTimer::singleShot(reply.chunkDelayMs, this, [this, guard, reply, offset] {
            if (guard)
                sendBodyFrom(guard, reply, offset);
        });
        return;
    }
    switch (reply.cut) {
    case HttpReply::Cut::Stall:
        socket->flush();
        break;
    case HttpReply::Cut::Drop:
        socket->flush();
        socket->abort();
        break;
    case HttpReply::Cut::None:
        socket->disconnectFromHost();
        break;
    }
}

} // namespace vxtest
