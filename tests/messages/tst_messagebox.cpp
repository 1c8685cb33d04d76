#include "MessageBox.h"
#include "MessageBoxRecorder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

struct KindRow {
    int kind;
    unsigned int icon;
    const char* japanese;
    const char* english;
};

// The caption table as the user sees it; kind 5 stands for any kind outside it.
const KindRow kKinds[] = {
    {0, 0x30, "警告", "Warning"},
    {1, 0x40, "情報", "Information"},
    {2, 0x20, "確認", "Question"},
    {3, 0x10, "エラー", "Error"},
    {5, 0x00, "", ""},
};

struct ButtonRow {
    int code;
    unsigned int flag;
    QList<int> answers;
};

const ButtonRow kButtons[] = {
    {0, 0x2, {IDABORT, IDRETRY, IDIGNORE}},
    {1, 0x4000, {IDOK, IDHELP}},
    {2, 0x0, {IDOK}},
    {3, 0x1, {IDOK, IDCANCEL}},
    {4, 0x5, {IDRETRY, IDCANCEL}},
    {5, 0x4, {IDYES, IDNO}},
    {6, 0x3, {IDYES, IDNO, IDCANCEL}},
    {7, 0x0, {IDOK}},
};

const QString kCanned = QString::fromUtf8("DATA NAMEの変更ができます");
const QString kArgument = QStringLiteral("port COM3 opened");

struct MessageRow {
    int index;
    const char* name;
    QString expected;
};

const MessageRow kMessages[] = {
    {0, "text", kArgument},
    {1, "canned1", kCanned},
    {2, "past-table", kArgument},
    {-1, "negative", kArgument},
};

// Runs `inspect` on the first message box that appears, from inside its event loop.
void whenBoxShown(std::function<void(QMessageBox*)> inspect) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, inspect] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box && box->isVisible()) {
                timer->stop();
                timer->deleteLater();
                delete clock;
                inspect(box);
                return;
            }
        }
        if (clock->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            qWarning("no message box appeared");
        }
    });
    timer->start();
}

QList<QMessageBox::StandardButton> standardButtonsOf(QMessageBox* box) {
    QList<QMessageBox::StandardButton> result;
    for (QAbstractButton* button : box->buttons())
        result.append(box->standardButton(button));
    std::sort(result.begin(), result.end());
    return result;
}

} // namespace

class TestMessageBox : public QObject {
    Q_OBJECT
private slots:
    void table_data();
    void table();
    void recorderAnswers();
    void recorderRestoresPreviousHandler();
    void unknownLanguageUsesJapanese();
    void realBox_data();
    void realBox();
    void realBoxEscapeCancels();
    void realBoxOwnedByMainWindow();
};

void TestMessageBox::table_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("messageIndex");
    QTest::addColumn<unsigned int>("flags");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("answers");
    for (const KindRow& k : kKinds) {
        for (const ButtonRow& b : kButtons) {
            for (int language = 0; language < 2; ++language) {
                for (const MessageRow& m : kMessages) {
                    const QString caption = QString::fromUtf8(language ? k.english : k.japanese);
                    QTest::addRow("kind%d-buttons%d-lang%d-%s", k.kind, b.code, language, m.name)
                        << k.kind << b.code << language << m.index << (k.icon | b.flag) << caption
                        << m.expected << b.answers;
                }
            }
        }
    }
}

void TestMessageBox::table() {
    QFETCH(int, kind);
    QFETCH(int, buttons);
    QFETCH(int, language);
    QFETCH(int, messageIndex);
    QFETCH(unsigned int, flags);
    QFETCH(QString, caption);
    QFETCH(QString, text);
    QFETCH(QList<int>, answers);

    MessageBoxRecorder recorder;
    const int result =
        ShowMessageBox(static_cast<unsigned char>(kind), static_cast<unsigned char>(buttons),
                       messageIndex, kArgument, language);
    QCOMPARE(recorder.count(), 1);
    const MessageBoxRequest& box = recorder.last();
    QCOMPARE(box.kind, kind);
    QCOMPARE(box.buttons, buttons);
    QCOMPARE(box.flags(), flags);
    QCOMPARE(box.caption, caption);
    QCOMPARE(box.text, text);
    QCOMPARE(box.answers, answers);
    // Nothing queued: the default (first) button answers.
    QCOMPARE(result, answers.constFirst());
}

void TestMessageBox::recorderAnswers() {
    MessageBoxRecorder recorder;
    recorder.queueAnswer(IDNO);
    recorder.queueAnswer(IDCANCEL);
    QCOMPARE(ShowMessageBox(2, 6, 0, QStringLiteral("save?"), 0), int(IDNO));
    QCOMPARE(ShowMessageBox(2, 6, 0, QStringLiteral("save?"), 0), int(IDCANCEL));
    QCOMPARE(recorder.pendingAnswers(), 0);
    QCOMPARE(ShowMessageBox(2, 6, 0, QStringLiteral("save?"), 0), int(IDYES));
    QCOMPARE(recorder.count(), 3);
}

void TestMessageBox::recorderRestoresPreviousHandler() {
    MessageBoxRecorder outer;
    {
        MessageBoxRecorder inner;
        ShowMessageBox(1, 2, 0, QStringLiteral("inner"), 0);
        QCOMPARE(inner.count(), 1);
    }
    ShowMessageBox(1, 2, 0, QStringLiteral("outer"), 0);
    QCOMPARE(outer.count(), 1);
    QCOMPARE(outer.last().text, QStringLiteral("outer"));
}

