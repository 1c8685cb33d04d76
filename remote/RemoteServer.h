#pragma once

#include "HttpService.h"
#include "RemoteMessages.h"
#include "RemotePanel.h"
#include "RemoteSettings.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <deque>
#include <memory>
#include <vector>

class QTimer;
class QWebSocket;

// Remote control's server: the page, the API and the WebSocket of held buttons, all
// through the panel's IRemotePanel. Every API request and every WebSocket must show the
// token; requests from pages of other sites are refused.
class TRemoteServer : public QObject {
    Q_OBJECT

public:
    static constexpr int MaxClients = 16;
    // Failed token attempts from one address within a minute after which every further
    // attempt from it is answered 429 (a WebSocket is closed) until the minute has passed.
    static constexpr int MaxFailedAttempts = 10;
    static constexpr int HelloTimeoutMs = 2000;
    static constexpr int HoldSilenceMs = 1000;

    explicit TRemoteServer(IRemotePanel& panel, QObject* parent = nullptr);
    ~TRemoteServer() override;

    // Listens on exactly settings.address and settings.port with settings.token as the
    // secret; false with the reason when that fails (port taken, not an address of this
    // machine, no token), and nothing listens then. A server already listening is closed
    // first.
    bool Listen(const TRemoteSettings& settings, QString* error = nullptr);
    // Closes the server and every connection; holds of WebSockets end.
    void Close();
    bool IsListening() const;
    quint16 ServerPort() const;
    QHostAddress ServerAddress() const;
    // Open connections, WebSockets included.
    int ClientCount() const;

    // Every play that ends, whatever started it: sent to each WebSocket client.
    void NotifyOutcome(const QString& button, TRemoteOutcome outcome);
    // The layout changed: WebSocket clients fetch the panel again.
    void NotifyPanelChanged();

private:
    struct TSocketClient;

    void HandleRequest(const THttpService::TRequest& request, const THttpService::TAnswer& answer);
    int UpgradeRefusal(const THttpService::TRequest& request) const;
    void AnswerApi(const TRemoteRoute& route, const THttpService::TAnswer& answer);
    // 0 when the token is right, else the status to answer.
    int Refusal(const QByteArray& token, const QHostAddress& peer);
    bool Limited(const QHostAddress& peer);
    void CountFailure(const QHostAddress& peer);
    bool OriginOk(const QByteArray& origin) const;

    void AcceptWebSockets();
    void OnMessage(TSocketClient* client, const QString& text);
    void Hello(TSocketClient* client, const QString& token);
    void EndHolds(TSocketClient* client);
    void Drop(TSocketClient* client);
    void Broadcast(const QByteArray& message);

    IRemotePanel& m_panel;
    std::unique_ptr<THttpService> m_service;
    QByteArray m_token;
    QList<QHostAddress> m_ownHosts; // for Origin checks
    bool m_localhostToo = false;
    QElapsedTimer m_clock;
    QHash<QString, std::deque<qint64>> m_failures; // address -> times of its last failures
    std::vector<std::unique_ptr<TSocketClient>> m_clients;
    int m_nextClientId = 1;
    std::vector<QPointer<QWebSocket>> m_dying; // dropped, deleted later
};
