// The panel at scale, through the real main window on the X server (or offscreen):
// - LoadLayout onto an empty panel, the first paint after it (the event loop turning until
//   the panel has been painted), SaveLayout and the clearing of the panel (opening an
//   empty layout over it) of 100, 1,000 and 10,000 buttons, the sizes taking turns;
//   10,000 must cost within 12x of 1,000;
// - a full repaint of a panel of 1,000 buttons, against the same panel empty (two
//   windows, repainted in turns); under 50 ms;
// - a drag of one button over 1,000 in edit mode, one step at a time through the
//   button's mouse events: every paint event of the panel and of its buttons is counted,
//   and the area they cover must stay within the button's old and new place.
// Argument: the number of rounds (7).
#include "BenchResult.h"
#include "CmdMain.h"
#include "ColorBtn.h"
#include "PanelFixture.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

constexpr int Sizes[] = {100, 1000, 10000};

double MsSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

void Settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

qint64 Area(const QRegion& region) {
    qint64 area = 0;
    for (const QRect& r : region)
        area += qint64(r.width()) * r.height();
    return area;
}

// Counts the paint events of a panel and its buttons and gathers what they cover, in the
// panel's coordinates.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget& panel, bool buttonsToo = true) : m_panel(panel) {
        panel.installEventFilter(this);
        if (!buttonsToo)
            return;
        for (QWidget* child : panel.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            child->installEventFilter(this);
    }
    void Reset() {
        m_calls = 0;
        m_painted = QRegion();
    }
    int Calls() const { return m_calls; }
    const QRegion& Painted() const { return m_painted; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            const QRegion region = static_cast<QPaintEvent*>(event)->region();
            m_painted += widget == &m_panel ? region : region.translated(widget->pos());
            ++m_calls;
        }
        return false;
    }

private:
    QWidget& m_panel;
    int m_calls = 0;
    QRegion m_painted;
};

