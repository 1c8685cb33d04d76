#pragma once

#include "RemoteSettings.h"

#include <QObject>

class IniDocument;
class TCmdMain;
class TPanelRemote;
class TRemoteDialog;
class TRemoteServer;

// Remote control of the panel: its settings, kept in the settings file, the server that
// listens while it is switched on, and the dialog that switches it.
class TRemoteControl : public QObject {
    Q_OBJECT
public:
    explicit TRemoteControl(TCmdMain& panel, QObject* parent = nullptr);
    ~TRemoteControl() override;

    // The settings file's [Remote]; listens when it is switched on there. A port that is
    // taken leaves it off, said on standard error.
    void Start(const QString& settingsFile);
    // Switches to these settings: listens on their address and port when enabled, else
    // closes. False when it cannot listen, with the reason; remote control is then off.
    bool Apply(TRemoteSettings wanted, QString* error);
    const TRemoteSettings& Settings() const { return m_settings; }
    bool IsListening() const;
    // The address a phone opens, the token in its fragment; empty while off.
    QString PageAddress() const;
    void WriteSection(IniDocument& doc) const;

    void ShowDialog();
    TRemoteDialog* Dialog() const { return m_dialog; }
    TRemoteServer& Server() const { return *m_server; }

private:
    TCmdMain& m_panel;
    TPanelRemote* m_remote = nullptr;
    TRemoteServer* m_server = nullptr;
    TRemoteSettings m_settings;
    TRemoteDialog* m_dialog = nullptr; // a child of the panel
};
