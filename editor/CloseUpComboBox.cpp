#include "CloseUpComboBox.h"

void TCloseUpComboBox::showPopup() {
    m_dropped = true;
    QComboBox::showPopup();
}

// QComboBox also calls hidePopup when nothing is dropped (on disabling, for instance):
// only the close of a list that was shown counts.
void TCloseUpComboBox::hidePopup() {
    QComboBox::hidePopup();
    if (!m_dropped)
        return;
    m_dropped = false;
    emit CloseUp();
}
