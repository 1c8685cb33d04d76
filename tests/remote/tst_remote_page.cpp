// The remote page in headless Chromium against the real server on loopback, with a panel
// that records what reaches it.
#include "ChromeDriver.h"
#include "RemoteServer.h"

#include <QJsonArray>
#include <QTest>

namespace {

const QString Token = QStringLiteral("page-test-token-0123456789abcdef");
// The server's wait for a silent client's next word, and then some.
constexpr int LongerThanSilenceMs = TRemoteServer::HoldSilenceMs + 500;

TRemoteButton Button(const char* name, const char* caption, QRect rect, quint32 color,
                     quint32 textColor, bool held) {
    TRemoteButton button;
    button.name = QLatin1String(name);
    button.caption = QString::fromUtf8(caption);
    button.left = rect.left();
    button.top = rect.top();
    button.width = rect.width();
    button.height = rect.height();
    button.color = color;
    button.textColor = textColor;
    button.play = 1;
    button.held = held;
    return button;
}

TRemotePanelView Layout() {
    TRemotePanelView view;
    view.caption = QStringLiteral("Panel");
    view.width = 320;
    view.height = 400;
    view.color = 0xff336699;
    view.buttons = {
        Button("CB_1", "Go", {10, 10, 100, 60}, 0xffff0000, 0xffffffff, false),
        Button("CB_2", "Hold", {150, 10, 160, 60}, 0xff00ff00, 0xff000000, true),
        Button("CB_3", "Two\r\nlines", {10, 200, 300, 120}, 0xff0000ff, 0xffffff00, false),
    };
    return view;
}

// Every press, hold and end as "down CB_2 @1", "up CB_2 @1", "end @1".
class TRecordingPanel : public IRemotePanel {
public:
    TRemotePanelView View() const override { return view; }
    TRemoteStatus Status() const override { return {}; }
    void PressButton(const QString& name, TDone done) override {
        events << QStringLiteral("press ") + name;
        done(TRemoteOutcome::Acknowledged);
    }
    void PlayNumber(int number, TDone done) override {
        events << QStringLiteral("play %1").arg(number);
        done(TRemoteOutcome::Acknowledged);
    }
    void StopAll() override { events << QStringLiteral("stop"); }
    void HoldDown(const QString& name, int client) override {
        events << QStringLiteral("down %1 @%2").arg(name).arg(client);
    }
    void HoldUp(const QString& name, int client) override {
        events << QStringLiteral("up %1 @%2").arg(name).arg(client);
    }
    void EndClient(int client) override { events << QStringLiteral("end @%1").arg(client); }

    TRemotePanelView view = Layout();
    QStringList events;
};

} // namespace

Q_DECLARE_METATYPE(TRemoteOutcome)

class TestRemotePage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void buttonsStandWhereTheLayoutPutsThem_data();
    void buttonsStandWhereTheLayoutPutsThem();
    void tokenLeavesTheAddress();
    void wrongTokenIsRefused();
    void pressGoesDownAndUp_data();
    void pressGoesDownAndUp();
    void holdLastsWhileTheFingerStays();
    void outcomeFramesTheButton_data();
    void outcomeFramesTheButton();
    void changedLayoutIsRedrawn();
    void reconnectsAfterTheServerWasGone();
    void closingTheTabEndsTheHold();

private:
    bool Listen(quint16 port);
    QString PanelUrl(const QString& fragment) const;
    bool WaitForState(const char* state);
    QString ButtonElement(const QString& name) { return m_browser.FindElement(Selector(name)); }
    static QString Selector(const QString& name) {
        return QStringLiteral("[data-name='%1']").arg(name);
    }

    TRecordingPanel m_panel;
    TRemoteServer m_server{m_panel};
    TChromeDriver m_browser;
    quint16 m_port = 0;
};

bool TestRemotePage::Listen(quint16 port) {
    TRemoteSettings settings;
    settings.enabled = true;
    settings.address = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.token = Token;
    QString error;
    if (!m_server.Listen(settings, &error)) {
        qWarning() << error;
        return false;
    }
    m_port = m_server.ServerPort();
    return true;
}

QString TestRemotePage::PanelUrl(const QString& fragment) const {
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_port).arg(fragment);
}

bool TestRemotePage::WaitForState(const char* state) {
    const QString css = QStringLiteral("#status[data-state='%1']").arg(QLatin1String(state));
    if (!m_browser.FindElement(css, 10000).isEmpty())
        return true;
    const auto shown = m_browser.ExecuteScript(
        QStringLiteral("const s = document.getElementById('status');"
                       "return s ? s.dataset.state + ': ' + s.textContent : document.URL"));
    qWarning() << "the page is" << shown.value_or(QJsonValue()).toString() << "not" << state;
    return false;
}

void TestRemotePage::initTestCase() {
    QVERIFY(Listen(0));
    QVERIFY2(m_browser.Start(), qPrintable(m_browser.Error()));
}

