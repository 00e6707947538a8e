// A remote directory of 100,000 entries (a generated Unix listing) parsed, sorted and shown in
// the remote list (offscreen), against its peer in the same run: the bare parse of every line
// that any listing needs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeView>

#include "listing/listing_parser.h"
#include "listing/remote_listing.h"
#include "ui/remote_files_model.h"

namespace {

const QStringList& BigListing() {
    static const QStringList lines = [] {
        static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        static const char* const kExtensions[] = {"txt", "html", "tar.gz", "jpg", "php", "c"};
        QStringList out;
        out.reserve(100001);
        out << QStringLiteral("total 400000");
        for (int i = 0; i < 100000; ++i) {
            const bool dir = i % 20 == 0;
            const QString when = i % 3 == 0 ? QStringLiteral("%1:%2")
                                                  .arg(i % 24, 2, 10, QChar('0'))
                                                  .arg(i % 60, 2, 10, QChar('0'))
                                            : QString::number(2000 + i % 24);
            out << QStringLiteral("%1   1 web  users %2 %3 %4 %5 %6")
                       .arg(QLatin1StringView(dir ? "drwxr-xr-x"
                                                  : (i % 7 == 0 ? "-rwxr-xr-x" : "-rw-r--r--")))
                       .arg(qint64(i) * 7919 % 50000000, 10)
                       .arg(QLatin1StringView(kMonths[i % 12]))
                       .arg(1 + i % 28, 2)
                       .arg(when, 5)
                       .arg(dir ? QStringLiteral("dir%1").arg(i)
                                : QStringLiteral("File_%1.%2")
                                      .arg(i * 37 % 100000)
                                      .arg(QLatin1StringView(kExtensions[i % 6])));
        }
        return out;
    }();
    return lines;
}

ListingState FreshState() {
    ListingState state;
    SetDateOrderAndToday(state, QStringLiteral("dd/MM/yyyy"), QDate(2024, 6, 15));
    return state;
}

void BM_BareParse(benchmark::State& state) {
    const QStringList& lines = BigListing();
    for (auto _ : state) {
        ListingState listingState = FreshState();
        ExamineFirstDirEntRec(listingState, lines);
        ParsedEntry entry;
        int n = 0;
        for (const QString& line : lines) {
            if (line.size() >= listingState.minLineLength &&
                Parse_Dir_Entry(listingState, line, entry)) {
                ++n;
            }
        }
        benchmark::DoNotOptimize(n);
    }
}

struct View {
    RemoteListing listing;
    bool descending = false;
    RemoteFilesModel model{[this]() -> const RemoteListing& { return listing; },
                           [this] { return descending; }};
    QTreeView view;
    View() {
        view.setUniformRowHeights(true);
        view.setRootIsDecorated(false);
        view.setModel(&model);
        view.resize(600, 500);
        view.show();
    }
};

void BM_PopulateSortAndShow(benchmark::State& state) {
    const QStringList& lines = BigListing();
    View v;
    for (auto _ : state) {
        ListingState listingState = FreshState();
        ExamineFirstDirEntRec(listingState, lines);
        PopulateRemArraysFromRemDirStringlist(listingState, lines, {}, v.listing);
        SortRemoteArrays(v.listing, RemoteSortKey::Name);
        v.model.Reload();
        benchmark::DoNotOptimize(v.view.grab().size());  // lays out and paints the visible rows
    }
    state.counters["entries"] = double(RemoteRowCount(v.listing));
}

void BM_Resort(benchmark::State& state) {
    const RemoteSortKey key = static_cast<RemoteSortKey>(state.range(0));
    RemoteListing listing;
    ListingState listingState = FreshState();
    ExamineFirstDirEntRec(listingState, BigListing());
    PopulateRemArraysFromRemDirStringlist(listingState, BigListing(), {}, listing);
    for (auto _ : state) {
        state.PauseTiming();
        RemoteListing copy = listing;  // listing order, so every run sorts the same work
        state.ResumeTiming();
        SortRemoteArrays(copy, key);
        benchmark::DoNotOptimize(copy.files.data());
        state.PauseTiming();
        copy = {};
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_BareParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PopulateSortAndShow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resort)
    ->ArgName("key")
    ->Arg(int(RemoteSortKey::Name))
    ->Arg(int(RemoteSortKey::Extension))
    ->Arg(int(RemoteSortKey::Permissions))
    ->Arg(int(RemoteSortKey::Size))
    ->Arg(int(RemoteSortKey::Modified))
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
