#include "CmdMain.h"

#include "BtnPrm.h"
#include "ButtonStore.h"
#include "ColorBtn.h"
#include "CommX.h"
#include "CommandButtonValues.h"
#include "EditKeys.h"
#include "FileDialog.h"
#include "FileReport.h"
#include "FrameExtents.h"
#include "LayoutFileName.h"
#include "MessageBox.h"
#include "PanelEdits.h"
#include "PanelLayout.h"
#include "PanelLink.h"
#include "PressControl.h"
#include "RemoteControl.h"
#include "ShortcutFilter.h"
#include "UiFont.h"
#include "WindowMessageReceiver.h"
#include "WindowTitle.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace {

const QString LayoutFilter = QStringLiteral("Velmar Data(*.vmd)|*.VMD|All Files(*.*)|*.*");
const QString CommandButtonPrefix = QStringLiteral("CB_");
constexpr int DesignWidth = 320;
constexpr int DesignHeight = 240;
constexpr int NewButtonWidth = 80;
constexpr int NewButtonHeight = 30;
// How long the start waits for the window manager to tell the frame it will draw.
constexpr int FrameRequestTimeoutMs = 1000;

QSize ScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(DesignWidth, DesignHeight);
}

// The client extent for an outer one; a stored size smaller than the frame, down to the
// most negative integer, gives the smallest window rather than wrapping around.
int ClientExtent(int outer, int frame) {
    return static_cast<int>(qMax<qint64>(1, qint64(outer) - frame));
}

} // namespace

bool IsCommandButton(const QObject* component) {
    return component && component->objectName().startsWith(CommandButtonPrefix);
}

QString CommandButtonName(int number) {
    return CommandButtonPrefix + QString::number(number);
}

