#pragma once

#include <QString>
#include <QWidget>

class IPanelHost;
class QComboBox;
class TCloseUpComboBox;
class QLabel;
class QLineEdit;

// The property editor: a small stay-on-top tool window that shows the selected command
// button or the panel itself. It is visible exactly while edit mode is on; hiding it
// (its close box included) switches edit mode off.
class TBtnPrm : public QWidget {
    Q_OBJECT
public:
    // settingsFolder: where the settings file lives; empty for the executable's folder.
    explicit TBtnPrm(IPanelHost* host, const QString& settingsFolder = QString(),
                     QWidget* parent = nullptr);
    ~TBtnPrm() override;

    // Loads the fields from the selected button, or from the panel.
    void ShowButtonProperties();
    void ShowPanelProperties();

    // Selected entry of the port list: 0 the motion editor link, 1-30 COM1-COM30, -1 none.
    int LinkIndex() const;

    // Stops every call back into the host; the main window calls it before it goes.
    void DetachHost() { m_host = nullptr; }

    QLabel* Label3 = nullptr;
    QLineEdit* NameEdit = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* WidthEdit = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* HeightEdit = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* LeftEdit = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* TopEdit = nullptr;
    QLabel* BmpLabel = nullptr;
    QLineEdit* BmpEdit = nullptr;
    QLabel* Label7 = nullptr;
    TCloseUpComboBox* CommPort = nullptr;
    QLabel* Panel1 = nullptr;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void FormCreate();
    void FormHide();
    void LoadPortChoice(const QString& fileName);
    void CommPortCloseUp();
    QString SettingsFilePath() const;
    QLineEdit* AddField(QLabel*& label, const char* labelName, const QString& caption,
                        const char* fieldName, int y);

    IPanelHost* m_host;
    QString m_settingsFolder;
};
