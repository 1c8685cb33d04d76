#include "HttpService.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>

// Counts its connections and closes those beyond the limit before Qt's server sees them.
class THttpService::TTcpServer : public QTcpServer {
public:
    TTcpServer(int maxConnections, QObject* parent)
        : QTcpServer(parent), m_maxConnections(maxConnections) {}

    int Count() {
        // Qt's server drops every connection of a socket it hands to a WebSocket, so the
        // sockets are looked at rather than counted through their signals.
        std::erase_if(m_sockets, [](const QPointer<QTcpSocket>& socket) {
            return !socket || socket->state() == QAbstractSocket::UnconnectedState;
        });
        return int(m_sockets.size());
    }

protected:
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor) || Count() >= m_maxConnections) {
            socket->abort();
            socket->deleteLater();
            return;
        }
        m_sockets.emplace_back(socket);
        addPendingConnection(socket);
    }

private:
    int m_maxConnections;
    std::vector<QPointer<QTcpSocket>> m_sockets;
};

class THttpService::TServer : public QAbstractHttpServer {
public:
    TServer(const THandler& handler, const TUpgradeCheck& upgradeCheck)
        : m_handler(handler), m_upgradeCheck(upgradeCheck) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        TRequest plain;
        plain.method = MethodName(request.method());
        plain.path = request.url().path(QUrl::FullyEncoded).toLatin1();
        plain.origin = request.value("origin");
        plain.authorization = request.value("authorization");
        plain.body = request.body();
        plain.peer = request.remoteAddress();
        // Qt 6.4 asks here before it upgrades a connection to a WebSocket: true lets the
        // handshake go ahead, false closes the connection after missingHandler.
        if (request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0) {
            const int refusal = m_upgradeCheck(plain);
            if (refusal == 0)
                return true;
            makeResponder(request, socket)
                .write(static_cast<QHttpServerResponder::StatusCode>(refusal));
            return false;
        }
        m_handler(plain, Answer(makeResponder(request, socket), socket));
        return true;
    }

    // Only refused upgrades get here, already answered.
    void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

private:
    static QByteArray MethodName(QHttpServerRequest::Method method) {
        using M = QHttpServerRequest::Method;
        switch (method) {
        case M::Get:
            return "GET";
        case M::Post:
            return "POST";
        case M::Put:
            return "PUT";
        case M::Delete:
            return "DELETE";
        case M::Head:
            return "HEAD";
        case M::Options:
            return "OPTIONS";
        case M::Patch:
            return "PATCH";
        default:
            return "OTHER";
        }
    }

    static TAnswer Answer(QHttpServerResponder&& responder, QTcpSocket* socket) {
        struct TPending {
            std::optional<QHttpServerResponder> responder;
            QPointer<QTcpSocket> socket;
        };
        auto pending = std::make_shared<TPending>();
        pending->responder.emplace(std::move(responder));
        pending->socket = socket;
        return [pending](int status, const QByteArray& body, const QByteArray& type) {
            if (!pending->responder)
                return;
            std::optional<QHttpServerResponder> responder = std::move(pending->responder);
            pending->responder.reset();
            if (!pending->socket || pending->socket->state() != QAbstractSocket::ConnectedState)
                return;
            const auto code = static_cast<QHttpServerResponder::StatusCode>(status);
            if (type.isEmpty())
                responder->write({{"Cache-Control", "no-store"}}, code);
            else
                responder->write(body, {{"Content-Type", type}, {"Cache-Control", "no-store"}},
                                 code);
        };
    }

    THandler m_handler;
    TUpgradeCheck m_upgradeCheck;
};

THttpService::THttpService(THandler handler, TUpgradeCheck upgradeCheck, int maxConnections,
                           QObject* parent)
    : QObject(parent), m_handler(std::move(handler)), m_upgradeCheck(std::move(upgradeCheck)),
      m_maxConnections(maxConnections) {}

THttpService::~THttpService() = default;

bool THttpService::Listen(const QHostAddress& address, quint16 port, QString* error) {
    Close();
    auto server = std::make_unique<TServer>(m_handler, m_upgradeCheck);
    auto* tcp = new TTcpServer(m_maxConnections, server.get());
    if (!tcp->listen(address, port)) {
        if (error)
            *error = tcp->errorString();
        return false;
    }
    server->bind(tcp);
    connect(server.get(), &QAbstractHttpServer::newWebSocketConnection, this,
            &THttpService::webSocketArrived);
    m_server = std::move(server);
    m_tcp = tcp;
    return true;
}

void THttpService::Close() {
    m_tcp = nullptr;
    m_server.reset();
}

bool THttpService::IsListening() const {
    return m_tcp && m_tcp->isListening();
}

quint16 THttpService::Port() const {
    return m_tcp ? m_tcp->serverPort() : 0;
}

QHostAddress THttpService::Address() const {
    return m_tcp ? m_tcp->serverAddress() : QHostAddress();
}

int THttpService::ConnectionCount() const {
    return m_tcp ? m_tcp->Count() : 0;
}

std::unique_ptr<QWebSocket> THttpService::NextWebSocket() {
    if (!m_server || !m_server->hasPendingWebSocketConnections())
        return nullptr;
    return m_server->nextPendingWebSocketConnection();
}
