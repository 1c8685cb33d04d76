#include "BtnPrm.h"

#include "ColorBtn.h"
#include "ColorCombo.h"
#include "ColorDialog.h"
#include "FileDialog.h"
#include "GeometryClamp.h"
#include "KeyCodes.h"
#include "KeyName.h"
#include "PadButtonName.h"
#include "PanelHost.h"
#include "UiFont.h"

#include <QFocusEvent>
#include <QFont>
#include <QGuiApplication>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QScopedValueRollback>
#include <QScreen>

namespace {

constexpr int LabelX = 0;
constexpr int FieldX = 76;
constexpr int FieldWidth = 132;
constexpr int RowHeight = 20;
constexpr int PortCount = 30;
constexpr int MotionCount = 80;
constexpr int ScenarioCount = 5;
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
    return IsPadButtonName(name) ? name : QStringLiteral("OFF");
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
    setFixedSize(208, 237);
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
    MotionCombo = new TCloseUpComboBox(this);
    MotionCombo->setItemDelegate(new TItemHeightDelegate(ListItemHeight, MotionCombo));
    MotionCombo->setMaxVisibleItems(VisibleListItems);
    PlaceRow(MotionLabel, "MotionLabel", QStringLiteral("再生番号"), MotionCombo, "MotionCombo",
             120);
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

    Panel1 = new QLabel(QStringLiteral("Vodazevivuzo3 06/08/11版"), this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setGeometry(0, 220, 208, 17);

    ColorDialog = new TColorDialog(QStringLiteral("ColorDialog"), this);
    OpenPictureDialog =
        new TFileDialog(TFileDialog::Kind::Open, QStringLiteral("OpenPictureDialog"), this);
    OpenPictureDialog->SetFilter(PictureFilter);
    OpenPictureDialog->SetPicturePreview(true);

    // Tab order follows the design's order, not the order on screen.
    const QList<QWidget*> tabOrder{NameEdit, LeftEdit,   WidthEdit,   HeightEdit,
                                   TopEdit,  ColorCombo, MotionCombo, ShortEdit,
                                   PadEdit,  CommPort,   BmpEdit};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));

    connect(NameEdit, &QLineEdit::textChanged, this, [this] { NameEditChange(); });
    connect(ColorCombo, &TCloseUpComboBox::CloseUp, this, [this] { ColorComboCloseUp(); });
    connect(MotionCombo, &TCloseUpComboBox::CloseUp, this, [this] { ComboCloseUp(); });
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

    MotionCombo->clear();
    MotionCombo->addItem(QStringLiteral("OFF"));
    for (int motion = 1; motion <= MotionCount; ++motion)
        MotionCombo->addItem(QStringLiteral("Motion%1").arg(motion));
    for (int scenario = 1; scenario <= ScenarioCount; ++scenario)
        MotionCombo->addItem(QStringLiteral("Scenario%1").arg(scenario));
    MotionCombo->setCurrentIndex(0);

    ShortEdit->setText(KeyName(-1));
    PadEdit->setText(PadText(QString()));
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

void TBtnPrm::ShowButtonProperties() {
    if (!m_host)
        return;
    const TColorBtn* button = m_host->FindCommandButton(m_host->SelectedName());
    if (!button) {
        ShowPanelProperties();
        return;
    }
    const QScopedValueRollback<bool> loading(m_loading, true);
    setWindowTitle(button->Caption() + QStringLiteral("のプロパティ"));
    BmpEdit->clear();
    BmpEdit->setEnabled(false);
    BmpLabel->setEnabled(false);
    for (QWidget* enabled : std::initializer_list<QWidget*>{MotionLabel, MotionCombo, ShortLabel,
                                                            ShortEdit, PadLabel, PadEdit})
        enabled->setEnabled(true);
    NameEdit->setText(button->Caption());
    ShowGeometry(button->x(), button->y(), button->width(), button->height());
    SelectColor(button->Color());
    const int entry = button->Tag() + 1;
    MotionCombo->setCurrentIndex(entry >= 0 && entry < MotionCombo->count() ? entry : -1);
    ShortEdit->setText(KeyName(button->Param1()));
    PadEdit->setText(PadText(button->Param2()));
}

