#include "BtnPrm.h"

#include "ColorBtn.h"
#include "ColorCombo.h"
#include "ColorDialog.h"
#include "CommandButtonValues.h"
#include "FileDialog.h"
#include "GeometryClamp.h"
#include "KeyCodes.h"
#include "KeyName.h"
#include "PadButtonName.h"
#include "PanelHost.h"
#include "PanelLayout.h"
#include "UiFont.h"

#include <QFocusEvent>
#include <QFont>
#include <QGuiApplication>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QScopedValueRollback>
#include <QScreen>
#include <optional>

namespace {

constexpr int LabelX = 0;
constexpr int FieldX = 76;
constexpr int FieldWidth = 132;
constexpr int RowHeight = 20;
constexpr int PortCount = 30;
constexpr int MotionCount = 80;
constexpr int ScenarioCount = 5;
static_assert(MotionCount + ScenarioCount - 1 == MaxPlayNumber);
constexpr int ListItemHeight = 12;
constexpr int VisibleListItems = 20;

constexpr int VkReturn = 13;
constexpr int VkEscape = 27;
constexpr int VkDelete = 46;

const QString PictureFilter = QStringLiteral(
    "画像ファイル (*.bmp;*.jpg;*.jpeg)|*.bmp;*.jpg;*.jpeg|ビットマップ (*.bmp)|*.bmp|"
    "JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg");

// A name this program does not know presses nothing, so it shows as none.
QString PadText(const QString& name) {
    return IsPadButtonName(name) || !PadPairParts(name).isEmpty() ? name : QStringLiteral("OFF");
}

// The lists of play numbers: "OFF", the motions, then the scenarios. An entry's index is
// its play number + 1.
void FillPlayList(QComboBox& list) {
    list.clear();
    list.addItem(QStringLiteral("OFF"));
    for (int motion = 1; motion <= MotionCount; ++motion)
        list.addItem(QStringLiteral("Motion%1").arg(motion));
    for (int scenario = 1; scenario <= ScenarioCount; ++scenario)
        list.addItem(QStringLiteral("Scenario%1").arg(scenario));
    list.setCurrentIndex(0);
}

// A number outside the list selects no entry.
void SelectPlayNumber(QComboBox& list, int number) {
    const int entry = number + 1;
    list.setCurrentIndex(entry >= 0 && entry < list.count() ? entry : -1);
}

// nullopt while no entry is selected (a number outside the list was loaded).
std::optional<int> SelectedPlayNumber(const QComboBox& list) {
    const int index = list.currentIndex();
    return index >= 0 ? std::optional<int>(index - 1) : std::nullopt;
}

} // namespace

TUnselectedEdit::TUnselectedEdit(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
}

void TUnselectedEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    deselect();
}

