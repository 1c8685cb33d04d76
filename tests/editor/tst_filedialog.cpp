#include "FileDialog.h"

#include <QApplication>
#include <QTest>

class TestFileDialog : public QObject {
    Q_OBJECT
private slots:
    void translateFilter_data();
    void translateFilter();
    void chosenFileUpdatesNameAndFilter();
    void cancelKeepsNameAndFilter();
    void requestDescribesTheDialog();
    void unansweredDialogIsCancelledAndCounted();
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

QTEST_MAIN(TestFileDialog)
#include "tst_filedialog.moc"