void TestMessageBox::unknownLanguageUsesJapanese() {
    MessageBoxRecorder recorder;
    ShowMessageBox(3, 2, 0, QStringLiteral("x"), 2);
    ShowMessageBox(3, 2, 0, QStringLiteral("x"), -1);
    QCOMPARE(recorder.records().at(0).caption, QString::fromUtf8("エラー"));
    QCOMPARE(recorder.records().at(1).caption, QString::fromUtf8("エラー"));
}

void TestMessageBox::realBox_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QList<QMessageBox::StandardButton>>("shown");
    QTest::addColumn<int>("click");
    QTest::addColumn<int>("expected");
    using SB = QMessageBox;
    QTest::newRow("error ok") << 3 << 2 << 0 << int(SB::Critical) << QString::fromUtf8("エラー")
                              << QList{SB::Ok} << int(SB::Ok) << int(IDOK);
    QTest::newRow("warning abort-retry-ignore: retry")
        << 0 << 0 << 0 << int(SB::Warning) << QString::fromUtf8("警告")
        << QList{SB::Abort, SB::Retry, SB::Ignore} << int(SB::Retry) << int(IDRETRY);
    QTest::newRow("warning abort-retry-ignore: ignore")
        << 0 << 0 << 1 << int(SB::Warning) << QStringLiteral("Warning")
        << QList{SB::Abort, SB::Retry, SB::Ignore} << int(SB::Ignore) << int(IDIGNORE);
    QTest::newRow("information help: help")
        << 1 << 1 << 1 << int(SB::Information) << QStringLiteral("Information")
        << QList{SB::Ok, SB::Help} << int(SB::Help) << int(IDHELP);
    QTest::newRow("question ok-cancel: cancel")
        << 2 << 3 << 0 << int(SB::Question) << QString::fromUtf8("確認")
        << QList{SB::Ok, SB::Cancel} << int(SB::Cancel) << int(IDCANCEL);
    QTest::newRow("question retry-cancel: retry")
        << 2 << 4 << 0 << int(SB::Question) << QString::fromUtf8("確認")
        << QList{SB::Retry, SB::Cancel} << int(SB::Retry) << int(IDRETRY);
    QTest::newRow("question yes-no: no")
        << 2 << 5 << 1 << int(SB::Question) << QStringLiteral("Question") << QList{SB::Yes, SB::No}
        << int(SB::No) << int(IDNO);
    QTest::newRow("question yes-no-cancel: yes")
        << 2 << 6 << 0 << int(SB::Question) << QString::fromUtf8("確認")
        << QList{SB::Yes, SB::No, SB::Cancel} << int(SB::Yes) << int(IDYES);
    QTest::newRow("kind 5 code 7: no icon, ok")
        << 5 << 7 << 0 << int(SB::NoIcon) << QString() << QList{SB::Ok} << int(SB::Ok) << int(IDOK);
}

void TestMessageBox::realBox() {
    QFETCH(int, kind);
    QFETCH(int, buttons);
    QFETCH(int, language);
    QFETCH(int, icon);
    QFETCH(QString, caption);
    QFETCH(QList<QMessageBox::StandardButton>, shown);
    QFETCH(int, click);
    QFETCH(int, expected);

    bool inspected = false;
    QString title, text;
    int seenIcon = -1;
    bool modal = false;
    QList<QMessageBox::StandardButton> seenButtons;
    whenBoxShown([&](QMessageBox* box) {
        inspected = true;
        title = box->windowTitle();
        text = box->text();
        seenIcon = box->icon();
        modal = box->isModal();
        seenButtons = standardButtonsOf(box);
        QAbstractButton* target = box->button(QMessageBox::StandardButton(click));
        if (target)
            target->click();
        else
            box->done(0);
    });
    const int result =
        ShowMessageBox(static_cast<unsigned char>(kind), static_cast<unsigned char>(buttons), 0,
                       QStringLiteral("the real box"), language);
    QVERIFY(inspected);
    QCOMPARE(title, caption);
    QCOMPARE(text, QStringLiteral("the real box"));
    QCOMPARE(seenIcon, icon);
    QVERIFY(modal);
    std::sort(shown.begin(), shown.end());
    QCOMPARE(seenButtons, shown);
    QCOMPARE(result, expected);
}

void TestMessageBox::realBoxEscapeCancels() {
    whenBoxShown([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    QCOMPARE(ShowMessageBox(2, 6, 0, QStringLiteral("save?"), 0), int(IDCANCEL));
    whenBoxShown([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    QCOMPARE(ShowMessageBox(1, 2, 0, QStringLiteral("done"), 0), int(IDOK));
}

void TestMessageBox::realBoxOwnedByMainWindow() {
    QWidget mainWindow;
    mainWindow.show();
    SetMessageBoxOwner(&mainWindow);
    QCOMPARE(MessageBoxOwner(), &mainWindow);
    QWidget* parent = nullptr;
    QString text;
    whenBoxShown([&](QMessageBox* box) {
        parent = box->parentWidget();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    QCOMPARE(ShowMessageBox(1, 2, 1, QStringLiteral("ignored"), 0), int(IDOK));
    QCOMPARE(parent, &mainWindow);
    QCOMPARE(text, kCanned);
    SetMessageBoxOwner(nullptr);
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
