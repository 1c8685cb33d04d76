#pragma once

#include <QComboBox>

// A drop-down list that reports every close of its list, also when the entry already
// selected is chosen again (which QComboBox itself does not report as a change). Its list
// drops below the field and shows at most maxVisibleItems entries in every style.
class TCloseUpComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TCloseUpComboBox(QWidget* parent = nullptr);

    void showPopup() override;
    void hidePopup() override;

signals:
    // The list has closed; the current index is the entry chosen, or the old one. Comes
    // from the event loop, after the event that closed the list.
    void CloseUp();

private:
    bool m_dropped = false;
};
