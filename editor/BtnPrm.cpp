#include "BtnPrm.h"

#include "CloseUpComboBox.h"
#include "ColorBtn.h"
#include "PanelHost.h"
#include "PanelLayout.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

namespace {

constexpr int LabelX = 0;
constexpr int FieldX = 76;
constexpr int FieldWidth = 132;
constexpr int RowHeight = 20;
constexpr int PortCount = 30;

} // namespace

TBtnPrm::TBtnPrm(IPanelHost* host, const QString& settingsFolder, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      m_host(host), m_settingsFolder(settingsFolder) {
    setObjectName(QStringLiteral("BtnPrm"));
    setWindowTitle(QStringLiteral("プロパティ"));
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPixelSize(12);
    setFont(font);

    // Tab order follows the design's order, not the order on screen.
    NameEdit = AddField(Label3, "Label3", QStringLiteral("名前"), "NameEdit", 0);
    WidthEdit = AddField(Label2, "Label2", QStringLiteral("横幅"), "WidthEdit", 20);
    HeightEdit = AddField(Label1, "Label1", QStringLiteral("高さ"), "HeightEdit", 40);
    LeftEdit = AddField(Label4, "Label4", QStringLiteral("左から"), "LeftEdit", 60);
    TopEdit = AddField(Label5, "Label5", QStringLiteral("上から"), "TopEdit", 80);
    BmpEdit = AddField(BmpLabel, "BmpLabel", QStringLiteral("背景画"), "BmpEdit", 160);
    BmpEdit->setReadOnly(true);

    Label7 = new QLabel(QStringLiteral("シリアルポート"), this);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setGeometry(LabelX, 184, FieldX - LabelX, 16);
    CommPort = new TCloseUpComboBox(this);
    CommPort->setObjectName(QStringLiteral("CommPort"));
    connect(CommPort, &TCloseUpComboBox::CloseUp, this, [this] { CommPortCloseUp(); });
    CommPort->setGeometry(FieldX, 180, FieldWidth, RowHeight);
    CommPort->setMaxVisibleItems(20);

    Panel1 = new QLabel(QStringLiteral("Vodazevivuzo3 06/08/11版"), this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setGeometry(0, 200, 208, 17);

    setTabOrder(NameEdit, LeftEdit);
    setTabOrder(LeftEdit, WidthEdit);
    setTabOrder(WidthEdit, HeightEdit);
    setTabOrder(HeightEdit, TopEdit);
    setTabOrder(TopEdit, CommPort);
    setTabOrder(CommPort, BmpEdit);

    setFixedSize(208, 217);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    FormCreate();
}

TBtnPrm::~TBtnPrm() {
    m_host = nullptr;
}

QLineEdit* TBtnPrm::AddField(QLabel*& label, const char* labelName, const QString& caption,
                             const char* fieldName, int y) {
    label = new QLabel(caption, this);
    label->setObjectName(QLatin1String(labelName));
    label->setGeometry(LabelX, y + 4, FieldX - LabelX, 16);
    auto* field = new QLineEdit(this);
    field->setObjectName(QLatin1String(fieldName));
    field->setGeometry(FieldX, y, FieldWidth, RowHeight);
    return field;
}

void TBtnPrm::FormCreate() {
    CommPort->clear();
    CommPort->addItem(QStringLiteral("PWT3"));
    for (int port = 1; port <= PortCount; ++port)
        CommPort->addItem(QStringLiteral("COM%1").arg(port));
    CommPort->setCurrentIndex(-1);
    LoadPortChoice(SettingsFilePath());
    CommPortCloseUp();
}

void TBtnPrm::LoadPortChoice(const QString& fileName) {
    const std::optional<int> choice = ::LoadPortChoice(fileName);
    if (!choice)
        return; // the place cannot be written: the box was shown, the list keeps no selection
    CommPort->setCurrentIndex(*choice >= 0 && *choice <= PortCount ? *choice : -1);
}

// Every close of the list selects the link anew, also on the entry already selected.
void TBtnPrm::CommPortCloseUp() {
    if (!m_host)
        return;
    m_host->ResetMotionEditorWindow();
    m_host->SelectLink(CommPort->currentIndex());
}

QString TBtnPrm::SettingsFilePath() const {
    const QString folder =
        m_settingsFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_settingsFolder;
    return QDir(folder).filePath(QLatin1String(SettingsFileName));
}

int TBtnPrm::LinkIndex() const {
    return CommPort->currentIndex();
}

void TBtnPrm::ShowButtonProperties() {
    if (!m_host)
        return;
    const TColorBtn* button = m_host->FindCommandButton(m_host->SelectedName());
    if (!button)
        return; // the name no longer names a button: nothing to show
    setWindowTitle(button->Caption() + QStringLiteral("のプロパティ"));
    BmpEdit->clear();
    BmpEdit->setEnabled(false);
    BmpLabel->setEnabled(false);
    NameEdit->setText(button->Caption());
    WidthEdit->setText(QString::number(button->width()));
    HeightEdit->setText(QString::number(button->height()));
    LeftEdit->setText(QString::number(button->x()));
    TopEdit->setText(QString::number(button->y()));
}

void TBtnPrm::ShowPanelProperties() {
    if (!m_host)
        return;
    setWindowTitle(QStringLiteral("Formのプロパティ"));
    NameEdit->setText(m_host->PanelCaption());
    const QRect bounds = m_host->PanelBounds();
    WidthEdit->setText(QString::number(bounds.width()));
    HeightEdit->setText(QString::number(bounds.height()));
    LeftEdit->setText(QString::number(bounds.left()));
    TopEdit->setText(QString::number(bounds.top()));
    BmpEdit->setText(m_host->PanelBackgroundFile());
    BmpEdit->setEnabled(true);
    BmpLabel->setEnabled(true);
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