TCmdMain::TCmdMain(const QString& settingsFolder, QWidget* parent,
                   std::unique_ptr<ICommDevice> device)
    : QWidget(parent, Qt::Window), m_settingsFolder(settingsFolder), m_color(clBtnFace),
      m_fontColor(clWindowText) {
    setObjectName(QStringLiteral("CmdMain"));
    SetCaption(QStringLiteral("Tapdeck"));
    setFont(UiFont());
    SetPanelColor(m_color, m_fontColor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // With the native window in place, a frame the platform knows in advance is counted
    // in the outer size from the start.
    create();
    // Under a window manager that reports its frames, the stored outer geometry waits for
    // the frame before it is given to the window.
    m_frame = new TFrameExtents(this);
    m_framePending = m_frame->Reported();
    connect(m_frame, &TFrameExtents::Changed, this, [this] { AdoptFrameMargins(); });
    SetWidth(DesignWidth);
    SetHeight(DesignHeight);
    CreateComponents(std::move(device));
    m_shortcuts = new TShortcutFilter(
        this, [this](int keyCode, bool autoRepeat) { m_presses->KeyDown(keyCode, autoRepeat); },
        [this](int keyCode) { m_presses->KeyUp(keyCode); });
    // Installed after the shortcuts, the edit keys are heard before them.
    m_editKeys = new TEditKeys(
        this, [this](const QKeyEvent& key, bool inPanel) { return EditKey(key, inPanel); });
    auto* messages = new TWindowMessageReceiver(this);
    connect(messages, &TWindowMessageReceiver::Received, this, &TCmdMain::WindowMessage);
    SetMessageBoxOwner(this);
    SetMessageBoxTitleWriter(SetExactWindowTitle);
    FormCreate();
    m_edits->Start();
    UpdateUndoItems();
    // Off unless the settings file switches it on; it keeps its section there.
    m_remote = new TRemoteControl(*this, this);
    m_remote->Start(SettingsFilePath());
    SetSettingsSections([this](IniDocument& doc) { m_remote->WriteSection(doc); });
    // Asked for before mapping, the frame is known when the window first appears, which
    // then stands where it was left without moving; else it is adopted once it is framed.
    if (m_framePending && m_frame->Request(FrameRequestTimeoutMs))
        AdoptFrameMargins();
    show();
}

TCmdMain::~TCmdMain() {
    if (m_editor)
        m_editor->DetachHost();
    if (MessageBoxOwner() == this)
        SetMessageBoxOwner(nullptr);
}

void TCmdMain::CreateComponents(std::unique_ptr<ICommDevice> device) {
    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    AddComponent(PopupMenu);
    CreateMenu();

    m_link = new TPanelLink(this, std::move(device));
    m_presses = new TPressControl(*m_link, {}, this);
    connect(EditCheck, &QAction::toggled, m_presses, &TPressControl::SetEditMode);
    m_edits = new TPanelEdits(*this, this);
    connect(m_edits, &TPanelEdits::Changed, this, [this] { UpdateUndoItems(); });
    connect(EditCheck, &QAction::toggled, this, [this] {
        UpdateUndoItems();
        ShowSelection();
    });
    CommX1 = &m_link->Comm();
    AddComponent(CommX1);

    OpenDialog = new TFileDialog(TFileDialog::Kind::Open, QStringLiteral("OpenDialog"), this);
    OpenDialog->SetFilter(LayoutFilter);
    AddComponent(OpenDialog);

    SaveDialog = new TFileDialog(TFileDialog::Kind::Save, QStringLiteral("SaveDialog"), this);
    SaveDialog->SetFilter(LayoutFilter);
    SaveDialog->SetOverwritePrompt(true);
    AddComponent(SaveDialog);
}

QAction* TCmdMain::AddMenuItem(const char* name, const QString& caption) {
    QAction* item =
        caption == QLatin1String("-") ? PopupMenu->addSeparator() : PopupMenu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    return item;
}

void TCmdMain::CreateMenu() {
    EditCheck = AddMenuItem("EditCheck", QStringLiteral("編集"));
    EditCheck->setCheckable(true);
    N1 = AddMenuItem("N1", QStringLiteral("-"));
    CreateButton = AddMenuItem("CreateButton", QStringLiteral("ボタンの作成"));
    DeleteButton = AddMenuItem("DeleteButton", QStringLiteral("削除"));
    N2 = AddMenuItem("N2", QStringLiteral("-"));
    OpenBtn = AddMenuItem("OpenBtn", QStringLiteral("開く"));
    Save1 = AddMenuItem("Save1", QStringLiteral("保存"));
    N3 = AddMenuItem("N3", QStringLiteral("-"));
    ExitBtn = AddMenuItem("ExitBtn", QStringLiteral("終了"));
    N4 = AddMenuItem("N4", QStringLiteral("-"));
    UndoBtn = AddMenuItem("UndoBtn", QStringLiteral("元に戻す"));
    RedoBtn = AddMenuItem("RedoBtn", QStringLiteral("やり直し"));
    N5 = AddMenuItem("N5", QStringLiteral("-"));
    RemoteBtn = AddMenuItem("RemoteBtn", QStringLiteral("リモート操作"));

    // Choosing the checkable item has already inverted its mark.
    connect(EditCheck, &QAction::triggered, this, [this] { ApplyEditMode(); });
    connect(CreateButton, &QAction::triggered, this, [this] { CreateButtonClick(); });
    connect(DeleteButton, &QAction::triggered, this, [this] { DeleteButtonClick(); });
    connect(OpenBtn, &QAction::triggered, this, [this] { OpenBtnClick(); });
    connect(Save1, &QAction::triggered, this, [this] { Save1Click(); });
    connect(ExitBtn, &QAction::triggered, this, [this] { ExitBtnClick(); });
    connect(UndoBtn, &QAction::triggered, this, [this] { UndoClick(); });
    connect(RedoBtn, &QAction::triggered, this, [this] { RedoClick(); });
    connect(RemoteBtn, &QAction::triggered, this, [this] { m_remote->ShowDialog(); });
    connect(PopupMenu, &QMenu::aboutToShow, this, [this] { UpdateUndoItems(); });
}

void TCmdMain::AddComponent(QObject* component) {
    m_components.append(component);
}

QList<QObject*> TCmdMain::Components() const {
    QList<QObject*> live;
    for (const QPointer<QObject>& component : m_components) {
        if (component)
            live.append(component.data());
    }
    return live;
}

QList<TColorBtn*> TCmdMain::CommandButtons() const {
    QList<TColorBtn*> buttons;
    for (const QPointer<QObject>& component : m_components) {
        if (auto* button = qobject_cast<TColorBtn*>(component.data());
            button && IsCommandButton(button))
            buttons.append(button);
    }
    return buttons;
}

QObject* TCmdMain::FindComponent(const QString& name) const {
    if (name.isEmpty())
        return nullptr;
    for (const QPointer<QObject>& component : m_components) {
        if (component && component->objectName() == name)
            return component.data();
    }
    return nullptr;
}

TColorBtn* TCmdMain::FindCommandButton(const QString& name) const {
    return IsCommandButton(FindComponent(name)) ? qobject_cast<TColorBtn*>(FindComponent(name))
                                                : nullptr;
}

void TCmdMain::SetEditor(TBtnPrm* editor) {
    m_editor = editor;
    m_editKeys->SetEditor(editor);
    if (!editor)
        return;
    connect(editor, &TBtnPrm::LinkChosen, m_link, &TPanelLink::ChooseLink);
    connect(m_link, &TPanelLink::LinkShown, editor, &TBtnPrm::ShowLink);
    m_link->RestoreLink(SettingsFilePath());
}

// --- properties --------------------------------------------------------------------------

void TCmdMain::SetCaption(const QString& caption) {
    SetExactWindowTitle(*this, caption);
}

void TCmdMain::SetColor(TColor color) {
    m_color = color;
    update();
}

void TCmdMain::SetPanelColor(TColor color, TColor fontColor) {
    m_fontColor = fontColor;
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, ResolveColor(fontColor));
    setPalette(colours);
    SetColor(color);
}

