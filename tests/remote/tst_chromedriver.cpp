// The browser harness itself, on pages of its own: what the page tests rely on.
#include "ChromeDriver.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTest>
#include <QUrl>

namespace {

QString DataUrl(const QString& html) {
    return QStringLiteral("data:text/html;charset=utf-8,") +
           QString::fromLatin1(QUrl::toPercentEncoding(html));
}

// Two boxes, and every pointer event the document hears as [type, target, pointer type,
// x, y].
const QString BoxesPage = QStringLiteral(R"(<!DOCTYPE html>
<body style="margin:0">
<div id="a" style="position:absolute;left:10px;top:20px;width:100px;height:50px;touch-action:none"></div>
<div id="b" style="position:absolute;left:200px;top:300px;width:40px;height:60px;touch-action:none"></div>
<script>
window.events = [];
for (const type of ["pointerdown", "pointerup", "pointercancel"])
  document.addEventListener(type, (e) => events.push(
    [e.type, e.target.id, e.pointerType, Math.round(e.clientX), Math.round(e.clientY)]));
setTimeout(() => {
  const late = document.createElement("p");
  late.id = "late";
  document.body.appendChild(late);
}, 300);
</script>)");

QJsonArray Event(const char* type, const QString& target, const QString& pointerType, QPoint at) {
    return {QLatin1String(type), target, pointerType, at.x(), at.y()};
}

} // namespace

class TestChromeDriver : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void elementRect_data();
    void elementRect();
    void findElementWaitsOnlyAsLongAsAsked();
    void scriptTakesElementsAndGivesValues();
    void pointerStaysDownUntilUp_data();
    void pointerStaysDownUntilUp();
    void click_data();
    void click();
    void tabsCloseOneByOne();
    void stuckScriptFailsTheCall();
    void missingDriverFailsToStart();

private:
    TChromeDriver m_browser;
};

void TestChromeDriver::initTestCase() {
    QVERIFY2(m_browser.Start(), qPrintable(m_browser.Error()));
}

void TestChromeDriver::cleanupTestCase() {
    m_browser.Quit();
}

void TestChromeDriver::init() {
    QVERIFY(m_browser.Running());
    QVERIFY2(m_browser.Navigate(DataUrl(BoxesPage)), qPrintable(m_browser.Error()));
}

void TestChromeDriver::elementRect_data() {
    QTest::addColumn<QString>("css");
    QTest::addColumn<QRectF>("rect");
    QTest::newRow("a") << "#a" << QRectF(10, 20, 100, 50);
    QTest::newRow("b") << "#b" << QRectF(200, 300, 40, 60);
}

void TestChromeDriver::elementRect() {
    QFETCH(QString, css);
    QFETCH(QRectF, rect);
    const QString element = m_browser.FindElement(css);
    QVERIFY2(!element.isEmpty(), qPrintable(m_browser.Error()));
    QCOMPARE(m_browser.ElementRect(element), rect);
}

void TestChromeDriver::findElementWaitsOnlyAsLongAsAsked() {
    QVERIFY(m_browser.FindElement(QStringLiteral("#nothing"), 100).isEmpty());
    QVERIFY(m_browser.Error().contains(QStringLiteral("no such element")));
    // The page adds it after a while: found by waiting, not by luck.
    QVERIFY(m_browser.FindElements(QStringLiteral("#late")).isEmpty());
    QVERIFY2(!m_browser.FindElement(QStringLiteral("#late"), 10000).isEmpty(),
             qPrintable(m_browser.Error()));
}

void TestChromeDriver::scriptTakesElementsAndGivesValues() {
    const QString b = m_browser.FindElement(QStringLiteral("#b"));
    const auto value = m_browser.ExecuteScript(
        QStringLiteral("return [arguments[0].id, arguments[1] * 2, document.title === '']"),
        {TChromeDriver::ElementArg(b), 21});
    QVERIFY2(value, qPrintable(m_browser.Error()));
    QCOMPARE(value->toArray(), (QJsonArray{QStringLiteral("b"), 42, true}));
    QVERIFY(!m_browser.ExecuteScript(QStringLiteral("throw new Error('boom')")));
    QVERIFY(m_browser.Error().contains(QStringLiteral("boom")));
}

