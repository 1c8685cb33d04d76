#include "RemoteRecorder.h"
#include "RemoteServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

enum class Auth { None, Wrong, Right };

struct TReply {
    int status = 0;
    QByteArray body;
};

} // namespace

Q_DECLARE_METATYPE(Auth)

class TestRemoteServer : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void routes_data();
    void routes();
    void outcomes_data();
    void outcomes();
    void panelAndStatusJson();
    void pressAnswersWhenThePlayEnds();
    void failedTokensAreLimited();
    void clientLimit();
    void listenAddress_data();
    void listenAddress();
    void secondListenOnTheSamePortFails();
    void boundToLoopbackOnly();

private:
    TReply Send(const QByteArray& method, const QString& path, Auth auth,
                const QByteArray& origin = {}, const QByteArray& body = {});
    QByteArray Own() const { return "http://127.0.0.1:" + QByteArray::number(m_port); }

    TRemoteRecorder m_panel;
    std::unique_ptr<TRemoteServer> m_server;
    QNetworkAccessManager m_network;
    quint16 m_port = 0;
};

void TestRemoteServer::init() {
    m_panel = TRemoteRecorder();
    m_server = std::make_unique<TRemoteServer>(m_panel);
    QString error;
    QVERIFY2(m_server->Listen(LoopbackSettings(), &error), qPrintable(error));
    m_port = m_server->ServerPort();
    QVERIFY(m_port != 0);
}

void TestRemoteServer::cleanup() {
    m_server.reset();
}

TReply TestRemoteServer::Send(const QByteArray& method, const QString& path, Auth auth,
                              const QByteArray& origin, const QByteArray& body) {
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path)));
    if (auth != Auth::None) {
        const QString token = auth == Auth::Right ? LoopbackSettings().token
                                                  : QStringLiteral("not-the-token-at-all-1234");
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    }
    if (!origin.isEmpty())
        request.setRawHeader("Origin", origin);
    if (!body.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/octet-stream");
    std::unique_ptr<QNetworkReply> reply(m_network.sendCustomRequest(request, method, body));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(10000);
    TReply result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    return result;
}

