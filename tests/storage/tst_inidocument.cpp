#include "IniDocument.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

// The INI document on bytes in memory: parsing, lookups, writing and the normal form.
class TestIniDocument : public QObject {
    Q_OBJECT
private slots:
    void readFixture_data();
    void readFixture();
    void normalForm_data();
    void normalForm();
    void parseInteger_data();
    void parseInteger();
    void readIntegerFallsBack_data();
    void readIntegerFallsBack();
    void writeReplacesInPlaceAndAppends();
    void writeTurnsLineBreaksIntoBlanks_data();
    void writeTurnsLineBreaksIntoBlanks();
    void encodingOfTheBytes_data();
    void encodingOfTheBytes();
    void strayBytesKept_data();
    void strayBytesKept();
    void clearDropsEverything();
    void namesMatchWithoutCase_data();
    void namesMatchWithoutCase();
    void manyNames_data();
    void manyNames();
    void normalFormIsStable();
    void keptBytesStayApart_data();
    void keptBytesStayApart();
};

static QByteArray Fixture(const char* name) {
    QFile file(QStringLiteral(TAPDECK_TEST_DATA "/storage/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return file.readAll();
}

void TestIniDocument::readFixture_data() {
    QTest::addColumn<QByteArray>("fixture");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const QString missing = QStringLiteral("<missing>");
    QTest::newRow("plain value") << QByteArray("worked_example.vmd") << "Form"
                                 << "Caption"
                                 << "Orvix Tapdeck3";
    QTest::newRow("empty value is not the default") << QByteArray("worked_example.vmd") << "Form"
                                                    << "BmpFile"
                                                    << "";
    QTest::newRow("section name in other case") << QByteArray("worked_example.vmd") << "bUTTON2"
                                                << "Caption"
                                                << "Walk";
    QTest::newRow("key name in other case") << QByteArray("worked_example.vmd") << "Button1"
                                            << "sHoRtCuT"
                                            << "-1";
    QTest::newRow("missing section") << QByteArray("worked_example.vmd") << "Button3"
                                     << "Caption" << missing;
    QTest::newRow("missing key") << QByteArray("worked_example.vmd") << "Form"
                                 << "Nothing" << missing;
    QTest::newRow("line before the first section dropped")
        << QByteArray("comments_blank_lines.vmd") << "Form"
        << "Caption"
        << "After comments";
    QTest::newRow("commented key is no key") << QByteArray("comments_blank_lines.vmd") << "Button1"
                                             << "Motion"
                                             << "7";
    QTest::newRow("line without equals never matches")
        << QByteArray("comments_blank_lines.vmd") << "Form"
        << "a line without an equals sign" << missing;
    QTest::newRow("last duplicate section is read")
        << QByteArray("duplicates_mixed_case.vmd") << "Form"
        << "Width" << missing;
    QTest::newRow("last duplicate key is read") << QByteArray("duplicates_mixed_case.vmd") << "form"
                                                << "Caption"
                                                << "Third form";
    QTest::newRow("duplicate key in duplicate section")
        << QByteArray("duplicates_mixed_case.vmd") << "Button1"
        << "Motion"
        << "13";
    QTest::newRow("trimmed section name, key and value")
        << QByteArray("trimmed_captions.vmd") << "Form"
        << "Caption"
        << "Padded panel";
    QTest::newRow("tab before key") << QByteArray("trimmed_captions.vmd") << "Button1"
                                    << "Caption"
                                    << "Padded button";
    QTest::newRow("LF line ends") << QByteArray("lf_only.vmd") << "Button1"
                                  << "Caption"
                                  << "Lf";
    QTest::newRow("CP932 value") << QByteArray("japanese_cp932.vmd") << "Button1"
                                 << "Caption"
                                 << "ダンス";
    QTest::newRow("UTF-8 after a byte-order mark") << QByteArray("outside_cp932.vmd") << "Form"
                                                   << "Caption"
                                                   << "Café ☃ 한국";
}

void TestIniDocument::readFixture() {
    QFETCH(QByteArray, fixture);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const IniDocument doc = IniDocument::fromBytes(Fixture(fixture.constData()));
    QCOMPARE(doc.readString(section, key, QStringLiteral("<missing>")), expected);
}

void TestIniDocument::normalForm_data() {
    QTest::addColumn<QByteArray>("fixture");
    QTest::addColumn<QString>("expected");
    QTest::newRow("worked example is already normal")
        << QByteArray("worked_example.vmd") << QString::fromLatin1(Fixture("worked_example.vmd"));
    QTest::newRow("comments, blank lines and stray lines")
        << QByteArray("comments_blank_lines.vmd")
        << "[Form]\r\na line without an equals sign\r\nCaption=After comments\r\nButton=1\r\n\r\n"
           "[Button1]\r\nMotion=7\r\n\r\n";
    QTest::newRow("duplicates are all kept")
        << QByteArray("duplicates_mixed_case.vmd")
        << "[Form]\r\nCaption=First form\r\nWidth=500\r\nButton=1\r\n\r\n"
           "[button1]\r\nCaption=First button\r\n\r\n"
           "[FORM]\r\ncaption=Second form\r\nCAPTION=Third form\r\nBUTTON=2\r\n\r\n"
           "[Button1]\r\nMOTION=12\r\nmotion=13\r\n\r\n[BUTTON2]\r\nCaption=Two\r\n\r\n";
    QTest::newRow("blanks around names and values go")
        << QByteArray("trimmed_captions.vmd")
        << "[Form]\r\nCaption=Padded panel\r\nButton=1\r\n\r\n[Button1]\r\nCaption=Padded "
           "button\r\n\r\n";
    QTest::newRow("LF lines become CR LF")
        << QByteArray("lf_only.vmd")
        << "[Form]\r\nCaption=Unix lines\r\nButton=1\r\n\r\n[Button1]\r\nCaption=Lf\r\n\r\n";
}

void TestIniDocument::normalForm() {
    QFETCH(QByteArray, fixture);
    QFETCH(QString, expected);
    QCOMPARE(IniDocument::fromBytes(Fixture(fixture.constData())).toText(), expected);
}

void TestIniDocument::parseInteger_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("valid");
    QTest::newRow("decimal") << "42" << 42 << true;
    QTest::newRow("plus sign") << "+7" << 7 << true;
    QTest::newRow("negative") << "-2147483633" << -2147483633 << true;
    QTest::newRow("int minimum") << "-2147483648" << int(-2147483647 - 1) << true;
    QTest::newRow("int maximum") << "2147483647" << 2147483647 << true;
    QTest::newRow("decimal overflow") << "2147483648" << 0 << false;
    QTest::newRow("huge decimal") << "99999999999999999999" << 0 << false;
    QTest::newRow("0x hex") << "0x0000FF" << 255 << true;
    QTest::newRow("0X hex upper") << "0XfF" << 255 << true;
    QTest::newRow("0x alone is two characters") << "0x" << 0 << false;
    QTest::newRow("0x with bad digit") << "0xFG" << 0 << false;
    QTest::newRow("dollar hex") << "$8000000F" << -2147483633 << true;
    QTest::newRow("negative dollar hex") << "-$10" << -16 << true;
    QTest::newRow("hex wraps at 32 bits") << "0xFFFFFFFF" << -1 << true;
    QTest::newRow("hex above 32 bits") << "$100000000" << 0 << false;
    QTest::newRow("dollar alone") << "$" << 0 << false;
    QTest::newRow("empty") << "" << 0 << false;
    QTest::newRow("sign alone") << "-" << 0 << false;
    QTest::newRow("letters") << "abc" << 0 << false;
    QTest::newRow("trailing junk") << "12px" << 0 << false;
    QTest::newRow("inner blank") << "1 2" << 0 << false;
    QTest::newRow("full-width digits") << "１２" << 0 << false;
}

void TestIniDocument::parseInteger() {
    QFETCH(QString, text);
    QFETCH(int, expected);
    QFETCH(bool, valid);
    const std::optional<int> parsed = ParseIniInteger(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, expected);
}

void TestIniDocument::readIntegerFallsBack_data() {
    QTest::addColumn<QByteArray>("fixture");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("hex colour") << QByteArray("hex_color.vmd") << "Form"
                                << "Color" << 255;
    QTest::newRow("malformed gives default") << QByteArray("width_abc.vmd") << "Form"
                                             << "Width" << -99;
    QTest::newRow("missing key gives default") << QByteArray("width_abc.vmd") << "Form"
                                               << "Height" << -99;
    QTest::newRow("empty value gives default") << QByteArray("worked_example.vmd") << "Form"
                                               << "BmpFile" << -99;
}

void TestIniDocument::readIntegerFallsBack() {
    QFETCH(QByteArray, fixture);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(int, expected);
    const IniDocument doc = IniDocument::fromBytes(Fixture(fixture.constData()));
    QCOMPARE(doc.readInteger(section, key, -99), expected);
}

void TestIniDocument::writeReplacesInPlaceAndAppends() {
    IniDocument doc = IniDocument::fromBytes(Fixture("duplicates_mixed_case.vmd"));
    doc.writeString(QStringLiteral("form"), QStringLiteral("Caption"), QStringLiteral("New"));
    doc.writeInteger(QStringLiteral("Form"), QStringLiteral("Width"), 640);
    doc.writeString(QStringLiteral("Extra"), QStringLiteral("Key"), QStringLiteral("v"));
    QCOMPARE(
        doc.toText(),
        QStringLiteral("[Form]\r\nCaption=First form\r\nWidth=500\r\nButton=1\r\n\r\n"
                       "[button1]\r\nCaption=First button\r\n\r\n"
                       "[FORM]\r\ncaption=Second form\r\nCaption=New\r\nBUTTON=2\r\n"
                       "Width=640\r\n\r\n"
                       "[Button1]\r\nMOTION=12\r\nmotion=13\r\n\r\n[BUTTON2]\r\nCaption=Two\r\n"
                       "\r\n[Extra]\r\nKey=v\r\n\r\n"));
    QCOMPARE(doc.readInteger(u"FORM", u"width", 0), 640);
    QCOMPARE(doc.readString(u"extra", u"KEY", QString()), QStringLiteral("v"));
}

void TestIniDocument::writeTurnsLineBreaksIntoBlanks_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("stored");
    QTest::newRow("CR LF") << "Walk\r\n[Button9]"
                           << "Walk [Button9]";
    QTest::newRow("LF") << "a\nb"
                        << "a b";
    QTest::newRow("CR") << "a\rb"
                        << "a b";
    QTest::newRow("two LF") << "a\n\nb"
                            << "a  b";
}

