#include "RemoteSettings.h"

#include "IniDocument.h"
#include "IniFile.h"

#include <QRandomGenerator>

#include <array>

namespace {

const QString RemoteSection = QStringLiteral("Remote");
constexpr qsizetype MinTokenLength = 22; // 128 bits in base64url

bool IsTokenText(const QString& token) {
    if (token.size() < MinTokenLength || token.size() > 256)
        return false;
    for (const QChar c : token) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
                        (u >= '0' && u <= '9') || u == '-' || u == '_';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

QString NewRemoteToken() {
    std::array<quint32, 8> words;
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray bytes(reinterpret_cast<const char*>(words.data()),
                           qsizetype(words.size() * sizeof(quint32)));
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

void EnableRemote(TRemoteSettings& settings) {
    settings.enabled = true;
    if (settings.token.isEmpty())
        settings.token = NewRemoteToken();
}

TRemoteSettings ReadRemoteSection(const IniDocument& doc) {
    TRemoteSettings settings;
    const qsizetype section = doc.findSection(RemoteSection);
    if (section < 0)
        return settings;
    settings.token = doc.readString(section, u"Token", QString());
    if (!IsTokenText(settings.token))
        settings.token.clear();
    // Never on without a secret to refuse requests by.
    settings.enabled = doc.readInteger(section, u"Enabled", 0) == 1 && !settings.token.isEmpty();
    const int port = doc.readInteger(section, u"Port", TRemoteSettings::DefaultPort);
    if (port >= 1 && port <= 65535)
        settings.port = quint16(port);
    const QString address = doc.readString(section, u"Address", settings.address);
    if (!address.isEmpty())
        settings.address = address;
    return settings;
}

void WriteRemoteSection(IniDocument& doc, const TRemoteSettings& settings) {
    if (settings.token.isEmpty())
        return;
    doc.writeInteger(RemoteSection, QStringLiteral("Enabled"), settings.enabled ? 1 : 0);
    doc.writeInteger(RemoteSection, QStringLiteral("Port"), settings.port);
    doc.writeString(RemoteSection, QStringLiteral("Address"), settings.address);
    doc.writeString(RemoteSection, QStringLiteral("Token"), settings.token);
}

TRemoteSettings LoadRemoteSettings(const QString& fileName, TFileResult* result) {
    const std::optional<IniDocument> doc = OpenIniDocument(fileName, result);
    return doc ? ReadRemoteSection(*doc) : TRemoteSettings();
}

bool SaveRemoteSettings(const QString& fileName, const TRemoteSettings& settings,
                        TFileResult* result) {
    if (settings.token.isEmpty()) {
        if (result)
            *result = {};
        return true;
    }
    std::optional<IniDocument> doc = OpenIniDocument(fileName, result);
    if (!doc)
        return false;
    WriteRemoteSection(*doc, settings);
    const TFileResult written = WriteIniDocument(fileName, *doc);
    if (result)
        *result = written;
    return written.ok();
}
