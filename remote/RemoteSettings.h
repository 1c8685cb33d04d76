#pragma once

#include "FileResult.h"

#include <QString>

class IniDocument;

// Remote control's part of the settings file, its [Remote] section. Nothing is written
// there until remote control has first been switched on.
struct TRemoteSettings {
    static constexpr quint16 DefaultPort = 8765;

    bool enabled = false;
    quint16 port = DefaultPort;
    QString address = QStringLiteral("127.0.0.1");
    QString token; // empty until remote control is first switched on

    bool operator==(const TRemoteSettings&) const = default;
};

// A new secret: 32 bytes from the system's generator, base64url without padding.
QString NewRemoteToken();

// Switches remote control on, making the token when there is none yet; an existing
// token is kept.
void EnableRemote(TRemoteSettings& settings);

// The section as read, defaults for what is missing or out of range. A token too short
// to be a secret (under 22 characters, 128 bits) or holding characters outside base64url
// is dropped, so that it is made anew when remote control is switched on.
TRemoteSettings ReadRemoteSection(const IniDocument& doc);
// Writes the section, unless remote control has never been switched on (no token): a
// settings file that never had the section does not get one.
void WriteRemoteSection(IniDocument& doc, const TRemoteSettings& settings);

// The same on the settings file: a missing or unreadable file gives the defaults. The
// write keeps every other section as it is.
TRemoteSettings LoadRemoteSettings(const QString& fileName, TFileResult* result = nullptr);
bool SaveRemoteSettings(const QString& fileName, const TRemoteSettings& settings,
                        TFileResult* result = nullptr);
