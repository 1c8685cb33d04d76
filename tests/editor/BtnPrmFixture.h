#pragma once

// The panel and the editor beside it, shared by the property editor's test classes.

#include "BtnPrm.h"
#include "ColorBtn.h"
#include "CommandButtonValues.h"
#include "PanelHost.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <memory>

class FakePanel : public IPanelHost {
public:
    QString SelectedName() const override { return selected; }
    QStringList SelectedNames() const override { return {selected}; }
    TColorBtn* FindCommandButton(const QString& name) const override {
        return button && button->objectName() == name ? button.get() : nullptr;
    }
    QString PanelCaption() const override { return caption; }
    void SetPanelCaption(const QString& text) override { caption = text; }
    QRect PanelBounds() const override { return bounds; }
    void SetPanelLeft(int left) override { bounds.moveLeft(left); }
    void SetPanelTop(int top) override { bounds.moveTop(top); }
    void SetPanelWidth(int width) override { bounds.setWidth(width); }
    void SetPanelHeight(int height) override { bounds.setHeight(height); }
    QSize PanelClientSize() const override { return clientSize; }
    TColor PanelColor() const override { return color; }
    void SetPanelColor(TColor value, TColor font) override {
        color = value;
        fontColor = font;
    }
    QString PanelBackgroundFile() const override { return backgroundFile; }
    void SetPanelBackgroundFile(const QString& fileName) override { backgroundFile = fileName; }
    bool LoadPanelBackground(const QString& fileName) override {
        loadedPictures.append(fileName);
        return QFile::exists(fileName);
    }
    void ClearPanelBackground() override { ++clearedPictures; }
    int PanelStopKey() const override { return stopKey; }
    void SetPanelStopKey(int keyCode) override { stopKey = keyCode; }
    QString PanelStopPad() const override { return stopPad; }
    void SetPanelStopPad(const QString& name) override { stopPad = name; }
    int PanelStopPlay() const override { return stopPlay; }
    void SetPanelStopPlay(int number) override { stopPlay = number; }
    void SetEditMode(bool on) override { editModeCalls.append(on); }
    void CommitEdit(int mergeKey) override { commits.append(mergeKey); }

    QString selected;
    int stopKey = -1;
    QString stopPad;
    int stopPlay = -1;
    std::unique_ptr<TColorBtn> button;
    QString caption = "Panel";
    QRect bounds{200, 100, 320, 240};
    QSize clientSize{304, 201};
    TColor color = clBtnFace;
    TColor fontColor = clWindowText;
    QString backgroundFile = "/pictures/back.bmp";
    QStringList loadedPictures;
    int clearedPictures = 0;
    QList<bool> editModeCalls;
    QList<int> commits;
};

// An editor beside a fake panel holding one button, CB_1 "Walk" at 10,20, 80 x 30, red,
// Motion5, shortcut F (70), on a client area 320 x 240. The editor is shown and active, so
// that its fields can take the focus, and loaded from the button or from the panel.
class EditorFixture {
public:
    explicit EditorFixture(bool panelSelected = false) {
        panel.clientSize = QSize(320, 240);
        panel.button = std::make_unique<TColorBtn>();
        button = panel.button.get();
        button->setObjectName("CB_1");
        button->SetCaption("Walk");
        button->setGeometry(10, 20, 80, 30);
        button->SetColor(0x000000FF);
        button->SetFontColor(clWhite);
        SetPlayNumber(*button, 4);
        SetShortcutKey(*button, 70);
        panel.selected = panelSelected ? QString() : QString("CB_1");
        editor = std::make_unique<TBtnPrm>(&panel);
        if (panelSelected)
            editor->ShowPanelProperties();
        else
            editor->ShowButtonProperties();
    }

    // False when the window system gave the editor no focus.
    bool Show() {
        editor->show();
        editor->activateWindow();
        return QTest::qWaitForWindowActive(editor.get());
    }

    QLineEdit* Field(const QString& name) const { return editor->findChild<QLineEdit*>(name); }

    // Keys as the window system delivers them: to the window, which hands them to its focus.
    void Type(const QList<QKeyCombination>& keys) const {
        for (const QKeyCombination& key : keys)
            QTest::keyClick(editor->windowHandle(), key.key(), key.keyboardModifiers());
    }

    // Drops the list, selects an entry and closes the list, as a click on that entry does.
    static void ChooseEntry(QComboBox* list, int index) {
        list->showPopup();
        list->setCurrentIndex(index);
        list->hidePopup();
        QCoreApplication::processEvents();
    }

    FakePanel panel;
    TColorBtn* button = nullptr;
    std::unique_ptr<TBtnPrm> editor;
};

inline QStringList GeometryTexts(const TBtnPrm& editor) {
    return {editor.WidthEdit->text(), editor.HeightEdit->text(), editor.LeftEdit->text(),
            editor.TopEdit->text()};
}
