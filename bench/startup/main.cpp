// Start-up time: from just before the process is spawned until its main window and its
// start-up box are both mapped on the X server. Three programs take turns, so that all
// see the same load on the machine: the bare Qt program, the real program with an empty
// panel, and the real program with 1,000 buttons. Needs an X server without a window
// manager (xvfb-run). Argument: the number of runs of each (20).
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

struct Contender {
    const char* name;
    std::string program;
    std::vector<double> ms;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    bench::ProgramLauncher launcher;
    QTemporaryDir dir;
    if (!launcher.IsOpen() || !dir.isValid()) {
        std::fprintf(stderr, "startup: needs an X display and a temporary folder\n");
        return 1;
    }
    const QString empty = bench::PreparePanelCopy(dir.filePath("empty"), 0);
    const QString full = bench::PreparePanelCopy(dir.filePath("full"), 1000);
    if (empty.isEmpty() || full.isEmpty())
        return 1;
    Contender contenders[] = {{"bare Qt program", BARE_PROGRAM, {}},
                              {"panel, empty", empty.toStdString(), {}},
                              {"panel, 1,000 buttons", full.toStdString(), {}}};
    constexpr int count = int(std::size(contenders));
    // The first starts read fonts and libraries from disk; they are not counted.
    for (int warmUp = 0; warmUp < 2; ++warmUp)
        for (Contender& c : contenders)
            launcher.Run(c.program, StartTitles, 0);
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        // Each round starts with another one, so that none always follows the same.
        for (int k = 0; k < count; ++k) {
            Contender& c = contenders[(run + k) % count];
            const bench::LaunchFigures figures = launcher.Run(c.program, StartTitles, 0);
            if (figures.ok)
                c.ms.push_back(figures.windowsMs);
            else
                ++failures;
        }
    }
    std::printf("startup: %d runs each, milliseconds until window and box are mapped\n", runs);
    std::printf("%-24s %9s %9s %9s %9s\n", "", "p10", "median", "p90", "runs");
    for (const Contender& c : contenders)
        std::printf("%-24s %9.1f %9.1f %9.1f %9zu\n", c.name, bench::Quantile(c.ms, 0.1),
                    bench::Median(c.ms), bench::Quantile(c.ms, 0.9), c.ms.size());
    const double bare = bench::Median(contenders[0].ms);
    const double panel = bench::Median(contenders[1].ms);
    const double panel1000 = bench::Median(contenders[2].ms);
    const double emptyRatio = bench::PairedRatio(contenders[1].ms, contenders[0].ms);
    const double fullRatio = bench::PairedRatio(contenders[2].ms, contenders[1].ms);
    bench::Report({"start-up, empty panel (median of " + std::to_string(runs) + ")",
                   bench::Format("%.0f ms", panel), bench::Format("%.0f ms", bare), emptyRatio,
                   "<= 1.3x", emptyRatio <= 1.3});
    bench::Report({"start-up, 1,000 buttons (median of " + std::to_string(runs) + ")",
                   bench::Format("%.0f ms", panel1000),
                   bench::Format("%.0f ms (empty panel)", panel), fullRatio, "<= 2x",
                   fullRatio <= 2});
    if (failures > 0)
        std::fprintf(stderr, "startup: %d starts did not show both windows\n", failures);
    return failures == 0 ? 0 : 1;
}