bool TCmdMain::LoadPanelBackground(const QString& fileName) {
    if (!::LoadBackground(fileName, BackgroundPicture))
        return false;
    repaint();
    return true;
}

void TCmdMain::ClearPanelBackground() {
    BackgroundPicture = QImage();
    repaint();
}

void TCmdMain::SetWindowSystem(std::unique_ptr<IWindowSystem> windows) {
    m_link->SetWindowSystem(std::move(windows));
}

int TCmdMain::Left() const {
    return CurrentOuterGeometry().left;
}
int TCmdMain::Top() const {
    return CurrentOuterGeometry().top;
}
int TCmdMain::Width() const {
    return CurrentOuterGeometry().width;
}
int TCmdMain::Height() const {
    return CurrentOuterGeometry().height;
}

void TCmdMain::SetLeft(int left) {
    OuterGeometry outer = CurrentOuterGeometry();
    outer.left = WidgetPosition(left);
    SetOuterGeometry(outer);
}
void TCmdMain::SetTop(int top) {
    OuterGeometry outer = CurrentOuterGeometry();
    outer.top = WidgetPosition(top);
    SetOuterGeometry(outer);
}
void TCmdMain::SetWidth(int width) {
    OuterGeometry outer = CurrentOuterGeometry();
    outer.width = width;
    SetOuterGeometry(outer);
}
void TCmdMain::SetHeight(int height) {
    OuterGeometry outer = CurrentOuterGeometry();
    outer.height = height;
    SetOuterGeometry(outer);
}

TCmdMain::OuterGeometry TCmdMain::CurrentOuterGeometry() const {
    if (m_framePending)
        return m_wanted;
    const QMargins frame = FrameMargins();
    const QRect client = geometry();
    return {client.x() - frame.left(), client.y() - frame.top(),
            client.width() + frame.left() + frame.right(),
            client.height() + frame.top() + frame.bottom()};
}

// The client geometry is set, never a frame position: what Qt takes a move for depends on
// what it knows of the frame at that moment.
void TCmdMain::SetOuterGeometry(const OuterGeometry& outer) {
    m_wanted = outer;
    // Until the frame is known the client stands for the whole window.
    const QMargins frame = m_framePending ? QMargins() : FrameMargins();
    const QRect client(outer.left + frame.left(), outer.top + frame.top(),
                       ClientExtent(outer.width, frame.left() + frame.right()),
                       ClientExtent(outer.height, frame.top() + frame.bottom()));
    // A size alone is no move.
    if (client.topLeft() == geometry().topLeft())
        resize(client.size());
    else
        setGeometry(client);
    // The reads give what the window got.
    if (m_framePending)
        m_wanted = {outer.left, outer.top, width(), height()};
}

