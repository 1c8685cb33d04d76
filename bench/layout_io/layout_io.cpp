// Times SaveLayout and LoadLayout on layouts of growing size and prints how the
// time grows: it must stay linear, and 1,000 buttons must load in under 20 ms.

#include "IniDocument.h"
#include "PanelLayout.h"

#include <QElapsedTimer>
#include <QFile>
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

double Best(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.front();
}

struct Timing {
    double saveMs;
    double loadMs;
    double memoryMs; // parse, read every key and write back, without the disk
};

double MeasureInMemory(const QString& path, int buttons, int runs) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = file.readAll();
    std::vector<double> times;
    QElapsedTimer timer;
    qsizetype sink = 0;
    for (int run = 0; run < runs; ++run) {
        timer.start();
        const IniDocument doc = IniDocument::fromBytes(bytes);
        for (int n = buttons; n >= 1; --n) {
            const QString section = QStringLiteral("Button") + QString::number(n);
            sink += doc.readString(section, u"Caption", QString()).size();
            for (const char16_t* key :
                 {u"Top", u"Left", u"Width", u"Height", u"Motion", u"ShortCut", u"Color"})
                sink += doc.readInteger(section, key, 0);
        }
        sink += doc.toBytes().size();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return sink != 0 ? Best(times) : -1;
}

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
    return {Best(saves), Best(loads), MeasureInMemory(path, buttons, runs)};
}

} // namespace

int main() {
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString path = dir.filePath(QStringLiteral("bench.vmd"));
    Measure(path, 100, 3); // warm up caches and the converter
    std::printf("%8s %12s %12s %14s\n", "buttons", "save ms", "load ms", "in memory ms");
    std::printf("(best of several runs; in memory: parse, read every key, encode)\n");
    std::vector<Timing> timings;
    for (int buttons : {100, 1000, 10000}) {
        const Timing t = Measure(path, buttons, buttons >= 10000 ? 9 : 21);
        timings.push_back(t);
        std::printf("%8d %12.3f %12.3f %14.3f\n", buttons, t.saveMs, t.loadMs, t.memoryMs);
    }
    const double saveRatio = timings[2].saveMs / timings[1].saveMs;
    const double loadRatio = timings[2].loadMs / timings[1].loadMs;
    const double memoryRatio = timings[2].memoryMs / timings[1].memoryMs;
    std::printf("growth 1,000 -> 10,000: save %.2fx, load %.2fx, in memory %.2fx (target at most "
                "12x)\n",
                saveRatio, loadRatio, memoryRatio);
    std::printf("1,000 buttons load: %.3f ms (target under 20 ms)\n", timings[1].loadMs);
    const bool ok = saveRatio <= 12 && loadRatio <= 12 && timings[1].loadMs < 20;
    std::printf("%s\n", ok ? "within targets" : "OUTSIDE TARGETS");
    return ok ? 0 : 2;
}