void TestRemoteServer::routes_data() {
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<Auth>("auth");
    QTest::addColumn<QByteArray>("origin"); // "own" for the server's own
    QTest::addColumn<int>("bodySize");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("calls");

    const QStringList none;
    const auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
    row("page needs no token") << QByteArray("GET") << "/" << Auth::None << QByteArray() << 0 << 200
                               << none;
    row("panel without token") << QByteArray("GET") << "/api/panel" << Auth::None << QByteArray()
                               << 0 << 401 << none;
    row("panel wrong token") << QByteArray("GET") << "/api/panel" << Auth::Wrong << QByteArray()
                             << 0 << 401 << none;
    row("panel") << QByteArray("GET") << "/api/panel" << Auth::Right << QByteArray() << 0 << 200
                 << none;
    row("status wrong token") << QByteArray("GET") << "/api/status" << Auth::Wrong << QByteArray()
                              << 0 << 401 << none;
    row("press") << QByteArray("POST") << "/api/buttons/CB_1/press" << Auth::Right << QByteArray()
                 << 0 << 200 << QStringList{"press CB_1"};
    row("press without token") << QByteArray("POST") << "/api/buttons/CB_1/press" << Auth::None
                               << QByteArray() << 0 << 401 << none;
    row("press wrong token") << QByteArray("POST") << "/api/buttons/CB_1/press" << Auth::Wrong
                             << QByteArray() << 0 << 401 << none;
    row("press unknown button") << QByteArray("POST") << "/api/buttons/CB_9/press" << Auth::Right
                                << QByteArray() << 0 << 404 << QStringList{"press CB_9"};
    row("press malformed name") << QByteArray("POST") << "/api/buttons/CB%201/press" << Auth::Right
                                << QByteArray() << 0 << 400 << none;
    row("press by GET") << QByteArray("GET") << "/api/buttons/CB_1/press" << Auth::Right
                        << QByteArray() << 0 << 405 << none;
    row("play 0") << QByteArray("POST") << "/api/play/0" << Auth::Right << QByteArray() << 0 << 200
                  << QStringList{"play 0"};
    row("play 84") << QByteArray("POST") << "/api/play/84" << Auth::Right << QByteArray() << 0
                   << 200 << QStringList{"play 84"};
    row("play 85") << QByteArray("POST") << "/api/play/85" << Auth::Right << QByteArray() << 0
                   << 400 << none;
    row("play -1") << QByteArray("POST") << "/api/play/-1" << Auth::Right << QByteArray() << 0
                   << 400 << none;
    row("play +5") << QByteArray("POST") << "/api/play/+5" << Auth::Right << QByteArray() << 0
                   << 400 << none;
    row("play wrong token") << QByteArray("POST") << "/api/play/5" << Auth::Wrong << QByteArray()
                            << 0 << 401 << none;
    row("stop") << QByteArray("POST") << "/api/stop" << Auth::Right << QByteArray() << 0 << 200
                << QStringList{"stop"};
    row("stop without token") << QByteArray("POST") << "/api/stop" << Auth::None << QByteArray()
                              << 0 << 401 << none;
    row("unknown route") << QByteArray("GET") << "/api/nothing" << Auth::Right << QByteArray() << 0
                         << 404 << none;
    row("unknown file") << QByteArray("GET") << "/favicon.ico" << Auth::None << QByteArray() << 0
                        << 404 << none;
    row("own origin") << QByteArray("POST") << "/api/stop" << Auth::Right << QByteArray("own") << 0
                      << 200 << QStringList{"stop"};
    row("localhost origin") << QByteArray("POST") << "/api/stop" << Auth::Right
                            << QByteArray("localhost") << 0 << 200 << QStringList{"stop"};
    row("other site") << QByteArray("POST") << "/api/stop" << Auth::Right
                      << QByteArray("http://example.com") << 0 << 403 << none;
    row("other port") << QByteArray("POST") << "/api/stop" << Auth::Right
                      << QByteArray("http://127.0.0.1:1") << 0 << 403 << none;
    row("null origin") << QByteArray("POST") << "/api/stop" << Auth::Right << QByteArray("null")
                       << 0 << 403 << none;
    row("page from other site") << QByteArray("GET") << "/" << Auth::None
                                << QByteArray("http://example.com") << 0 << 403 << none;
    row("body of 16 KB") << QByteArray("POST") << "/api/stop" << Auth::Right << QByteArray()
                         << 16 * 1024 << 200 << QStringList{"stop"};
    row("body over 16 KB") << QByteArray("POST") << "/api/stop" << Auth::Right << QByteArray()
                           << 16 * 1024 + 1 << 413 << none;
}

void TestRemoteServer::routes() {
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(Auth, auth);
    QFETCH(QByteArray, origin);
    QFETCH(int, bodySize);
    QFETCH(int, status);
    QFETCH(QStringList, calls);
    if (origin == "own")
        origin = Own();
    else if (origin == "localhost")
        origin = "http://localhost:" + QByteArray::number(m_port);
    const TReply reply = Send(method, path, auth, origin, QByteArray(bodySize, 'x'));
    QCOMPARE(reply.status, status);
    QCOMPARE(m_panel.calls, calls);
    if (status == 200 && path == u"/")
        QVERIFY(reply.body.contains("<html"));
    if (status == 200 && path == u"/api/stop")
        QCOMPARE(reply.body, QByteArray("{}"));
}

void TestRemoteServer::outcomes_data() {
    QTest::addColumn<TRemoteOutcome>("outcome");
    QTest::addColumn<QString>("name");
    QTest::newRow("acknowledged") << TRemoteOutcome::Acknowledged << "acknowledged";
    QTest::newRow("not answered") << TRemoteOutcome::NotAnswered << "not_answered";
    QTest::newRow("nothing sent") << TRemoteOutcome::NothingSent << "nothing_sent";
    QTest::newRow("no motion editor") << TRemoteOutcome::NoMotionEditor << "no_motion_editor";
    QTest::newRow("off") << TRemoteOutcome::Off << "off";
    QTest::newRow("blocked") << TRemoteOutcome::Blocked << "blocked";
}

