#include "RemoteServer.h"

#include <QFile>
#include <QNetworkInterface>
#include <QPointer>
#include <QTimer>
#include <QWebSocket>

namespace {

constexpr qint64 FailureWindowMs = 60 * 1000;
// Buttons one WebSocket may hold at once; more downs are ignored until an up.
constexpr qsizetype MaxHeldPerClient = 64;
// Addresses whose failures are remembered; beyond, the oldest are forgotten.
constexpr qsizetype MaxFailingAddresses = 1024;

const QByteArray JsonType = "application/json";

QString AddressKey(const QHostAddress& address) {
    bool v4 = false;
    const quint32 ip4 = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip4).toString() : address.toString();
}

QByteArray PageBytes() {
    QFile page(QStringLiteral(":/remote/index.html"));
    return page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
}

} // namespace

struct TRemoteServer::TSocketClient {
    std::unique_ptr<QWebSocket> socket;
    int id = 0;
    bool greeted = false;
    QTimer* hello = nullptr;   // owned by socket
    QTimer* silence = nullptr; // owned by socket
    QSet<QString> held;
};

TRemoteServer::TRemoteServer(IRemotePanel& panel, QObject* parent)
    : QObject(parent), m_panel(panel) {
    m_service = std::make_unique<THttpService>(
        [this](const THttpService::TRequest& request, const THttpService::TAnswer& answer) {
            HandleRequest(request, answer);
        },
        [this](const THttpService::TRequest& request) { return UpgradeRefusal(request); },
        MaxClients);
    connect(m_service.get(), &THttpService::webSocketArrived, this,
            &TRemoteServer::AcceptWebSockets);
    m_clock.start();
}

TRemoteServer::~TRemoteServer() {
    Close();
}

bool TRemoteServer::Listen(const TRemoteSettings& settings, QString* error) {
    Close();
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (settings.token.isEmpty())
        return fail(tr("Remote control has no token."));
    QHostAddress address;
    if (!address.setAddress(settings.address))
        return fail(tr("\"%1\" is not an address.").arg(settings.address));
    QString reason;
    if (!m_service->Listen(address, settings.port, &reason))
        return fail(tr("Cannot listen on %1 port %2: %3")
                        .arg(settings.address)
                        .arg(settings.port)
                        .arg(reason));
    m_token = settings.token.toUtf8();
    const bool any = address == QHostAddress::Any || address == QHostAddress::AnyIPv4 ||
                     address == QHostAddress::AnyIPv6;
    m_ownHosts = any ? QNetworkInterface::allAddresses() : QList<QHostAddress>{address};
    m_localhostToo = any || address.isLoopback();
    return true;
}

void TRemoteServer::Close() {
    while (!m_clients.empty())
        Drop(m_clients.back().get());
    // A WebSocket goes before the connection under it.
    for (const QPointer<QWebSocket>& socket : m_dying)
        delete socket.data();
    m_dying.clear();
    m_service->Close();
    m_token.clear();
}

bool TRemoteServer::IsListening() const {
    return m_service->IsListening();
}

quint16 TRemoteServer::ServerPort() const {
    return m_service->Port();
}

QHostAddress TRemoteServer::ServerAddress() const {
    return m_service->Address();
}

int TRemoteServer::ClientCount() const {
    return m_service->ConnectionCount();
}

bool TRemoteServer::OriginOk(const QByteArray& origin) const {
    return OriginAllowed(origin, m_ownHosts, m_localhostToo, ServerPort());
}

void TRemoteServer::HandleRequest(const THttpService::TRequest& request,
                                  const THttpService::TAnswer& answer) {
    if (!OriginOk(request.origin))
        return answer(403, {}, {});
    if (request.body.size() > MaxRemoteBody)
        return answer(413, {}, {});
    const TRemoteRoute route = ParseRemoteRoute(request.method, request.path);
    switch (route.kind) {
    case TRemoteRoute::NotFound:
        return answer(404, {}, {});
    case TRemoteRoute::BadRequest:
        return answer(400, {}, {});
    case TRemoteRoute::WrongMethod:
        return answer(405, {}, {});
    case TRemoteRoute::Page: {
        const QByteArray page = PageBytes();
        return page.isEmpty() ? answer(404, {}, {}) : answer(200, page, "text/html; charset=utf-8");
    }
    default:
        break;
    }
    if (const int refusal = Refusal(BearerToken(request.authorization), request.peer))
        return answer(refusal, {}, {});
    AnswerApi(route, answer);
}

int TRemoteServer::UpgradeRefusal(const THttpService::TRequest& request) const {
    if (!OriginOk(request.origin))
        return 403;
    return request.path == "/ws" ? 0 : 404;
}

void TRemoteServer::AnswerApi(const TRemoteRoute& route, const THttpService::TAnswer& answer) {
    // The panel may answer at once or long after; by then the connection may be gone,
    // which the answer itself checks.
    const IRemotePanel::TDone done = [answer](TRemoteOutcome outcome) {
        if (outcome == TRemoteOutcome::UnknownButton)
            answer(404, {}, {});
        else
            answer(200, RemoteOutcomeJson(outcome), JsonType);
    };
    switch (route.kind) {
    case TRemoteRoute::Panel:
        return answer(200, RemotePanelJson(m_panel.View()), JsonType);
    case TRemoteRoute::Status:
        return answer(200, RemoteStatusJson(m_panel.Status()), JsonType);
    case TRemoteRoute::Stop:
        m_panel.StopAll();
        return answer(200, "{}", JsonType);
    case TRemoteRoute::Press:
        return m_panel.PressButton(route.button, done);
    case TRemoteRoute::Play:
        return m_panel.PlayNumber(route.play, done);
    default:
        return answer(404, {}, {});
    }
}

