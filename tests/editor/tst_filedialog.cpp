#include "FileDialog.h"
#include "PicturePreview.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestFileDialog : public QObject {
    Q_OBJECT
private slots:
    void translateFilter_data();
    void translateFilter();
    void chosenFileUpdatesNameAndFilter();
    void cancelKeepsNameAndFilter();
    void requestDescribesTheDialog();
    void unansweredDialogIsCancelledAndCounted();
    void realDialogReportsTheChosenFileAndFilter_data();
    void realDialogReportsTheChosenFileAndFilter();
    void pictureDialogPreviewsTheSelectedFile_data();
    void pictureDialogPreviewsTheSelectedFile();

private:
    QTemporaryDir m_pictures;
};

void TestFileDialog::translateFilter_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("layout files and all files")
        << "Velmar Data(*.vmd)|*.VMD|All Files(*.*)|*.*"
        << QStringList{"Velmar Data(*.vmd) (*.VMD *.vmd)", "All Files(*.*) (*)"};
    QTest::newRow("several patterns")
        << "Pictures|*.bmp;*.JPG" << QStringList{"Pictures (*.bmp *.BMP *.JPG *.jpg)"};
    QTest::newRow("dangling description is dropped")
        << "Text|*.txt|Orphan" << QStringList{"Text (*.txt *.TXT)"};
    QTest::newRow("empty") << "" << QStringList{};
}

void TestFileDialog::translateFilter() {
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(TFileDialog::TranslateFilter(filter), expected);
}

void TestFileDialog::chosenFileUpdatesNameAndFilter() {
    TFileDialogAnswers answers;
    answers.Choose("/tmp/a/panel.txt", 2);
    TFileDialog dialog(TFileDialog::Kind::Save, "SaveDialog", nullptr);
    dialog.SetFilter("A|*.a|B|*.b");
    QVERIFY(dialog.Execute(nullptr));
    QCOMPARE(dialog.FileName(), QString("/tmp/a/panel.txt"));
    QCOMPARE(dialog.FilterIndex(), 2);
}

void TestFileDialog::cancelKeepsNameAndFilter() {
    TFileDialogAnswers answers;
    answers.Cancel();
    TFileDialog dialog(TFileDialog::Kind::Open, "OpenDialog", nullptr);
    dialog.SetFileName("before.vmd");
    dialog.SetFilterIndex(2);
    QVERIFY(!dialog.Execute(nullptr));
    QCOMPARE(dialog.FileName(), QString("before.vmd"));
    QCOMPARE(dialog.FilterIndex(), 2);
}

void TestFileDialog::requestDescribesTheDialog() {
    TFileDialogAnswers answers;
    answers.Cancel();
    answers.Cancel();
    TFileDialog save(TFileDialog::Kind::Save, "SaveDialog", nullptr);
    save.SetFilter("A|*.a|B|*.*");
    save.SetOverwritePrompt(true);
    save.SetFileName("x.a");
    TFileDialog open(TFileDialog::Kind::Open, "OpenDialog", nullptr);
    save.Execute(nullptr);
    open.Execute(nullptr);
    QCOMPARE(answers.Requests().size(), std::size_t(2));
    const FileDialogRequest& first = answers.Requests()[0];
    QVERIFY(first.save);
    QCOMPARE(first.objectName, QString("SaveDialog"));
    QCOMPARE(first.nameFilters, (QStringList{"A (*.a *.A)", "B (*)"}));
    QCOMPARE(first.fileName, QString("x.a"));
    QCOMPARE(first.filterIndex, 1);
    QVERIFY(first.confirmOverwrite);
    const FileDialogRequest& second = answers.Requests()[1];
    QVERIFY(!second.save);
    QVERIFY(!second.confirmOverwrite);
    QCOMPARE(answers.Unanswered(), 0);
}

void TestFileDialog::unansweredDialogIsCancelledAndCounted() {
    TFileDialogAnswers answers;
    TFileDialog dialog(TFileDialog::Kind::Open, "OpenDialog", nullptr);
    QVERIFY(!dialog.Execute(nullptr));
    QCOMPARE(answers.Unanswered(), 1);
}

void TestFileDialog::realDialogReportsTheChosenFileAndFilter_data() {
    QTest::addColumn<bool>("save");
    QTest::addColumn<int>("filterIndex");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("labels"); // as the list of file types shows them
    const QString layouts = "Velmar Data(*.vmd)|*.VMD|All Files(*.*)|*.*";
    const QStringList layoutLabels{"Velmar Data(*.vmd)", "All Files(*.*)"};
    QTest::newRow("save, all files") << true << 2 << layouts << layoutLabels;
    QTest::newRow("open, layout files, name that does not exist yet")
        << false << 1 << layouts << layoutLabels;
    QTest::newRow("open, pictures")
        << false << 2
        << "画像ファイル (*.bmp;*.jpg)|*.bmp;*.jpg|ビットマップ (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg"
        << QStringList{"画像ファイル (*.bmp;*.jpg)", "ビットマップ (*.bmp)", "JPEG (*.jpg)"};
}

