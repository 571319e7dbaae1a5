#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

// An HTTP server on 127.0.0.1 at a free port, in a thread of its own, so that a test can point
// a blocking client at it. It answers every request with the reply set last and keeps the head
// of each request it read.
class TLoopbackHttpServer final
{
public:
    struct TReply
    {
        int Status = 200;
        QByteArray Body;
        bool Hang = false; // accept and read the request, then never answer
    };

    TLoopbackHttpServer();
    ~TLoopbackHttpServer();
    TLoopbackHttpServer(const TLoopbackHttpServer&) = delete;
    TLoopbackHttpServer& operator=(const TLoopbackHttpServer&) = delete;

    // "http://127.0.0.1:<port>"
    QString Host() const;
    void SetReply(const TReply& reply);
    // The request line and headers of each request so far.
    QList<QByteArray> Requests() const;

    // A loopback address where nothing listens, so a connection is refused.
    static QString RefusingHost();

private:
    void Serve();
    void Answer(int connection);

    int FListener = -1;
    quint16 FPort = 0;
    std::atomic<bool> FStop{false};
    mutable std::mutex FLock;
    TReply FReply;
    QList<QByteArray> FRequests;
    QList<int> FHanging; // connections left unanswered, closed at the end
    std::thread FThread;
};

// The request line's target ("/path?query") and the value of a header of a request head.
QByteArray RequestTarget(const QByteArray& head);
QByteArray RequestHeader(const QByteArray& head, const QByteArray& name);
