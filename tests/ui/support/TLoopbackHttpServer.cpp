#include "TLoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A socket bound to 127.0.0.1 at a free port; -1 when that failed.
int BoundSocket(quint16* port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

const char* ReasonOf(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

TLoopbackHttpServer::TLoopbackHttpServer()
{
    FListener = BoundSocket(&FPort);
    if (FListener < 0 || listen(FListener, 8) != 0)
        qFatal("TLoopbackHttpServer: no loopback port to listen on");
    FThread = std::thread([this] { Serve(); });
}

TLoopbackHttpServer::~TLoopbackHttpServer()
{
    FStop = true;
    FThread.join();
    close(FListener);
    for (int connection : FHanging)
        close(connection);
}

QString TLoopbackHttpServer::Host() const
{
    return u"http://127.0.0.1:%1"_s.arg(FPort);
}

void TLoopbackHttpServer::SetReply(const TReply& reply)
{
    const std::lock_guard<std::mutex> lock(FLock);
    FReply = reply;
}

QList<QByteArray> TLoopbackHttpServer::Requests() const
{
    const std::lock_guard<std::mutex> lock(FLock);
    return FRequests;
}

QString TLoopbackHttpServer::RefusingHost()
{
    // Bound but not listening: the port is ours, and a connection to it is refused.
    static quint16 port = 0;
    static const int fd = BoundSocket(&port);
    if (fd < 0)
        qFatal("TLoopbackHttpServer: no loopback port");
    return u"http://127.0.0.1:%1"_s.arg(port);
}

void TLoopbackHttpServer::Serve()
{
    while (!FStop) {
        pollfd waiting{FListener, POLLIN, 0};
        if (poll(&waiting, 1, 20) <= 0)
            continue;
        const int connection = accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0)
            Answer(connection);
    }
}

void TLoopbackHttpServer::Answer(int connection)
{
    QByteArray head;
    while (!FStop && !head.contains("\r\n\r\n")) {
        pollfd waiting{connection, POLLIN, 0};
        if (poll(&waiting, 1, 20) <= 0)
            continue;
        char buffer[4096];
        const ssize_t count = read(connection, buffer, sizeof(buffer));
        if (count <= 0)
            break;
        head.append(buffer, count);
    }
    TReply reply;
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FRequests << head.left(head.indexOf("\r\n\r\n"));
        reply = FReply;
    }
    if (reply.Hang) {
        FHanging << connection;
        return;
    }
    QByteArray response = "HTTP/1.1 " + QByteArray::number(reply.Status) + ' ' +
                          ReasonOf(reply.Status) +
                          "\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                          QByteArray::number(reply.Body.size()) + "\r\n\r\n" + reply.Body;
    const char* data = response.constData();
    qsizetype left = response.size();
    while (left > 0) {
        const ssize_t written = send(connection, data, static_cast<size_t>(left), MSG_NOSIGNAL);
        if (written <= 0)
            break;
        data += written;
        left -= written;
    }
    close(connection);
}

QByteArray RequestTarget(const QByteArray& head)
{
    const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
    return words.size() == 3 ? words.at(1) : QByteArray();
}

QByteArray RequestHeader(const QByteArray& head, const QByteArray& name)
{
    for (const QByteArray& line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
            return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}
