#include "CmdMain.h"
#include "ColorBtn.h"
#include "HostileFiles.h"
#include "IniDocument.h"
#include "MessageBoxRecorder.h"
#include "PanelLayout.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

// The real main window started on a hostile settings file: it comes up without a box,
// with what the storage layer makes of the file, every widget within what a widget
// holds, and the exit writes a well-formed file that the next start reads the same.
class TestHostileSettings : public QObject {
    Q_OBJECT
private slots:
    void startAndExit_data();
    void startAndExit();
};

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QList<TColorBtn*> CommandButtons(const TCmdMain& panel) {
    QList<TColorBtn*> buttons;
    for (QObject* component : panel.Components())
        if (component->objectName().startsWith(QLatin1String("CB_")))
            buttons << qobject_cast<TColorBtn*>(component);
    return buttons;
}

bool WithinWidgetLimits(const QRect& r) {
    auto inside = [](int v) { return v >= -QWIDGETSIZE_MAX && v <= QWIDGETSIZE_MAX; };
    return inside(r.x()) && inside(r.y()) && r.width() >= 0 && r.height() >= 0 &&
           r.width() <= QWIDGETSIZE_MAX && r.height() <= QWIDGETSIZE_MAX;
}

} // namespace

void TestHostileSettings::startAndExit_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind : HostileKinds)
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestHostileSettings::startAndExit() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString settings = dir.filePath(QString::fromLatin1(SettingsFileName));
    {
        QFile file(settings);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray content = HostileContent(kind);
        QCOMPARE(file.write(content), content.size());
    }
    MessageBoxRecorder boxes;
    std::optional<PanelLayout> expected;
    {
        TCmdMain panel(dir.path());
        QCOMPARE(boxes.count(), 0);
        QVERIFY(panel.isVisible());
        expected = LoadLayout(settings, QGuiApplication::primaryScreen()->size());
        QVERIFY(expected.has_value());
        QCOMPARE(panel.Caption(), expected->caption);
        const QList<TColorBtn*> buttons = CommandButtons(panel);
        QCOMPARE(buttons.size(), qsizetype(expected->buttons.size()));
        // The frame stays where integer arithmetic holds.
        const QRect bounds = panel.PanelBounds();
        QVERIFY2(bounds.right() >= bounds.left() && bounds.bottom() >= bounds.top(),
                 qPrintable(QDebug::toString(bounds)));
        for (const TColorBtn* button : buttons)
            QVERIFY2(WithinWidgetLimits(button->geometry()), qPrintable(button->objectName()));

        QSignalSpy closed(&panel, &TCmdMain::Closed);
        panel.ExitBtn->trigger();
        QCOMPARE(closed.count(), 1);
    }
    const QByteArray saved = ReadAll(settings);
    const IniDocument document = IniDocument::fromBytes(saved);
    QCOMPARE(document.toBytes(), saved);
    QCOMPARE(document.sectionCount(), qsizetype(1 + expected->buttons.size()));

    TCmdMain again(dir.path());
    QCOMPARE(again.Caption(), expected->caption);
    QCOMPARE(CommandButtons(again).size(), qsizetype(expected->buttons.size()));
    QCOMPARE(boxes.count(), 0);
}

QTEST_MAIN(TestHostileSettings)
#include "tst_hostilesettings.moc"
