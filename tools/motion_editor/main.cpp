// Motion editor stand-in: a window of the motion editor's class that writes every play
// number the panel posts to it, to try the bridge and to test it.

#include "PlayNames.h"
#include "WindowMessageReceiver.h"
#include "XlibWindowSystem.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace {
const char Usage[] = R"usage(Usage: motion_editor [options]
Stands in for the motion editor program: shows a window of the class "TPosewright3"
and writes each play number the panel posts to it on a line of its own, for example
"Motion5 (4)" or "Scenario1 (80)". Prints "ready <window id>" once the window is there.

Options:
  --hidden        create the window without showing it
  --empty-title   give the window an empty title
  --log FILE      also append the lines to FILE
  --help          show this text
)usage";

const QString ClassName = QStringLiteral("TPosewright3");
const QString Title = QStringLiteral("Motion editor stand-in");

void PrintLine(const QString& line) {
    std::fputs(qPrintable(line + '\n'), stdout);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    const QCommandLineOption hiddenOption("hidden");
    const QCommandLineOption emptyTitleOption("empty-title");
    const QCommandLineOption logOption("log", "", "FILE");
    const QCommandLineOption helpOption("help");
    parser.addOptions({hiddenOption, emptyTitleOption, logOption, helpOption});
    // Before QApplication, so that --help works without a display.
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s\n%s", qPrintable(parser.errorText()), Usage);
        return 2;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(Usage, stdout);
        return 0;
    }
    const bool hidden = parser.isSet(hiddenOption);
    const QString title = parser.isSet(emptyTitleOption) ? QString() : Title;

    QFile log(parser.value(logOption));
    if (parser.isSet(logOption) && !log.open(QIODevice::Append | QIODevice::Text)) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(log.fileName()),
                     qPrintable(log.errorString()));
        return 2;
    }

    QApplication app(argc, argv);
    // Qt's xcb writes the application name as the class part of WM_CLASS.
    QApplication::setApplicationName(ClassName);

    QWidget window;
    window.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&window);
    auto* last = new QLabel(QStringLiteral("Waiting for play numbers"), &window);
    layout->addWidget(last);
    window.resize(320, 80);

    TWindowMessageReceiver receiver(&window);
    QObject::connect(&receiver, &TWindowMessageReceiver::Received,
                     [&](quint32 message, qint32, qint32 lParam) {
                         if (message != WM_APP)
                             return;
                         const QString line = PlayLine(lParam);
                         last->setText(line);
                         // The file first: whoever reads the output line finds it there.
                         if (log.isOpen()) {
                             log.write((line + '\n').toUtf8());
                             log.flush();
                         }
                         PrintLine(line);
                     });

    const auto id = TWindowHandle(window.winId());
    if (!hidden)
        window.show();

    // Ready once the window is on the server as the panel will see it, through a
    // connection of its own.
    TXlibWindowSystem windows;
    // Qt titles a window without a title after the application (as documented for
    // QWidget::windowTitle); the stand-in writes its empty title over Qt's once that is there.
    bool titleWritten = !title.isEmpty();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (windows.GetClassName(id) != ClassName || windows.IsWindowVisible(id) == hidden)
            return;
        if (windows.GetWindowText(id) != title) {
            titleWritten = windows.SetWindowText(id, title);
            return;
        }
        if (!titleWritten)
            return;
        poll.stop();
        PrintLine(QStringLiteral("ready 0x%1").arg(id, 0, 16));
    });
    poll.start(10);
    return app.exec();
}