void TBtnPrm::ShowPanelProperties() {
    if (!m_host)
        return;
    const QScopedValueRollback<bool> loading(m_loading, true);
    setWindowTitle(QStringLiteral("Formのプロパティ"));
    NameEdit->setText(m_host->PanelCaption());
    const QRect bounds = m_host->PanelBounds();
    ShowGeometry(bounds.x(), bounds.y(), bounds.width(), bounds.height());
    SelectColor(m_host->PanelColor());
    BmpEdit->setText(m_host->PanelBackgroundFile());
    BmpEdit->setEnabled(true);
    BmpLabel->setEnabled(true);
    MotionCombo->setCurrentIndex(-1);
    MotionLabel->setEnabled(false);
    MotionCombo->setEnabled(false);
    ShortEdit->clear();
    ShortEdit->setEnabled(false);
    ShortLabel->setEnabled(false);
    PadEdit->clear();
    PadEdit->setEnabled(false);
    PadLabel->setEnabled(false);
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
        button->SetColor(color);
        button->SetFontColor(ContrastTextColor(color));
    } else {
        m_host->SetPanelColor(color, ContrastTextColor(color));
    }
}

void TBtnPrm::ComboCloseUp() {
    TColorBtn* button = nullptr;
    if (!FindTarget(button) || !button)
        return;
    // No entry selected (a play number outside the list was loaded): the number stays.
    const int index = MotionCombo->currentIndex();
    if (index >= 0)
        button->SetTag(index - 1);
}

void TBtnPrm::NameEditChange() {
    TColorBtn* button = nullptr;
    if (m_loading || !FindTarget(button))
        return;
    if (button)
        button->SetCaption(NameEdit->text());
    else
        m_host->SetPanelCaption(NameEdit->text());
}

// The shortcut field takes every key pressed in it, Enter, Escape and Tab included, which
// then go on to do their usual work.
void TBtnPrm::ChildKey(int keyCode) {
    if (!ShortEdit->hasFocus() || keyCode == 0)
        return;
    TColorBtn* button = nullptr;
    if (!FindTarget(button) || !button)
        return;
    button->SetParam1(keyCode);
    ShortEdit->setText(KeyName(keyCode));
}

void TBtnPrm::PadButtonPressed(const QString& name) {
    TColorBtn* button = nullptr;
    if (!PadEdit->hasFocus() || !FindTarget(button) || !button)
        return;
    button->SetParam2(name);
    PadEdit->setText(PadText(name));
}

void TBtnPrm::SizeEditKeyDown(int keyCode) {
    TColorBtn* button = nullptr;
    if (keyCode == VkReturn && FindTarget(button)) {
        if (button)
            ApplyButtonGeometry(*button);
        else
            ApplyPanelGeometry();
    }
    if (keyCode == VkEscape && m_host) {
        // Unapplied edits are discarded.
        if (m_host->SelectedName().isEmpty())
            ShowPanelProperties();
        else
            ShowButtonProperties();
    }
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
}

void TBtnPrm::ShortEditDblClick() {
    TColorBtn* button = nullptr;
    if (!FindTarget(button) || !button)
        return;
    button->SetParam1(-1);
    ShortEdit->setText(KeyName(-1));
}

void TBtnPrm::PadEditDblClick() {
    TColorBtn* button = nullptr;
    if (!FindTarget(button) || !button)
        return;
    button->SetParam2(QString());
    PadEdit->setText(PadText(QString()));
}

bool TBtnPrm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int keyCode = VirtualKeyCode(*static_cast<QKeyEvent*>(event));
        ChildKey(keyCode);
        if (watched == WidthEdit || watched == HeightEdit || watched == LeftEdit ||
            watched == TopEdit || watched == ShortEdit)
            SizeEditKeyDown(keyCode);
        else if (watched == BmpEdit)
            BmpEditKeyDown(keyCode);
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == ShortEdit)
            ShortEditDblClick();
        else if (watched == PadEdit)
            PadEditDblClick();
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
    if (m_host)
        m_host->SetEditMode(false);
}
