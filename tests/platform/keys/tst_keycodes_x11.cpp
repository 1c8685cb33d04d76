// Real key presses on the X server, made with xdotool, to a focused widget: the keycodes and
// keysyms that Qt's X layer gives must map to the codes Windows reports.

#include "KeyRecorder.h"

#include <QProcess>
#include <QTest>

#include <memory>

namespace {

// Escape ends every sequence, so that all the keys before it have surely arrived.
constexpr int SentinelCode = 27;

// xdotool names keys by keysym or, with a number, by X keycode. Some keys go by keycode,
// because for their keysyms xdotool presses other keys first: Num Lock for the keypad
// digits, the left-hand key for a right-hand modifier.
const QString Keypad5 = QStringLiteral("84");
const QString KeypadDecimal = QStringLiteral("91");
const QString RightShift = QStringLiteral("62");
const QString RightCtrl = QStringLiteral("105");
const QString RightAlt = QStringLiteral("108");

} // namespace

class TestKeyCodesX11 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void realKeys_data();
    void realKeys();
    void japaneseLayout_data();
    void japaneseLayout();
    void cleanupTestCase();

private:
    QList<int> Press(const QStringList& keys);
    std::unique_ptr<TKeyRecorder> m_recorder;
};

// The codes of the keys pressed, without the sentinel; empty when xdotool failed.
QList<int> TestKeyCodesX11::Press(const QStringList& keys) {
    m_recorder->codes.clear();
    if (QProcess::execute("xdotool", QStringList{"key"} + keys + QStringList{"Escape"}) != 0)
        return {};
    const auto sentinelArrived = [this] {
        return !m_recorder->codes.isEmpty() && m_recorder->codes.last() == SentinelCode;
    };
    if (!QTest::qWaitFor(sentinelArrived))
        return m_recorder->codes;
    return m_recorder->codes.mid(0, m_recorder->codes.size() - 1);
}

void TestKeyCodesX11::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QFAIL("needs an X server (run under xvfb-run)");
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    m_recorder = std::make_unique<TKeyRecorder>();
    m_recorder->resize(200, 100);
    m_recorder->show();
    m_recorder->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_recorder.get()));

    // The rows expect Num Lock off; whoever used the server before may have left it on.
    const QList<int> probe = Press({Keypad5});
    QVERIFY2(probe == QList<int>{12} || probe == QList<int>{101},
             qPrintable(QTest::toString(probe)));
    if (probe == QList<int>{101})
        QCOMPARE(Press({"Num_Lock"}), QList<int>{144});
}

