#include "ColorCombo.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionComboBox>
#include <QTest>

namespace {

constexpr QRgb Background = 0xFF2040A0; // a colour no swatch has

// Paints one entry into an image of the entry's size on a known background.
QImage PaintEntry(int index, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter canvas(&image);
    canvas.setBrush(QColor::fromRgb(Background));
    canvas.setPen(Qt::black);
    ColorComboDrawItem(canvas, index, QRect(QPoint(0, 0), size), Qt::white);
    return image;
}

bool HasPixelOtherThan(const QImage& image, const QRect& area, QRgb colour) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixel(x, y) != colour)
                return true;
        }
    }
    return false;
}

} // namespace

class TestColorCombo : public QObject {
    Q_OBJECT
private slots:
    void colorIndex_data();
    void colorIndex();
    void buttonFaceAsRgbIsNoButtonFace();
    void paintsSwatchAndName_data();
    void paintsSwatchAndName();
    void droppedEntriesAreFourteenHighAndShowTheirState();
    void closedListShowsTheSwatch();
};

void TestColorCombo::colorIndex_data() {
    QTest::addColumn<int>("color");
    QTest::addColumn<int>("index");
    QTest::newRow("button face") << int(clBtnFace) << 0;
    QTest::newRow("white is entry 1, not the last entry") << 0x00FFFFFF << 1;
    QTest::newRow("black") << 0x00000000 << 4;
    QTest::newRow("red") << 0x000000FF << 7;
    QTest::newRow("olive, the last listed") << 0x00008080 << 16;
    QTest::newRow("unlisted") << 0x00123456 << 17;
    QTest::newRow("window system colour") << int(clWindow) << 17;
    QTest::newRow("white with a high byte") << 0x01FFFFFF << 17;
}

void TestColorCombo::colorIndex() {
    QFETCH(int, color);
    QFETCH(int, index);
    QCOMPARE(ColorIndex(color), index);
}

// A colour that looks like the button face but is stored as RGB is no button face.
void TestColorCombo::buttonFaceAsRgbIsNoButtonFace() {
    QVERIFY(ColorIndex(ColorToValue(ResolveColor(clBtnFace))) != 0);
}

void TestColorCombo::paintsSwatchAndName_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QRgb>("upperLeft");  // inside the swatch, above its diagonal
    QTest::addColumn<QRgb>("lowerRight"); // inside the swatch, below its diagonal
    QTest::newRow("button face") << 0 << ResolveColor(clBtnFace).rgb()
                                 << ResolveColor(clBtnFace).rgb();
    QTest::newRow("red") << 7 << QColor(Qt::red).rgb() << QColor(Qt::red).rgb();
    QTest::newRow("navy") << 9 << qRgb(0, 0, 0x80) << qRgb(0, 0, 0x80);
    QTest::newRow("other colour, lower right half black")
        << 17 << qRgb(255, 255, 255) << qRgb(0, 0, 0);
}

void TestColorCombo::paintsSwatchAndName() {
    QFETCH(int, index);
    QFETCH(QRgb, upperLeft);
    QFETCH(QRgb, lowerRight);
    const QImage image = PaintEntry(index, QSize(132, 14));
    // The swatch spans x 1-12 and y 1-12 of a 14-pixel entry, outlined by the pen.
    QCOMPARE(image.pixel(1, 1), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(12, 12), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(3, 3), upperLeft);
    QCOMPARE(image.pixel(10, 10), lowerRight);
    // Background around the swatch and between it and the name.
    QCOMPARE(image.pixel(0, 0), Background);
    QCOMPARE(image.pixel(5, 13), Background);
    QVERIFY(!HasPixelOtherThan(image, QRect(14, 0, 8, 14), Background));
    // The name is drawn from x 22 on, in the text colour.
    QVERIFY(HasPixelOtherThan(image, QRect(22, 0, 110, 14), Background));
}

void TestColorCombo::droppedEntriesAreFourteenHighAndShowTheirState() {
    TColorComboBox combo(nullptr);
    for (int index = 0; index < ColorTableSize; ++index)
        combo.addItem(ColorTableName(index));
    QAbstractItemDelegate* delegate = combo.itemDelegate();
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 132, 14);
    option.palette = combo.palette();
    option.palette.setColor(QPalette::Highlight, QColor(0x11, 0x22, 0x33));
    option.palette.setColor(QPalette::Base, QColor(0x44, 0x55, 0x66));
    const QModelIndex entry = combo.model()->index(7, 0);
    QCOMPARE(delegate->sizeHint(option, entry).height(), 14);
    for (bool selected : {false, true}) {
        option.state = selected ? QStyle::State_Selected : QStyle::State_None;
        QImage image(132, 14, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        delegate->paint(&painter, option, entry);
        painter.end();
        QCOMPARE(image.pixel(16, 7), selected ? qRgb(0x11, 0x22, 0x33) : qRgb(0x44, 0x55, 0x66));
        QCOMPARE(image.pixel(6, 6), QColor(Qt::red).rgb());
    }
}

void TestColorCombo::closedListShowsTheSwatch() {
    TColorComboBox combo(nullptr);
    for (int index = 0; index < ColorTableSize; ++index)
        combo.addItem(ColorTableName(index));
    combo.resize(132, 20);
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    const QRect field = combo.style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                      QStyle::SC_ComboBoxEditField, &combo);
    const QPoint inSwatch(field.left() + 6, field.top() + field.height() / 2);
    for (int index : {7, 10}) {
        combo.setCurrentIndex(index);
        const QImage image = combo.grab().toImage();
        QCOMPARE(QColor(image.pixel(inSwatch)), ResolveColor(ColorTableValue(index)));
    }
}

QTEST_MAIN(TestColorCombo)
#include "tst_colorcombo.moc"
