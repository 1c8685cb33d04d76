#include "FuzzSupport.h"
#include "RemoteMessages.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

// Any bytes as what a remote client sends: a request's method and path, its
// Authorization and Origin headers, and WebSocket messages. Whatever is read must be
// within bounds: button names as the API takes them, play numbers 0-84, an origin let
// through only when it names the server itself, and a message written back reads the same.

namespace {

const QList<QHostAddress> OwnHosts{QHostAddress(QStringLiteral("127.0.0.1"))};
constexpr quint16 OwnPort = 8765;

void CheckRoute(QByteArrayView method, QByteArrayView path) {
    const TRemoteRoute route = ParseRemoteRoute(method, path);
    if (route.kind == TRemoteRoute::Press)
        FUZZ_CHECK(IsRemoteButtonName(route.button) && method == "POST");
    if (route.kind == TRemoteRoute::Play)
        FUZZ_CHECK(route.play >= 0 && route.play <= 84 && method == "POST");
    if (route.kind != TRemoteRoute::Press)
        FUZZ_CHECK(route.button.isEmpty());
}

void CheckMessage(QByteArrayView text) {
    const TRemoteClientMessage message = ParseRemoteClientMessage(text);
    if (message.type == TRemoteClientMessage::Invalid)
        return;
    QJsonObject object;
    switch (message.type) {
    case TRemoteClientMessage::Hello:
        object = {{"type", "hello"}, {"token", message.token}};
        break;
    case TRemoteClientMessage::Down:
    case TRemoteClientMessage::Up:
        FUZZ_CHECK(IsRemoteButtonName(message.button));
        object = {{"type", message.type == TRemoteClientMessage::Down ? "down" : "up"},
                  {"button", message.button}};
        break;
    default:
        object = {{"type", "ping"}};
        break;
    }
    const TRemoteClientMessage again =
        ParseRemoteClientMessage(QJsonDocument(object).toJson(QJsonDocument::Compact));
    FUZZ_CHECK(again.type == message.type);
    FUZZ_CHECK(again.button == message.button);
    FUZZ_CHECK(again.token == message.token);
}

void CheckHeaders(QByteArrayView authorization, QByteArrayView origin) {
    const QByteArray token = BearerToken(authorization);
    FUZZ_CHECK(token.size() <= authorization.size());
    FUZZ_CHECK(token == token.trimmed());
    FUZZ_CHECK(TokensEqual(token, token) == !token.isEmpty());
    FUZZ_CHECK(TokensEqual(authorization, token) == (!token.isEmpty() && authorization == token));
    if (OriginAllowed(origin, OwnHosts, true, OwnPort) && !origin.isEmpty()) {
        const QUrl url(QString::fromLatin1(origin));
        const QString host = url.host().toLower();
        FUZZ_CHECK(url.scheme() == u"http" && url.port() == OwnPort);
        FUZZ_CHECK(host == u"localhost" || QHostAddress(host) == OwnHosts.front());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartFuzzApplication<QCoreApplication>("fuzz_remotemessages");
    return 0;
}

// The first byte splits the rest: the first part holds lines of the method and path,
// the Authorization header and the Origin header, the second is a WebSocket message.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const QByteArrayView all(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const qsizetype split = std::min<qsizetype>(data[0] * 4, all.size());
    const QList<QByteArray> lines = all.first(split).toByteArray().split('\n');
    const QByteArray first = lines.value(0);
    const qsizetype blank = first.indexOf(' ');
    if (blank >= 0)
        CheckRoute(first.first(blank), first.sliced(blank + 1));
    else
        CheckRoute("GET", first);
    CheckHeaders(lines.value(1), lines.value(2));
    CheckMessage(all.sliced(split));
    return 0;
}