int TRemoteServer::Refusal(const QByteArray& token, const QHostAddress& peer) {
    if (Limited(peer))
        return 429;
    if (TokensEqual(token, m_token))
        return 0;
    CountFailure(peer);
    return 401;
}

bool TRemoteServer::Limited(const QHostAddress& peer) {
    const auto it = m_failures.find(AddressKey(peer));
    if (it == m_failures.end())
        return false;
    const qint64 now = m_clock.elapsed();
    while (!it->empty() && now - it->front() >= FailureWindowMs)
        it->pop_front();
    if (it->empty()) {
        m_failures.erase(it);
        return false;
    }
    return qsizetype(it->size()) >= MaxFailedAttempts;
}

void TRemoteServer::CountFailure(const QHostAddress& peer) {
    const QString key = AddressKey(peer);
    if (!m_failures.contains(key) && m_failures.size() >= MaxFailingAddresses)
        m_failures.erase(m_failures.begin());
    std::deque<qint64>& times = m_failures[key];
    times.push_back(m_clock.elapsed());
    while (qsizetype(times.size()) > MaxFailedAttempts)
        times.pop_front();
}

void TRemoteServer::AcceptWebSockets() {
    while (std::unique_ptr<QWebSocket> socket = m_service->NextWebSocket()) {
        QWebSocket* raw = socket.get();
        if (socket->requestUrl().path() != u"/ws" ||
            !OriginOk(socket->request().rawHeader("Origin"))) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
            m_dying.emplace_back(socket.get());
            socket.release()->deleteLater();
            continue;
        }
        auto client = std::make_unique<TSocketClient>();
        TSocketClient* c = client.get();
        c->id = m_nextClientId++;
        socket->setMaxAllowedIncomingMessageSize(MaxRemoteBody);
        socket->setMaxAllowedIncomingFrameSize(MaxRemoteBody);
        c->hello = new QTimer(raw);
        c->hello->setSingleShot(true);
        c->hello->start(HelloTimeoutMs);
        c->silence = new QTimer(raw);
        c->silence->setSingleShot(true);
        c->silence->setInterval(HoldSilenceMs);
        connect(c->hello, &QTimer::timeout, this, [this, c] { Drop(c); });
        connect(c->silence, &QTimer::timeout, this, [this, c] { EndHolds(c); });
        connect(raw, &QWebSocket::textMessageReceived, this,
                [this, c](const QString& text) { OnMessage(c, text); });
        connect(raw, &QWebSocket::binaryMessageReceived, this, [this, c] { Drop(c); });
        connect(raw, &QWebSocket::disconnected, this, [this, c] { Drop(c); });
        c->socket = std::move(socket);
        m_clients.push_back(std::move(client));
    }
}

void TRemoteServer::OnMessage(TSocketClient* client, const QString& text) {
    const TRemoteClientMessage message = ParseRemoteClientMessage(text.toUtf8());
    if (!client->greeted) {
        if (message.type == TRemoteClientMessage::Hello)
            Hello(client, message.token);
        else
            Drop(client);
        return;
    }
    if (!client->held.isEmpty())
        client->silence->start();
    switch (message.type) {
    case TRemoteClientMessage::Down:
        if (client->held.size() >= MaxHeldPerClient && !client->held.contains(message.button))
            return;
        client->held.insert(message.button);
        client->silence->start();
        m_panel.HoldDown(message.button, client->id);
        return;
    case TRemoteClientMessage::Up:
        if (client->held.remove(message.button) && client->held.isEmpty())
            client->silence->stop();
        m_panel.HoldUp(message.button, client->id);
        return;
    case TRemoteClientMessage::Ping:
        return;
    case TRemoteClientMessage::Hello:
    case TRemoteClientMessage::Invalid:
        // Garbage is ignored: a page with a bug must not end its own holds.
        return;
    }
}

void TRemoteServer::Hello(TSocketClient* client, const QString& token) {
    const QHostAddress peer = client->socket->peerAddress();
    if (Refusal(token.toUtf8(), peer) != 0)
        return Drop(client);
    client->greeted = true;
    client->hello->stop();
}

void TRemoteServer::EndHolds(TSocketClient* client) {
    client->held.clear();
    client->silence->stop();
    m_panel.EndClient(client->id);
}

void TRemoteServer::Drop(TSocketClient* client) {
    const auto it = std::find_if(m_clients.begin(), m_clients.end(),
                                 [client](const auto& c) { return c.get() == client; });
    if (it == m_clients.end())
        return;
    std::unique_ptr<TSocketClient> gone = std::move(*it);
    m_clients.erase(it);
    QWebSocket* socket = gone->socket.release();
    // This may run inside one of the socket's own signals: it goes later.
    socket->disconnect(this);
    gone->hello->disconnect(this);
    gone->silence->disconnect(this);
    gone->hello->stop();
    gone->silence->stop();
    if (gone->greeted)
        m_panel.EndClient(gone->id);
    socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
    socket->deleteLater();
    std::erase_if(m_dying, [](const QPointer<QWebSocket>& s) { return s.isNull(); });
    m_dying.emplace_back(socket);
}

void TRemoteServer::Broadcast(const QByteArray& message) {
    const QString text = QString::fromUtf8(message);
    for (const auto& client : m_clients) {
        if (client->greeted)
            client->socket->sendTextMessage(text);
    }
}

void TRemoteServer::NotifyOutcome(const QString& button, TRemoteOutcome outcome) {
    if (outcome != TRemoteOutcome::UnknownButton)
        Broadcast(RemoteOutcomeMessage(button, outcome));
}

void TRemoteServer::NotifyPanelChanged() {
    Broadcast(RemotePanelChangedMessage());
}
