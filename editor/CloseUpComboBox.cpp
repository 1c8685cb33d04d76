#include "CloseUpComboBox.h"

#include <QProxyStyle>

namespace {

// Styles that centre the list on the current entry (Fusion among them) let it grow to the
// screen's height whatever maxVisibleItems says; a list dropped below the field keeps to it.
class TDropDownStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TCloseUpComboBox::TCloseUpComboBox(QWidget* parent) : QComboBox(parent) {
    // A widget does not own its style; the list does, so that it goes with it.
    auto* dropDown = new TDropDownStyle;
    dropDown->setParent(this);
    setStyle(dropDown);
}

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