void TestRemotePage::init() {
    m_panel.view = Layout();
    // A page of its own for each test: a new address that differs only in its fragment
    // would load nothing.
    QVERIFY(m_browser.Navigate(QStringLiteral("about:blank")));
    QVERIFY2(m_browser.Navigate(PanelUrl(QStringLiteral("#token=") + Token)),
             qPrintable(m_browser.Error()));
    QVERIFY2(WaitForState("connected"), qPrintable(m_browser.Error()));
    QVERIFY(!ButtonElement(QStringLiteral("CB_3")).isEmpty());
    m_panel.events.clear();
}

void TestRemotePage::buttonsStandWhereTheLayoutPutsThem_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("face");
    QTest::addColumn<QString>("ink");
    QTest::newRow("plain") << 0 << "Go"
                           << "rgb(255, 0, 0)"
                           << "rgb(255, 255, 255)";
    QTest::newRow("held") << 1 << "Hold"
                          << "rgb(0, 255, 0)"
                          << "rgb(0, 0, 0)";
    QTest::newRow("two lines") << 2 << "Two\nlines"
                               << "rgb(0, 0, 255)"
                               << "rgb(255, 255, 0)";
}

void TestRemotePage::buttonsStandWhereTheLayoutPutsThem() {
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(QString, face);
    QFETCH(QString, ink);
    const TRemoteButton& button = m_panel.view.buttons[index];
    // The panel's width is the page's.
    const auto viewport =
        m_browser.ExecuteScript(QStringLiteral("return document.documentElement.clientWidth"));
    const auto panel = m_browser.ElementRect(m_browser.FindElement(QStringLiteral("#panel")));
    QVERIFY(viewport && panel);
    QCOMPARE(panel->width(), viewport->toDouble());
    const double scale = panel->width() / m_panel.view.width;
    QCOMPARE(panel->height(), m_panel.view.height * scale);

    const QString element = ButtonElement(button.name);
    const auto rect = m_browser.ElementRect(element);
    QVERIFY(rect);
    const QRectF expected(panel->x() + button.left * scale, panel->y() + button.top * scale,
                          button.width * scale, button.height * scale);
    QVERIFY2(qAbs(rect->left() - expected.left()) < 1 && qAbs(rect->top() - expected.top()) < 1 &&
                 qAbs(rect->width() - expected.width()) < 1 &&
                 qAbs(rect->height() - expected.height()) < 1,
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(rect->x())
                            .arg(rect->y())
                            .arg(rect->width())
                            .arg(rect->height())));
    const auto look = m_browser.ExecuteScript(
        QStringLiteral("const s = getComputedStyle(arguments[0]);"
                       "return [arguments[0].innerText, s.backgroundColor, s.color,"
                       " getComputedStyle(arguments[1]).backgroundColor]"),
        {TChromeDriver::ElementArg(element),
         TChromeDriver::ElementArg(m_browser.FindElement(QStringLiteral("#panel")))});
    QVERIFY(look);
    QCOMPARE(look->toArray(), (QJsonArray{text, face, ink, QStringLiteral("rgb(51, 102, 153)")}));
}

void TestRemotePage::tokenLeavesTheAddress() {
    QCOMPARE(m_browser.CurrentUrl(), PanelUrl(QString()));
    // The tab keeps it: the page loads again without it.
    QVERIFY(m_browser.Navigate(PanelUrl(QString())));
    QVERIFY(WaitForState("connected"));
    QVERIFY(!ButtonElement(QStringLiteral("CB_1")).isEmpty());
}

void TestRemotePage::wrongTokenIsRefused() {
    // Into the loaded page, as a new link pasted into its tab.
    QVERIFY(m_browser.Navigate(PanelUrl(QStringLiteral("#token=wrong"))));
    QVERIFY(WaitForState("refused"));
    QVERIFY(m_browser.FindElements(QStringLiteral("[data-name]")).isEmpty());
    // Before it tries so often that the server stops listening to this address.
    QVERIFY(m_browser.Navigate(QStringLiteral("about:blank")));
}

void TestRemotePage::pressGoesDownAndUp_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pointerType");
    QTest::newRow("plain, mouse") << "CB_1"
                                  << "mouse";
    QTest::newRow("plain, touch") << "CB_1"
                                  << "touch";
    QTest::newRow("held, touch") << "CB_2"
                                 << "touch";
    QTest::newRow("two lines, touch") << "CB_3"
                                      << "touch";
}

void TestRemotePage::pressGoesDownAndUp() {
    QFETCH(QString, name);
    QFETCH(QString, pointerType);
    QVERIFY2(m_browser.Click(ButtonElement(name), 50, pointerType), qPrintable(m_browser.Error()));
    QTRY_COMPARE(m_panel.events.size(), 2);
    const QString client = m_panel.events[0].section(' ', 2);
    QCOMPARE(m_panel.events, (QStringList{QStringLiteral("down ") + name + ' ' + client,
                                          QStringLiteral("up ") + name + ' ' + client}));
}

