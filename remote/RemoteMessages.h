#pragma once

#include "RemotePanel.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QString>

#include <optional>

// Everything a remote client sends is read here, by small functions without state, so that
// each can be driven with any bytes.

// Largest request body, and largest WebSocket message, the server reads.
inline constexpr qsizetype MaxRemoteBody = 16 * 1024;
// Longest button name a client may name; component names are far shorter.
inline constexpr qsizetype MaxRemoteButtonName = 64;

struct TRemoteRoute {
    enum Kind {
        NotFound,    // 404
        BadRequest,  // 400: a known route with a malformed part
        WrongMethod, // 405
        Page,
        Panel,
        Press,
        Play,
        Stop,
        Status,
    };
    Kind kind = NotFound;
    QString button; // Press
    int play = -1;  // Play
};

// The route of a request: its method ("GET", "POST") and its URL's path, still
// percent-encoded as sent.
TRemoteRoute ParseRemoteRoute(QByteArrayView method, QByteArrayView encodedPath);

// A component name as the API takes it: 1-64 letters, digits and underscores.
bool IsRemoteButtonName(QStringView name);

// The token of an "Authorization: Bearer <token>" header; empty when the header is
// missing or of another scheme.
QByteArray BearerToken(QByteArrayView authorization);

// Equal bytes, in a time that depends only on the length of `expected`.
bool TokensEqual(QByteArrayView given, QByteArrayView expected);

// Whether an Origin header names the server itself: http://<host>:<port> where host is
// one of `hosts` (addresses, or "localhost") and port is the server's. No Origin header at
// all (a client that is no browser) is allowed; "null" and anything else is not.
bool OriginAllowed(QByteArrayView origin, const QList<QHostAddress>& hosts, bool localhostToo,
                   quint16 port);

struct TRemoteClientMessage {
    enum Type { Invalid, Hello, Down, Up, Ping };
    Type type = Invalid;
    QString token;  // Hello
    QString button; // Down, Up
};

// A WebSocket text message; Invalid for anything that is not one of the four.
TRemoteClientMessage ParseRemoteClientMessage(QByteArrayView text);

// The API's name of an outcome; empty for UnknownButton, which is no outcome but a 404.
QByteArray RemoteOutcomeName(TRemoteOutcome outcome);

// The answers, as JSON.
QByteArray RemotePanelJson(const TRemotePanelView& view);
QByteArray RemoteStatusJson(const TRemoteStatus& status);
QByteArray RemoteOutcomeJson(TRemoteOutcome outcome);
QByteArray RemoteOutcomeMessage(const QString& button, TRemoteOutcome outcome);
QByteArray RemotePanelChangedMessage();
