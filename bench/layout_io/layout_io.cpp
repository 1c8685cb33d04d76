// Times SaveLayout and LoadLayout on layouts of growing size and prints how the
// time grows: it must stay linear, and 1,000 buttons must load in under 20 ms.

#include "PanelLayout.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

PanelLayout MakeLayout(int buttons) {
    PanelLayout layout;
    layout.comm = 3;
    layout.backgroundFile = QStringLiteral("/home/robot/背景.jpg");
    for (int i = 0; i < buttons; ++i) {
        PanelButton button;
        button.caption = QStringLiteral("モーション%1").arg(i);
        button.top = (i / 10) * 30;
        button.left = (i % 10) * 80;
        button.motion = i % 85;
        button.shortCut = 65 + i % 26;
        button.color = i * 2654435761u & 0xFFFFFF;
        layout.buttons.push_back(button);
    }
    layout.buttonCounter = buttons;
    return layout;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Timing {
    double saveMs;
    double loadMs;
};

Timing Measure(const QString& path, int buttons, int runs) {
    const PanelLayout layout = MakeLayout(buttons);
    std::vector<double> saves;
    std::vector<double> loads;
    QElapsedTimer timer;
    for (int run = 0; run < runs; ++run) {
        timer.start();
        if (!SaveLayout(path, layout))
            std::fprintf(stderr, "save failed\n");
        saves.push_back(timer.nsecsElapsed() / 1e6);
        timer.start();
        const std::optional<PanelLayout> loaded = LoadLayout(path, QSize(1920, 1080));
        loads.push_back(timer.nsecsElapsed() / 1e6);
        if (!loaded || loaded->buttons.size() != layout.buttons.size())
            std::fprintf(stderr, "load gave the wrong panel\n");
    }
    return {Median(saves), Median(loads)};
}

} // namespace

int main() {
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString path = dir.filePath(QStringLiteral("bench.vmd"));
    Measure(path, 100, 3); // warm up caches and the converter
    std::printf("%8s %12s %12s\n", "buttons", "save ms", "load ms");
    std::vector<Timing> timings;
    for (int buttons : {100, 1000, 10000}) {
        const Timing t = Measure(path, buttons, buttons >= 10000 ? 5 : 11);
        timings.push_back(t);
        std::printf("%8d %12.3f %12.3f\n", buttons, t.saveMs, t.loadMs);
    }
    const double saveRatio = timings[2].saveMs / timings[1].saveMs;
    const double loadRatio = timings[2].loadMs / timings[1].loadMs;
    std::printf("growth 1,000 -> 10,000: save %.2fx, load %.2fx (target at most 12x)\n", saveRatio,
                loadRatio);
    std::printf("1,000 buttons load: %.3f ms (target under 20 ms)\n", timings[1].loadMs);
    const bool ok = saveRatio <= 12 && loadRatio <= 12 && timings[1].loadMs < 20;
    std::printf("%s\n", ok ? "within targets" : "OUTSIDE TARGETS");
    return ok ? 0 : 2;
}
