// Shortcut dispatch: a key-down (F5, which no button has as its shortcut) sent as a real
// key event to the panel's focus widget, through the application-wide filter that hears
// every key before its control does, on a panel of 1,000 buttons and on an empty panel;
// batches of keys to each in turns. Target: under 0.2 ms per key on 1,000 buttons.
// Argument: the number of batches of each (30).
#include "BenchResult.h"
#include "CmdMain.h"
#include "PanelFixture.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int KeysPerBatch = 200;

// Microseconds per key-down (with its key-up) over one batch.
double BatchMicros(TCmdMain& panel) {
    QWidget* target = panel.focusWidget() ? panel.focusWidget() : &panel;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < KeysPerBatch; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_F5, Qt::NoModifier);
        QApplication::sendEvent(target, &release);
    }
    return double(timer.nsecsElapsed()) / 1e3 / KeysPerBatch;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int batches = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir(dir.path()).mkpath("full") || !QDir(dir.path()).mkpath("empty"))
        return 1;
    const QString fullLayout = dir.filePath("full.vmd");
    const QString emptyLayout = dir.filePath("empty.vmd");
    if (!bench::WriteGridLayout(fullLayout, 1000) || !bench::WriteGridLayout(emptyLayout, 0))
        return 1;
    TCmdMain full(dir.filePath("full"));
    TCmdMain empty(dir.filePath("empty"));
    if (!full.LoadLayout(fullLayout) || !empty.LoadLayout(emptyLayout))
        return 1;
    QCoreApplication::processEvents();
    BatchMicros(full); // warm-up
    BatchMicros(empty);
    std::vector<double> fullMicros, emptyMicros;
    for (int batch = 0; batch < batches; ++batch) {
        fullMicros.push_back(BatchMicros(full));
        emptyMicros.push_back(BatchMicros(empty));
        QCoreApplication::processEvents();
    }
    const double ours = bench::Median(fullMicros);
    const double base = bench::Median(emptyMicros);
    std::printf("shortcut: %d batches of %d keys each, microseconds per key: 1,000 buttons "
                "%.1f (p90 %.1f), empty panel %.1f (p90 %.1f)\n",
                batches, KeysPerBatch, ours, bench::Quantile(fullMicros, 0.9), base,
                bench::Quantile(emptyMicros, 0.9));
    bench::Report({"shortcut key, none matching, 1,000 buttons (empty panel as baseline)",
                   bench::Format("%.1f us", ours), bench::Format("%.1f us", base),
                   bench::PairedRatio(fullMicros, emptyMicros), "< 200 us per key", ours < 200});
    return 0;
}