void TestKeyCodesX11::realKeys_data() {
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("a") << QStringList{"a"} << QList<int>{'A'};
    QTest::newRow("shift+a") << QStringList{"shift+a"} << QList<int>{16, 'A'};
    QTest::newRow("ctrl+a") << QStringList{"ctrl+a"} << QList<int>{17, 'A'};
    QTest::newRow("alt+x") << QStringList{"alt+x"} << QList<int>{18, 'X'};
    QTest::newRow("shift+alt+x") << QStringList{"shift+alt+x"} << QList<int>{16, 18, 'X'};
    QTest::newRow("Caps Lock a") << QStringList{"Caps_Lock", "a", "Caps_Lock"}
                                 << QList<int>{20, 'A', 20};
    QTest::newRow("1") << QStringList{"1"} << QList<int>{'1'};
    QTest::newRow("shift+1") << QStringList{"shift+1"} << QList<int>{16, '1'};
    QTest::newRow("shift+0") << QStringList{"shift+0"} << QList<int>{16, '0'};
    QTest::newRow(";") << QStringList{"semicolon"} << QList<int>{186};
    QTest::newRow("shift+;") << QStringList{"shift+semicolon"} << QList<int>{16, 186};
    QTest::newRow("shift+=") << QStringList{"shift+equal"} << QList<int>{16, 187};
    QTest::newRow("`") << QStringList{"grave"} << QList<int>{192};
    QTest::newRow("shift+[") << QStringList{"shift+bracketleft"} << QList<int>{16, 219};
    QTest::newRow("'") << QStringList{"apostrophe"} << QList<int>{222};
    QTest::newRow("keypad 5 without Num Lock") << QStringList{Keypad5} << QList<int>{12};
    QTest::newRow("keypad 5 with Num Lock")
        << QStringList{"Num_Lock", Keypad5, "Num_Lock"} << QList<int>{144, 101, 144};
    QTest::newRow("keypad . without Num Lock") << QStringList{KeypadDecimal} << QList<int>{46};
    QTest::newRow("keypad . with Num Lock")
        << QStringList{"Num_Lock", KeypadDecimal, "Num_Lock"} << QList<int>{144, 110, 144};
    QTest::newRow("keypad operators")
        << QStringList{"KP_Multiply", "KP_Add", "KP_Subtract", "KP_Divide", "KP_Enter"}
        << QList<int>{106, 107, 109, 111, 13};
    QTest::newRow("F keys") << QStringList{"F1", "F10", "F12"} << QList<int>{112, 121, 123};
    QTest::newRow("right-hand modifiers")
        << QStringList{RightShift, RightCtrl, RightAlt} << QList<int>{16, 17, 18};
    QTest::newRow("arrows") << QStringList{"Left", "Up", "Right", "Down"}
                            << QList<int>{37, 38, 39, 40};
    QTest::newRow("editing block")
        << QStringList{"Prior", "Next", "Home", "End", "Insert", "Delete"}
        << QList<int>{33, 34, 36, 35, 45, 46};
    QTest::newRow("other named keys")
        << QStringList{"BackSpace", "Tab", "shift+Tab", "Return", "space", "Menu"}
        << QList<int>{8, 9, 16, 9, 13, 32, 93};
    QTest::newRow("Print Screen, Scroll Lock, Pause")
        << QStringList{"Print", "Scroll_Lock", "Scroll_Lock", "Pause"}
        << QList<int>{44, 145, 145, 19};
}

void TestKeyCodesX11::realKeys() {
    QFETCH(QStringList, keys);
    QFETCH(QList<int>, expected);
    QCOMPARE(Press(keys), expected);
}

// The server's keyboard switched to the jp layout: xdotool then finds the Japanese keys'
// keysyms on their own keycodes. ¥ and ろ go by keycode, since both type a backslash.
void TestKeyCodesX11::japaneseLayout_data() {
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("変換, 無変換") << QStringList{"Henkan_Mode", "Muhenkan"} << QList<int>{28, 29};
    QTest::newRow("カタカナ/ひらがな") << QStringList{"Hiragana_Katakana"} << QList<int>{242};
    QTest::newRow("半角/全角") << QStringList{"Zenkaku_Hankaku"} << QList<int>{243};
    QTest::newRow("英数") << QStringList{"Eisu_toggle"} << QList<int>{240};
    // With Alt these two type Romaji and Kanji; their codes stay.
    QTest::newRow("alt+カタカナ/ひらがな, alt+半角/全角")
        << QStringList{"alt+Hiragana_Katakana", "alt+Zenkaku_Hankaku"}
        << QList<int>{18, 242, 18, 243};
    QTest::newRow("¥ and ろ") << QStringList{"132", "97"} << QList<int>{220, 226};
    QTest::newRow("letters stay") << QStringList{"a", "z"} << QList<int>{'A', 'Z'};
}

void TestKeyCodesX11::japaneseLayout() {
    QFETCH(QStringList, keys);
    QFETCH(QList<int>, expected);
    QCOMPARE(QProcess::execute("setxkbmap", {"-layout", "jp", "-model", "jp106"}), 0);
    QCOMPARE(Press(keys), expected);
}

void TestKeyCodesX11::cleanupTestCase() {
    QProcess::execute("setxkbmap", {"-layout", "us"});
}

QTEST_MAIN(TestKeyCodesX11)
#include "tst_keycodes_x11.moc"
