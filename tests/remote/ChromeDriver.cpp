#include "ChromeDriver.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

#include <functional>

namespace {

// W3C's key for an element reference in JSON.
const QString ElementKey = QStringLiteral("element-6066-11e4-a52e-4f735466cecf");

// Runs the event loop until `done` says so or the time is up; false on the time.
template <typename Signal, typename Sender>
bool WaitFor(Sender* sender, Signal signal, int timeoutMs, const std::function<bool()>& done) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(sender, signal, &loop, [&] {
        if (done())
            loop.quit();
    });
    timer.start(timeoutMs);
    loop.exec();
    return done();
}

} // namespace

TChromeDriver::TChromeDriver() {
    // A proxy from the environment must not stand between us and the local driver.
    m_network.setProxy(QNetworkProxy::NoProxy);
    m_driver.setProcessChannelMode(QProcess::MergedChannels);
    connect(&m_driver, &QProcess::readyRead, this,
            [this] { m_driverOutput += m_driver.readAll(); });
}

TChromeDriver::~TChromeDriver() {
    Quit();
}

bool TChromeDriver::Start(const TOptions& options) {
    m_options = options;
    m_error.clear();
    m_driverOutput.clear();
    // Port 0: the driver picks a free one and names it, so two tests never race for one.
    m_driver.start(m_options.driver, {QStringLiteral("--port=0")});
    if (!m_driver.waitForStarted(m_options.startTimeoutMs)) {
        m_error = QStringLiteral("chromedriver did not start: ") + m_driver.errorString();
        return false;
    }
    if (!WaitForPort(m_options.startTimeoutMs))
        return false;

    const QJsonArray args{QStringLiteral("--headless=new"),
                          QStringLiteral("--no-sandbox"),
                          QStringLiteral("--disable-gpu"),
                          QStringLiteral("--disable-dev-shm-usage"),
                          QStringLiteral("--no-first-run"),
                          QStringLiteral("--window-size=%1,%2")
                              .arg(m_options.window.width())
                              .arg(m_options.window.height())};
    const QJsonObject chrome{{QStringLiteral("binary"), m_options.browser},
                             {QStringLiteral("args"), args}};
    const QJsonObject timeouts{{QStringLiteral("implicit"), 0},
                               {QStringLiteral("pageLoad"), m_options.commandTimeoutMs},
                               // Past our own limit, so that a stuck script fails the
                               // call here rather than later in the driver.
                               {QStringLiteral("script"), 2 * m_options.commandTimeoutMs}};
    const QJsonObject always{{QStringLiteral("browserName"), QStringLiteral("chrome")},
                             {QStringLiteral("goog:chromeOptions"), chrome},
                             {QStringLiteral("timeouts"), timeouts}};
    const QJsonObject body{
        {QStringLiteral("capabilities"), QJsonObject{{QStringLiteral("alwaysMatch"), always}}}};
    const auto value = Command("POST", QStringLiteral("/session"), body, m_options.startTimeoutMs);
    if (!value)
        return false;
    m_session = value->toObject().value(QStringLiteral("sessionId")).toString();
    m_implicitWaitMs = 0;
    if (m_session.isEmpty()) {
        m_error = QStringLiteral("no session in the driver's answer");
        return false;
    }
    return true;
}

bool TChromeDriver::WaitForPort(int timeoutMs) {
    static const QRegularExpression started(QStringLiteral("started successfully on port (\\d+)"));
    const auto port = [&] {
        const auto match = started.match(QString::fromUtf8(m_driverOutput));
        return match.hasMatch() ? match.captured(1).toInt() : 0;
    };
    const bool ok = WaitFor(&m_driver, &QProcess::readyRead, timeoutMs, [&] {
        m_driverOutput += m_driver.readAll();
        return port() != 0 || m_driver.state() != QProcess::Running;
    });
    m_port = port();
    if (!ok || m_port == 0) {
        m_error =
            QStringLiteral("chromedriver named no port: ") + QString::fromUtf8(m_driverOutput);
        return false;
    }
    return true;
}

