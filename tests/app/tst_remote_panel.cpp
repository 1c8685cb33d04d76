// Remote control of the real main window through real sockets on loopback: the API's
// answers with the panel's own buttons and presses, the settings file's section, and the
// dialog that switches it, with its address read back from the QR code it shows.
#include "CmdMain.h"
#include "FakeWindowSystem.h"
#include "MessageBoxRecorder.h"
#include "RemoteControl.h"
#include "RemoteDialog.h"
#include "RemoteServer.h"

#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QByteArray Token = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG";

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// CB_2 "Walk" plays 4, CB_1 "Off" plays nothing; the motion editor link; remote control
// on at `port` when a port is given.
QByteArray Settings(quint16 port) {
    QByteArray text = "[Form]\r\nComm=0\r\nCaption=Remote\r\nTop=100\r\nLeft=100\r\nWidth=320\r\n"
                      "Height=240\r\nColor=255\r\nBmpFile=\r\nButton=2\r\n\r\n"
                      "[Button1]\r\nCaption=Off\r\nTop=50\r\nLeft=10\r\nWidth=80\r\nHeight=30\r\n"
                      "Motion=-1\r\nShortCut=-1\r\nColor=-2147483633\r\n\r\n"
                      "[Button2]\r\nCaption=Walk\r\nTop=10\r\nLeft=20\r\nWidth=90\r\nHeight=40\r\n"
                      "Motion=4\r\nShortCut=-1\r\nColor=65280\r\nRelease=7\r\n\r\n";
    if (port != 0)
        text += "[Remote]\r\nEnabled=1\r\nPort=" + QByteArray::number(port) +
                "\r\nAddress=127.0.0.1\r\nToken=" + Token + "\r\n\r\n";
    return text;
}

struct Panel {
    QTemporaryDir dir;
    MessageBoxRecorder boxes;
    std::unique_ptr<TCmdMain> main;
    TFakeWindowSystem* windows = nullptr;
    QNetworkAccessManager network;
    quint16 port = 0;

    explicit Panel(bool remoteOn) : port(remoteOn ? FreePort() : 0) {
        QFile file(SettingsPath());
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the settings file");
        file.write(Settings(port));
        file.close();
        main = std::make_unique<TCmdMain>(dir.path());
        auto fake = std::make_unique<TFakeWindowSystem>();
        windows = fake.get();
        windows->SetWindows({{42, true, "Editor", "TPosewright3"}});
        main->SetWindowSystem(std::move(fake));
        main->Link().ChooseLink(0);
    }
    QString SettingsPath() const { return dir.filePath("Vodazevivuzo3.ini"); }
    // status and body of one request; token "-" sends none.
    std::pair<int, QByteArray> Request(const QByteArray& verb, const QString& path,
                                       const QByteArray& token = Token) {
        QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)));
        if (token != "-")
            request.setRawHeader("Authorization", "Bearer " + token);
        QNetworkReply* reply = network.sendCustomRequest(request, verb);
        QSignalSpy finished(reply, &QNetworkReply::finished);
        if (!reply->isFinished() && !finished.wait(10000))
            return {-1, {}};
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray body = reply->readAll();
        reply->deleteLater();
        return {status, body};
    }
    QList<int> Posted() const {
        QList<int> numbers;
        for (const TFakeWindowSystem::Post& post : windows->Posts())
            numbers << post.lParam;
        return numbers;
    }
};

} // namespace

class TestRemotePanel : public QObject {
    Q_OBJECT
private slots:
    void api_data();
    void api();
    void panelDescribesTheButtons();
    void offUnlessSwitchedOnAndKeptInTheSettingsFile();
    void dialogSwitchesItOnAndShowsTheAddress();
};

void TestRemotePanel::api_data() {
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<QString>("setup"); // "edit": edit mode on; "modal": a modal window open
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QList<int>>("posted");
    const QByteArray none = "-";
    QTest::newRow("no token: refused, nothing pressed")
        << QByteArray("POST") << "/api/buttons/CB_2/press" << none << "" << 401 << ""
        << QList<int>{};
    QTest::newRow("a wrong token: refused, nothing pressed")
        << QByteArray("POST") << "/api/buttons/CB_2/press" << QByteArray("x" + Token) << "" << 401
        << "" << QList<int>{};
    QTest::newRow("a press plays and its release follows, as a click")
        << QByteArray("POST") << "/api/buttons/CB_2/press" << Token << "" << 200 << "acknowledged"
        << QList<int>{4, 7};
    QTest::newRow("an OFF button is off") << QByteArray("POST") << "/api/buttons/CB_1/press"
                                          << Token << "" << 200 << "off" << QList<int>{};
    QTest::newRow("edit mode presses nothing") << QByteArray("POST") << "/api/buttons/CB_2/press"
                                               << Token << "edit" << 200 << "off" << QList<int>{};
    QTest::newRow("a modal window blocks") << QByteArray("POST") << "/api/buttons/CB_2/press"
                                           << Token << "modal" << 200 << "blocked" << QList<int>{};
    QTest::newRow("an unknown button") << QByteArray("POST") << "/api/buttons/CB_9/press" << Token
                                       << "" << 404 << "" << QList<int>{};
    QTest::newRow("a play number") << QByteArray("POST") << "/api/play/84" << Token << "" << 200
                                   << "acknowledged" << QList<int>{84};
    QTest::newRow("a play number outside the list")
        << QByteArray("POST") << "/api/play/85" << Token << "" << 400 << "" << QList<int>{};
}