void TestIniDocument::writeTurnsLineBreaksIntoBlanks() {
    QFETCH(QString, value);
    QFETCH(QString, stored);
    IniDocument doc;
    doc.writeString(QStringLiteral("Button1"), QStringLiteral("Caption"), value);
    const QString text = doc.toText();
    QCOMPARE(text, QStringLiteral("[Button1]\r\nCaption=") + stored + QStringLiteral("\r\n\r\n"));
    const IniDocument reread = IniDocument::fromText(text);
    QCOMPARE(reread.sectionCount(), 1);
    QCOMPARE(reread.readString(u"Button1", u"Caption", QString()), stored);
}

void TestIniDocument::encodingOfTheBytes_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ASCII") << "Walk" << QByteArray("[Form]\r\nCaption=Walk\r\n\r\n");
    QTest::newRow("Japanese in CP932")
        << "歩く" << QByteArray("[Form]\r\nCaption=\x95\xe0\x82\xad\r\n\r\n");
    QTest::newRow("outside CP932 as UTF-8 with a byte-order mark")
        << "Café" << QByteArray("\xef\xbb\xbf[Form]\r\nCaption=Caf\xc3\xa9\r\n\r\n");
}

void TestIniDocument::encodingOfTheBytes() {
    QFETCH(QString, caption);
    QFETCH(QByteArray, bytes);
    IniDocument doc;
    doc.writeString(QStringLiteral("Form"), QStringLiteral("Caption"), caption);
    QCOMPARE(doc.toBytes(), bytes);
    QCOMPARE(IniDocument::fromBytes(bytes).readString(u"Form", u"Caption", QString()), caption);
}

