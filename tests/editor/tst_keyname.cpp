#include "KeyName.h"

#include <QTest>

#include <climits>

class TestKeyName : public QObject {
    Q_OBJECT
private slots:
    void keyName_data();
    void keyName();
};

static void AddRow(int code, const QString& expected) {
    QTest::addRow("code %d", code) << code << expected;
}

static QString ThreeDigits(int code) {
    return QString::number(code).rightJustified(3, u'0');
}

// Expected texts are spelled out here, full-width characters as escapes, so that a wrong
// character or offset in the function shows up.
void TestKeyName::keyName_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected");

    AddRow(-1, QStringLiteral("OFF"));
    AddRow(8, QStringLiteral("008  Back Space"));
    AddRow(13, QStringLiteral("013  Enter"));
    AddRow(16, QStringLiteral("016  Shift"));
    AddRow(17, QStringLiteral("017  Ctrl"));
    AddRow(27, QStringLiteral("027  ESC"));
    AddRow(32, QStringLiteral("032  Space"));
    AddRow(33, QStringLiteral("033  Page Up"));
    AddRow(34, QStringLiteral("034  Page Down"));
    AddRow(35, QStringLiteral("035  End"));
    AddRow(36, QStringLiteral("036  Home"));
    AddRow(37, QStringLiteral("037  \u2190"));
    AddRow(38, QStringLiteral("038  \u2191"));
    AddRow(39, QStringLiteral("039  \u2192"));
    AddRow(40, QStringLiteral("040  \u2193"));
    AddRow(44, QStringLiteral("044  \uFF0C)"));
    AddRow(45, QStringLiteral("045  Insert"));
    AddRow(46, QStringLiteral("046  Delete"));
    AddRow(106, QStringLiteral("106  \u30C6\u30F3\u30AD\u30FC [\uFF0A]"));
    AddRow(107, QStringLiteral("107  \u30C6\u30F3\u30AD\u30FC [\uFF0B]"));
    AddRow(108, QStringLiteral("108  \u30C6\u30F3\u30AD\u30FC [\u3000]"));
    AddRow(109, QStringLiteral("109  \u30C6\u30F3\u30AD\u30FC [\uFF0D]"));
    AddRow(110, QStringLiteral("110  \u30C6\u30F3\u30AD\u30FC [\uFF0E]"));
    AddRow(111, QStringLiteral("111  \u30C6\u30F3\u30AD\u30FC [\uFF0F]"));
    AddRow(144, QStringLiteral("144  Num Lock"));
    AddRow(145, QStringLiteral("145  Scroll Lock"));

    const QString digits =
        QStringLiteral("\uFF10\uFF11\uFF12\uFF13\uFF14\uFF15\uFF16\uFF17\uFF18\uFF19");
    const QString letters = QStringLiteral("ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ");
    for (int i = 0; i < 10; ++i) {
        AddRow(48 + i, ThreeDigits(48 + i) + QStringLiteral("  数字 [") + digits[i] + u']');
        AddRow(96 + i, ThreeDigits(96 + i) + QStringLiteral("  テンキー [") + digits[i] + u']');
    }
    for (int i = 0; i < 26; ++i)
        AddRow(65 + i, ThreeDigits(65 + i) + QStringLiteral("  \u30ED\u30FC\u30DE\u5B57 [") +
                           letters[i] + u']');
    for (int n = 1; n <= 24; ++n)
        AddRow(111 + n, ThreeDigits(111 + n) + QStringLiteral("  \uFF26") + QString::number(n));

    // The composed names once more, every character written out.
    QTest::newRow("A in full") << 65 << QStringLiteral("065  ローマ字 [Ａ]");
    QTest::newRow("Z in full") << 90 << QStringLiteral("090  ローマ字 [Ｚ]");
    QTest::newRow("0 in full") << 48 << QStringLiteral("048  数字 [０]");
    QTest::newRow("9 in full") << 57 << QStringLiteral("057  数字 [９]");
    QTest::newRow("keypad 5 in full") << 101 << QStringLiteral("101  テンキー [５]");
    QTest::newRow("F1 in full") << 112 << QStringLiteral("112  Ｆ1");
    QTest::newRow("F12 in full") << 123 << QStringLiteral("123  Ｆ12");
    QTest::newRow("F24 in full") << 135 << QStringLiteral("135  Ｆ24");

    // Codes without a name: the number and two blanks, padded to three digits.
    AddRow(0, QStringLiteral("000  "));
    AddRow(1, QStringLiteral("001  "));
    AddRow(12, QStringLiteral("012  "));
    AddRow(18, QStringLiteral("018  "));
    AddRow(47, QStringLiteral("047  "));
    AddRow(58, QStringLiteral("058  "));
    AddRow(64, QStringLiteral("064  "));
    AddRow(91, QStringLiteral("091  "));
    AddRow(95, QStringLiteral("095  "));
    AddRow(136, QStringLiteral("136  "));
    AddRow(146, QStringLiteral("146  "));
    AddRow(186, QStringLiteral("186  "));
    AddRow(222, QStringLiteral("222  "));
    AddRow(1000, QStringLiteral("1000  "));
    AddRow(65536 + 65, QStringLiteral("65601  "));
    AddRow(INT_MAX, QStringLiteral("2147483647  "));
    AddRow(-5, QStringLiteral("-005  "));
    AddRow(-2, QStringLiteral("-002  "));
    AddRow(-1234, QStringLiteral("-1234  "));
    AddRow(INT_MIN, QStringLiteral("-2147483648  "));
}

void TestKeyName::keyName() {
    QFETCH(int, code);
    QFETCH(QString, expected);
    QCOMPARE(KeyName(code), expected);
}

QTEST_APPLESS_MAIN(TestKeyName)
#include "tst_keyname.moc"
