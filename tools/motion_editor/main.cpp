// Motion editor stand-in: a window of the motion editor's class that writes every play
// number the panel posts to it, to try the bridge and to test it.

#include "PlatformChoice.h"
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
#include <optional>

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
struct Options {
    bool hidden = false;
    QString title;
    bool writeLog = false; // --log given, even with an empty file name
    QString logFile;
};

// Returns the exit code when the program ends here: --help or a command line it does not take.
std::optional<int> ReadCommandLine(int argc, char** argv, Options& options) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    const QCommandLineOption hiddenOption("hidden");
    const QCommandLineOption emptyTitleOption("empty-title");
    const QCommandLineOption logOption("log", "", "FILE");
    const QCommandLineOption helpOption("help");
    parser.addOptions({hiddenOption, emptyTitleOption, logOption, helpOption});
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s\n%s", qPrintable(parser.errorText()), Usage);
        return 2;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(Usage, stdout);
        return 0;
    }
    options.hidden = parser.isSet(hiddenOption);
    options.title = parser.isSet(emptyTitleOption) ? QString() : Title;
    options.writeLog = parser.isSet(logOption);
    options.logFile = parser.value(logOption);
    return std::nullopt;
}

// Returns the label that shows the last play number.
QLabel* BuildWindow(QWidget& window, const QString& title) {
    window.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&window);
    auto* last = new QLabel(QStringLiteral("Waiting for play numbers"), &window);
    layout->addWidget(last);
    window.resize(320, 80);
    return last;
}

void WritePlayNumbers(TWindowMessageReceiver& receiver, QLabel& last, QFile& log) {
    QObject::connect(&receiver, &TWindowMessageReceiver::Received,
                     [&last, &log](quint32 message, qint32, qint32 lParam) {
                         if (message != WM_APP)
                             return;
                         const QString line = PlayLine(lParam);
                         last.setText(line);
                         // The file first: whoever reads the output line finds it there.
                         if (log.isOpen()) {
                             log.write((line + '\n').toUtf8());
                             log.flush();
                         }
                         PrintLine(line);
                     });
}

// Ready once the window is on the server as the panel will see it, through a connection of
// its own.
void PrintReadyWhenSeen(QTimer& poll, TXlibWindowSystem& windows, TWindowHandle id,
                        const QString& title, bool hidden) {
    // Qt titles a window without a title after the application (as documented for
    // QWidget::windowTitle); the stand-in writes its empty title over Qt's once that is there.
    QObject::connect(
        &poll, &QTimer::timeout,
        [&poll, &windows, id, title, hidden, titleWritten = !title.isEmpty()]() mutable {
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
}
} // namespace

int main(int argc, char** argv) {
    Options options;
    // Before QApplication, so that --help works without a display.
    if (const std::optional<int> exitCode = ReadCommandLine(argc, argv, options))
        return *exitCode;

    QFile log(options.logFile);
    if (options.writeLog && !log.open(QIODevice::Append | QIODevice::Text)) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(log.fileName()),
                     qPrintable(log.errorString()));
        return 2;
    }

    PreferX11Platform(argc, argv);
    QApplication app(argc, argv);
    ReportWaylandLimits();
    // Qt's xcb writes the application name as the class part of WM_CLASS.
    QApplication::setApplicationName(ClassName);

    QWidget window;
    QLabel* last = BuildWindow(window, options.title);
    TWindowMessageReceiver receiver(&window);
    WritePlayNumbers(receiver, *last, log);

    const auto id = TWindowHandle(window.winId());
    if (!options.hidden)
        window.show();

    TXlibWindowSystem windows;
    QTimer poll;
    PrintReadyWhenSeen(poll, windows, id, options.title, options.hidden);
    poll.start(10);
    return app.exec();
}