void TChromeDriver::Quit() {
    if (!m_session.isEmpty()) {
        Command("DELETE", QStringLiteral("/session/") + m_session, QJsonObject(), 10000);
        m_session.clear();
    }
    if (m_driver.state() != QProcess::NotRunning) {
        m_driver.terminate();
        if (!m_driver.waitForFinished(5000)) {
            m_driver.kill();
            m_driver.waitForFinished(5000);
        }
    }
    m_port = 0;
}

std::optional<QJsonValue> TChromeDriver::Command(const QByteArray& method, const QString& path,
                                                 const QJsonObject& body, int timeoutMs) {
    if (m_port == 0) {
        m_error = QStringLiteral("chromedriver is not running");
        return std::nullopt;
    }
    if (timeoutMs < 0)
        timeoutMs = m_options.commandTimeoutMs;
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    QNetworkReply* reply = method == "POST" ? m_network.post(request, QJsonDocument(body).toJson())
                                            : m_network.sendCustomRequest(request, method);
    const bool answered = WaitFor(reply, &QNetworkReply::finished, timeoutMs,
                                  [reply] { return reply->isFinished(); });
    if (!answered) {
        reply->abort();
        reply->deleteLater();
        m_error = QStringLiteral("%1 %2: no answer within %3 ms")
                      .arg(QString::fromLatin1(method), path)
                      .arg(timeoutMs);
        return std::nullopt;
    }
    const QByteArray data = reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString networkError = reply->errorString();
    reply->deleteLater();
    const QJsonValue value = QJsonDocument::fromJson(data).object().value(QStringLiteral("value"));
    if (status != 200) {
        const QJsonObject error = value.toObject();
        m_error =
            QStringLiteral("%1 %2: %3 %4")
                .arg(QString::fromLatin1(method), path,
                     status == 0 ? networkError : error.value(QStringLiteral("error")).toString(),
                     error.value(QStringLiteral("message")).toString().section('\n', 0, 0));
        return std::nullopt;
    }
    return value;
}

std::optional<QJsonValue> TChromeDriver::SessionCommand(const QByteArray& method,
                                                        const QString& path,
                                                        const QJsonObject& body) {
    if (m_session.isEmpty()) {
        m_error = QStringLiteral("no browser session");
        return std::nullopt;
    }
    return Command(method, QStringLiteral("/session/") + m_session + path, body);
}

bool TChromeDriver::Navigate(const QString& url) {
    return SessionCommand("POST", QStringLiteral("/url"), {{QStringLiteral("url"), url}})
        .has_value();
}

QString TChromeDriver::CurrentUrl() {
    return SessionCommand("GET", QStringLiteral("/url")).value_or(QJsonValue()).toString();
}

bool TChromeDriver::SetImplicitWait(int timeoutMs) {
    if (timeoutMs == m_implicitWaitMs)
        return true;
    if (!SessionCommand("POST", QStringLiteral("/timeouts"),
                        {{QStringLiteral("implicit"), timeoutMs}}))
        return false;
    m_implicitWaitMs = timeoutMs;
    return true;
}

QString TChromeDriver::FindElement(const QString& css, int timeoutMs) {
    // The driver waits for the element itself, up to the implicit timeout.
    if (!SetImplicitWait(timeoutMs))
        return {};
    const auto value = SessionCommand("POST", QStringLiteral("/element"),
                                      {{QStringLiteral("using"), QStringLiteral("css selector")},
                                       {QStringLiteral("value"), css}});
    return value ? value->toObject().value(ElementKey).toString() : QString();
}

QStringList TChromeDriver::FindElements(const QString& css) {
    // Those there now: the driver would wait for a first one to come.
    if (!SetImplicitWait(0))
        return {};
    const auto value = SessionCommand("POST", QStringLiteral("/elements"),
                                      {{QStringLiteral("using"), QStringLiteral("css selector")},
                                       {QStringLiteral("value"), css}});
    QStringList elements;
    if (value) {
        for (const QJsonValue& element : value->toArray())
            elements << element.toObject().value(ElementKey).toString();
    }
    return elements;
}

