#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TRemoteControl;

// "リモート操作": switches remote control on and off, where it listens and on which port,
// makes a new token, and shows the address to open on a phone, as text and as a QR code.
// It is no modal window: the panel goes on working beside it.
class TRemoteDialog : public QDialog {
    Q_OBJECT
public:
    TRemoteDialog(TRemoteControl& remote, QWidget* parent);

    // The fields from the settings as they are now.
    void ShowSettings();

    QCheckBox* EnabledCheck = nullptr;
    QRadioButton* LocalOnly = nullptr;
    QRadioButton* FromNetwork = nullptr;
    QComboBox* AddressList = nullptr;
    QSpinBox* PortEdit = nullptr;
    QPushButton* NewTokenButton = nullptr;
    QLineEdit* PageAddressEdit = nullptr;
    QLabel* QrLabel = nullptr;
    QLabel* Message = nullptr;

private:
    void Apply(bool newToken);
    QString ChosenAddress() const;

    TRemoteControl& m_remote;
    bool m_loading = false;
};
