// The baseline of the start-up and memory benchmarks: the least a Qt program does to
// show what the panel shows at start, one empty 320 x 240 window and a message box,
// with the same titles and text.
#include <QApplication>
#include <QMessageBox>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Orvix Tapdeck3"));
    window.resize(320, 240);
    window.show();
    QMessageBox::information(&window, QStringLiteral("情報"),
                             QStringLiteral("シリアルポートを閉じました"));
    return 0;
}
