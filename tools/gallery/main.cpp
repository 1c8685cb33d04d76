// Shows colour buttons in every frame style, caption position and state.
// `button_gallery --screenshot FILE` saves the window as a PNG and exits.

#include "ColorBtn.h"
#include "UiFont.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QTimer>
#include <functional>

namespace {

constexpr int kCellW = 96;
constexpr int kCellH = 44;
constexpr int kBtnW = 88;
constexpr int kBtnH = 36;
constexpr int kLabelW = 90;
constexpr int kMargin = 10;

struct Cell {
    QString title;
    std::function<void(TColorBtn*)> setup;
};

const char* styleName(TButtonStyle style) {
    switch (style) {
    case bsStd:
        return "bsStd";
    case bsIELike:
        return "bsIELike";
    case bsNone:
        return "bsNone";
    }
    return "";
}

void hover(TColorBtn* button) {
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), button->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(button, &enter);
}

QList<Cell> alignmentCells() {
    const char* h[] = {"左", "中", "右"};
    const char* v[] = {"上", "中", "下"};
    QList<Cell> cells;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QString caption = QString::fromUtf8(v[row]) + QString::fromUtf8(h[col]);
            cells.append({caption, [=](TColorBtn* b) {
                              b->SetCaption(caption);
                              b->SetCapAlignH(TNHAlignment(col));
                              b->SetCapAlignV(TNVAlignment(row));
                          }});
        }
    }
    return cells;
}

QList<Cell> stateCells(TButtonStyle style) {
    QList<Cell> cells = {
        {"normal", [](TColorBtn* b) { b->SetCaption(QString::fromUtf8("前進")); }},
        {"hovered",
         [](TColorBtn* b) {
             b->SetCaption(QString::fromUtf8("後退"));
             QTimer::singleShot(0, b, [b] { hover(b); });
         }},
        {"pressed",
         [](TColorBtn* b) {
             b->SetCaption(QString::fromUtf8("右旋回"));
             b->setDown(true);
         }},
        {"disabled",
         [](TColorBtn* b) {
             b->SetCaption(QString::fromUtf8("停止"));
             b->SetColor(0x0000FF);
             b->setEnabled(false);
         }},
        {"two lines",
         [](TColorBtn* b) {
             b->SetCaptionLines({QString::fromUtf8("モーション"), QStringLiteral("12")});
         }},
        {"red face",
         [](TColorBtn* b) {
             b->SetCaption(QStringLiteral("M 5"));
             b->SetColor(0x0000FF);
             b->SetFontColor(ContrastTextColor(0x0000FF));
         }},
        {"yellow face",
         [](TColorBtn* b) {
             b->SetCaption(QStringLiteral("S 1"));
             b->SetColor(0x00FFFF);
             b->SetFontColor(ContrastTextColor(0x00FFFF));
         }},
        {"offset +6,+4",
         [](TColorBtn* b) {
             b->SetCaption(QStringLiteral("offset"));
             b->SetCapOffsetH(6);
             b->SetCapOffsetV(4);
         }},
    };
    if (style == bsStd)
        cells.append({"loose caption", [](TColorBtn* b) {
                          b->SetCaption(QStringLiteral("loose"));
                          b->SetCapAlignH(haLeft);
                          b->SetCapAlignV(vaTop);
                          b->SetCapFixed(false);
                      }});
    cells.append({"focused", [](TColorBtn* b) {
                      b->SetCaption(QString::fromUtf8("選択"));
                      b->setObjectName(QStringLiteral("focused"));
                  }});
    return cells;
}

// What a press shows, the board answered or it did not, on faces of the frames' own
// colours and of either caption colour, each with the caption colour the panel gives it.
QList<Cell> outcomeCells() {
    const std::pair<const char*, TColor> faces[] = {{"赤", 0x0000FF},
                                                    {"緑", 0x008000},
                                                    {"白", clWhite},
                                                    {"黒", clBlack},
                                                    {"標準色", clBtnFace}};
    QList<Cell> cells;
    for (const auto& [name, face] : faces) {
        for (bool answered : {true, false}) {
            const QString faceName = QString::fromUtf8(name);
            const QString outcome = QString::fromUtf8(answered ? "応答あり" : "応答なし");
            cells.append({faceName + QLatin1Char(' ') + outcome, [=](TColorBtn* b) {
                              b->SetCaptionLines({faceName, outcome});
                              b->SetColor(face);
                              b->SetFontColor(ContrastTextColor(face));
                              b->ShowPressOutcome(answered ? AcknowledgedFrame : FailedFrame,
                                                  24 * 3600 * 1000, QString());
                          }});
        }
    }
    return cells;
}

// One labelled row of buttons; returns the y below it.
int addRow(QWidget* window, int y, const QString& label, TButtonStyle style,
           const QList<Cell>& cells, QList<TColorBtn*>& focusable) {
    auto* name = new QLabel(label, window);
    name->setGeometry(kMargin, y, kLabelW, kCellH);
    int x = kMargin + kLabelW;
    for (const Cell& cell : cells) {
        auto* button = new TColorBtn(window);
        button->setGeometry(x, y, kBtnW, kBtnH);
        button->setFont(UiFont());
        button->SetButtonStyle(style);
        button->SetColor(clBtnFace);
        cell.setup(button);
        button->setToolTip(cell.title);
        if (button->objectName() == QLatin1String("focused"))
            focusable.append(button);
        x += kCellW;
    }
    return y + kCellH;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QString screenshot;
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--screenshot"));
    if (at >= 0 && at + 1 < args.size())
        screenshot = args.at(at + 1);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Colour button gallery"));
    QList<TColorBtn*> focusable;
    int y = kMargin;
    for (TButtonStyle style : {bsStd, bsIELike, bsNone})
        y = addRow(&window, y, QStringLiteral("%1\nalignment").arg(styleName(style)), style,
                   alignmentCells(), focusable);
    y += kMargin;
    int width = 0;
    for (TButtonStyle style : {bsStd, bsIELike, bsNone}) {
        const QList<Cell> cells = stateCells(style);
        width = qMax(width, int(cells.size()));
        y = addRow(&window, y, QStringLiteral("%1\nstates").arg(styleName(style)), style, cells,
                   focusable);
    }
    y += kMargin;
    width = qMax(width, int(outcomeCells().size()));
    for (TButtonStyle style : {bsStd, bsIELike, bsNone})
        y = addRow(&window, y, QStringLiteral("%1\noutcome").arg(styleName(style)), style,
                   outcomeCells(), focusable);
    // The state and outcome columns, named once under the grid.
    auto* legend = new QLabel(&window);
    QStringList titles;
    for (const Cell& cell : stateCells(bsStd))
        titles.append(cell.title);
    legend->setText(QStringLiteral("states, left to right: ") + titles.join(QStringLiteral(", ")) +
                    QStringLiteral("\noutcome: red, green, white, black and button face, each "
                                   "answered (green frame), then no answer (red frame)"));
    legend->setGeometry(kMargin, y + 4, kLabelW + width * kCellW, 36);
    window.resize(2 * kMargin + kLabelW + width * kCellW, y + 46);
    window.show();
    window.activateWindow();
    // The first button of each state row named "focused" takes the focus; only one can.
    if (!focusable.isEmpty())
        focusable.constFirst()->setFocus();

    if (!screenshot.isEmpty()) {
        QTimer::singleShot(500, &window, [&] {
            const bool saved = window.grab().save(screenshot, "PNG");
            app.exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