// The escape that carries a byte which is no character.
static QString Stray(std::initializer_list<unsigned char> bytes) {
    QString text;
    for (unsigned char byte : bytes)
        text.append(QChar(char16_t(0xDC00 + byte)));
    return text;
}

void TestIniDocument::strayBytesKept_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("line"); // as written in UTF-8
    QTest::newRow("CP932: cut pair and FF") << "invalid_cp932_bytes.vmd"
                                            << "Caption"
                                            << "bad " + Stray({0x82}) + "  byte " + Stray({0xFF})
                                            << QByteArray("Caption=bad \x82  byte \xff\r\n");
    const QString utf8 = QStringLiteral("utf8_stray_bytes.vmd");
    QTest::newRow("UTF-8: lone continuation byte")
        << utf8 << "Lone"
        << "a" + Stray({0x82}) + "b" << QByteArray("Lone=a\x82\x62\r\n");
    QTest::newRow("UTF-8: cut sequence")
        << utf8 << "Cut" << Stray({0xE2, 0x98}) + " end" << QByteArray("Cut=\xe2\x98 end\r\n");
    QTest::newRow("UTF-8: overlong form")
        << utf8 << "Overlong" << Stray({0xC0, 0xAF}) << QByteArray("Overlong=\xc0\xaf\r\n");
    QTest::newRow("UTF-8: encoded surrogate") << utf8 << "Surrogate" << Stray({0xED, 0xB2, 0x80})
                                              << QByteArray("Surrogate=\xed\xb2\x80\r\n");
    QTest::newRow("UTF-8: beyond U+10FFFF") << utf8 << "Beyond" << Stray({0xF4, 0x90, 0x80, 0x80})
                                            << QByteArray("Beyond=\xf4\x90\x80\x80\r\n");
    QTest::newRow("UTF-8: FF after a character")
        << utf8 << "Tail"
        << "Caf\u00e9" + Stray({0xFF}) << QByteArray("Tail=Caf\xc3\xa9\xff\r\n");
    // Its second half lies in the range of the escapes, yet it is one real character.
    QTest::newRow("UTF-8: surrogate pair") << utf8 << "Pair" << QString::fromUcs4(U"\U0001F480")
                                           << QByteArray("Pair=\xf0\x9f\x92\x80\r\n");
}

