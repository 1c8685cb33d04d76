#include "RemoteDialog.h"

#include "QrCode.h"
#include "RemoteControl.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const QString Loopback = QStringLiteral("127.0.0.1");
const QString AnyAddress = QStringLiteral("0.0.0.0");
constexpr int QrScale = 4;

} // namespace

TRemoteDialog::TRemoteDialog(TRemoteControl& remote, QWidget* parent)
    : QDialog(parent), m_remote(remote) {
    setObjectName(QStringLiteral("RemoteDialog"));
    setWindowTitle(QStringLiteral("リモート操作"));
    setMinimumWidth(360);
    auto* layout = new QVBoxLayout(this);
    EnabledCheck = new QCheckBox(QStringLiteral("リモート操作を使う"), this);
    layout->addWidget(EnabledCheck);
    LocalOnly = new QRadioButton(QStringLiteral("このコンピュータのみ"), this);
    FromNetwork = new QRadioButton(QStringLiteral("ネットワーク上の機器から"), this);
    auto* where = new QButtonGroup(this);
    where->addButton(LocalOnly);
    where->addButton(FromNetwork);
    layout->addWidget(LocalOnly);
    layout->addWidget(FromNetwork);
    AddressList = new QComboBox(this);
    AddressList->addItem(QStringLiteral("すべてのインターフェース"), AnyAddress);
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            AddressList->addItem(address.toString(), address.toString());
    }
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("アドレス"), AddressList);
    PortEdit = new QSpinBox(this);
    PortEdit->setRange(1, 65535);
    form->addRow(QStringLiteral("ポート"), PortEdit);
    layout->addLayout(form);
    NewTokenButton = new QPushButton(QStringLiteral("新しいトークン"), this);
    layout->addWidget(NewTokenButton);
    PageAddressEdit = new QLineEdit(this);
    PageAddressEdit->setReadOnly(true);
    layout->addWidget(PageAddressEdit);
    QrLabel = new QLabel(this);
    QrLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(QrLabel);
    Message = new QLabel(this);
    Message->setWordWrap(true);
    layout->addWidget(Message);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    connect(EnabledCheck, &QCheckBox::toggled, this, [this] { Apply(false); });
    connect(LocalOnly, &QRadioButton::toggled, this, [this] { Apply(false); });
    connect(AddressList, &QComboBox::activated, this, [this] { Apply(false); });
    connect(PortEdit, &QSpinBox::editingFinished, this, [this] { Apply(false); });
    connect(NewTokenButton, &QPushButton::clicked, this, [this] { Apply(true); });
}

QString TRemoteDialog::ChosenAddress() const {
    return LocalOnly->isChecked() ? Loopback : AddressList->currentData().toString();
}

void TRemoteDialog::Apply(bool newToken) {
    if (m_loading)
        return;
    TRemoteSettings wanted = m_remote.Settings();
    wanted.enabled = EnabledCheck->isChecked();
    wanted.address = ChosenAddress();
    wanted.port = static_cast<quint16>(PortEdit->value());
    if (newToken)
        wanted.token = NewRemoteToken();
    QString error;
    const bool applied = m_remote.Apply(wanted, &error);
    ShowSettings();
    if (!applied)
        Message->setText(QStringLiteral("リモート操作を開始できません: %1").arg(error));
}

void TRemoteDialog::ShowSettings() {
    const QScopedValueRollback<bool> loading(m_loading, true);
    const TRemoteSettings& settings = m_remote.Settings();
    EnabledCheck->setChecked(settings.enabled);
    const bool local = QHostAddress(settings.address).isLoopback();
    LocalOnly->setChecked(local);
    FromNetwork->setChecked(!local);
    const int index = AddressList->findData(settings.address);
    if (!local)
        AddressList->setCurrentIndex(index >= 0 ? index : 0);
    AddressList->setEnabled(!local);
    PortEdit->setValue(settings.port);
    NewTokenButton->setEnabled(settings.enabled);
    const QString address = m_remote.PageAddress();
    PageAddressEdit->setText(address);
    PageAddressEdit->setCursorPosition(0);
    QrLabel->setPixmap(address.isEmpty() ? QPixmap()
                                         : QPixmap::fromImage(QrCodeImage(address, QrScale)));
    Message->setText(settings.enabled ? QStringLiteral("次のアドレスを開いてください")
                                      : QStringLiteral("リモート操作は切れています"));
}
