#pragma once

#include "CloseUpComboBox.h"
#include "SystemColors.h"

#include <QLineEdit>
#include <QString>
#include <QStringList>
#include <QWidget>

class IPanelHost;
class QLabel;
class TColorBtn;
class TColorComboBox;
class TColorDialog;
class TFileDialog;

// A read-only field that keeps its text unselected when it gains the focus.
class TUnselectedEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TUnselectedEdit(QWidget* parent);

protected:
    void focusInEvent(QFocusEvent* event) override;
};

// The property editor: a small stay-on-top tool window that shows the selected command
// button or the panel itself. It is visible exactly while edit mode is on; hiding it
// (its close box included) switches edit mode off.
class TBtnPrm : public QWidget {
    Q_OBJECT
public:
    explicit TBtnPrm(IPanelHost* host, QWidget* parent = nullptr);
    ~TBtnPrm() override;

    // Loads the fields from the selected button, or from the panel. A selection that names
    // no button any more loads the panel.
    void ShowButtonProperties();
    void ShowPanelProperties();

    // The entry the port list shows: 0 the motion editor link, 1-30 COM1-COM30, -1 none.
    int LinkIndex() const;
    // Shows the chosen link in the port list; chooses nothing.
    void ShowLink(int index);

    // A pad button went down: while the pad field has the focus it becomes the selected
    // button's pad button, while the stop pad field has it the panel's stop pad. Going down
    // while another is held, it makes the pair of the two, the one held first first
    // (Back+Start). Every up is wanted, also outside edit mode, to know what is held.
    void PadButtonPressed(const QString& name);
    void PadButtonReleased(const QString& name);

    // The panel's new outer size or position, written into the geometry fields while the
    // panel is shown (while a button is, nothing happens); the main window calls them when
    // it is resized or moved in edit mode. Nothing is applied.
    void ShowPanelSize(int width, int height);
    void ShowPanelPosition(int left, int top);

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
    QLabel* Label6 = nullptr;
    TColorComboBox* ColorCombo = nullptr;
    QLabel* MotionLabel = nullptr;
    TCloseUpComboBox* MotionCombo = nullptr;
    QLabel* ShortLabel = nullptr;
    QLineEdit* ShortEdit = nullptr;
    QLabel* PadLabel = nullptr;
    QLineEdit* PadEdit = nullptr;
    QLabel* RepeatLabel = nullptr;
    QLineEdit* RepeatEdit = nullptr;
    QLabel* ReleaseLabel = nullptr;
    TCloseUpComboBox* ReleaseCombo = nullptr;
    QLabel* StopKeyLabel = nullptr;
    QLineEdit* StopKeyEdit = nullptr;
    QLabel* StopPadLabel = nullptr;
    QLineEdit* StopPadEdit = nullptr;
    QLabel* StopPlayLabel = nullptr;
    TCloseUpComboBox* StopPlayCombo = nullptr;
    QLabel* BmpLabel = nullptr;
    QLineEdit* BmpEdit = nullptr;
    QLabel* Label7 = nullptr;
    TCloseUpComboBox* CommPort = nullptr;
    QLabel* Panel1 = nullptr;
    TColorDialog* ColorDialog = nullptr;
    TFileDialog* OpenPictureDialog = nullptr;

signals:
    // The port list has closed on an entry, also on the one already chosen.
    void LinkChosen(int index);

protected:
    void hideEvent(QHideEvent* event) override;
    // The child-key handler and the fields' key-down and double-click handlers.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    void CreateHoldFields();
    TCloseUpComboBox* AddPlayList(QLabel*& label, const char* labelName, const QString& caption,
                                  const char* fieldName, int y);
    void ConnectFields();
    void FormCreate();
    void FormHide();
    void CommPortCloseUp();
    void ColorComboCloseUp();
    void ComboCloseUp();
    void ReleaseComboCloseUp();
    void StopPlayComboCloseUp();
    void NameEditChange();
    void ChildKey(int keyCode);
    void SizeEditKeyDown(int keyCode);
    void RepeatEditKeyDown(int keyCode);
    void ReloadTarget();
    void BmpEditKeyDown(int keyCode);
    void ShortEditDblClick();
    void PadEditDblClick();
    void StopKeyEditDblClick();
    void StopPadEditDblClick();
    void BmpEditDblClick();
    void ApplyButtonGeometry(TColorBtn& button);
    void ApplyPanelGeometry();
    void ShowGeometry(int left, int top, int width, int height);
    void SelectColor(TColor color);
    bool FindTarget(TColorBtn*& button);
    bool FindPanelTarget();
    void EnableButtonFields(bool enabled);
    void PlaceRow(QLabel*& label, const char* labelName, const QString& caption, QWidget* field,
                  const char* fieldName, int y);
    QLineEdit* AddField(QLabel*& label, const char* labelName, const QString& caption,
                        const char* fieldName, int y);

    // The panel makes each applied edit a step of its history.
    void Applied(int mergeKey = -1);

    IPanelHost* m_host;
    // Merge keys of the caption's steps: one per visit of its field.
    static constexpr int NameMergeKey = 1 << 20;
    static constexpr int PadMergeKey = 2 << 20;
    int m_nameVisit = 0;
    bool m_loading = false; // fields are being filled from the target, not edited
    QStringList m_padsHeld; // in the order they went down, one entry per down
};
