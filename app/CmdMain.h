#pragma once

#include "BtnPrm.h"
#include "CommDevice.h"
#include "PadInput.h"
#include "PanelEdits.h"
#include "PanelHost.h"
#include "ShiftState.h"
#include "SystemColors.h"
#include "WindowSystem.h"

#include <QImage>
#include <QList>
#include <QMargins>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class TFrameExtents;
class QMenu;
class TColorBtn;
class TShortcutFilter;
class TCommX;
class TEditKeys;
class TPadPairs;
class TRemoteControl;
class QKeyEvent;
class QRubberBand;
class IniDocument;

class TPanelLink;
class TPressControl;
class TFileDialog;
struct PanelButton;
struct PanelLayout;

// A component of the main window is a command button exactly when its name begins "CB_".
bool IsCommandButton(const QObject* component);
// The component name of the command button with that number, "CB_" + number.
QString CommandButtonName(int number);

// The command panel: the program's main window. It owns its menu, the link to the robot,
// the file dialogs, the background picture and every command button, and keeps the whole
// panel in the settings file beside the executable.
class TCmdMain : public QWidget, public IPanelHost, public IPanelState {
    Q_OBJECT
public:
    // settingsFolder: where the settings file lives; empty for the executable's folder.
    // device: the serial device, the termios one when none (tests give a fake).
    // Creating the window runs FormCreate, which restores the panel, and shows it.
    explicit TCmdMain(const QString& settingsFolder = QString(), QWidget* parent = nullptr,
                      std::unique_ptr<ICommDevice> device = {});
    ~TCmdMain() override;

    // The property editor is created after the main window; until then nothing is mirrored.
    // It shows and chooses the link, and the stored choice is selected once it is there.
    void SetEditor(TBtnPrm* editor);
    TBtnPrm* Editor() const { return m_editor; }

    // Components, in the order they were created. Raising a button does not change it.
    QList<QObject*> Components() const;
    QObject* FindComponent(const QString& name) const;
    // The command buttons among them, in the same order.
    QList<TColorBtn*> CommandButtons() const;

    QMenu* PopupMenu = nullptr;
    TCommX* CommX1 = nullptr;
    TFileDialog* OpenDialog = nullptr;
    TFileDialog* SaveDialog = nullptr;

    QAction* EditCheck = nullptr;
    QAction* N1 = nullptr;
    QAction* CreateButton = nullptr;
    QAction* DeleteButton = nullptr;
    QAction* N2 = nullptr;
    QAction* OpenBtn = nullptr;
    QAction* Save1 = nullptr;
    QAction* N3 = nullptr;
    QAction* ExitBtn = nullptr;
    QAction* N4 = nullptr;
    QAction* UndoBtn = nullptr;
    QAction* RedoBtn = nullptr;
    QAction* N5 = nullptr;
    QAction* RemoteBtn = nullptr;

    QImage BackgroundPicture;
    QString BackgroundFile;
    QPointer<TColorBtn> LastButton;
    int ButtonCounter = 0;
    QString SelectedButtonName;
    QPoint DragOrigin;

