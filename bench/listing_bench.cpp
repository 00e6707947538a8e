// Parsing whole listings into entries with normalised dates: 100,000 Unix lines, the same entries
// as a machine listing (MLSD, the facts the program asks ProFTPD for), 100,000 Windows lines,
// 20,000 z/OS dataset lines. Each form is measured beside plain line splitting of the same text,
// so the figures can be read as ratios on a busy machine.
#include <benchmark/benchmark.h>

#include <QString>
#include <QStringList>
#include <vector>

#include "listing/listing_parser.h"

namespace {

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

QString UnixListing(int lines) {
    QString text = QStringLiteral("total 123456\n");
    for (int i = 0; i < lines; ++i) {
        const bool dir = i % 7 == 0;
        const QString time = i % 3 == 0
                                 ? QStringLiteral(" 2019")
                                 : QStringLiteral("12:%1").arg(i % 60, 2, 10, QLatin1Char('0'));
        text += QStringLiteral("%1   1 webuser webgroup %2 %3 %4 %5 %6\n")
                    .arg(dir ? "drwxr-xr-x" : "-rw-r--r--")
                    .arg(i * 37 % 9999999, 8)
                    .arg(kMonths[i % 12])
                    .arg(1 + i % 28, 2)
                    .arg(time)
                    .arg(dir ? QStringLiteral("folder%1").arg(i)
                             : QStringLiteral("file name %1.html").arg(i));
    }
    return text;
}

// What ProFTPD sends once the program has asked (OPTS MLST) for the facts it reads.
QString MachineListing(int lines) {
    QString text = QStringLiteral(
        "modify=20260601120000;perm=flcdmpe;size=4096;type=cdir;UNIX.mode=0755; .\n");
    for (int i = 0; i < lines; ++i) {
        const bool dir = i % 7 == 0;
        text += QStringLiteral("modify=20%1%2%3%4%5%6;perm=%7;size=%8;type=%9;UNIX.mode=%10; %11\n")
                    .arg(i % 3 == 0 ? 19 : 26)
                    .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                    .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                    .arg(12, 2, 10, QLatin1Char('0'))
                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                    .arg(dir ? "flcdmpe" : "adfrw")
                    .arg(i * 37 % 9999999)
                    .arg(dir ? "dir" : "file")
                    .arg(dir ? "0755" : "0644")
                    .arg(dir ? QStringLiteral("folder%1").arg(i)
                             : QStringLiteral("file name %1.html").arg(i));
    }
    return text;
}

QString WindowsListing(int lines) {
    QString text;
    for (int i = 0; i < lines; ++i) {
        const bool dir = i % 7 == 0;
        text += QStringLiteral("%1-%2-%3  %4:%5%6       %7 %8\n")
                    .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                    .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                    .arg(i % 100, 2, 10, QLatin1Char('0'))
                    .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                    .arg(i % 2 ? "PM" : "AM")
                    .arg(dir ? QStringLiteral("<DIR>         ")
                             : QStringLiteral("%1").arg(i * 41 % 99999999, 14))
                    .arg(dir ? QStringLiteral("My Folder %1").arg(i)
                             : QStringLiteral("report %1.txt").arg(i));
    }
    return text;
}

QString ZosListing(int lines) {
    QString text =
        QStringLiteral("Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname\n");
    for (int i = 0; i < lines; ++i) {
        if (i % 50 == 0) {
            text += QStringLiteral(
                        "Migrated                                                HLQ%1.OLD.DATA\n")
                        .arg(i % 40);
            continue;
        }
        text += QStringLiteral(
                    "USR%1 3390   2023/%2/%3  1 %4  FB      80 27920  %5  HLQ%6.PROJ%7.SRC\n")
                    .arg(i % 1000, 3, 10, QLatin1Char('0'))
                    .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                    .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                    .arg(i % 9999, 4)
                    .arg(i % 3 ? "PO" : "PS")
                    .arg(i % 40)
                    .arg(i);
    }
    return text;
}

struct Entry {
    QString name;
    QString sizeText;
    bool isDirectory;
    QString permissions;
    QString modified;
};

// What the remote pane does with a fetched listing: lines, type, entries, sortable dates.
size_t ParseListing(const QString& text, bool machine) {
    ListingState state;
    SetDateOrderAndToday(state, QStringLiteral("dd/MM/yyyy"), QDate(2026, 6, 1));
    const QStringList lines = text.split(u'\n');
    if (machine) {
        UseMachineListing(state);
    } else {
        ExamineFirstDirEntRec(state, lines);
    }
    std::vector<Entry> entries;
    entries.reserve(size_t(lines.size()));
    ParsedEntry parsed;
    for (qsizetype i = state.zosMode ? 1 : 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.size() >= state.minLineLength && Parse_Dir_Entry(state, line, parsed)) {
            entries.push_back({parsed.name, parsed.sizeText, parsed.isDirectory, parsed.permissions,
                               RemoteModifiedText(state, parsed.rawDate)});
        }
    }
    benchmark::DoNotOptimize(entries.data());
    return entries.size();
}

void Run(benchmark::State& state, const QString& text, int lineCount, bool parse,
         bool machine = false) {
    // One untimed pass warms the allocator and the caches.
    benchmark::DoNotOptimize(parse ? ParseListing(text, machine)
                                   : size_t(text.split(u'\n').size()));
    for (auto _ : state) {
        if (parse) {
            benchmark::DoNotOptimize(ParseListing(text, machine));
        } else {
            const QStringList lines = text.split(u'\n');
            benchmark::DoNotOptimize(lines.constData());
        }
    }
    state.counters["lines/s"] =
        benchmark::Counter(double(lineCount), benchmark::Counter::kIsIterationInvariantRate);
}

const QString& Unix() {
    static const QString text = UnixListing(100000);
    return text;
}
const QString& Machine() {
    static const QString text = MachineListing(100000);
    return text;
}
const QString& Windows() {
    static const QString text = WindowsListing(100000);
    return text;
}
const QString& Zos() {
    static const QString text = ZosListing(20000);
    return text;
}

void BM_UnixParse(benchmark::State& s) {
    Run(s, Unix(), 100000, true);
}
void BM_UnixSplitOnly(benchmark::State& s) {
    Run(s, Unix(), 100000, false);
}
void BM_MachineParse(benchmark::State& s) {
    Run(s, Machine(), 100000, true, true);
}
void BM_MachineSplitOnly(benchmark::State& s) {
    Run(s, Machine(), 100000, false);
}
void BM_WindowsParse(benchmark::State& s) {
    Run(s, Windows(), 100000, true);
}
void BM_WindowsSplitOnly(benchmark::State& s) {
    Run(s, Windows(), 100000, false);
}
void BM_ZosParse(benchmark::State& s) {
    Run(s, Zos(), 20000, true);
}
void BM_ZosSplitOnly(benchmark::State& s) {
    Run(s, Zos(), 20000, false);
}

}  // namespace

BENCHMARK(BM_UnixParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnixSplitOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MachineParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MachineSplitOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowsParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowsSplitOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZosParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZosSplitOnly)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
