#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

#include <functional>
#include <memory>

class QWebSocket;

// The one place that knows Qt's HTTP server, whose interface changes between Qt versions:
// requests come out of here as plain values, answers go back through a function.
// Connections beyond the limit are closed as they arrive.
class THttpService : public QObject {
    Q_OBJECT

public:
    struct TRequest {
        QByteArray method; // "GET", "POST", ...
        QByteArray path;   // percent-encoded as sent
        QByteArray origin;
        QByteArray authorization;
        QByteArray body;
        QHostAddress peer;
    };
    // Answers a request once; later calls, and calls after its connection closed, do
    // nothing. An empty content type sends no body.
    using TAnswer =
        std::function<void(int status, const QByteArray& body, const QByteArray& contentType)>;
    using THandler = std::function<void(const TRequest&, const TAnswer&)>;
    // Asked before a WebSocket handshake is answered: 0 lets it go ahead, anything else
    // is the status it is refused with.
    using TUpgradeCheck = std::function<int(const TRequest&)>;

    THttpService(THandler handler, TUpgradeCheck upgradeCheck, int maxConnections,
                 QObject* parent = nullptr);
    ~THttpService() override;

    bool Listen(const QHostAddress& address, quint16 port, QString* error);
    void Close();
    bool IsListening() const;
    quint16 Port() const;
    QHostAddress Address() const;
    // Open connections, WebSockets included.
    int ConnectionCount() const;

    // The next WebSocket that completed its handshake, on any path; the caller decides
    // whether to keep it.
    std::unique_ptr<QWebSocket> NextWebSocket();

signals:
    void webSocketArrived();

private:
    class TServer;
    class TTcpServer;

    THandler m_handler;
    TUpgradeCheck m_upgradeCheck;
    int m_maxConnections;
    std::unique_ptr<TServer> m_server;
    TTcpServer* m_tcp = nullptr; // owned by m_server
};