void TestRemoteServer::outcomes() {
    QFETCH(TRemoteOutcome, outcome);
    QFETCH(QString, name);
    m_panel.outcome = outcome;
    for (const QString& path :
         {QStringLiteral("/api/buttons/CB_2/press"), QStringLiteral("/api/play/7")}) {
        const TReply reply = Send("POST", path, Auth::Right);
        QCOMPARE(reply.status, 200);
        QCOMPARE(QJsonDocument::fromJson(reply.body).object().value("outcome").toString(), name);
    }
}

void TestRemoteServer::panelAndStatusJson() {
    m_panel.view.caption = QStringLiteral("Robot \"A\"");
    m_panel.view.width = 400;
    m_panel.view.height = 300;
    m_panel.view.color = 0xff123456u;
    TRemoteButton button;
    button.name = QStringLiteral("CB_1");
    button.caption = QStringLiteral("Walk\nfast");
    button.left = 10;
    button.top = 20;
    button.width = 75;
    button.height = 25;
    button.color = 0xffff000au;
    button.textColor = 0xff000000u;
    button.play = 84;
    button.held = true;
    m_panel.view.buttons = {button};
    m_panel.status = {QStringLiteral("COM3"), true, false};

    const QJsonObject panel =
        QJsonDocument::fromJson(Send("GET", "/api/panel", Auth::Right).body).object();
    QCOMPARE(panel.value("caption").toString(), m_panel.view.caption);
    QCOMPARE(panel.value("width").toInt(), 400);
    QCOMPARE(panel.value("height").toInt(), 300);
    QCOMPARE(panel.value("color").toString(), QStringLiteral("#123456"));
    const QJsonObject first = panel.value("buttons").toArray().at(0).toObject();
    QCOMPARE(first.value("name").toString(), QStringLiteral("CB_1"));
    QCOMPARE(first.value("caption").toString(), QStringLiteral("Walk\nfast"));
    QCOMPARE(first.value("left").toInt(), 10);
    QCOMPARE(first.value("top").toInt(), 20);
    QCOMPARE(first.value("width").toInt(), 75);
    QCOMPARE(first.value("height").toInt(), 25);
    QCOMPARE(first.value("color").toString(), QStringLiteral("#ff000a"));
    QCOMPARE(first.value("textColor").toString(), QStringLiteral("#000000"));
    QCOMPARE(first.value("play").toInt(), 84);
    QCOMPARE(first.value("held").toBool(), true);

    const QJsonObject status =
        QJsonDocument::fromJson(Send("GET", "/api/status", Auth::Right).body).object();
    QCOMPARE(status, (QJsonObject{{"link", "COM3"}, {"open", true}, {"editMode", false}}));
}

void TestRemoteServer::pressAnswersWhenThePlayEnds() {
    m_panel.answerLater = true;
    QNetworkRequest request(
        QUrl(QStringLiteral("http://127.0.0.1:%1/api/buttons/CB_1/press").arg(m_port)));
    request.setRawHeader("Authorization", "Bearer " + LoopbackSettings().token.toUtf8());
    std::unique_ptr<QNetworkReply> reply(m_network.post(request, QByteArray()));
    QTRY_COMPARE(m_panel.pending.size(), size_t(1));
    QVERIFY(!reply->isFinished());
    // A second client whose connection is gone before its press ends.
    std::unique_ptr<QNetworkReply> gone(m_network.post(request, QByteArray()));
    QTRY_COMPARE(m_panel.pending.size(), size_t(2));
    gone->abort();
    m_panel.pending[1](TRemoteOutcome::NotAnswered);
    m_panel.pending[0](TRemoteOutcome::NothingSent);
    QTRY_VERIFY(reply->isFinished());
    QCOMPARE(reply->readAll(), QByteArray(R"({"outcome":"nothing_sent"})"));
    // A press that ends after the server has closed answers no one.
    std::unique_ptr<QNetworkReply> late(m_network.post(request, QByteArray()));
    QTRY_COMPARE(m_panel.pending.size(), size_t(3));
    m_server->Close();
    m_panel.pending[2](TRemoteOutcome::Acknowledged);
    QTRY_VERIFY(late->isFinished());
    QVERIFY(late->error() != QNetworkReply::NoError);
}

