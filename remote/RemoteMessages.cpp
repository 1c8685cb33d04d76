#include "RemoteMessages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace {

QString ColorText(quint32 color) {
    return QStringLiteral("#%1").arg(color & 0xffffff, 6, 16, QLatin1Char('0'));
}

std::optional<int> PlayNumber(QByteArrayView text) {
    // Digits only: toInt would take a sign, blanks and "0x".
    if (text.isEmpty() || text.size() > 2)
        return std::nullopt;
    int number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + (c - '0');
    }
    if (number > 84)
        return std::nullopt;
    return number;
}

TRemoteRoute Route(TRemoteRoute::Kind kind) {
    TRemoteRoute route;
    route.kind = kind;
    return route;
}

// The route for a known path under the method it takes.
TRemoteRoute Expect(QByteArrayView method, QByteArrayView wanted, TRemoteRoute route) {
    return method == wanted ? route : Route(TRemoteRoute::WrongMethod);
}

} // namespace

bool IsRemoteButtonName(QStringView name) {
    if (name.isEmpty() || name.size() > MaxRemoteButtonName)
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok =
            (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_';
        if (!ok)
            return false;
    }
    return true;
}

TRemoteRoute ParseRemoteRoute(QByteArrayView method, QByteArrayView encodedPath) {
    const QList<QByteArray> parts = encodedPath.toByteArray().split('/');
    // A path starts with "/": its first part is empty.
    if (parts.size() < 2 || !parts[0].isEmpty())
        return Route(TRemoteRoute::NotFound);
    if (parts.size() == 2 && parts[1].isEmpty())
        return Expect(method, "GET", Route(TRemoteRoute::Page));
    if (parts[1] != "api")
        return Route(TRemoteRoute::NotFound);
    if (parts.size() == 3 && parts[2] == "panel")
        return Expect(method, "GET", Route(TRemoteRoute::Panel));
    if (parts.size() == 3 && parts[2] == "status")
        return Expect(method, "GET", Route(TRemoteRoute::Status));
    if (parts.size() == 3 && parts[2] == "stop")
        return Expect(method, "POST", Route(TRemoteRoute::Stop));
    if (parts.size() == 4 && parts[2] == "play") {
        TRemoteRoute route = Route(TRemoteRoute::Play);
        const std::optional<int> number = PlayNumber(parts[3]);
        if (!number)
            return Route(TRemoteRoute::BadRequest);
        route.play = *number;
        return Expect(method, "POST", route);
    }
    if (parts.size() == 5 && parts[2] == "buttons" && parts[4] == "press") {
        TRemoteRoute route = Route(TRemoteRoute::Press);
        route.button = QUrl::fromPercentEncoding(parts[3]);
        if (!IsRemoteButtonName(route.button))
            return Route(TRemoteRoute::BadRequest);
        return Expect(method, "POST", route);
    }
    return Route(TRemoteRoute::NotFound);
}

QByteArray BearerToken(QByteArrayView authorization) {
    const QByteArray value = authorization.trimmed().toByteArray();
    const qsizetype blank = value.indexOf(' ');
    if (blank < 0 || value.first(blank).toLower() != "bearer")
        return {};
    return value.sliced(blank + 1).trimmed();
}

bool TokensEqual(QByteArrayView given, QByteArrayView expected) {
    // Every byte of the expected token is compared, whatever was given.
    unsigned difference = given.size() == expected.size() ? 0u : 1u;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const char g = i < given.size() ? given[i] : 0;
        difference |= static_cast<unsigned char>(g ^ expected[i]);
    }
    return difference == 0 && !expected.isEmpty();
}

bool OriginAllowed(QByteArrayView origin, const QList<QHostAddress>& hosts, bool localhostToo,
                   quint16 port) {
    if (origin.isEmpty())
        return true;
    const QUrl url(QString::fromLatin1(origin), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != u"http" || url.port() != port || !url.path().isEmpty() ||
        !url.userInfo().isEmpty())
        return false;
    const QString host = url.host();
    if (localhostToo && host.compare(u"localhost", Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    if (address.isNull())
        return false;
    for (const QHostAddress& own : hosts) {
        if (own.isEqual(address, QHostAddress::ConvertV4MappedToIPv4))
            return true;
    }
    return false;
}

TRemoteClientMessage ParseRemoteClientMessage(QByteArrayView text) {
    TRemoteClientMessage message;
    if (text.size() > MaxRemoteBody)
        return message;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return message;
    const QJsonObject object = document.object();
    const QString type = object.value(u"type").toString();
    if (type == u"hello") {
        const QJsonValue token = object.value(u"token");
        if (!token.isString())
            return message;
        message.token = token.toString();
        message.type = TRemoteClientMessage::Hello;
    } else if (type == u"ping") {
        message.type = TRemoteClientMessage::Ping;
    } else if (type == u"down" || type == u"up") {
        const QJsonValue button = object.value(u"button");
        if (!button.isString() || !IsRemoteButtonName(button.toString()))
            return message;
        message.button = button.toString();
        message.type = type == u"down" ? TRemoteClientMessage::Down : TRemoteClientMessage::Up;
    }
    return message;
}

QByteArray RemoteOutcomeName(TRemoteOutcome outcome) {
    switch (outcome) {
    case TRemoteOutcome::Acknowledged:
        return "acknowledged";
    case TRemoteOutcome::NotAnswered:
        return "not_answered";
    case TRemoteOutcome::NothingSent:
        return "nothing_sent";
    case TRemoteOutcome::NoMotionEditor:
        return "no_motion_editor";
    case TRemoteOutcome::Off:
        return "off";
    case TRemoteOutcome::Blocked:
        return "blocked";
    case TRemoteOutcome::UnknownButton:
        break;
    }
    return {};
}

QByteArray RemotePanelJson(const TRemotePanelView& view) {
    QJsonArray buttons;
    for (const TRemoteButton& button : view.buttons) {
        buttons.append(QJsonObject{
            {"name", button.name},
            {"caption", button.caption},
            {"left", button.left},
            {"top", button.top},
            {"width", button.width},
            {"height", button.height},
            {"color", ColorText(button.color)},
            {"textColor", ColorText(button.textColor)},
            {"play", button.play},
            {"held", button.held},
        });
    }
    const QJsonObject panel{
        {"caption", view.caption},        {"width", view.width}, {"height", view.height},
        {"color", ColorText(view.color)}, {"buttons", buttons},
    };
    return QJsonDocument(panel).toJson(QJsonDocument::Compact);
}

QByteArray RemoteStatusJson(const TRemoteStatus& status) {
    const QJsonObject object{
        {"link", status.link}, {"open", status.open}, {"editMode", status.editMode}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray RemoteOutcomeJson(TRemoteOutcome outcome) {
    const QJsonObject object{{"outcome", QString::fromLatin1(RemoteOutcomeName(outcome))}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray RemoteOutcomeMessage(const QString& button, TRemoteOutcome outcome) {
    const QJsonObject object{{"type", "outcome"},
                             {"button", button},
                             {"outcome", QString::fromLatin1(RemoteOutcomeName(outcome))}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray RemotePanelChangedMessage() {
    return QJsonDocument(QJsonObject{{"type", "panel"}}).toJson(QJsonDocument::Compact);
}