TBtnPrm::TBtnPrm(IPanelHost* host, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      m_host(host) {
    setObjectName(QStringLiteral("BtnPrm"));
    setWindowTitle(QStringLiteral("プロパティ"));
    setFont(UiFont());
    CreateComponents();
    setFixedSize(208, 337);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    FormCreate();
}

TBtnPrm::~TBtnPrm() {
    m_host = nullptr;
}

void TBtnPrm::CreateComponents() {
    NameEdit = AddField(Label3, "Label3", QStringLiteral("名前"), "NameEdit", 0);
    WidthEdit = AddField(Label2, "Label2", QStringLiteral("横幅"), "WidthEdit", 20);
    HeightEdit = AddField(Label1, "Label1", QStringLiteral("高さ"), "HeightEdit", 40);
    LeftEdit = AddField(Label4, "Label4", QStringLiteral("左から"), "LeftEdit", 60);
    TopEdit = AddField(Label5, "Label5", QStringLiteral("上から"), "TopEdit", 80);
    ColorCombo = new TColorComboBox(this);
    ColorCombo->setMaxVisibleItems(VisibleListItems);
    PlaceRow(Label6, "Label6", QStringLiteral("色"), ColorCombo, "ColorCombo", 100);
    MotionCombo =
        AddPlayList(MotionLabel, "MotionLabel", QStringLiteral("再生番号"), "MotionCombo", 120);
    ShortEdit = new TUnselectedEdit(this);
    PlaceRow(ShortLabel, "ShortLabel", QStringLiteral("ショートカット"), ShortEdit, "ShortEdit",
             140);
    PadEdit = new TUnselectedEdit(this);
    PlaceRow(PadLabel, "PadLabel", QStringLiteral("パッド"), PadEdit, "PadEdit", 160);
    BmpEdit = new TUnselectedEdit(this);
    PlaceRow(BmpLabel, "BmpLabel", QStringLiteral("背景画"), BmpEdit, "BmpEdit", 180);
    CommPort = new TCloseUpComboBox(this);
    CommPort->setItemDelegate(new TItemHeightDelegate(ListItemHeight, CommPort));
    CommPort->setMaxVisibleItems(VisibleListItems);
    PlaceRow(Label7, "Label7", QStringLiteral("シリアルポート"), CommPort, "CommPort", 200);
    // Below everything that was there before, so that no field moves from its place.
    CreateHoldFields();

    Panel1 = new QLabel(QStringLiteral("Vodazevivuzo3 06/08/11版"), this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setGeometry(0, 320, 208, 17);

    ColorDialog = new TColorDialog(QStringLiteral("ColorDialog"), this);
    OpenPictureDialog =
        new TFileDialog(TFileDialog::Kind::Open, QStringLiteral("OpenPictureDialog"), this);
    OpenPictureDialog->SetFilter(PictureFilter);
    OpenPictureDialog->SetPicturePreview(true);

    // Tab order follows the design's order, not the order on screen; the held button's and
    // the stop's fields come last, top to bottom.
    const QList<QWidget*> tabOrder{NameEdit,     LeftEdit,    WidthEdit,   HeightEdit,
                                   TopEdit,      ColorCombo,  MotionCombo, ShortEdit,
                                   PadEdit,      CommPort,    BmpEdit,     RepeatEdit,
                                   ReleaseCombo, StopKeyEdit, StopPadEdit, StopPlayCombo};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));
    ConnectFields();
}

// What a held button does, then the panel's stop.
void TBtnPrm::CreateHoldFields() {
    RepeatEdit =
        AddField(RepeatLabel, "RepeatLabel", QStringLiteral("リピート"), "RepeatEdit", 220);
    ReleaseCombo =
        AddPlayList(ReleaseLabel, "ReleaseLabel", QStringLiteral("離した時"), "ReleaseCombo", 240);
    StopKeyEdit = new TUnselectedEdit(this);
    PlaceRow(StopKeyLabel, "StopKeyLabel", QStringLiteral("停止キー"), StopKeyEdit, "StopKeyEdit",
             260);
    StopPadEdit = new TUnselectedEdit(this);
    PlaceRow(StopPadLabel, "StopPadLabel", QStringLiteral("停止パッド"), StopPadEdit, "StopPadEdit",
             280);
    StopPlayCombo = AddPlayList(StopPlayLabel, "StopPlayLabel", QStringLiteral("停止時の再生"),
                                "StopPlayCombo", 300);
}