std::optional<QRectF> TChromeDriver::ElementRect(const QString& element) {
    const auto value = SessionCommand("GET", QStringLiteral("/element/%1/rect").arg(element));
    if (!value)
        return std::nullopt;
    const QJsonObject rect = value->toObject();
    return QRectF(rect.value(QStringLiteral("x")).toDouble(),
                  rect.value(QStringLiteral("y")).toDouble(),
                  rect.value(QStringLiteral("width")).toDouble(),
                  rect.value(QStringLiteral("height")).toDouble());
}

std::optional<QJsonValue> TChromeDriver::ExecuteScript(const QString& script,
                                                       const QJsonArray& args) {
    return SessionCommand("POST", QStringLiteral("/execute/sync"),
                          {{QStringLiteral("script"), script}, {QStringLiteral("args"), args}});
}

QJsonObject TChromeDriver::ElementArg(const QString& element) {
    return {{ElementKey, element}};
}

bool TChromeDriver::PerformPointer(const QString& pointerType, const QJsonArray& actions) {
    // One input source a pointer type, under the same id in every call, so that the
    // driver keeps its state (down or up) from one call to the next.
    const QJsonObject source{
        {QStringLiteral("type"), QStringLiteral("pointer")},
        {QStringLiteral("id"), pointerType + QStringLiteral("-pointer")},
        {QStringLiteral("parameters"), QJsonObject{{QStringLiteral("pointerType"), pointerType}}},
        {QStringLiteral("actions"), actions}};
    return SessionCommand("POST", QStringLiteral("/actions"),
                          {{QStringLiteral("actions"), QJsonArray{source}}})
        .has_value();
}

namespace {

QJsonObject MoveTo(const QString& element) {
    return {{QStringLiteral("type"), QStringLiteral("pointerMove")},
            {QStringLiteral("duration"), 0},
            {QStringLiteral("origin"), TChromeDriver::ElementArg(element)},
            {QStringLiteral("x"), 0},
            {QStringLiteral("y"), 0}};
}

QJsonObject Button(const char* type) {
    return {{QStringLiteral("type"), QLatin1String(type)}, {QStringLiteral("button"), 0}};
}

} // namespace

bool TChromeDriver::PointerDown(const QString& element, const QString& pointerType) {
    return PerformPointer(pointerType, {MoveTo(element), Button("pointerDown")});
}

bool TChromeDriver::PointerUp(const QString& pointerType) {
    // The driver drops a touch's up sent in a call of its own (the finger stays down in
    // the page), but a release lifts it.
    if (pointerType == QStringLiteral("touch"))
        return ReleaseActions();
    return PerformPointer(pointerType, {Button("pointerUp")});
}

bool TChromeDriver::Click(const QString& element, int holdMs, const QString& pointerType) {
    const QJsonObject pause{{QStringLiteral("type"), QStringLiteral("pause")},
                            {QStringLiteral("duration"), holdMs}};
    return PerformPointer(pointerType,
                          {MoveTo(element), Button("pointerDown"), pause, Button("pointerUp")});
}

bool TChromeDriver::ReleaseActions() {
    return SessionCommand("DELETE", QStringLiteral("/actions")).has_value();
}

QString TChromeDriver::WindowHandle() {
    return SessionCommand("GET", QStringLiteral("/window")).value_or(QJsonValue()).toString();
}

QStringList TChromeDriver::WindowHandles() {
    QStringList handles;
    for (const QJsonValue& handle :
         SessionCommand("GET", QStringLiteral("/window/handles")).value_or(QJsonValue()).toArray())
        handles << handle.toString();
    return handles;
}

QString TChromeDriver::NewTab() {
    const auto value = SessionCommand("POST", QStringLiteral("/window/new"),
                                      {{QStringLiteral("type"), QStringLiteral("tab")}});
    return value ? value->toObject().value(QStringLiteral("handle")).toString() : QString();
}

bool TChromeDriver::SwitchToWindow(const QString& handle) {
    return SessionCommand("POST", QStringLiteral("/window"), {{QStringLiteral("handle"), handle}})
        .has_value();
}

bool TChromeDriver::CloseWindow() {
    const auto remaining = SessionCommand("DELETE", QStringLiteral("/window"));
    if (!remaining)
        return false;
    if (remaining->toArray().isEmpty())
        m_session.clear(); // the last tab took the session with it
    return true;
}
