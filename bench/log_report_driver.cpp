// Benchmark driver for scripts/bench_logs.sh: a month's log CSV read into the web traffic
// report, as the report window reads it.
// Usage: log_report_driver CSV
// Prints "rows=N summary_hits=N days=N pages=N bad=N ms=T max_rss_kb=K"; the wall time is also
// measured from outside.
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

#include "logs/log_report.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: log_report_driver CSV\n");
        return 2;
    }
    QElapsedTimer clock;
    clock.start();
    QString error;
    const LogReport report = ReadLogReport(QString::fromLocal8Bit(argv[1]), &error);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("rows=%lld summary_hits=%lld days=%zu pages=%lld bad=%lld ms=%lld max_rss_kb=%ld\n",
                static_cast<long long>(report.rows), static_cast<long long>(report.summaryHits),
                report.days.size(), static_cast<long long>(report.distinctPages),
                static_cast<long long>(report.badLines), static_cast<long long>(clock.elapsed()),
                usage.ru_maxrss);
    return 0;
}