// A byte that is no character comes back as the same byte from a load and a save, also
// when another value forces the save to UTF-8, and reads back as the same escape.
void TestIniDocument::strayBytesKept() {
    QFETCH(QString, fixture);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, line);
    const QByteArray original = Fixture(qPrintable(fixture));
    IniDocument doc = IniDocument::fromBytes(original);
    QCOMPARE(doc.readString(u"Form", key, QString()), value);
    QCOMPARE(doc.toBytes(), original);

    doc.writeString(QStringLiteral("Button1"), QStringLiteral("Caption"), QStringLiteral("Café"));
    const QByteArray utf8 = doc.toBytes();
    QVERIFY(utf8.startsWith("\xef\xbb\xbf[Form]\r\n"));
    QVERIFY2(utf8.contains("\n" + line), utf8.toHex(' ').constData());
    const IniDocument again = IniDocument::fromBytes(utf8);
    QCOMPARE(again.readString(u"Form", key, QString()), value);
    QCOMPARE(again.toBytes(), utf8);
}

void TestIniDocument::clearDropsEverything() {
    IniDocument doc = IniDocument::fromBytes(Fixture("worked_example.vmd"));
    doc.clear();
    QVERIFY(doc.isEmpty());
    QCOMPARE(doc.toBytes(), QByteArray());
    QCOMPARE(doc.readString(u"Form", u"Caption", QStringLiteral("gone")), QStringLiteral("gone"));
}

void TestIniDocument::namesMatchWithoutCase_data() {
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<bool>("matches");
    QTest::newRow("ASCII") << "ShortCut"
                           << "SHORTcut" << true;
    QTest::newRow("ASCII differs") << "ShortCut"
                                   << "ShortCat" << false;
    QTest::newRow("longer name") << "Button1"
                                 << "Button10" << false;
    QTest::newRow("umlaut") << "Ärger"
                            << "äRGER" << true;
    QTest::newRow("full-width letters") << "ＡＢｃ"
                                        << "ａｂＣ" << true;
    QTest::newRow("Greek") << "ΣΟΦΙΑ"
                           << "σοφια" << true;
    QTest::newRow("kana has no case") << "ボタン"
                                      << "ぼたん" << false;
    QTest::newRow("ASCII then non-ASCII") << "Caption名"
                                          << "CAPTION名" << true;
}

void TestIniDocument::namesMatchWithoutCase() {
    QFETCH(QString, written);
    QFETCH(QString, asked);
    QFETCH(bool, matches);
    IniDocument doc;
    doc.writeString(written, written, QStringLiteral("found"));
    const QString missing = QStringLiteral("missing");
    const QString expected = matches ? QStringLiteral("found") : missing;
    QCOMPARE(doc.readString(asked, written, missing), expected);
    QCOMPARE(doc.readString(written, asked, missing), expected);
    QCOMPARE(doc.readString(doc.findSection(asked), written, missing), expected);
}

// Tables grow as names arrive: every name must stay reachable across each growth,
// and overwriting through another letter case must find the existing line.
void TestIniDocument::manyNames_data() {
    QTest::addColumn<int>("sections");
    QTest::addColumn<int>("keys");
    QTest::newRow("one key") << 1 << 1;
    QTest::newRow("eight keys, one table") << 1 << 8;
    QTest::newRow("nine keys, first growth") << 1 << 9;
    QTest::newRow("thousand keys in one section") << 1 << 1000;
    QTest::newRow("thousand sections of eight") << 1000 << 8;
}

