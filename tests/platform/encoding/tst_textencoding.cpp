#include "TextEncoding.h"

#include <QTest>

class TestTextEncoding : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void unrepresentable_data();
    void unrepresentable();
    void invalidBytes_data();
    void invalidBytes();
};

void TestTextEncoding::roundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("ascii") << QStringLiteral("Caption=Walk") << QByteArray("Caption=Walk");
    QTest::newRow("hiragana and kanji") << QStringLiteral("歩く") << QByteArray("\x95\xe0\x82\xad");
    QTest::newRow("katakana with 5C trail byte")
        << QStringLiteral("ダンス") << QByteArray("\x83\x5f\x83\x93\x83\x58");
    QTest::newRow("so has trail byte 5C") << QStringLiteral("ソ") << QByteArray("\x83\x5c");
    QTest::newRow("half-width katakana") << QStringLiteral("ｱ") << QByteArray("\xb1");
    QTest::newRow("backslash stays a backslash")
        << QStringLiteral("C:\\pics") << QByteArray("C:\\pics");
    QTest::newRow("error text") << QStringLiteral("指定の場所には保存できません")
                                << QByteArray("\x8e\x77\x92\xe8\x82\xcc\x8f\xea\x8f\x8a\x82\xc9"
                                              "\x82\xcd\x95\xdb\x91\xb6\x82\xc5\x82\xab\x82\xdc"
                                              "\x82\xb9\x82\xf1");
    QTest::newRow("NEC special circled one") << QStringLiteral("①") << QByteArray("\x87\x40");
    QTest::newRow("NUL kept") << QString(QChar(0)) + QStringLiteral("a") << QByteArray("\0a", 2);
}

void TestTextEncoding::roundTrip() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const std::optional<QByteArray> encoded = EncodeCp932(text);
    QVERIFY(encoded.has_value());
    QCOMPARE(*encoded, bytes);
    QCOMPARE(DecodeCp932(bytes), text);
}

void TestTextEncoding::unrepresentable_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("e acute") << QStringLiteral("Caf\u00e9");
    QTest::newRow("emoji, a surrogate pair") << QStringLiteral("Go \U0001F600");
    QTest::newRow("hangul") << QStringLiteral("\ud55c");
    QTest::newRow("unpaired high surrogate") << QString(QChar(0xD800));
    QTest::newRow("unpaired low surrogate below the escapes") << QString(QChar(0xDC10));
}

void TestTextEncoding::unrepresentable() {
    QFETCH(QString, text);
    QCOMPARE(EncodeCp932(text), std::nullopt);
}

void TestTextEncoding::invalidBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("FF alone") << QByteArray("a\xff"
                                            "b")
                              << QStringLiteral("a") + QChar(0xDCFF) + QStringLiteral("b");
    QTest::newRow("lead byte at the end")
        << QByteArray("x\x82") << QStringLiteral("x") + QChar(0xDC82);
    QTest::newRow("lead byte with a bad trail")
        << QByteArray("\x82\x20z") << QString(QChar(0xDC82)) + QStringLiteral(" z");
}

void TestTextEncoding::invalidBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(DecodeCp932(bytes), text);
    const std::optional<QByteArray> encoded = EncodeCp932(text);
    QVERIFY(encoded.has_value());
    QCOMPARE(*encoded, bytes);
}

QTEST_APPLESS_MAIN(TestTextEncoding)
#include "tst_textencoding.moc"
