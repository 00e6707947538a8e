// Benchmark driver for scripts/bench_logs.sh: log files into one CSV through LogRun, as the
// log processing command runs them.
// Usage: log_processing_driver [-s SUMMARY] [-f FILTER]... [-d DOMAIN] [-r REMOTE_DIR] OUTPUT
// LOG... Prints "lines=N rows=N ms=T max_rss_kb=K"; the wall time is also measured from outside.
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "logs/log_run.h"

int main(int argc, char** argv) {
    QString summary;
    QStringList filters;
    QString domain = "example.com";
    QString remoteDir = "logs";
    int arg = 1;
    for (; arg + 1 < argc && argv[arg][0] == '-' && std::strlen(argv[arg]) == 2; arg += 2) {
        const QString value = QString::fromLocal8Bit(argv[arg + 1]);
        switch (argv[arg][1]) {
            case 's':
                summary = value;
                break;
            case 'f':
                filters.append(value);
                break;
            case 'd':
                domain = value;
                break;
            case 'r':
                remoteDir = value;
                break;
            default:
                arg = argc;
        }
    }
    if (argc - arg < 2) {
        std::fprintf(stderr,
                     "usage: log_processing_driver [-s SUMMARY] [-f FILTER]... [-d DOMAIN] "
                     "[-r REMOTE_DIR] OUTPUT LOG...\n");
        return 2;
    }
    QElapsedTimer clock;
    clock.start();
    LogRun run(summary, filters);
    LogRunStatus status = run.Begin(QString::fromLocal8Bit(argv[arg]));
    for (int i = arg + 1; i < argc && status == LogRunStatus::Ok; ++i) {
        status = run.ProcessCurrentLogFile(QString::fromLocal8Bit(argv[i]), domain, remoteDir);
    }
    if (status == LogRunStatus::Ok) {
        status = run.Finish();
    }
    if (status != LogRunStatus::Ok) {
        std::fprintf(stderr, "%s\n", qPrintable(run.ErrorText()));
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("lines=%lld rows=%lld ms=%lld max_rss_kb=%ld\n",
                static_cast<long long>(run.LinesRead()), static_cast<long long>(run.RowsWritten()),
                static_cast<long long>(clock.elapsed()), usage.ru_maxrss);
    return 0;
}