void TestIniDocument::manyNames() {
    QFETCH(int, sections);
    QFETCH(int, keys);
    IniDocument doc;
    for (int s = 0; s < sections; ++s)
        for (int k = 0; k < keys; ++k)
            doc.writeInteger(QStringLiteral("Sec%1").arg(s), QStringLiteral("Key%1").arg(k),
                             s * 10000 + k);
    for (int s = 0; s < sections; ++s)
        doc.writeInteger(QStringLiteral("SEC%1").arg(s), QStringLiteral("kEY0"), -1);
    const IniDocument reread = IniDocument::fromText(doc.toText());
    QCOMPARE(reread.sectionCount(), sections);
    for (int s = 0; s < sections; ++s) {
        const qsizetype section = reread.findSection(QStringLiteral("sec%1").arg(s));
        QVERIFY(section >= 0);
        QCOMPARE(reread.readInteger(section, u"key0", 0), -1);
        for (int k = 1; k < keys; ++k)
            QCOMPARE(reread.readInteger(section, QStringLiteral("Key%1").arg(k), 0), s * 10000 + k);
        QCOMPARE(reread.readInteger(section, QStringLiteral("Key%1").arg(keys), -7), -7);
    }
    // Overwritten in place: one line per key.
    QCOMPARE(doc.toText().count(QStringLiteral("=")), sections * keys);
}

// Whatever the bytes, writing the document and reading it back gives the same text:
// the write test must never change a file a second time.
void TestIniDocument::normalFormIsStable() {
    QRandomGenerator random(20261208);
    const QByteArray alphabet("[]=;\r\n \tabAB01x$-");
    for (int round = 0; round < 500; ++round) {
        QByteArray bytes;
        const int length = random.bounded(200);
        for (int i = 0; i < length; ++i)
            bytes.append(random.bounded(4) == 0 ? char(random.bounded(256))
                                                : alphabet[random.bounded(alphabet.size())]);
        const IniDocument first = IniDocument::fromBytes(bytes);
        const QByteArray written = first.toBytes();
        const IniDocument second = IniDocument::fromBytes(written);
        QCOMPARE(second.toText(), first.toText());
        QCOMPARE(second.toBytes(), written);
    }
}

void TestIniDocument::keptBytesStayApart_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QFile found(QStringLiteral(TAPDECK_TEST_DATA "/storage/fuzz_lead_byte_before_bracket.vmd"));
    QVERIFY(found.open(QIODevice::ReadOnly));
    QTest::newRow("found by the fuzzer") << found.readAll() << "Form"
                                         << "Button"
                                         << "-4";
    QFile bom(QStringLiteral(TAPDECK_TEST_DATA "/storage/fuzz_bom_between_stray_bytes.vmd"));
    QVERIFY(bom.open(QIODevice::ReadOnly));
    QTest::newRow("found by the fuzzer: U+FEFF between stray bytes")
        << bom.readAll() << "Vorm"
        << "Lone" << QString(QStringLiteral("a") + QChar(0xDC82) + "b");
    // A U+FEFF inside the text is a character like any other, not a byte-order mark.
    QTest::newRow("U+FEFF between stray bytes")
        << QByteArray("\xef\xbb\xbf[S]\r\nk=\xc4\xef\xbb\xbf\xa0\r\n") << "S"
        << "k" << QString(QString(QChar(0xDCC4)) + QChar(0xFEFF) + QChar(0xDCA0));
    // A CP932 lead byte kept alone, then a blank that the write drops.
    QTest::newRow("lead byte before ]")
        << QByteArray("[A\x92 ]\r\nk=1\r\n") << QString(QStringLiteral("A") + QChar(0xDC92)) << "k"
        << "1";
    QTest::newRow("lead byte before =") << QByteArray("[S]\r\nA\x92 =1\r\n") << "S"
                                        << QString(QStringLiteral("A") + QChar(0xDC92)) << "1";
    QTest::newRow("lead byte before =, UTF-8 file")
        << QByteArray("\xef\xbb\xbf[S]\r\nA\x92 =1\r\n") << "S"
        << QString(QStringLiteral("A") + QChar(0xDC92)) << "1";
}

// A kept byte that the write puts beside "]" or "=" must not pair up with it when read
// back, which would turn the section or the key into something else.
void TestIniDocument::keptBytesStayApart() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const IniDocument first = IniDocument::fromBytes(bytes);
    QCOMPARE(first.readString(section, key, QStringLiteral("missing")), value);
    const QByteArray written = first.toBytes();
    const IniDocument second = IniDocument::fromBytes(written);
    QCOMPARE(second.sectionCount(), first.sectionCount());
    QCOMPARE(second.toText(), first.toText());
    QCOMPARE(second.readString(section, key, QStringLiteral("missing")), value);
    QCOMPARE(second.toBytes(), written);
}

QTEST_APPLESS_MAIN(TestIniDocument)
#include "tst_inidocument.moc"
