// Pad buttons held together, heard among the downs and ups of a pad input.
#include "FakePadInput.h"
#include "PadPairs.h"
#include "SdlPadInput.h"
#include "VirtualPad.h"

#include <QTest>
#include <SDL.h>

namespace {

// Downs as "+name" and ups as "-name", in the order they come.
void Record(TPadInput& input, QStringList& heard) {
    QObject::connect(&input, &TPadInput::ButtonPressed, &input,
                     [&heard](const QString& name) { heard << "+" + name; });
    QObject::connect(&input, &TPadInput::ButtonReleased, &input,
                     [&heard](const QString& name) { heard << "-" + name; });
}

void Send(TFakePadInput& pads, const QString& event) {
    if (event.startsWith('+'))
        pads.Press(event.mid(1));
    else
        pads.Release(event.mid(1));
}

const QStringList Names{"A", "Back+Start", "LB+RB", "LB+LS-Up", "Back+Start", "X+X", "Guide+A"};

} // namespace

class TestPadPairs : public QObject {
    Q_OBJECT
private slots:
    void sequences_data();
    void sequences();
    void throughVirtualPad();
};

void TestPadPairs::sequences_data() {
    QTest::addColumn<QStringList>("sent"); // "" sets no names at that point
    QTest::addColumn<QString>("inside");   // heard when the next is sent from its slot
    QTest::addColumn<QStringList>("heard");
    QTest::newRow("a name in no pair, a part alone")
        << QStringList{"+A", "+Back", "-A", "-Back"} << ""
        << QStringList{"+A", "+Back", "-A", "-Back"};
    QTest::newRow("held first, then the second")
        << QStringList{"+Back", "+Start", "-Start", "-Back"} << ""
        << QStringList{"+Back", "-Back", "+Back+Start", "-Back+Start"};
    QTest::newRow("the other order, the first let go first")
        << QStringList{"+Start", "+Back", "-Start", "-Back"} << ""
        << QStringList{"+Start", "-Start", "+Back+Start", "-Back+Start"};
    QTest::newRow("the second again while the first is held")
        << QStringList{"+Back", "+Start", "-Start", "+Start", "-Back", "-Start"} << ""
        << QStringList{"+Back",       "-Back",       "+Back+Start",
                       "-Back+Start", "+Back+Start", "-Back+Start"};
    QTest::newRow("the first swallowed until it comes up")
        << QStringList{"+Back", "+Start", "-Start", "-Back", "+Back", "-Back"} << ""
        << QStringList{"+Back", "-Back", "+Back+Start", "-Back+Start", "+Back", "-Back"};
    QTest::newRow("two pairs on LB")
        << QStringList{"+LB", "+RB", "+LS-Up", "-RB", "-LS-Up", "-LB"} << ""
        << QStringList{"+LB", "-LB", "+LB+RB", "+LB+LS-Up", "-LB+RB", "-LB+LS-Up"};
    QTest::newRow("a name with itself is no pair")
        << QStringList{"+X", "+X", "-X", "-X"} << "" << QStringList{"+X", "+X", "-X", "-X"};
    // Two pads: a part is held until its last release; A shows when the pair comes up.
    QTest::newRow("two pads' Start, the pair up at the last")
        << QStringList{"+Back", "+Start", "+Start", "-Start", "+A", "-Start", "-Back", "-A"} << ""
        << QStringList{"+Back", "-Back", "+Back+Start", "+A", "-Back+Start", "-A"};
    QTest::newRow("two pads' Back, both ended by the pair")
        << QStringList{"+Back", "+Back", "+Start", "-Back", "+A", "-Back", "-Start", "-A"} << ""
        << QStringList{"+Back",       "+Back", "-Back",       "-Back",
                       "+Back+Start", "+A",    "-Back+Start", "-A"};
    QTest::newRow("names gone while the pair is down")
        << QStringList{"+Back", "+Start", "", "-Start", "+Start", "-Start", "-Back"} << ""
        << QStringList{"+Back", "-Back", "+Back+Start", "-Back+Start", "+Start", "-Start"};
    // A slot may run the event loop, and what the pad does then comes after the pair's down.
    QTest::newRow("Start let go while Back's up is heard")
        << QStringList{"+Back", "+Start", "-Start", "-Back"} << "-Back"
        << QStringList{"+Back", "-Back", "+Back+Start", "-Back+Start"};
}

void TestPadPairs::sequences() {
    QFETCH(QStringList, sent);
    QFETCH(QString, inside);
    QFETCH(QStringList, heard);
    TFakePadInput pads;
    TPadPairs pairs(pads);
    pairs.SetNames(Names);
    QStringList events;
    Record(pairs, events);
    qsizetype next = 0;
    const auto sendNext = [&] {
        if (sent.at(next).isEmpty())
            pairs.SetNames({});
        else
            Send(pads, sent.at(next));
        ++next;
    };
    QObject::connect(&pairs, &TPadInput::ButtonReleased, &pairs, [&](const QString& name) {
        if ("-" + name == inside && next < sent.size()) {
            inside.clear();
            sendNext();
        }
    });
    while (next < sent.size())
        sendNext();
    QCOMPARE(events, heard);
}

// Holding LB and pushing the left stick up on a virtual pad.
void TestPadPairs::throughVirtualPad() {
    TSdlPadInput input;
    QVERIFY(input.IsAvailable());
    const int index = AttachVirtualPad(true);
    input.Pump();
    SDL_Joystick* pad = OpenedVirtualPad(index);
    QVERIFY(pad);
    TPadPairs pairs(input);
    pairs.SetNames(Names);
    QStringList events;
    Record(pairs, events);
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 1);
    input.Pump();
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, -30000);
    input.Pump();
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, 0);
    input.Pump();
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 0);
    input.Pump();
    QCOMPARE(events, (QStringList{"+LB", "-LB", "+LB+LS-Up", "-LB+LS-Up"}));
    QCOMPARE(SDL_JoystickDetachVirtual(index), 0);
}

QTEST_GUILESS_MAIN(TestPadPairs)
#include "tst_padpairs.moc"
