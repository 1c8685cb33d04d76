#include "CloseUpComboBox.h"

void TCloseUpComboBox::showPopup() {
    m_dropped = true;
    QComboBox::showPopup();
}

// QComboBox also calls hidePopup when nothing is dropped (on disabling, for instance):
// only the close of a list that was shown counts. The close is reported once the event
// that closed the list is done: Enter in the list closes it before the entry under the
// cursor becomes the current one.
void TCloseUpComboBox::hidePopup() {
    QComboBox::hidePopup();
    if (!m_dropped)
        return;
    m_dropped = false;
    QMetaObject::invokeMethod(this, &TCloseUpComboBox::CloseUp, Qt::QueuedConnection);
}