void TBtnPrm::ConnectFields() {
    connect(NameEdit, &QLineEdit::textChanged, this, [this] { NameEditChange(); });
    connect(ColorCombo, &TCloseUpComboBox::CloseUp, this, [this] { ColorComboCloseUp(); });
    connect(MotionCombo, &TCloseUpComboBox::CloseUp, this, [this] { ComboCloseUp(); });
    connect(ReleaseCombo, &TCloseUpComboBox::CloseUp, this, [this] { ReleaseComboCloseUp(); });
    connect(StopPlayCombo, &TCloseUpComboBox::CloseUp, this, [this] { StopPlayComboCloseUp(); });
    connect(CommPort, &TCloseUpComboBox::CloseUp, this, [this] { CommPortCloseUp(); });
    // The child-key handler hears every key aimed at a control before the control does.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

void TBtnPrm::PlaceRow(QLabel*& label, const char* labelName, const QString& caption,
                       QWidget* field, const char* fieldName, int y) {
    label = new QLabel(caption, this);
    label->setObjectName(QLatin1String(labelName));
    label->setGeometry(LabelX, y + 4, FieldX - LabelX, 16);
    field->setObjectName(QLatin1String(fieldName));
    field->setGeometry(FieldX, y, FieldWidth, RowHeight);
}

QLineEdit* TBtnPrm::AddField(QLabel*& label, const char* labelName, const QString& caption,
                             const char* fieldName, int y) {
    auto* field = new QLineEdit(this);
    PlaceRow(label, labelName, caption, field, fieldName, y);
    return field;
}

TCloseUpComboBox* TBtnPrm::AddPlayList(QLabel*& label, const char* labelName,
                                       const QString& caption, const char* fieldName, int y) {
    auto* list = new TCloseUpComboBox(this);
    list->setItemDelegate(new TItemHeightDelegate(ListItemHeight, list));
    list->setMaxVisibleItems(VisibleListItems);
    PlaceRow(label, labelName, caption, list, fieldName, y);
    return list;
}

void TBtnPrm::FormCreate() {
    CommPort->clear();
    CommPort->addItem(QStringLiteral("PWT3"));
    for (int port = 1; port <= PortCount; ++port)
        CommPort->addItem(QStringLiteral("COM%1").arg(port));
    CommPort->setCurrentIndex(-1);

    ColorCombo->clear();
    for (int index = 0; index < ColorTableSize; ++index)
        ColorCombo->addItem(ColorTableName(index));
    ColorCombo->setCurrentIndex(0);

    for (QComboBox* list : {MotionCombo, ReleaseCombo, StopPlayCombo})
        FillPlayList(*list);

    ShortEdit->setText(KeyName(NoShortcut));
    PadEdit->setText(PadText(QString()));
    RepeatEdit->setText(QString::number(NoRepeat));
    StopKeyEdit->setText(KeyName(NoShortcut));
    StopPadEdit->setText(PadText(QString()));
}

// Every close of the list selects the link anew, also on the entry already selected.
void TBtnPrm::CommPortCloseUp() {
    emit LinkChosen(CommPort->currentIndex());
}

void TBtnPrm::ShowLink(int index) {
    CommPort->setCurrentIndex(index >= 0 && index <= PortCount ? index : -1);
}

int TBtnPrm::LinkIndex() const {
    return CommPort->currentIndex();
}

// The target of an edit: the selected button, or nullptr for the panel. A selection that
// names no button any more (a layout with fewer buttons was opened) drops the edit and
// shows the panel instead.
bool TBtnPrm::FindTarget(TColorBtn*& button) {
    button = nullptr;
    if (!m_host)
        return false;
    const QString name = m_host->SelectedName();
    if (name.isEmpty())
        return true;
    button = m_host->FindCommandButton(name);
    if (button)
        return true;
    ShowPanelProperties();
    return false;
}

// True when the panel itself is the target; a stale selection shows the panel and is false.
bool TBtnPrm::FindPanelTarget() {
    TColorBtn* button = nullptr;
    return FindTarget(button) && !button;
}

// The button's fields while a button is shown, the panel's while the panel is.
void TBtnPrm::EnableButtonFields(bool enabled) {
    for (QWidget* field : std::initializer_list<QWidget*>{MotionLabel, MotionCombo, ShortLabel,
                                                          ShortEdit, PadLabel, PadEdit, RepeatLabel,
                                                          RepeatEdit, ReleaseLabel, ReleaseCombo})
        field->setEnabled(enabled);
    for (QWidget* field :
         std::initializer_list<QWidget*>{BmpLabel, BmpEdit, StopKeyLabel, StopKeyEdit, StopPadLabel,
                                         StopPadEdit, StopPlayLabel, StopPlayCombo})
        field->setEnabled(!enabled);
}

void TBtnPrm::ShowButtonProperties() {
    if (!m_host)
        return;
    ++m_nameVisit;
    const TColorBtn* button = m_host->FindCommandButton(m_host->SelectedName());
    if (!button) {
        ShowPanelProperties();
        return;
    }
    const QScopedValueRollback<bool> loading(m_loading, true);
    setWindowTitle(button->Caption() + QStringLiteral("のプロパティ"));
    BmpEdit->clear();
    EnableButtonFields(true);
    NameEdit->setText(button->Caption());
    ShowGeometry(button->x(), button->y(), button->width(), button->height());
    SelectColor(button->Color());
    SelectPlayNumber(*MotionCombo, PlayNumber(*button));
    ShortEdit->setText(KeyName(ShortcutKey(*button)));
    PadEdit->setText(PadText(PadButton(*button)));
    RepeatEdit->setText(QString::number(RepeatInterval(*button)));
    SelectPlayNumber(*ReleaseCombo, ReleasePlay(*button));
    StopKeyEdit->clear();
    StopPadEdit->clear();
    StopPlayCombo->setCurrentIndex(-1);
}

void TBtnPrm::ShowPanelProperties() {
    if (!m_host)
        return;
    ++m_nameVisit;
    const QScopedValueRollback<bool> loading(m_loading, true);
    setWindowTitle(QStringLiteral("Formのプロパティ"));
    NameEdit->setText(m_host->PanelCaption());
    const QRect bounds = m_host->PanelBounds();
    ShowGeometry(bounds.x(), bounds.y(), bounds.width(), bounds.height());
    SelectColor(m_host->PanelColor());
    BmpEdit->setText(m_host->PanelBackgroundFile());
    EnableButtonFields(false);
    MotionCombo->setCurrentIndex(-1);
    ShortEdit->clear();
    PadEdit->clear();
    RepeatEdit->clear();
    ReleaseCombo->setCurrentIndex(-1);
    StopKeyEdit->setText(KeyName(m_host->PanelStopKey()));
    StopPadEdit->setText(PadText(m_host->PanelStopPad()));
    SelectPlayNumber(*StopPlayCombo, m_host->PanelStopPlay());
}

void TBtnPrm::ShowPanelSize(int width, int height) {
    // While a button is shown the fields are the button's.
    if (!m_host || !m_host->SelectedName().isEmpty())
        return;
    WidthEdit->setText(QString::number(width));
    HeightEdit->setText(QString::number(height));
}

void TBtnPrm::ShowPanelPosition(int left, int top) {
    if (!m_host || !m_host->SelectedName().isEmpty())
        return;
    TopEdit->setText(QString::number(top));
    LeftEdit->setText(QString::number(left));
}

void TBtnPrm::ShowGeometry(int left, int top, int width, int height) {
    WidthEdit->setText(QString::number(width));
    HeightEdit->setText(QString::number(height));
    LeftEdit->setText(QString::number(left));
    TopEdit->setText(QString::number(top));
}

// An unlisted colour selects the last entry and becomes the colour dialog's colour, so
// that choosing that entry again starts from it.
void TBtnPrm::SelectColor(TColor color) {
    const int index = ColorIndex(color);
    if (index == OtherColorIndex)
        ColorDialog->SetColor(color);
    ColorCombo->setCurrentIndex(index);
}

void TBtnPrm::ColorComboCloseUp() {
    const int index = ColorCombo->currentIndex();
    TColorBtn* button = nullptr;
    if (index < 0 || !FindTarget(button))
        return;
    TColor color = ColorTableValue(index);
    if (index == OtherColorIndex) {
        // Cancelling applies the dialog's colour all the same.
        ColorDialog->Execute(this);
        color = ColorDialog->Color();
        // The dialog ran the event loop, where the button may have gone: look it up again.
        if (!FindTarget(button))
            return;
    }
    if (button) {
        // Every selected button takes the colour, the one shown among them.
        QList<TColorBtn*> coloured{button};
        for (const QString& name : m_host->SelectedNames()) {
            TColorBtn* selected = m_host->FindCommandButton(name);
            if (selected && !coloured.contains(selected))
                coloured.append(selected);
        }
        for (TColorBtn* target : coloured) {
            target->SetColor(color);
            target->SetFontColor(ContrastTextColor(color));
        }
    } else {
        m_host->SetPanelColor(color, ContrastTextColor(color));
    }
    Applied();
}

void TBtnPrm::ComboCloseUp() {
    TColorBtn* button = nullptr;
    if (!FindTarget(button) || !button)
        return;
    // No entry selected (a play number outside the list was loaded): the number stays.
    if (const std::optional<int> number = SelectedPlayNumber(*MotionCombo))
        SetPlayNumber(*button, *number);
    Applied();
}

void TBtnPrm::ReleaseComboCloseUp() {
    TColorBtn* button = nullptr;
    if (!FindTarget(button) || !button)
        return;
    if (const std::optional<int> number = SelectedPlayNumber(*ReleaseCombo))
        SetReleasePlay(*button, *number);
    Applied();
}

void TBtnPrm::StopPlayComboCloseUp() {
    if (!FindPanelTarget())
        return;
    if (const std::optional<int> number = SelectedPlayNumber(*StopPlayCombo))
        m_host->SetPanelStopPlay(*number);
    Applied();
}

void TBtnPrm::NameEditChange() {
    TColorBtn* button = nullptr;
    if (m_loading || !FindTarget(button))
        return;
    if (button)
        button->SetCaption(NameEdit->text());
    else
        m_host->SetPanelCaption(NameEdit->text());
    // Everything typed in one visit of the field is one step.
    Applied(NameMergeKey + m_nameVisit);
}

// The shortcut and stop key fields take every key pressed in them, Enter, Escape and Tab
// included, which then go on to do their usual work.
void TBtnPrm::ChildKey(int keyCode) {
    if (keyCode == 0)
        return;
    TColorBtn* button = nullptr;
    if (ShortEdit->hasFocus()) {
        if (!FindTarget(button) || !button)
            return;
        SetShortcutKey(*button, keyCode);
        ShortEdit->setText(KeyName(keyCode));
        Applied();
    } else if (StopKeyEdit->hasFocus() && FindPanelTarget()) {
        m_host->SetPanelStopKey(keyCode);
        StopKeyEdit->setText(KeyName(keyCode));
        Applied();
    }
}

void TBtnPrm::PadButtonPressed(const QString& pressed) {
    QString name = pressed;
    for (const QString& held : std::as_const(m_padsHeld)) {
        if (held != pressed) {
            name = PadPairName(held, pressed);
            break;
        }
    }
    m_padsHeld.append(pressed);
    TColorBtn* button = nullptr;
    if (PadEdit->hasFocus()) {
        if (!FindTarget(button) || !button)
            return;
        SetPadButton(*button, name);
        PadEdit->setText(PadText(name));
        // A pair is captured through its first part: one step for the visit.
        Applied(PadMergeKey + m_nameVisit);
    } else if (StopPadEdit->hasFocus() && FindPanelTarget()) {
        m_host->SetPanelStopPad(name);
        StopPadEdit->setText(PadText(name));
        Applied(PadMergeKey + m_nameVisit);
    }
}

void TBtnPrm::PadButtonReleased(const QString& name) {
    m_padsHeld.removeOne(name);
}

void TBtnPrm::SizeEditKeyDown(int keyCode) {
    TColorBtn* button = nullptr;
    if (keyCode == VkReturn && FindTarget(button)) {
        if (button)
            ApplyButtonGeometry(*button);
        else
            ApplyPanelGeometry();
        Applied();
    }
    if (keyCode == VkEscape)
        ReloadTarget();
}

// Enter applies the interval alone; Escape discards it as the geometry fields' edits.
void TBtnPrm::RepeatEditKeyDown(int keyCode) {
    TColorBtn* button = nullptr;
    if (keyCode == VkReturn && FindTarget(button) && button) {
        // Text that is no number keeps the interval, as the geometry fields keep theirs.
        if (const std::optional<int> typed = FieldNumber(RepeatEdit->text()))
            SetRepeatInterval(*button, ClampRepeatInterval(*typed));
        RepeatEdit->setText(QString::number(RepeatInterval(*button)));
        Applied();
    }
    if (keyCode == VkEscape)
        ReloadTarget();
}

// Unapplied edits are discarded.
void TBtnPrm::ReloadTarget() {
    if (!m_host)
        return;
    if (m_host->SelectedName().isEmpty())
        ShowPanelProperties();
    else
        ShowButtonProperties();
}

void TBtnPrm::ApplyButtonGeometry(TColorBtn& button) {
    const GeometryFields fields{FieldNumber(WidthEdit->text()), FieldNumber(HeightEdit->text()),
                                FieldNumber(LeftEdit->text()), FieldNumber(TopEdit->text())};
    const Geometry applied =
        ClampButtonGeometry(button.geometry(), fields, m_host->PanelClientSize());
    button.setGeometry(applied.left, applied.top, applied.width, applied.height);
    ShowGeometry(applied.left, applied.top, applied.width, applied.height);
}

void TBtnPrm::ApplyPanelGeometry() {
    const GeometryFields fields{FieldNumber(WidthEdit->text()), FieldNumber(HeightEdit->text()),
                                FieldNumber(LeftEdit->text()), FieldNumber(TopEdit->text())};
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->size() : QSize();
    const Geometry applied = ClampPanelGeometry(m_host->PanelBounds(), fields, screenSize);
    m_host->SetPanelWidth(applied.width);
    m_host->SetPanelHeight(applied.height);
    m_host->SetPanelLeft(applied.left);
    m_host->SetPanelTop(applied.top);
    ShowGeometry(applied.left, applied.top, applied.width, applied.height);
}

void TBtnPrm::BmpEditKeyDown(int keyCode) {
    if (keyCode != VkDelete || !m_host || !m_host->SelectedName().isEmpty())
        return;
    BmpEdit->clear();
    m_host->SetPanelBackgroundFile(QString());
    m_host->ClearPanelBackground();
    Applied();
}

void TBtnPrm::BmpEditDblClick() {
    if (!m_host || !m_host->SelectedName().isEmpty())
        return;
    OpenPictureDialog->SetFileName(BmpEdit->text());
    if (!OpenPictureDialog->Execute(this) || !m_host)
        return;
    const QString fileName = OpenPictureDialog->FileName();
    if (!m_host->LoadPanelBackground(fileName))
        return; // an unreadable picture changes nothing and is not reported
    BmpEdit->setText(fileName);
    m_host->SetPanelBackgroundFile(fileName);
    Applied();
}

void TBtnPrm::ShortEditDblClick() {
    TColorBtn* button = nullptr;
    if (!FindTarget(button) || !button)
        return;
    SetShortcutKey(*button, NoShortcut);
    ShortEdit->setText(KeyName(NoShortcut));
    Applied();
}

void TBtnPrm::PadEditDblClick() {
    TColorBtn* button = nullptr;
    if (!FindTarget(button) || !button)
        return;
    SetPadButton(*button, QString());
    PadEdit->setText(PadText(QString()));
    Applied();
}

void TBtnPrm::StopKeyEditDblClick() {
    if (!FindPanelTarget())
        return;
    m_host->SetPanelStopKey(NoShortcut);
    StopKeyEdit->setText(KeyName(NoShortcut));
    Applied();
}

void TBtnPrm::StopPadEditDblClick() {
    if (!FindPanelTarget())
        return;
    m_host->SetPanelStopPad(QString());
    StopPadEdit->setText(PadText(QString()));
    Applied();
}

void TBtnPrm::Applied(int mergeKey) {
    if (m_host)
        m_host->CommitEdit(mergeKey);
}

bool TBtnPrm::eventFilter(QObject* watched, QEvent* event) {
    // A new visit of the caption field, or another target, starts a new step.
    if ((watched == NameEdit || watched == PadEdit || watched == StopPadEdit) &&
        event->type() == QEvent::FocusIn)
        ++m_nameVisit;
    if (event->type() == QEvent::KeyPress) {
        const int keyCode = VirtualKeyCode(*static_cast<QKeyEvent*>(event));
        ChildKey(keyCode);
        if (watched == WidthEdit || watched == HeightEdit || watched == LeftEdit ||
            watched == TopEdit || watched == ShortEdit || watched == StopKeyEdit)
            SizeEditKeyDown(keyCode);
        else if (watched == RepeatEdit)
            RepeatEditKeyDown(keyCode);
        else if (watched == BmpEdit)
            BmpEditKeyDown(keyCode);
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == ShortEdit)
            ShortEditDblClick();
        else if (watched == PadEdit)
            PadEditDblClick();
        else if (watched == StopKeyEdit)
            StopKeyEditDblClick();
        else if (watched == StopPadEdit)
            StopPadEditDblClick();
        else if (watched == BmpEdit)
            BmpEditDblClick();
    }
    return false; // the control goes on processing the event
}

void TBtnPrm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A hide the window system reports (e.g. minimising everything) is not a close.
    if (!event->spontaneous())
        FormHide();
}

void TBtnPrm::FormHide() {
    // Ups missed while hidden would leave names held for good.
    m_padsHeld.clear();
    if (m_host)
        m_host->SetEditMode(false);
}