void TestRemotePage::holdLastsWhileTheFingerStays() {
    QVERIFY(m_browser.PointerDown(ButtonElement(QStringLiteral("CB_2")), QStringLiteral("touch")));
    QTRY_COMPARE(m_panel.events.size(), 1);
    const QString down = m_panel.events[0];
    QVERIFY(down.startsWith(QStringLiteral("down CB_2 @")));
    // Past the server's wait for a silent client: the page's heartbeat keeps the hold.
    QTest::qWait(LongerThanSilenceMs);
    QCOMPARE(m_panel.events, QStringList{down});
    QVERIFY(m_browser.PointerUp(QStringLiteral("touch")));
    QTRY_COMPARE(m_panel.events.size(), 2);
    QCOMPARE(m_panel.events[1], QStringLiteral("up ") + down.mid(5));
}

void TestRemotePage::outcomeFramesTheButton_data() {
    QTest::addColumn<TRemoteOutcome>("outcome");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("frame");
    QTest::newRow("acknowledged") << TRemoteOutcome::Acknowledged << "acknowledged"
                                  << "rgb(0, 192, 0)";
    QTest::newRow("not answered") << TRemoteOutcome::NotAnswered << "not_answered"
                                  << "rgb(224, 0, 0)";
    QTest::newRow("blocked") << TRemoteOutcome::Blocked << "blocked"
                             << "rgb(224, 0, 0)";
}

void TestRemotePage::outcomeFramesTheButton() {
    QFETCH(TRemoteOutcome, outcome);
    QFETCH(QString, name);
    QFETCH(QString, frame);
    m_server.NotifyOutcome(QStringLiteral("CB_3"), outcome);
    const QString framed = m_browser.FindElement(Selector("CB_3") + "[data-outcome]", 5000);
    QVERIFY2(!framed.isEmpty(), qPrintable(m_browser.Error()));
    const auto look = m_browser.ExecuteScript(
        QStringLiteral("return [arguments[0].dataset.outcome,"
                       " getComputedStyle(arguments[0], '::after').borderTopColor]"),
        {TChromeDriver::ElementArg(framed)});
    QCOMPARE(look.value_or(QJsonValue()).toArray(), (QJsonArray{name, frame}));
    QVERIFY(m_browser.FindElements(Selector("CB_1") + "[data-outcome]").isEmpty());
    // And it goes again.
    QTRY_VERIFY(m_browser.FindElements(Selector("CB_3") + "[data-outcome]").isEmpty());
}

void TestRemotePage::changedLayoutIsRedrawn() {
    m_panel.view.buttons[0].left = 200;
    m_panel.view.buttons[0].top = 300;
    m_panel.view.buttons[0].caption = QStringLiteral("Moved");
    m_panel.view.buttons.erase(m_panel.view.buttons.begin() + 2);
    m_panel.view.buttons.push_back(
        Button("CB_4", "New", {10, 100, 50, 50}, 0xff000000, 0xffffffff, false));
    m_server.NotifyPanelChanged();
    QVERIFY(!ButtonElement(QStringLiteral("CB_4")).isEmpty());
    QVERIFY(m_browser.FindElements(Selector("CB_3")).isEmpty());
    const QString moved = ButtonElement(QStringLiteral("CB_1"));
    const double scale = m_browser.ElementRect(m_browser.FindElement("#panel"))->width() / 320;
    QCOMPARE(m_browser.ElementRect(moved)->left(), 200 * scale);
    QCOMPARE(m_browser
                 .ExecuteScript(QStringLiteral("return arguments[0].innerText"),
                                {TChromeDriver::ElementArg(moved)})
                 ->toString(),
             QStringLiteral("Moved"));
}

void TestRemotePage::reconnectsAfterTheServerWasGone() {
    const quint16 port = m_port;
    m_server.Close();
    QVERIFY(WaitForState("unreachable"));
    QVERIFY(Listen(port));
    QVERIFY(WaitForState("connected"));
    m_panel.events.clear(); // the old connection's end
    QVERIFY(m_browser.Click(ButtonElement(QStringLiteral("CB_1"))));
    QTRY_COMPARE(m_panel.events.size(), 2);
    QVERIFY(m_panel.events[1].startsWith(QStringLiteral("up CB_1 @")));
}

void TestRemotePage::closingTheTabEndsTheHold() {
    const QString spare = m_browser.NewTab(); // the session ends with its last tab
    QVERIFY(!spare.isEmpty());
    QVERIFY(m_browser.PointerDown(ButtonElement(QStringLiteral("CB_2")), QStringLiteral("touch")));
    QTRY_COMPARE(m_panel.events.size(), 1);
    const QString client = m_panel.events[0].section(' ', 2);
    QVERIFY(m_browser.CloseWindow());
    // The page may say up on its way out; the socket's end ends the hold in any case.
    QTRY_VERIFY(m_panel.events.contains(QStringLiteral("end ") + client));
    QVERIFY(m_browser.SwitchToWindow(spare));
}

QTEST_GUILESS_MAIN(TestRemotePage)
#include "tst_remote_page.moc"