QMargins TCmdMain::FrameMargins() const {
    if (m_frame && m_frame->Reported())
        return m_frame->Current().value_or(QMargins());
    const QWindow* window = windowHandle();
    return window ? window->frameMargins() : QMargins();
}

// Once, when the window manager first tells its frame: the outer geometry asked for so far
// becomes the client's. Later frames and sizes are the manager's or the user's, and stay.
void TCmdMain::AdoptFrameMargins() {
    if (!m_framePending || !m_frame->Current())
        return;
    m_framePending = false;
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    SetOuterGeometry(m_wanted);
}

QRect TCmdMain::PanelBounds() const {
    return QRect(Left(), Top(), Width(), Height());
}

bool TCmdMain::EditMode() const {
    return EditCheck->isChecked();
}

void TCmdMain::SetEditMode(bool on) {
    EditCheck->setChecked(on);
}

QString TCmdMain::SettingsFilePath() const {
    return ::SettingsFilePath(m_settingsFolder);
}

// --- storage -------------------------------------------------------------------------------

PanelLayout TCmdMain::DescribePanel() const {
    PanelLayout layout;
    layout.comm = m_link->LinkIndex();
    layout.caption = Caption();
    layout.top = Top();
    layout.left = Left();
    layout.width = Width();
    layout.height = Height();
    layout.color = m_color;
    layout.backgroundFile = BackgroundFile;
    layout.stopKey = m_presses->Stop().key;
    layout.stopPad = m_presses->Stop().pad;
    layout.stopPlay = m_presses->Stop().play;
    for (const TColorBtn* button : CommandButtons()) {
        layout.buttons.push_back(StoredButton(*button));
    }
    layout.buttonCounter = static_cast<int>(layout.buttons.size());
    return layout;
}

bool TCmdMain::SaveLayout(const QString& fileName) {
    TFileResult result;
    // A layout the user saves is the panel alone; the settings file keeps more.
    const bool settings = fileName == SettingsFilePath();
    if (::SaveLayout(fileName, DescribePanel(), &result,
                     settings ? m_settingsSections : std::function<void(IniDocument&)>()))
        return true;
    ReportFileFailure(result);
    return false;
}

bool TCmdMain::LoadLayout(const QString& fileName, bool asLayout) {
    TFileResult result;
    const std::optional<PanelLayout> layout = asLayout
                                                  ? ::OpenLayout(fileName, ScreenSize(), &result)
                                                  : ::LoadLayout(fileName, ScreenSize(), &result);
    if (!layout) {
        // The place cannot be written, or the file is no layout: the panel stays.
        ReportFileFailure(result);
        return false;
    }
    RemoveCommandButtons();
    SetCaption(layout->caption);
    SetWidth(layout->width);
    SetHeight(layout->height);
    SetTop(layout->top);
    SetLeft(layout->left);
    SetColor(layout->color);
    BackgroundFile = layout->backgroundFile;
    m_presses->SetStop({layout->stopKey, layout->stopPad, layout->stopPlay});
    ButtonCounter = layout->buttonCounter;
    const int count = static_cast<int>(layout->buttons.size());
    for (int i = 0; i < count; ++i)
        LastButton = CreateCommandButton(layout->buttons[static_cast<std::size_t>(i)],
                                         CommandButtonPrefix + QString::number(count - i));
    UpdatePadPairs();
    return true;
}

void TCmdMain::RemoveCommandButtons() {
    for (QObject* component : Components()) {
        if (IsCommandButton(component))
            delete component;
    }
    m_components.removeAll(QPointer<QObject>());
}

TColorBtn* TCmdMain::CreateCommandButton(const PanelButton& stored, const QString& name) {
    auto* button = new TColorBtn(this);
    PanelButton shown = stored;
    shown.fontColor = ContrastTextColor(stored.color);
    ApplyStoredButton(*button, shown);
    button->SetButtonStyle(bsStd);
    button->setObjectName(name);
    button->SetFocusline(false);
    connect(button, &QPushButton::clicked, m_presses, [this, button] { m_presses->Click(button); });
    m_presses->AddButton(button);
    // Mouse-downs, moves and ups reach the panel before the button.
    button->installEventFilter(this);
    button->setMouseTracking(true);
    button->show();
    AddComponent(button);
    return button;
}