// Turns the event loop until the panel has been painted, as after opening a layout.
bool WaitForPaint(QWidget& panel) {
    PaintCounter counter(panel, false);
    QElapsedTimer timer;
    timer.start();
    while (counter.Calls() == 0 && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    // Whatever else the same round of painting brings.
    QCoreApplication::processEvents();
    return counter.Calls() > 0;
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, at, target->mapTo(target->window(), at), target->mapToGlobal(at),
                      button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

struct DragFigures {
    std::vector<double> paintedArea;
    std::vector<double> neededArea;
    std::vector<double> calls;
    std::vector<double> widgetsTouched;
};

// Drags CB_<n> of the panel diagonally, one small step per mouse move.
DragFigures Drag(TCmdMain& panel, int steps) {
    DragFigures figures;
    TColorBtn* button = panel.FindCommandButton(QStringLiteral("CB_500"));
    if (!button)
        return figures;
    panel.SetEditMode(true);
    PaintCounter counter(panel);
    const QPoint grip(bench::GridButtonWidth / 2, bench::GridButtonHeight / 2);
    SendMouse(button, QEvent::MouseButtonPress, grip, Qt::LeftButton, Qt::LeftButton);
    Settle();
    for (int step = 0; step < steps; ++step) {
        const QPoint delta = step % 20 < 10 ? QPoint(3, 2) : QPoint(-3, -2);
        const QRect before = button->geometry();
        counter.Reset();
        SendMouse(button, QEvent::MouseMove, grip + delta, Qt::NoButton, Qt::LeftButton);
        Settle();
        const QRegion needed = QRegion(before).united(button->geometry());
        int touched = 1; // the panel itself
        for (QObject* component : panel.Components()) {
            auto* other = qobject_cast<TColorBtn*>(component);
            if (other && needed.intersects(other->geometry()))
                ++touched;
        }
        figures.paintedArea.push_back(double(Area(counter.Painted())));
        figures.neededArea.push_back(double(Area(needed)));
        figures.calls.push_back(counter.Calls());
        figures.widgetsTouched.push_back(touched);
    }
    SendMouse(button, QEvent::MouseButtonRelease, grip, Qt::LeftButton, Qt::NoButton);
    panel.SetEditMode(false);
    Settle();
    return figures;
}

QString LayoutFile(const QTemporaryDir& dir, int buttons) {
    return dir.filePath(QStringLiteral("%1.vmd").arg(buttons));
}

// The layouts of every size, the empty one included, and the folders of the two panels.
bool PrepareFolder(const QTemporaryDir& dir) {
    for (int buttons : {0, 100, 1000, 10000}) {
        if (!bench::WriteGridLayout(LayoutFile(dir, buttons), buttons))
            return false;
    }
    QDir(dir.path()).mkpath(QStringLiteral("scale"));
    QDir(dir.path()).mkpath(QStringLiteral("empty"));
    return true;
}

struct LayoutTimes {
    std::map<int, std::vector<double>> loadMs, paintMs, saveMs, clearMs;
};

// Load, first paint, save and clearing of one size; false when any of them fails.
bool TimeLayoutCycle(TCmdMain& panel, const QTemporaryDir& dir, int buttons, const QString& saved,
                     LayoutTimes& times) {
    QElapsedTimer timer;
    timer.start();
    if (!panel.LoadLayout(LayoutFile(dir, buttons)))
        return false;
    times.loadMs[buttons].push_back(MsSince(timer));
    timer.start();
    if (!WaitForPaint(panel))
        return false;
    times.paintMs[buttons].push_back(MsSince(timer));
    timer.start();
    if (!panel.SaveLayout(saved))
        return false;
    times.saveMs[buttons].push_back(MsSince(timer));
    Settle();
    // Opening replaces the buttons: the old ones go first.
    timer.start();
    if (!panel.LoadLayout(LayoutFile(dir, 0)))
        return false;
    times.clearMs[buttons].push_back(MsSince(timer));
    Settle();
    return true;
}

// The sizes take turns, so that all see the same load on the machine.
bool TimeLayouts(TCmdMain& panel, const QTemporaryDir& dir, int rounds, LayoutTimes& times) {
    const QString saved = dir.filePath(QStringLiteral("saved.vmd"));
    for (int round = 0; round < rounds; ++round) {
        for (int k = 0; k < int(std::size(Sizes)); ++k) {
            const int buttons = Sizes[(round + k) % int(std::size(Sizes))];
            if (!TimeLayoutCycle(panel, dir, buttons, saved, times))
                return false;
        }
    }
    return true;
}

// Every size has been timed at least once by now, so each one is there to look up.
void ReportLayoutTimes(const LayoutTimes& times, int rounds) {
    std::printf("panel_scale: %d rounds, medians in milliseconds\n", rounds);
    std::printf("%8s %10s %12s %10s %10s\n", "buttons", "load", "first paint", "save", "clear");
    for (int buttons : Sizes)
        std::printf(
            "%8d %10.2f %12.2f %10.2f %10.2f\n", buttons, bench::Median(times.loadMs.at(buttons)),
            bench::Median(times.paintMs.at(buttons)), bench::Median(times.saveMs.at(buttons)),
            bench::Median(times.clearMs.at(buttons)));
    for (const auto& [name, series] :
         {std::pair{"load", &times.loadMs}, std::pair{"first paint", &times.paintMs},
          std::pair{"save", &times.saveMs}, std::pair{"clear", &times.clearMs}}) {
        const std::vector<double>& large = series->at(10000);
        const std::vector<double>& baseline = series->at(1000);
        const double ratio = bench::PairedRatio(large, baseline);
        bench::Report({std::string("panel ") + name + ", 10,000 buttons (1,000 as baseline)",
                       bench::Format("%.1f ms", bench::Median(large)),
                       bench::Format("%.1f ms", bench::Median(baseline)), ratio, "<= 12x",
                       ratio <= 12});
    }
}

// The two windows are repainted in turns, so that both see the same load on the machine.
void ReportFullRepaint(TCmdMain& panel, TCmdMain& empty, int rounds) {
    std::vector<double> fullMs, emptyMs;
    for (int run = 0; run < 10 * rounds; ++run) {
        for (auto [window, series] : {std::pair{&panel, &fullMs}, std::pair{&empty, &emptyMs}}) {
            QElapsedTimer timer;
            timer.start();
            window->repaint();
            series->push_back(MsSince(timer));
        }
        Settle();
    }
    const double full = bench::Median(fullMs);
    std::printf("full repaint, %zu each: 1,000 buttons %.2f ms (p90 %.2f), empty panel %.2f ms\n",
                fullMs.size(), full, bench::Quantile(fullMs, 0.9), bench::Median(emptyMs));
    bench::Report({"full repaint, 1,000 buttons (empty panel as baseline)",
                   bench::Format("%.2f ms", full), bench::Format("%.2f ms", bench::Median(emptyMs)),
                   bench::PairedRatio(fullMs, emptyMs), "< 50 ms", full < 50});
}

// False when the panel has no button to drag.
bool ReportDrag(TCmdMain& panel, int rounds) {
    const DragFigures drag = Drag(panel, 40 * rounds);
    if (drag.calls.empty()) {
        std::fprintf(stderr, "panel_scale: no button to drag\n");
        return false;
    }
    const double painted = bench::Median(drag.paintedArea);
    const double needed = bench::Median(drag.neededArea);
    const double calls = bench::Median(drag.calls);
    const double touched = bench::Median(drag.widgetsTouched);
    std::printf("drag step over 1,000 buttons, %zu steps: painted %.0f px (max %.0f) in %.0f paint "
                "events (max %.0f); old and new place %.0f px, %.0f widgets there; whole panel "
                "%d px\n",
                drag.calls.size(), painted, bench::Quantile(drag.paintedArea, 1), calls,
                bench::Quantile(drag.calls, 1), needed, touched, panel.width() * panel.height());
    const double ratio = bench::PairedRatio(drag.paintedArea, drag.neededArea);
    bench::Report({"drag step over 1,000 buttons, area repainted",
                   bench::Format("%.0f px in %.0f paints", painted, calls),
                   bench::Format("%.0f px, %.0f widgets (old and new place)", needed, touched),
                   ratio, "<= 1x",
                   bench::Quantile(drag.paintedArea, 1) <= needed &&
                       bench::Quantile(drag.calls, 1) <= touched});
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    QTemporaryDir dir;
    if (!dir.isValid() || !PrepareFolder(dir))
        return 1;
    TCmdMain panel(dir.filePath(QStringLiteral("scale")));
    panel.LoadLayout(LayoutFile(dir, 0));
    Settle();

    LayoutTimes times;
    if (!TimeLayouts(panel, dir, rounds, times))
        return 1;
    ReportLayoutTimes(times, rounds);

    panel.LoadLayout(LayoutFile(dir, 1000));
    // Made here, so that the empty window stays open through the drag too.
    TCmdMain empty(dir.filePath(QStringLiteral("empty")));
    empty.LoadLayout(LayoutFile(dir, 0));
    Settle();
    ReportFullRepaint(panel, empty, rounds);

    return ReportDrag(panel, rounds) ? 0 : 1;
}
