#include "ColorDialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QTest>
#include <QTimer>

class TestColorDialog : public QObject {
    Q_OBJECT
private slots:
    void answersKeepTheColourAcrossUses();
    void realDialog_data();
    void realDialog();
};

void TestColorDialog::answersKeepTheColourAcrossUses() {
    TColorDialogAnswers answers;
    answers.Cancel();
    answers.Choose(0x00123456);
    answers.Cancel();
    TColorDialog dialog("ColorDialog", nullptr);
    QCOMPARE(dialog.Color(), clBlack);
    QVERIFY(!dialog.Execute(nullptr));
    QCOMPARE(dialog.Color(), clBlack);
    QVERIFY(dialog.Execute(nullptr));
    QCOMPARE(dialog.Color(), TColor(0x00123456));
    dialog.SetColor(clBtnFace);
    QVERIFY(!dialog.Execute(nullptr));
    QCOMPARE(dialog.Color(), clBtnFace);
    // No answer left: cancelled.
    QVERIFY(!dialog.Execute(nullptr));
    QCOMPARE(answers.Shown(), (std::vector<TColor>{clBlack, clBlack, clBtnFace, clBtnFace}));
}

void TestColorDialog::realDialog_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("color");
    QTest::newRow("chosen") << 0x00000080 << true << 0x00FF8040;
    QTest::newRow("cancelled keeps the colour") << 0x00123456 << false << 0x00123456;
    QTest::newRow("system colour cancelled stays a system colour")
        << int(clBtnFace) << false << int(clBtnFace);
}

// The Qt dialog itself, closed by the test as a user would close it.
void TestColorDialog::realDialog() {
    QFETCH(int, start);
    QFETCH(bool, accept);
    QFETCH(int, color);
    TColorDialog dialog("ColorDialog", nullptr);
    dialog.SetColor(start);
    QColor openedWith;
    QTimer closer;
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, this, [&] {
        auto* shown = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        if (!shown)
            return;
        openedWith = shown->currentColor();
        if (!accept) {
            shown->reject();
            return;
        }
        // 0x00BBGGRR: blue 0xFF, green 0x80, red 0x40.
        shown->setCurrentColor(QColor(0x40, 0x80, 0xFF));
        shown->accept();
    });
    closer.start();
    QCOMPARE(dialog.Execute(nullptr), accept);
    closer.stop();
    QCOMPARE(openedWith, ResolveColor(start));
    QCOMPARE(dialog.Color(), TColor(color));
}

QTEST_MAIN(TestColorDialog)
#include "tst_colordialog.moc"