// --- handlers ------------------------------------------------------------------------------

void TCmdMain::FormCreate() {
    BackgroundPicture = QImage();
    LoadLayout(SettingsFilePath());
    // An empty path or an unreadable picture leaves the panel without one.
    ::LoadBackground(BackgroundFile, BackgroundPicture);
    update();
}

void TCmdMain::FormClose() {
    CommX1->Close();
    // A settings file that cannot be written has been reported; the program ends all the same.
    SaveLayout(SettingsFilePath());
}

void TCmdMain::FormPaint(QPainter& canvas) {
    if (!BackgroundPicture.isNull())
        canvas.drawImage(QPoint(0, 0), BackgroundPicture);
}

void TCmdMain::FormResize() {
    AbsorbOutsideGeometry();
    if (!EditMode() || !SelectedButtonName.isEmpty() || !m_editor)
        return;
    m_editor->ShowPanelSize(Width(), Height());
}

void TCmdMain::WMMove() {
    AbsorbOutsideGeometry();
    if (!EditMode() || !SelectedButtonName.isEmpty() || !m_editor)
        return;
    m_editor->ShowPanelPosition(Left(), Top());
}

void TCmdMain::FormMouseDown() {
    SelectedButtonName.clear();
    m_selection.clear();
    ShowSelection();
    if (m_editor)
        m_editor->ShowPanelProperties();
}

void TCmdMain::WMNCLButtonDown() {
    SelectedButtonName.clear();
    m_selection.clear();
    ShowSelection();
    if (m_editor)
        m_editor->ShowPanelProperties();
}

void TCmdMain::EditCheckClick() {
    EditCheck->setChecked(!EditCheck->isChecked());
    ApplyEditMode();
}

void TCmdMain::ApplyEditMode() {
    if (!m_editor)
        return;
    if (EditMode())
        m_editor->show();
    else
        m_editor->hide();
}

void TCmdMain::CreateButtonClick() {
    SetEditMode(true);
    ApplyEditMode();
    ++ButtonCounter;
    const int number = ButtonCounter;
    // The whole difference between outer and client size is taken off, so the corner
    // lands by the right and bottom frame's thickness left of and above the pointer.
    const QPoint pointer = QCursor::pos();
    int left = pointer.x() - Left() - (Width() - width());
    if (width() < left + NewButtonWidth)
        left = width() - NewButtonWidth;
    int top = pointer.y() - Top() - (Height() - height());
    if (height() < top + NewButtonHeight)
        top = height() - NewButtonHeight;
    PanelButton fresh;
    fresh.caption = QStringLiteral("Button%1").arg(number);
    fresh.left = left;
    fresh.top = top;
    LastButton = CreateCommandButton(fresh, CommandButtonPrefix + QString::number(number));
    LastButton->SetFontColor(clBlack);
    SelectedButtonName = LastButton->objectName();
    m_selection = {SelectedButtonName};
    ShowSelection();
    CommitEdit(TPanelEdits::NoMerge);
}

void TCmdMain::DeleteButtonClick() {
    if (SelectedButtonName.isEmpty())
        return;
    QStringList doomed = m_selection;
    if (!doomed.contains(SelectedButtonName))
        doomed.append(SelectedButtonName);
    for (const QString& name : doomed)
        delete FindCommandButton(name);
    m_components.removeAll(QPointer<QObject>());
    SelectedButtonName.clear();
    m_selection.clear();
    if (m_editor)
        m_editor->ShowPanelProperties();
    CommitEdit(TPanelEdits::NoMerge);
}

void TCmdMain::OpenBtnClick() {
    if (!OpenDialog->Execute(this))
        return;
    // The picture on screen stays until it is chosen again or the program restarts.
    if (!LoadLayout(OpenDialog->FileName(), true))
        return;
    // The selected button may not be in the new layout, or be another button by that name.
    SelectedButtonName.clear();
    m_selection.clear();
    if (m_editor)
        m_editor->ShowPanelProperties();
    CommitEdit(TPanelEdits::NoMerge);
}

