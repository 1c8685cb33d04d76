#include "ColorCombo.h"

#include <QPainter>
#include <QPolygon>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <array>

namespace {

struct ColorTableEntry {
    const char* name; // UTF-8
    TColor value;
};

constexpr std::array<ColorTableEntry, ColorTableSize> ColorTable{{
    {"標準色", clBtnFace},
    {"白", 0x00FFFFFF},
    {"灰色", 0x00C0C0C0},
    {"濃い灰色", 0x00808080},
    {"黒", 0x00000000},
    {"茶色", 0x00000080},
    {"桃色", 0x00FF00FF},
    {"赤", 0x000000FF},
    {"紫", 0x00800080},
    {"藍色", 0x00800000},
    {"青", 0x00FF0000},
    {"青緑", 0x00808000},
    {"緑", 0x00008000},
    {"黄緑", 0x0000FF00},
    {"黄", 0x0000FFFF},
    {"水色", 0x00FFFF00},
    {"黄土", 0x00008080},
    {"そのほかの色", 0x00FFFFFF},
}};

constexpr int ColorItemHeight = 14;
constexpr int SwatchRight = 12; // from the entry's left edge
constexpr int TextIndent = 22;

} // namespace

QString ColorTableName(int index) {
    if (index < 0 || index >= ColorTableSize)
        return QString();
    return QString::fromUtf8(ColorTable[static_cast<std::size_t>(index)].name);
}

TColor ColorTableValue(int index) {
    if (index < 0 || index >= ColorTableSize)
        return clBlack;
    return ColorTable[static_cast<std::size_t>(index)].value;
}

int ColorIndex(TColor color) {
    for (int index = 0; index < OtherColorIndex; ++index) {
        if (ColorTable[static_cast<std::size_t>(index)].value == color)
            return index;
    }
    return OtherColorIndex;
}

void ColorComboDrawItem(QPainter& canvas, int index, const QRect& rect, const QColor& textColor) {
    canvas.fillRect(rect, canvas.brush());
    const int left = rect.left();
    const int top = rect.top();
    const int bottom = rect.top() + rect.height(); // one past the last row
    canvas.save();
    canvas.setBrush(ResolveColor(ColorTableValue(index)));
    canvas.drawPolygon(
        QPolygon({QPoint(left + 1, top + 1), QPoint(left + SwatchRight, top + 1),
                  QPoint(left + SwatchRight, bottom - 2), QPoint(left + 1, bottom - 2)}));
    if (index == OtherColorIndex) {
        canvas.setBrush(Qt::black);
        canvas.drawPolygon(
            QPolygon({QPoint(left + 1, bottom - 2), QPoint(left + SwatchRight, top + 1),
                      QPoint(left + SwatchRight, bottom - 2)}));
    }
    canvas.restore();
    canvas.save();
    canvas.setPen(textColor);
    canvas.drawText(QRect(left + TextIndent, top, rect.width() - TextIndent, rect.height()),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, ColorTableName(index));
    canvas.restore();
}

TItemHeightDelegate::TItemHeightDelegate(int height, QObject* parent)
    : QStyledItemDelegate(parent), m_height(height) {}

QSize TItemHeightDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), m_height);
}

TColorItemDelegate::TColorItemDelegate(QObject* parent)
    : TItemHeightDelegate(ColorItemHeight, parent) {}

void TColorItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    painter->save();
    painter->setFont(option.font);
    painter->setBrush(option.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
    painter->setPen(Qt::black);
    ColorComboDrawItem(*painter, index.row(), option.rect,
                       option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->restore();
}

TColorComboBox::TColorComboBox(QWidget* parent) : TCloseUpComboBox(parent) {
    setItemDelegate(new TColorItemDelegate(this));
}

void TColorComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (currentIndex() < 0)
        return;
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    // The closed list shows its entry as the focused entry of the dropped list looks.
    const bool focused = hasFocus();
    painter.setBrush(palette().brush(focused ? QPalette::Highlight : QPalette::Base));
    painter.setPen(Qt::black);
    ColorComboDrawItem(painter, currentIndex(), field,
                       palette().color(focused ? QPalette::HighlightedText : QPalette::Text));
}
