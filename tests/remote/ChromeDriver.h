#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QObject>
#include <QProcess>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

// Headless Chromium driven over chromedriver's W3C WebDriver wire, for tests. Every call is
// synchronous: it runs the event loop until the answer comes or its time is up, so that
// servers living in the test's own thread keep serving the browser meanwhile, and a stuck
// browser fails the call instead of hanging the test. A failed call leaves its reason in
// Error().
class TChromeDriver : public QObject {
    Q_OBJECT

public:
    struct TOptions {
        QString driver = QStringLiteral("/usr/bin/chromedriver");
        QString browser = QStringLiteral("/usr/bin/chromium");
        QSize window = QSize(480, 800);
        int startTimeoutMs = 30000;
        int commandTimeoutMs = 20000;
    };

    TChromeDriver();
    ~TChromeDriver() override;

    // Starts chromedriver on a port of its choosing and opens a browser session.
    bool Start(const TOptions& options);
    bool Start() { return Start(TOptions()); }
    // Closes the session and stops chromedriver; the destructor does it too.
    void Quit();
    bool Running() const { return !m_session.isEmpty(); }
    QString Error() const { return m_error; }

    bool Navigate(const QString& url);
    QString CurrentUrl();
    // The first element matching the selector, as an element id, waiting up to timeoutMs
    // for it to appear; empty when none did.
    QString FindElement(const QString& css, int timeoutMs = 5000);
    // Every element matching now, without waiting.
    QStringList FindElements(const QString& css);
    // In CSS pixels of the viewport.
    std::optional<QRectF> ElementRect(const QString& element);
    // The script's return value; `args` may hold ElementArg()s.
    std::optional<QJsonValue> ExecuteScript(const QString& script,
                                            const QJsonArray& args = QJsonArray());
    static QJsonObject ElementArg(const QString& element);

    // Pointer actions, on the pointer of the given type ("mouse", "touch" or "pen"). The
    // pointer stays down between PointerDown and PointerUp, across other calls. A touch's
    // PointerUp lifts every pointer that is down.
    bool PointerDown(const QString& element, const QString& pointerType = QStringLiteral("mouse"));
    bool PointerUp(const QString& pointerType = QStringLiteral("mouse"));
    bool Click(const QString& element, int holdMs = 50,
               const QString& pointerType = QStringLiteral("mouse"));
    // Lets go of every pointer input and forgets them.
    bool ReleaseActions();

    QString WindowHandle();
    QStringList WindowHandles();
    // Opens a new tab (not switched to) and gives its handle.
    QString NewTab();
    bool SwitchToWindow(const QString& handle);
    // Closes the current tab; the session ends with its last one.
    bool CloseWindow();

private:
    std::optional<QJsonValue> Command(const QByteArray& method, const QString& path,
                                      const QJsonObject& body = QJsonObject(), int timeoutMs = -1);
    std::optional<QJsonValue> SessionCommand(const QByteArray& method, const QString& path,
                                             const QJsonObject& body = QJsonObject());
    bool WaitForPort(int timeoutMs);
    bool SetImplicitWait(int timeoutMs);
    bool PerformPointer(const QString& pointerType, const QJsonArray& actions);

    TOptions m_options;
    QProcess m_driver;
    QByteArray m_driverOutput;
    QNetworkAccessManager m_network;
    int m_port = 0;
    int m_implicitWaitMs = 0;
    QString m_session;
    QString m_error;
};