// The Qt dialog itself, closed by the test as a user would close it.
void TestFileDialog::realDialogReportsTheChosenFileAndFilter() {
    QFETCH(bool, save);
    QFETCH(int, filterIndex);
    QFETCH(QString, filter);
    QFETCH(QStringList, labels);
    QTemporaryDir dir;
    const QString chosen = dir.filePath("new panel.vmd");
    TFileDialog dialog(save ? TFileDialog::Kind::Save : TFileDialog::Kind::Open, "Dialog", nullptr);
    dialog.SetFilter(filter);
    dialog.SetFileName(dir.filePath("earlier.vmd"));
    QStringList shownFilters;
    QStringList shownLabels;
    QString shownFolder;
    bool confirmOverwrite = true;
    // The dialog lists its folder in the background: choosing is repeated until it takes,
    // and a dialog that never closes is cancelled so the test fails instead of hanging.
    int attempts = 0;
    QTimer closer;
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, this, [&] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!shown)
            return;
        if (++attempts > 300) {
            shown->reject();
            return;
        }
        shownFilters = shown->nameFilters();
        shownLabels.clear();
        if (const auto* types = shown->findChild<QComboBox*>("fileTypeCombo"))
            for (int i = 0; i < types->count(); ++i)
                shownLabels << types->itemText(i);
        shownFolder = shown->directory().absolutePath();
        confirmOverwrite = !shown->testOption(QFileDialog::DontConfirmOverwrite);
        shown->selectNameFilter(shownFilters.value(filterIndex - 1));
        // Typed into the name field, as a user would.
        auto* nameField = shown->findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(nameField);
        nameField->setText(QFileInfo(chosen).fileName());
        QMetaObject::invokeMethod(shown, "accept");
    });
    closer.start();
    QVERIFY(dialog.Execute(nullptr));
    closer.stop();
    QCOMPARE(shownFilters, TFileDialog::TranslateFilter(dialog.Filter()));
    QCOMPARE(shownLabels, labels);
    QCOMPARE(confirmOverwrite, false);
    QCOMPARE(shownFolder, QDir(dir.path()).absolutePath());
    QCOMPARE(dialog.FileName(), chosen);
    QCOMPARE(dialog.FilterIndex(), filterIndex);
}

void TestFileDialog::pictureDialogPreviewsTheSelectedFile_data() {
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QSize>("presetPreview"); // empty: no picture shown
    QTest::addColumn<QSize>("selectedPreview");
    const QString data(TAPDECK_TEST_DATA "/storage/");
    const QString large = m_pictures.filePath("large.bmp");
    QImage picture(400, 200, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    QVERIFY(picture.save(large, "BMP"));
    QTest::newRow("bitmap preset, JPEG selected")
        << data + "picture.bmp" << data + "picture.jpg" << QSize(4, 3) << QSize(16, 8);
    QTest::newRow("nothing preset, a file that is no picture")
        << QString() << data + "not_a_picture.jpg" << QSize() << QSize();
    QTest::newRow("a large picture is scaled into the pane, keeping its proportions")
        << QString() << large << QSize() << QSize(160, 80);
    QTest::newRow("a folder") << data + "picture.jpg" << data << QSize(16, 8) << QSize();
}

// The real dialog: its preview pane follows the selected file.
void TestFileDialog::pictureDialogPreviewsTheSelectedFile() {
    QFETCH(QString, preset);
    QFETCH(QString, selected);
    QFETCH(QSize, presetPreview);
    QFETCH(QSize, selectedPreview);
    TFileDialog dialog(TFileDialog::Kind::Open, "OpenPictureDialog", nullptr);
    dialog.SetFilter("Pictures|*.bmp;*.jpg");
    dialog.SetPicturePreview(true);
    dialog.SetFileName(preset);
    bool seen = false;
    QSize shownFirst(-2, -2);
    QSize shownAfter(-2, -2);
    const auto shownSize = [](const QLabel* pane) {
        return pane->pixmap().isNull() ? QSize() : pane->pixmap().size();
    };
    QTimer closer;
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, this, [&] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!shown || seen)
            return;
        seen = true;
        auto* pane = shown->findChild<TPicturePreview*>();
        if (pane) {
            shownFirst = shownSize(pane);
            emit shown->currentChanged(selected);
            shownAfter = shownSize(pane);
        }
        shown->reject();
    });
    closer.start();
    QVERIFY(!dialog.Execute(nullptr));
    closer.stop();
    QVERIFY(seen);
    QCOMPARE(shownFirst, presetPreview);
    QCOMPARE(shownAfter, selectedPreview);
}

QTEST_MAIN(TestFileDialog)
#include "tst_filedialog.moc"
