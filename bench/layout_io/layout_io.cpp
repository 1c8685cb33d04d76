// Times SaveLayout and LoadLayout on layouts of growing size and prints how the
// time grows: it must stay linear, and 1,000 buttons must load in under 20 ms.
// Wall time includes the disk syncs and whatever else the machine is doing; CPU
// time (std::clock) shows the growth of the work itself.

#include "BenchResult.h"
#include "IniDocument.h"
#include "PanelLayout.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
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

// Best wall and CPU milliseconds over `runs` calls.
struct Cost {
    double wallMs = 1e300;
    double cpuMs = 1e300;
};

Cost Time(int runs, const std::function<void()>& work) {
    Cost best;
    QElapsedTimer timer;
    for (int run = 0; run < runs; ++run) {
        const std::clock_t cpuStart = std::clock();
        timer.start();
        work();
        const double wall = timer.nsecsElapsed() / 1e6;
        const double cpu = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        best.wallMs = std::min(best.wallMs, wall);
        best.cpuMs = std::min(best.cpuMs, cpu);
    }
    return best;
}

// Parsing, reading every key and encoding again, without the disk.
void WorkInMemory(const QByteArray& bytes, int buttons, qsizetype& sink) {
    const IniDocument doc = IniDocument::fromBytes(bytes);
    for (int n = buttons; n >= 1; --n) {
        const qsizetype section = doc.findSection(QStringLiteral("Button") + QString::number(n));
        sink += doc.readString(section, u"Caption", QString()).size();
        for (const char16_t* key :
             {u"Top", u"Left", u"Width", u"Height", u"Motion", u"ShortCut", u"Color"})
            sink += doc.readInteger(section, key, 0);
    }
    sink += doc.toBytes().size();
}

struct Row {
    Cost save;
    Cost load;
    Cost memory;
};

Row Measure(const QString& path, int buttons, int runs) {
    const PanelLayout layout = MakeLayout(buttons);
    Row row;
    row.save = Time(runs, [&] {
        if (!SaveLayout(path, layout))
            std::fprintf(stderr, "save failed\n");
    });
    row.load = Time(runs, [&] {
        const std::optional<PanelLayout> loaded = LoadLayout(path, QSize(1920, 1080));
        if (!loaded || loaded->buttons.size() != layout.buttons.size())
            std::fprintf(stderr, "load gave the wrong panel\n");
    });
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return row;
    const QByteArray bytes = file.readAll();
    qsizetype sink = 0;
    row.memory = Time(runs, [&] { WorkInMemory(bytes, buttons, sink); });
    if (sink == 0)
        std::fprintf(stderr, "nothing read\n");
    return row;
}

} // namespace

int main() {
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString path = dir.filePath(QStringLiteral("bench.vmd"));
    Measure(path, 100, 3); // warm up caches and the converter
    std::printf("best of several runs, milliseconds: wall / CPU\n");
    std::printf("%8s %20s %20s %20s\n", "buttons", "save", "load", "in memory");
    std::vector<Row> rows;
    for (int buttons : {100, 1000, 10000}) {
        const Row r = Measure(path, buttons, buttons >= 10000 ? 9 : 21);
        rows.push_back(r);
        std::printf("%8d %9.3f / %8.3f %9.3f / %8.3f %9.3f / %8.3f\n", buttons, r.save.wallMs,
                    r.save.cpuMs, r.load.wallMs, r.load.cpuMs, r.memory.wallMs, r.memory.cpuMs);
    }
    auto ratio = [&](Cost Row::*part, double Cost::*clock) {
        return rows[2].*part.*clock / (rows[1].*part.*clock);
    };
    std::printf("growth 1,000 -> 10,000, wall: save %.2fx, load %.2fx, in memory %.2fx\n",
                ratio(&Row::save, &Cost::wallMs), ratio(&Row::load, &Cost::wallMs),
                ratio(&Row::memory, &Cost::wallMs));
    const double saveCpu = ratio(&Row::save, &Cost::cpuMs);
    const double loadCpu = ratio(&Row::load, &Cost::cpuMs);
    std::printf("growth 1,000 -> 10,000, CPU:  save %.2fx, load %.2fx, in memory %.2fx "
                "(target at most 12x)\n",
                saveCpu, loadCpu, ratio(&Row::memory, &Cost::cpuMs));
    std::printf("1,000 buttons load: %.3f ms wall (target under 20 ms)\n", rows[1].load.wallMs);
    bench::Report({"layout file save, 10,000 buttons, CPU (1,000 as baseline)",
                   bench::Format("%.1f ms", rows[2].save.cpuMs),
                   bench::Format("%.1f ms", rows[1].save.cpuMs), saveCpu, "<= 12x", saveCpu <= 12});
    bench::Report({"layout file load, 10,000 buttons, CPU (1,000 as baseline)",
                   bench::Format("%.1f ms", rows[2].load.cpuMs),
                   bench::Format("%.1f ms", rows[1].load.cpuMs), loadCpu, "<= 12x", loadCpu <= 12});
    bench::Report({"layout file load, 1,000 buttons", bench::Format("%.2f ms", rows[1].load.wallMs),
                   "-", -1, "< 20 ms", rows[1].load.wallMs < 20});
    const bool ok = saveCpu <= 12 && loadCpu <= 12 && rows[1].load.wallMs < 20;
    std::printf("%s\n", ok ? "within targets" : "OUTSIDE TARGETS");
    return ok ? 0 : 2;
}
