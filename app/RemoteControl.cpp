#include "RemoteControl.h"

#include "CmdMain.h"
#include "PanelRemote.h"
#include "RemoteDialog.h"
#include "RemoteServer.h"

#include <QHostAddress>
#include <QNetworkInterface>

#include <cstdio>

TRemoteControl::TRemoteControl(TCmdMain& panel, QObject* parent)
    : QObject(parent), m_panel(panel), m_remote(new TPanelRemote(panel, this)),
      m_server(new TRemoteServer(*m_remote, this)) {
    connect(m_remote, &TPanelRemote::Outcome, m_server, &TRemoteServer::NotifyOutcome);
    connect(m_remote, &TPanelRemote::PanelChanged, m_server, &TRemoteServer::NotifyPanelChanged);
}

TRemoteControl::~TRemoteControl() {
    m_server->Close();
}

void TRemoteControl::Start(const QString& settingsFile) {
    TFileResult result;
    m_settings = LoadRemoteSettings(settingsFile, &result);
    if (!m_settings.enabled)
        return;
    QString error;
    if (!Apply(m_settings, &error))
        std::fprintf(stderr, "リモート操作を開始できません: %s\n", qPrintable(error));
}

bool TRemoteControl::Apply(TRemoteSettings wanted, QString* error) {
    m_server->Close();
    if (wanted.enabled) {
        EnableRemote(wanted);
        if (!m_server->Listen(wanted, error)) {
            wanted.enabled = false;
            m_settings = wanted;
            return false;
        }
    }
    m_settings = wanted;
    return true;
}

bool TRemoteControl::IsListening() const {
    return m_server->IsListening();
}

QString TRemoteControl::PageAddress() const {
    if (!IsListening())
        return {};
    QString host = m_settings.address;
    // Listening on every interface, a phone reaches the first address of the network.
    if (QHostAddress(host) == QHostAddress::AnyIPv4) {
        host = QStringLiteral("127.0.0.1");
        for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
                host = address.toString();
                break;
            }
        }
    }
    return QStringLiteral("http://%1:%2/#token=%3")
        .arg(host)
        .arg(m_server->ServerPort())
        .arg(m_settings.token);
}

void TRemoteControl::WriteSection(IniDocument& doc) const {
    WriteRemoteSection(doc, m_settings);
}

void TRemoteControl::ShowDialog() {
    if (!m_dialog)
        m_dialog = new TRemoteDialog(*this, &m_panel);
    m_dialog->ShowSettings();
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}