void TestChromeDriver::pointerStaysDownUntilUp_data() {
    QTest::addColumn<QString>("pointerType");
    QTest::newRow("mouse") << "mouse";
    QTest::newRow("touch") << "touch";
}

void TestChromeDriver::pointerStaysDownUntilUp() {
    QFETCH(QString, pointerType);
    const QString a = m_browser.FindElement(QStringLiteral("#a"));
    const QString events = QStringLiteral("return events");
    QVERIFY2(m_browser.PointerDown(a, pointerType), qPrintable(m_browser.Error()));
    const QJsonArray down = Event("pointerdown", QStringLiteral("a"), pointerType, {60, 45});
    QCOMPARE(m_browser.ExecuteScript(events)->toArray(), QJsonArray{down});
    QVERIFY2(m_browser.PointerUp(pointerType), qPrintable(m_browser.Error()));
    const QJsonArray up = Event("pointerup", QStringLiteral("a"), pointerType, {60, 45});
    QCOMPARE(m_browser.ExecuteScript(events)->toArray(), (QJsonArray{down, up}));
    QVERIFY(m_browser.ReleaseActions());
}

void TestChromeDriver::click_data() {
    QTest::addColumn<QString>("css");
    QTest::addColumn<QString>("pointerType");
    QTest::addColumn<QPoint>("centre");
    QTest::newRow("mouse on a") << "#a"
                                << "mouse" << QPoint(60, 45);
    QTest::newRow("touch on b") << "#b"
                                << "touch" << QPoint(220, 330);
}

void TestChromeDriver::click() {
    QFETCH(QString, css);
    QFETCH(QString, pointerType);
    QFETCH(QPoint, centre);
    const QString element = m_browser.FindElement(css);
    QVERIFY2(m_browser.Click(element, 50, pointerType), qPrintable(m_browser.Error()));
    const QString id = css.mid(1);
    QCOMPARE(m_browser.ExecuteScript(QStringLiteral("return events"))->toArray(),
             (QJsonArray{Event("pointerdown", id, pointerType, centre),
                         Event("pointerup", id, pointerType, centre)}));
}

void TestChromeDriver::tabsCloseOneByOne() {
    TChromeDriver browser;
    QVERIFY2(browser.Start(), qPrintable(browser.Error()));
    const QString first = browser.WindowHandle();
    const QString second = browser.NewTab();
    QVERIFY2(!second.isEmpty(), qPrintable(browser.Error()));
    QCOMPARE(browser.WindowHandles().size(), 2);
    QCOMPARE(browser.WindowHandle(), first); // a new tab is not switched to
    QVERIFY(browser.CloseWindow());
    QVERIFY(browser.Running());
    QCOMPARE(browser.WindowHandles(), QStringList{second});
    QVERIFY(browser.SwitchToWindow(second));
    QVERIFY(browser.Navigate(DataUrl(BoxesPage)));
    QVERIFY(!browser.FindElement(QStringLiteral("#a")).isEmpty());
    QVERIFY(browser.CloseWindow());
    QVERIFY(!browser.Running());
}

void TestChromeDriver::stuckScriptFailsTheCall() {
    TChromeDriver browser;
    TChromeDriver::TOptions options;
    options.commandTimeoutMs = 1000;
    QVERIFY2(browser.Start(options), qPrintable(browser.Error()));
    QVERIFY(browser.Navigate(DataUrl(BoxesPage)));
    QVERIFY(!browser.ExecuteScript(QStringLiteral("return new Promise(() => {})")));
    QVERIFY2(browser.Error().contains(QStringLiteral("no answer within 1000 ms")),
             qPrintable(browser.Error()));
}

void TestChromeDriver::missingDriverFailsToStart() {
    TChromeDriver browser;
    TChromeDriver::TOptions options;
    options.driver = QStringLiteral("/nonexistent/chromedriver");
    QVERIFY(!browser.Start(options));
    QVERIFY(!browser.Running());
    QVERIFY(browser.Error().contains(QStringLiteral("did not start")));
    QVERIFY(!browser.Navigate(QStringLiteral("about:blank")));
}

QTEST_GUILESS_MAIN(TestChromeDriver)
#include "tst_chromedriver.moc"
