#include "RemoteRecorder.h"
#include "RemoteServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QWebSocket>
#include <QtTest>

#include <memory>

// The WebSocket of held buttons: its greeting, and every way a hold ends.
class TestRemoteSocket : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void refused_data();
    void refused();
    void holdEnds_data();
    void holdEnds();
    void pingsKeepAHold();
    void notifications();

private:
    // A socket that has said hello with `token` (the right one when empty) and is open.
    std::unique_ptr<QWebSocket> Open(const QString& path = QStringLiteral("/ws"),
                                     const QString& origin = {});
    static void Send(QWebSocket& socket, const QJsonObject& message) {
        socket.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson()));
    }
    static void Hello(QWebSocket& socket, const QString& token) {
        Send(socket, {{"type", "hello"}, {"token", token}});
    }

    TRemoteRecorder m_panel;
    std::unique_ptr<TRemoteServer> m_server;
};

void TestRemoteSocket::init() {
    m_panel = TRemoteRecorder();
    m_server = std::make_unique<TRemoteServer>(m_panel);
    QString error;
    QVERIFY2(m_server->Listen(LoopbackSettings(), &error), qPrintable(error));
}

void TestRemoteSocket::cleanup() {
    m_server.reset();
}

std::unique_ptr<QWebSocket> TestRemoteSocket::Open(const QString& path, const QString& origin) {
    auto socket = std::make_unique<QWebSocket>(origin);
    QSignalSpy connected(socket.get(), &QWebSocket::connected);
    socket->open(QUrl(QStringLiteral("ws://127.0.0.1:%1%2").arg(m_server->ServerPort()).arg(path)));
    if (!connected.wait(5000))
        return nullptr;
    return socket;
}

void TestRemoteSocket::refused_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("origin");
    QTest::addColumn<QString>("first");  // the first message; empty sends none
    QTest::addColumn<bool>("handshake"); // false: refused before it is a WebSocket
    const QString down = R"({"type":"down","button":"CB_1"})";
    const QString right =
        QStringLiteral(R"({"type":"hello","token":"%1"})").arg(LoopbackSettings().token);
    QTest::newRow("wrong token") << "/ws" << QString() << R"({"type":"hello","token":"nope"})"
                                 << true;
    QTest::newRow("token not a string")
        << "/ws" << QString() << R"({"type":"hello","token":1})" << true;
    QTest::newRow("down before hello") << "/ws" << QString() << down << true;
    QTest::newRow("not JSON") << "/ws" << QString() << "hello" << true;
    QTest::newRow("no hello within 2 s") << "/ws" << QString() << QString() << true;
    QTest::newRow("other path") << "/other" << QString() << right << false;
    QTest::newRow("other site") << "/ws"
                                << "http://example.com" << right << false;
}

void TestRemoteSocket::refused() {
    QFETCH(QString, path);
    QFETCH(QString, origin);
    QFETCH(QString, first);
    QFETCH(bool, handshake);
    const std::unique_ptr<QWebSocket> socket = Open(path, origin);
    QCOMPARE(bool(socket), handshake);
    if (!socket)
        return;
    QSignalSpy closed(socket.get(), &QWebSocket::disconnected);
    if (!first.isEmpty())
        socket->sendTextMessage(first);
    QVERIFY(closed.wait(TRemoteServer::HelloTimeoutMs * 3));
    // Nothing it says afterwards, nor its end, reaches the panel.
    QCOMPARE(m_panel.calls, QStringList());
}

void TestRemoteSocket::holdEnds_data() {
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("last");
    QTest::newRow("up") << "up"
                        << "up CB_1 %1";
    QTest::newRow("silence of 1 s") << "silence"
                                    << "end %1";
    QTest::newRow("socket closes") << "close"
                                   << "end %1";
}

