// Peak resident size: each program is started on the X server, left running for a while
// after its window and start-up box are mapped (so that both have been painted), then
// ended; its peak resident size comes from the kernel's accounting of the ended child.
// The bare Qt program, the panel with an empty layout and the panel with 1,000 buttons
// take turns. Needs an X server without a window manager (xvfb-run). Argument: the
// number of runs of each (5).
#include "BenchResult.h"
#include "PanelFixture.h"
#include "ProgramLaunch.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

const std::vector<std::string> StartTitles = {"Orvix Tapdeck3", "情報"};
constexpr int SettleMs = 400;
constexpr int Buttons = 1000;

struct Contender {
    const char* name;
    std::string program;
    std::vector<double> kb;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    bench::ProgramLauncher launcher;
    QTemporaryDir dir;
    if (!launcher.IsOpen() || !dir.isValid()) {
        std::fprintf(stderr, "memory: needs an X display and a temporary folder\n");
        return 1;
    }
    const QString empty = bench::PreparePanelCopy(dir.filePath("empty"), 0);
    const QString full = bench::PreparePanelCopy(dir.filePath("full"), Buttons);
    if (empty.isEmpty() || full.isEmpty())
        return 1;
    Contender contenders[] = {{"bare Qt program", BARE_PROGRAM, {}},
                              {"panel, empty", empty.toStdString(), {}},
                              {"panel, 1,000 buttons", full.toStdString(), {}}};
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        for (Contender& c : contenders) {
            const bench::LaunchFigures figures = launcher.Run(c.program, StartTitles, SettleMs);
            if (figures.ok)
                c.kb.push_back(double(figures.peakKb));
            else
                ++failures;
        }
    }
    std::printf("memory: %d runs each, peak resident size in KB\n", runs);
    std::printf("%-24s %9s %9s %9s\n", "", "min", "median", "max");
    for (const Contender& c : contenders)
        std::printf("%-24s %9.0f %9.0f %9.0f\n", c.name, bench::Quantile(c.kb, 0),
                    bench::Median(c.kb), bench::Quantile(c.kb, 1));
    const double bare = bench::Median(contenders[0].kb);
    const double panel = bench::Median(contenders[1].kb);
    const double panel1000 = bench::Median(contenders[2].kb);
    const double extraMb = (panel - bare) / 1024;
    bench::Report({"peak memory, empty panel", bench::Format("%.1f MB", panel / 1024),
                   bench::Format("%.1f MB", bare / 1024), panel / bare,
                   "<= baseline + 15 MB", extraMb <= 15});
    const double perButtonKb = (panel1000 - panel) / Buttons;
    bench::Report({"peak memory per button (1,000 buttons)",
                   bench::Format("%.2f KB (%.1f MB in all)", perButtonKb, panel1000 / 1024),
                   bench::Format("%.1f MB (empty panel)", panel / 1024), panel1000 / panel,
                   "< 10 KB per button", perButtonKb < 10});
    if (failures > 0)
        std::fprintf(stderr, "memory: %d starts did not show both windows\n", failures);
    return failures == 0 ? 0 : 1;
}