    // The window's own properties: the caption is the title-bar text, exactly; the
    // geometry is the outer frame on the screen.
    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& caption);
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int left);
    void SetTop(int top);
    void SetWidth(int width);
    void SetHeight(int height);

    bool EditMode() const;
    QString SettingsFilePath() const;

    // Handlers, named as the window's events.
    void FormCreate();
    void FormClose();
    void FormPaint(QPainter& canvas);
    void FormResize();
    void WMMove();
    void FormMouseDown();
    void WMNCLButtonDown();
    void EditCheckClick();
    void CreateButtonClick();
    void DeleteButtonClick();
    void OpenBtnClick();
    void Save1Click();
    void ExitBtnClick();
    void UndoClick();
    void RedoClick();

    // Command buttons: mouse, press and shortcut keys. X and Y are in the button.
    void ButtonMouseDown(TColorBtn* button, Qt::MouseButton mouseButton, TShiftState shift, int x,
                         int y);
    void ButtonMouseMove(TColorBtn* button, TShiftState shift, int x, int y);
    // A click on the button, and a key-down of a shortcut, as the inputs report them.
    void PressButton(TColorBtn* button);
    void DispatchShortcut(int keyCode);
    // A pad button, or a pair held together, presses the buttons that have it, as a
    // shortcut key does. In edit mode the pad's own buttons also go to the property editor,
    // which may be waiting for one.
    void PadButtonPressed(const QString& name);
    // A window message from another program; none needs an answer.
    void WindowMessage(quint32 message, qint32 wParam, qint32 lParam);

    // Storage, mapped to and from the widgets. False when the place could not be written.
    bool SaveLayout(const QString& fileName);
    // What else the settings file keeps, written after the panel whenever it is saved.
    void SetSettingsSections(std::function<void(IniDocument&)> write) {
        m_settingsSections = std::move(write);
    }
    // asLayout: a file the user chose to open, refused when it has no [Form] section.
    bool LoadLayout(const QString& fileName, bool asLayout = false);
    PanelLayout DescribePanel() const;

    // The link to the robot: the serial component and the motion editor.
    TPanelLink& Link() const { return *m_link; }
    // Every press and hold, whatever input it came from.
    TPressControl& Presses() const { return *m_presses; }
    // The window system through which the motion editor is found and told; tests give a fake.
    void SetWindowSystem(std::unique_ptr<IWindowSystem> windows);
    // Where pad presses come from; none until the program gives one.
    void SetPadInput(std::unique_ptr<TPadInput> input);

    // IPanelHost
    QString SelectedName() const override { return SelectedButtonName; }
    QStringList SelectedNames() const override { return m_selection; }
    TColorBtn* FindCommandButton(const QString& name) const override;
    QString PanelCaption() const override { return Caption(); }
    void SetPanelCaption(const QString& caption) override { SetCaption(caption); }
    QRect PanelBounds() const override;
    void SetPanelLeft(int left) override { SetLeft(left); }
    void SetPanelTop(int top) override { SetTop(top); }
    void SetPanelWidth(int width) override { SetWidth(width); }
    void SetPanelHeight(int height) override { SetHeight(height); }
    QSize PanelClientSize() const override { return size(); }
    TColor PanelColor() const override { return m_color; }
    void SetPanelColor(TColor color, TColor fontColor) override;
    QString PanelBackgroundFile() const override { return BackgroundFile; }
    void SetPanelBackgroundFile(const QString& fileName) override { BackgroundFile = fileName; }
    bool LoadPanelBackground(const QString& fileName) override;
    void ClearPanelBackground() override;
    int PanelStopKey() const override;
    void SetPanelStopKey(int keyCode) override;
    QString PanelStopPad() const override;
    void SetPanelStopPad(const QString& name) override;
    int PanelStopPlay() const override;
    void SetPanelStopPlay(int number) override;
    void SetEditMode(bool on) override;
    void CommitEdit(int mergeKey) override;

    // IPanelState
    TPanelSnapshot TakeSnapshot() const override;
    void RestoreSnapshot(const TPanelSnapshot& snapshot) override;
    // The edit history, kept across edit mode and saves.
    TPanelEdits& Edits() const { return *m_edits; }
    // Remote control: its settings, server and dialog.
    TRemoteControl& Remote() const { return *m_remote; }
    // The selected buttons' names; SelectedButtonName is the one clicked last.
    const QStringList& Selection() const { return m_selection; }

signals:
    // The window has closed and the settings file has been written: the program ends.
    void Closed();
    // The buttons or the panel changed: by an edit, an undo or redo, or a layout opened.
    void PanelChanged();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateComponents(std::unique_ptr<ICommDevice> device);
    void CreateMenu();
    QAction* AddMenuItem(const char* name, const QString& caption);
    void AddComponent(QObject* component);
    void RemoveCommandButtons();
    void RestoreButtons(const std::vector<TNamedButton>& buttons);
    void UpdatePadPairs();
    void UpdateUndoItems();
    void AbsorbOutsideGeometry();
    // Marks the selected buttons and shows the one clicked last, or the panel.
    void ShowSelection();
    QList<TColorBtn*> SelectedButtons() const;
    void MoveSelectionBy(QPoint delta);
    void ResizeSelectionBy(QSize delta);
    bool EditKey(const QKeyEvent& key, bool inPanel);
    bool CopyKey(int key, Qt::KeyboardModifiers mods);
    void DuplicateSelection();
    void CopySelection();
    void PasteButtons();
    void AddButtons(const std::vector<PanelButton>& buttons);
    TColorBtn* CreateCommandButton(const PanelButton& stored, const QString& name);
    void ApplyEditMode();
    bool IsOnCommandButton(const QMouseEvent& event) const;
    void SetButtonGeometry(TColorBtn& button, const QRect& geometry);
    // The outer geometry on the screen, as stored: the window manager's frame included.
    struct OuterGeometry {
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
    };
    void SetOuterGeometry(const OuterGeometry& outer);
    OuterGeometry CurrentOuterGeometry() const;
    void AdoptFrameMargins();
    QMargins FrameMargins() const;

    QString m_settingsFolder;
    TColor m_color;
    TColor m_fontColor;
    TPanelLink* m_link = nullptr;
    TPressControl* m_presses = nullptr;
    TPanelEdits* m_edits = nullptr;
    TRemoteControl* m_remote = nullptr;
    QStringList m_selection;
    bool m_dragging = false;
    std::function<void(IniDocument&)> m_settingsSections;
    TShortcutFilter* m_shortcuts = nullptr;
    TEditKeys* m_editKeys = nullptr;
    QRubberBand* m_band = nullptr;
    QPoint m_bandOrigin;
    std::unique_ptr<TPadInput> m_pads;
    TPadPairs* m_padPairs = nullptr;
    QPointer<TBtnPrm> m_editor;
    QList<QPointer<QObject>> m_components;
    TFrameExtents* m_frame = nullptr;
    // The outer geometry asked for while the window manager's frame is not known yet; it
    // is what the geometry reads give until then.
    OuterGeometry m_wanted;
    bool m_framePending = false;
};
