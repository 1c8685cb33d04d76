// Saves layouts for the file safety tests, in a process of its own so that a test can
// kill it or limit its file size:
//   layout_writer loop <file>           saves WriterLayout(0) and (1) in turn for ever,
//                                       printing "saved" after each save
//   layout_writer limited <file> <max>  one save of WriterLayout(1) with files limited to
//                                       max bytes; prints the failed step and errno;
//                                       exit 0 when saved
#include "WriterLayouts.h"

#include <QCoreApplication>
#include <QStringList>

#include <csignal>
#include <cstdio>

#include <sys/resource.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString file = args.value(2);
    if (args.value(1) == QLatin1String("loop")) {
        for (int i = 0;; ++i) {
            if (!SaveLayout(file, WriterLayout(i % 2)))
                return 2;
            std::puts("saved");
            std::fflush(stdout);
        }
    }
    if (args.value(1) == QLatin1String("limited")) {
        const rlim_t max = args.value(3).toULongLong();
        const rlimit limit{max, max};
        // A write past the limit then fails with EFBIG instead of ending the process.
        if (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 3;
        TFileResult result;
        const bool saved = SaveLayout(file, WriterLayout(1), &result);
        if (!saved)
            std::printf("failed %d %d\n", int(result.step), result.error);
        return saved ? 0 : 1;
    }
    return 4;
}