void TestRemoteSocket::holdEnds() {
    QFETCH(QString, end);
    QFETCH(QString, last);
    // A first socket, so that the second's id is not the first one.
    const std::unique_ptr<QWebSocket> other = Open();
    QVERIFY(other);
    Hello(*other, LoopbackSettings().token);
    const std::unique_ptr<QWebSocket> socket = Open();
    QVERIFY(socket);
    Hello(*socket, LoopbackSettings().token);
    Send(*socket, {{"type", "down"}, {"button", "CB_1"}});
    QTRY_COMPARE(m_panel.calls.size(), 1);
    const QString down = m_panel.calls.front();
    QVERIFY(down.startsWith(u"down CB_1 "));
    const QString id = down.section(u' ', 2);
    QVERIFY(id != u"1");
    if (end == u"up")
        Send(*socket, {{"type", "up"}, {"button", "CB_1"}});
    else if (end == u"close")
        socket->close();
    QTRY_COMPARE_WITH_TIMEOUT(m_panel.calls.size(), 2, TRemoteServer::HoldSilenceMs * 5);
    QCOMPARE(m_panel.calls.back(), last.arg(id));
    // The other socket's holds are its own.
    other->close();
    QTRY_COMPARE(m_panel.calls.size(), 3);
    QCOMPARE(m_panel.calls.back(), QStringLiteral("end 1"));
}

void TestRemoteSocket::pingsKeepAHold() {
    const std::unique_ptr<QWebSocket> socket = Open();
    QVERIFY(socket);
    Hello(*socket, LoopbackSettings().token);
    Send(*socket, {{"type", "down"}, {"button", "CB_2"}});
    QTRY_COMPARE(m_panel.calls, QStringList{"down CB_2 1"});
    // The page's heartbeat, for twice as long as the silence that ends a hold.
    for (int beat = 0; beat < 2 * TRemoteServer::HoldSilenceMs / 250; ++beat) {
        QTest::qWait(250);
        Send(*socket, {{"type", "ping"}});
    }
    Send(*socket, {{"type", "up"}, {"button", "CB_2"}});
    QTRY_COMPARE(m_panel.calls, (QStringList{"down CB_2 1", "up CB_2 1"}));
    // Garbage neither ends the socket nor reaches the panel.
    socket->sendTextMessage(QStringLiteral(R"({"type":"down","button":"../x"})"));
    socket->sendTextMessage(QStringLiteral("[1,2"));
    Send(*socket, {{"type", "down"}, {"button", "CB_1"}});
    QTRY_COMPARE(m_panel.calls.size(), 3);
    QCOMPARE(m_panel.calls.back(), QStringLiteral("down CB_1 1"));
    QCOMPARE(socket->state(), QAbstractSocket::ConnectedState);
}

void TestRemoteSocket::notifications() {
    const std::unique_ptr<QWebSocket> greeted = Open();
    QVERIFY(greeted);
    const std::unique_ptr<QWebSocket> silent = Open();
    QVERIFY(silent);
    QSignalSpy heard(greeted.get(), &QWebSocket::textMessageReceived);
    QSignalSpy unheard(silent.get(), &QWebSocket::textMessageReceived);
    Hello(*greeted, LoopbackSettings().token);
    Send(*greeted, {{"type", "ping"}}); // after the hello: the server has read it
    Send(*greeted, {{"type", "up"}, {"button", "CB_1"}});
    QTRY_COMPARE(m_panel.calls.size(), 1);
    m_server->NotifyOutcome(QStringLiteral("CB_1"), TRemoteOutcome::NoMotionEditor);
    m_server->NotifyPanelChanged();
    QTRY_COMPARE(heard.size(), 2);
    QCOMPARE(
        QJsonDocument::fromJson(heard[0][0].toString().toUtf8()).object(),
        (QJsonObject{{"type", "outcome"}, {"button", "CB_1"}, {"outcome", "no_motion_editor"}}));
    QCOMPARE(QJsonDocument::fromJson(heard[1][0].toString().toUtf8()).object(),
             (QJsonObject{{"type", "panel"}}));
    // One that has not said hello hears nothing.
    QCOMPARE(unheard.size(), 0);
    // Closing the server ends the holds of its sockets.
    QSignalSpy closed(greeted.get(), &QWebSocket::disconnected);
    m_server->Close();
    QCOMPARE(m_panel.calls.back(), QStringLiteral("end 1"));
    QVERIFY(closed.wait(5000));
}

QTEST_GUILESS_MAIN(TestRemoteSocket)
#include "tst_remotesocket.moc"