void TestRemoteServer::failedTokensAreLimited() {
    for (int attempt = 0; attempt < TRemoteServer::MaxFailedAttempts; ++attempt)
        QCOMPARE(Send("POST", "/api/stop", Auth::Wrong).status, 401);
    // Even the right token waits now, and nothing reaches the panel.
    QCOMPARE(Send("POST", "/api/stop", Auth::Right).status, 429);
    QCOMPARE(Send("GET", "/api/panel", Auth::Wrong).status, 429);
    QCOMPARE(Send("GET", "/", Auth::None).status, 200);
    QCOMPARE(m_panel.calls, QStringList());
}

void TestRemoteServer::clientLimit() {
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < TRemoteServer::MaxClients; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(sockets.back()->waitForConnected(5000));
    }
    QTRY_COMPARE(m_server->ClientCount(), TRemoteServer::MaxClients);
    QTcpSocket extra;
    extra.connectToHost(QHostAddress::LocalHost, m_port);
    QTRY_COMPARE(extra.state(), QAbstractSocket::UnconnectedState);
    // Those within the limit are served.
    sockets.front()->write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QTRY_VERIFY(sockets.front()->bytesAvailable() > 0);
    QVERIFY(sockets.front()->readAll().startsWith("HTTP/1.1 200"));
    // A connection that ends makes room for another.
    sockets.back()->disconnectFromHost();
    QTRY_COMPARE(m_server->ClientCount(), TRemoteServer::MaxClients - 1);
    QCOMPARE(Send("GET", "/api/status", Auth::Right).status, 200);
}

void TestRemoteServer::listenAddress_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("listens");
    QTest::newRow("loopback") << "127.0.0.1" << true;
    QTest::newRow("IPv6 loopback") << "::1" << true;
    QTest::newRow("not this machine's") << "192.0.2.1" << false;
    QTest::newRow("no address") << "robot.local" << false;
    QTest::newRow("empty") << "" << false;
}

void TestRemoteServer::listenAddress() {
    QFETCH(QString, address);
    QFETCH(bool, listens);
    if (address == u"::1" &&
        !QNetworkInterface::allAddresses().contains(QHostAddress::LocalHostIPv6))
        QSKIP("no IPv6 loopback");
    TRemoteSettings settings = LoopbackSettings();
    settings.address = address;
    TRemoteServer server(m_panel);
    QString error;
    QCOMPARE(server.Listen(settings, &error), listens);
    QCOMPARE(server.IsListening(), listens);
    QCOMPARE(error.isEmpty(), listens);
    if (listens)
        QCOMPARE(server.ServerAddress(), QHostAddress(address));
    // No token, no server.
    settings.token.clear();
    QVERIFY(!server.Listen(settings, &error));
    QVERIFY(!server.IsListening());
}

void TestRemoteServer::secondListenOnTheSamePortFails() {
    TRemoteSettings settings = LoopbackSettings();
    settings.port = m_port;
    TRemoteServer second(m_panel);
    QString error;
    QVERIFY(!second.Listen(settings, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!second.IsListening());
    QCOMPARE(second.ServerPort(), quint16(0));
    // The first still answers; once it has closed, the port is free again.
    QCOMPARE(Send("GET", "/", Auth::None).status, 200);
    m_server->Close();
    QVERIFY(!m_server->IsListening());
    QVERIFY2(second.Listen(settings, &error), qPrintable(error));
}

void TestRemoteServer::boundToLoopbackOnly() {
    QCOMPARE(m_server->ServerAddress(), QHostAddress(QHostAddress::LocalHost));
    // Every 127.x.y.z is this machine's, but only 127.0.0.1 was chosen.
    QTcpSocket other;
    other.connectToHost(QHostAddress(QStringLiteral("127.0.0.2")), m_port);
    QVERIFY(!other.waitForConnected(5000));
    QCOMPARE(other.error(), QAbstractSocket::ConnectionRefusedError);
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.isLoopback() || address.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        QTcpSocket outside;
        outside.connectToHost(address, m_port);
        QVERIFY2(!outside.waitForConnected(5000), qPrintable(address.toString()));
    }
}

QTEST_MAIN(TestRemoteServer)
#include "tst_remoteserver.moc"