void TestRemotePanel::api() {
    QFETCH(QByteArray, verb);
    QFETCH(QString, path);
    QFETCH(QByteArray, token);
    QFETCH(QString, setup);
    QFETCH(int, status);
    QFETCH(QString, outcome);
    QFETCH(QList<int>, posted);
    Panel panel(true);
    QVERIFY(panel.main->Remote().IsListening());
    panel.main->SetEditMode(setup == "edit");
    QDialog modal(panel.main.get());
    if (setup == "modal") {
        modal.setModal(true);
        modal.show();
    }
    const auto [answered, body] = panel.Request(verb, path, token);
    QCOMPARE(answered, status);
    if (!outcome.isEmpty())
        QCOMPARE(QJsonDocument::fromJson(body).object().value("outcome").toString(), outcome);
    QTRY_COMPARE(panel.Posted(), posted);
}

void TestRemotePanel::panelDescribesTheButtons() {
    Panel panel(true);
    const auto [status, body] = panel.Request("GET", "/api/panel");
    QCOMPARE(status, 200);
    const QJsonObject shown = QJsonDocument::fromJson(body).object();
    QCOMPARE(shown.value("caption").toString(), QString("Remote"));
    QCOMPARE(shown.value("color").toString(), QString("#ff0000"));
    QCOMPARE(shown.value("width").toInt(), panel.main->width());
    const QJsonArray buttons = shown.value("buttons").toArray();
    QCOMPARE(buttons.size(), 2);
    const QJsonObject walk = buttons.at(0).toObject();
    QCOMPARE(walk.value("name").toString(), QString("CB_2"));
    QCOMPARE(walk.value("caption").toString(), QString("Walk"));
    QCOMPARE(QRect(walk.value("left").toInt(), walk.value("top").toInt(),
                   walk.value("width").toInt(), walk.value("height").toInt()),
             QRect(20, 10, 90, 40));
    QCOMPARE(walk.value("color").toString(), QString("#00ff00"));
    QCOMPARE(walk.value("play").toInt(), 4);
    QCOMPARE(walk.value("held").toBool(), true);
    QCOMPARE(buttons.at(1).toObject().value("play").toInt(), -1);
    QCOMPARE(buttons.at(1).toObject().value("held").toBool(), false);
    const auto [statusCode, statusBody] = panel.Request("GET", "/api/status");
    QCOMPARE(statusCode, 200);
    QCOMPARE(QJsonDocument::fromJson(statusBody).object().value("link").toString(),
             QString("PWT3"));
}

// Without the section nothing listens and none is written; with it, the file keeps it.
void TestRemotePanel::offUnlessSwitchedOnAndKeptInTheSettingsFile() {
    for (const bool on : {false, true}) {
        Panel panel(on);
        QCOMPARE(panel.main->Remote().IsListening(), on);
        const QByteArray before = Settings(panel.port);
        QVERIFY(panel.main->close());
        QFile file(panel.SettingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }
}

void TestRemotePanel::dialogSwitchesItOnAndShowsTheAddress() {
    Panel panel(false);
    panel.main->RemoteBtn->trigger();
    TRemoteDialog* dialog = panel.main->Remote().Dialog();
    QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
    QVERIFY(!panel.main->Remote().IsListening());
    dialog->EnabledCheck->setChecked(true);
    QVERIFY(panel.main->Remote().IsListening());
    QCOMPARE(panel.main->Remote().Server().ServerAddress(), QHostAddress(QHostAddress::LocalHost));
    const QString address = dialog->PageAddressEdit->text();
    QVERIFY2(address.startsWith("http://127.0.0.1:") && address.contains("/#token="),
             qPrintable(address));
    QCOMPARE(address.section("#token=", 1), panel.main->Remote().Settings().token);
    // The QR code reads back as the address.
    const QString zbar = QStandardPaths::findExecutable("zbarimg");
    if (zbar.isEmpty())
        QSKIP("zbarimg is not installed");
    const QString picture = panel.dir.filePath("qr.png");
    QVERIFY(dialog->QrLabel->pixmap().save(picture));
    QProcess reader;
    reader.start(zbar, {"--quiet", "--raw", picture});
    QVERIFY(reader.waitForFinished(10000));
    QCOMPARE(QString::fromUtf8(reader.readAllStandardOutput()).trimmed(), address);
    // Switched off, nothing listens and no address is shown.
    dialog->EnabledCheck->setChecked(false);
    QVERIFY(!panel.main->Remote().IsListening());
    QVERIFY(dialog->PageAddressEdit->text().isEmpty());
}

QTEST_MAIN(TestRemotePanel)
#include "tst_remote_panel.moc"
