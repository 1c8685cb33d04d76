#include "IniDocument.h"
#include "RemoteSettings.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

class TestRemoteSettings : public QObject {
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void tokenIsAFreshSecret();
    void enablingKeepsTheToken();
    void fileWithoutSectionStaysAsItIs();
    void sectionRoundTripsBesideTheLayout();
};

void TestRemoteSettings::read_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("hasToken");
    const QString token = QStringLiteral("Token=abcdefghijklmnopqrstuvwxyz_-0123456789AB\n");
    QTest::newRow("no section: off") << "[Form]\nCaption=x\n"
                                     << false << 8765 << "127.0.0.1" << false;
    QTest::newRow("on") << "[Remote]\nEnabled=1\nPort=9000\nAddress=0.0.0.0\n" + token << true
                        << 9000 << "0.0.0.0" << true;
    QTest::newRow("off with token")
        << "[Remote]\nEnabled=0\n" + token << false << 8765 << "127.0.0.1" << true;
    QTest::newRow("on without token stays off") << "[Remote]\nEnabled=1\n"
                                                << false << 8765 << "127.0.0.1" << false;
    QTest::newRow("short token dropped") << "[Remote]\nEnabled=1\nToken=abc\n"
                                         << false << 8765 << "127.0.0.1" << false;
    QTest::newRow("token with other characters dropped")
        << "[Remote]\nEnabled=1\nToken=abcdefghijklmnopqrstuvwxyz+/0123456789AB\n"
        << false << 8765 << "127.0.0.1" << false;
    QTest::newRow("port out of range")
        << "[Remote]\nEnabled=1\nPort=70000\n" + token << true << 8765 << "127.0.0.1" << true;
    QTest::newRow("port 0") << "[Remote]\nPort=0\n" + token << false << 8765 << "127.0.0.1" << true;
    QTest::newRow("Enabled=2 is not on")
        << "[Remote]\nEnabled=2\n" + token << false << 8765 << "127.0.0.1" << true;
}

void TestRemoteSettings::read() {
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(int, port);
    QFETCH(QString, address);
    QFETCH(bool, hasToken);
    const TRemoteSettings settings = ReadRemoteSection(IniDocument::fromText(text));
    QCOMPARE(settings.enabled, enabled);
    QCOMPARE(int(settings.port), port);
    QCOMPARE(settings.address, address);
    QCOMPARE(!settings.token.isEmpty(), hasToken);
}

void TestRemoteSettings::tokenIsAFreshSecret() {
    QSet<QString> seen;
    for (int i = 0; i < 20; ++i) {
        const QString token = NewRemoteToken();
        QCOMPARE(token.size(), 43); // 32 bytes, base64url without padding
        QCOMPARE(QByteArray::fromBase64(token.toLatin1(), QByteArray::Base64UrlEncoding).size(),
                 32);
        QVERIFY(!token.contains(u'=') && !token.contains(u'+') && !token.contains(u'/'));
        seen.insert(token);
    }
    QCOMPARE(seen.size(), 20);
}

void TestRemoteSettings::enablingKeepsTheToken() {
    TRemoteSettings settings;
    QVERIFY(!settings.enabled);
    EnableRemote(settings);
    QVERIFY(settings.enabled);
    const QString token = settings.token;
    QVERIFY(!token.isEmpty());
    settings.enabled = false;
    EnableRemote(settings);
    QCOMPARE(settings.token, token);
}

void TestRemoteSettings::fileWithoutSectionStaysAsItIs() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    const QByteArray bytes = "[Form]\nComm=3\n; as the user wrote it\n";
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    const TRemoteSettings settings = LoadRemoteSettings(file);
    QVERIFY(!settings.enabled);
    // Never switched on: saving writes nothing.
    QVERIFY(SaveRemoteSettings(file, settings));
    IniDocument doc = IniDocument::fromBytes(bytes);
    WriteRemoteSection(doc, settings);
    QCOMPARE(doc.findSection(u"Remote"), qsizetype(-1));
    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(in.readAll(), bytes);
}

void TestRemoteSettings::sectionRoundTripsBesideTheLayout() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("[Form]\r\nComm=3\r\n");
    }
    TRemoteSettings settings;
    EnableRemote(settings);
    settings.port = 9100;
    settings.address = QStringLiteral("0.0.0.0");
    QVERIFY(SaveRemoteSettings(file, settings));
    QCOMPARE(LoadRemoteSettings(file), settings);
    // Switched off again: the section and its token stay.
    settings.enabled = false;
    QVERIFY(SaveRemoteSettings(file, settings));
    QCOMPARE(LoadRemoteSettings(file), settings);
    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const IniDocument doc = IniDocument::fromBytes(in.readAll());
    QCOMPARE(doc.readInteger(u"Form", u"Comm", 0), 3);
}

QTEST_GUILESS_MAIN(TestRemoteSettings)
#include "tst_remotesettings.moc"
