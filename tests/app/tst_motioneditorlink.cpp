// Finding the motion editor's window and posting play numbers to it, on the fake
// window system.
#include "FakeWindowSystem.h"
#include "PanelLink.h"

#include <QTest>

using Window = TFakeWindowSystem::Window;
using Windows = std::vector<Window>;
using Post = TFakeWindowSystem::Post;
Q_DECLARE_METATYPE(Windows)

namespace {

const QString Editor = QStringLiteral("TPosewright3");

int Enumerations(const TFakeWindowSystem& windows) {
    return int(windows.Calls().count(QStringLiteral("EnumWindows")));
}

} // namespace

class TestMotionEditorLink : public QObject {
    Q_OBJECT
private slots:
    void findMotionEditor_data();
    void findMotionEditor();
    void pressesKeepOrRefreshTheCache_data();
    void pressesKeepOrRefreshTheCache();
};

void TestMotionEditorLink::findMotionEditor_data() {
    QTest::addColumn<Windows>("windows");
    QTest::addColumn<TWindowHandle>("found");

    QTest::newRow("none running") << Windows{{1, true, "Terminal", "XTerm"}} << NoWindow;
    QTest::newRow("below other windows")
        << Windows{{1, true, "Terminal", "XTerm"}, {2, true, "Editor", Editor}} << 2LL;
    QTest::newRow("hidden is skipped")
        << Windows{{1, false, "Editor", Editor}, {2, true, "Editor", Editor}} << 2LL;
    QTest::newRow("untitled is skipped")
        << Windows{{1, true, "", Editor}, {2, true, "Editor", Editor}} << 2LL;
    QTest::newRow("the upper of two wins")
        << Windows{{5, true, "A", Editor}, {3, true, "B", Editor}} << 5LL;
    QTest::newRow("a longer class name is another class")
        << Windows{{1, true, "Editor", "TPosewright3x"}} << NoWindow;
    QTest::newRow("a shorter class name is another class")
        << Windows{{1, true, "Editor", "TPosewright"}} << NoWindow;
    QTest::newRow("letter case counts") << Windows{{1, true, "Editor", "tposewright3"}} << NoWindow;
    QTest::newRow("vanished during the walk")
        << Windows{{1, true, "Editor", Editor, true}, {2, true, "Editor", Editor}} << 2LL;
}

void TestMotionEditorLink::findMotionEditor() {
    QFETCH(Windows, windows);
    QFETCH(TWindowHandle, found);
    TFakeWindowSystem system;
    system.SetWindows(windows);
    QCOMPARE(FindMotionEditor(system), found);
    QVERIFY(system.Posts().empty());
}

// Each step: what happens to the windows, then one press of play number 84.
void TestMotionEditorLink::pressesKeepOrRefreshTheCache_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<TWindowHandle>("receiver");
    QTest::addColumn<int>("searches");

    QTest::newRow("nothing changed: the cached window, no search") << "" << 7LL << 0;
    QTest::newRow("link chosen again: searched anew") << "reset" << 9LL << 1;
    QTest::newRow("program restarted: the stale window is replaced") << "restart" << 9LL << 1;
    QTest::newRow("program closed: nothing is posted") << "close" << NoWindow << 1;
    QTest::newRow("another program took the id") << "reuse" << NoWindow << 1;
}

void TestMotionEditorLink::pressesKeepOrRefreshTheCache() {
    QFETCH(QString, change);
    QFETCH(TWindowHandle, receiver);
    QFETCH(int, searches);

    TFakeWindowSystem system;
    system.SetWindows({{7, true, "Editor", Editor}});
    TWindowHandle cached = NoWindow;
    SendToMotionEditor(system, cached, 4);
    QCOMPARE(cached, 7LL);
    QCOMPARE(system.Posts(), (std::vector<Post>{{7, 0x8000, 0, 4}}));

    // A second editor on top is found only by a new search.
    system.AddOnTop({9, true, "Editor", Editor});
    if (change == "reset") {
        cached = NoWindow;
    } else if (change == "restart") {
        system.Remove(7);
    } else if (change == "close") {
        system.SetWindows({});
    } else if (change == "reuse") {
        system.SetWindows({{7, true, "Terminal", "XTerm"}});
    }
    system.ClearCalls();
    SendToMotionEditor(system, cached, 84);

    QCOMPARE(cached, receiver);
    QCOMPARE(Enumerations(system), searches);
    const std::vector<Post> expected =
        receiver == NoWindow ? std::vector<Post>{} : std::vector<Post>{{receiver, 0x8000, 0, 84}};
    QCOMPARE(system.Posts(), expected);
}

QTEST_GUILESS_MAIN(TestMotionEditorLink)
#include "tst_motioneditorlink.moc"
