#pragma once

#include "CloseUpComboBox.h"
#include "SystemColors.h"

#include <QStyledItemDelegate>

class QPainter;

// The colour list: 18 named entries. Entry 0 is the button face, kept as the system colour
// value; entry 17 stands for any colour the table lacks and opens the colour dialog.
inline constexpr int ColorTableSize = 18;
inline constexpr int OtherColorIndex = 17;

QString ColorTableName(int index);
// The entry's colour value; entry 17's white only paints its swatch.
TColor ColorTableValue(int index);
// The first entry 0-16 whose value equals `color` in all 32 bits, else OtherColorIndex.
int ColorIndex(TColor color);

// Paints entry `index` into `rect` (Qt's rectangle; its bottom edge is inclusive) on a
// canvas whose brush is the list's background for the entry's state and whose pen outlines
// the swatch: the background, a swatch 12 pixels wide (entry 17's lower right half black)
// and the name 22 pixels in, drawn in `textColor`.
void ColorComboDrawItem(QPainter& canvas, int index, const QRect& rect, const QColor& textColor);

// Gives every entry of a list one fixed height.
class TItemHeightDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TItemHeightDelegate(int height, QObject* parent);
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int m_height;
};

// The dropped colour list's entries: swatch and name.
class TColorItemDelegate : public TItemHeightDelegate {
    Q_OBJECT
public:
    explicit TColorItemDelegate(QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// The colour list itself, which shows the selected entry's swatch while closed as well.
class TColorComboBox : public TCloseUpComboBox {
    Q_OBJECT
public:
    explicit TColorComboBox(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};