void TCmdMain::Save1Click() {
    if (!SaveDialog->Execute(this))
        return;
    const QString chosen = SaveDialog->FileName();
    QString fileName = chosen;
    if (SaveDialog->FilterIndex() == 1) {
        fileName = WithLayoutExtension(chosen);
        SaveDialog->SetFileName(fileName);
    }
    // The dialog asked about the name as chosen; a different existing file is not
    // overwritten without the same question.
    if (fileName != chosen && QFileInfo::exists(fileName) &&
        ShowMessageBox(MessageKindQuestion, MessageButtonsYesNo, 0,
                       QStringLiteral("%1 は既に存在します。\n上書きしますか？")
                           .arg(QDir::toNativeSeparators(fileName)),
                       0) != IDYES)
        return;
    SaveLayout(fileName);
}

void TCmdMain::ExitBtnClick() {
    close();
}

// --- events ----------------------------------------------------------------------------------

bool TCmdMain::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::NonClientAreaMouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            WMNCLButtonDown();
        break;
    case QEvent::WindowDeactivate:
        // The key that holds a button may come up where the panel does not hear it.
        m_presses->EndKeyHolds();
        break;
    case QEvent::WindowBlocked:
        m_presses->EndAllHolds();
        break;
    case QEvent::WindowActivate: {
        // X11 frames belong to the window manager, which reports no clicks on them. A click
        // on the title bar or frame of an inactive window shows up as its activation with
        // the pointer on the frame.
        const QPoint pointer = QCursor::pos();
        const QRect client(mapToGlobal(QPoint(0, 0)), size());
        if (PanelBounds().contains(pointer) && !client.contains(pointer))
            WMNCLButtonDown();
        break;
    }
    default:
        break;
    }
    return QWidget::event(event);
}

void TCmdMain::paintEvent(QPaintEvent*) {
    QPainter canvas(this);
    canvas.fillRect(rect(), ResolveColor(m_color));
    FormPaint(canvas);
}

void TCmdMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TCmdMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    WMMove();
}

// A press a command button leaves to its parent (any but the left button) is the
// button's, not the panel's.
bool TCmdMain::IsOnCommandButton(const QMouseEvent& event) const {
    for (QWidget* w = childAt(event.position().toPoint()); w && w != this; w = w->parentWidget()) {
        if (IsCommandButton(w))
            return true;
    }
    return false;
}

void TCmdMain::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (IsOnCommandButton(*event))
        return;
    FormMouseDown();
    // In edit mode a drag from an empty spot selects what its band touches.
    if (EditMode() && event->button() == Qt::LeftButton) {
        if (!m_band)
            m_band = new QRubberBand(QRubberBand::Rectangle, this);
        m_bandOrigin = event->position().toPoint();
        m_band->setGeometry(QRect(m_bandOrigin, QSize()));
        m_band->show();
    }
}

void TCmdMain::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    if (m_band && m_band->isVisible())
        m_band->setGeometry(QRect(m_bandOrigin, event->position().toPoint()).normalized());
}

void TCmdMain::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (!m_band || !m_band->isVisible() || event->button() != Qt::LeftButton)
        return;
    m_band->hide();
    const QRect band = QRect(m_bandOrigin, event->position().toPoint()).normalized();
    m_selection.clear();
    for (const TColorBtn* button : CommandButtons()) {
        if (button->geometry().intersects(band))
            m_selection.append(button->objectName());
    }
    // The editor shows the newest of them.
    SelectedButtonName = m_selection.isEmpty() ? QString() : m_selection.back();
    ShowSelection();
}

// The second press of a double click: the double click, then the press itself.
void TCmdMain::mouseDoubleClickEvent(QMouseEvent* event) {
    if (IsOnCommandButton(*event))
        return;
    if (event->button() == Qt::LeftButton)
        EditCheckClick();
    FormMouseDown();
}

void TCmdMain::contextMenuEvent(QContextMenuEvent* event) {
    PopupMenu->popup(event->globalPos());
    event->accept();
}

void TCmdMain::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
    emit Closed();
}
