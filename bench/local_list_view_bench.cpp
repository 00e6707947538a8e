// A directory of 100,000 files listed, sorted and shown in the local list (offscreen), against
// its peers in the same run: a plain directory read without file details, and the directory
// read with one stat per file that the listing needs (the system-call floor).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTreeView>

#include "app/scripted_user_interface.h"
#include "config/settings.h"
#include "panes/local_pane.h"
#include "platform/platform.h"
#include "ui/local_files_model.h"

namespace {

const QString& BigFolder() {
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        for (int i = 0; i < 100000; ++i) {
            QFile f(dir.filePath(QString("file%1.%2").arg(i).arg(i % 7 == 0 ? "txt" : "dat")));
            f.open(QIODevice::WriteOnly);
            f.write(QByteArray(i % 100, 'x'));
        }
        made = true;
    }
    static const QString path = dir.path();
    return path;
}

struct Pane {
    ScriptedUserInterface ui;
    CfgFile cfg;
    Settings settings{cfg};
    LocalPane pane{ui, settings};
    Pane() {
        pane.SetDefaultLocalDir(BigFolder());
        pane.SelectDirectory(BigFolder());  // warm the file system caches
    }
};

void BM_PlainDirectoryRead(benchmark::State& state) {
    const QString dir = BigFolder();
    for (auto _ : state) {
        QDirIterator it(dir, QDir::Files | QDir::NoDotAndDotDot);
        int n = 0;
        while (it.hasNext()) {
            it.next();
            ++n;
        }
        benchmark::DoNotOptimize(n);
    }
}

void BM_ReadDirectory(benchmark::State& state) {
    const QString dir = BigFolder();
    QVector<platform::DirEntryInfo> entries;
    for (auto _ : state) {
        platform::ReadDirectory(dir, entries);
        benchmark::DoNotOptimize(entries.size());
    }
}

void BM_ResortBySize(benchmark::State& state) {
    Pane p;
    bool descending = false;
    for (auto _ : state) {
        p.pane.SetSort(LocalSortKey::Size, descending = !descending);
        benchmark::DoNotOptimize(p.pane.RowCount());
    }
}

void BM_ListAndSort(benchmark::State& state) {
    Pane p;
    for (auto _ : state) {
        p.pane.RefreshLocal();
        benchmark::DoNotOptimize(p.pane.RowCount());
    }
}

void BM_ListSortAndShow(benchmark::State& state) {
    Pane p;
    QTreeView view;
    view.setUniformRowHeights(true);
    view.setRootIsDecorated(false);
    LocalFilesModel model(p.pane);
    view.setModel(&model);
    view.resize(600, 500);
    view.show();
    for (auto _ : state) {
        p.pane.RefreshLocal();
        model.Reload();
        benchmark::DoNotOptimize(view.grab().size());  // lays out and paints the visible rows
    }
}

}  // namespace

BENCHMARK(BM_PlainDirectoryRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDirectory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResortBySize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListAndSort)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListSortAndShow)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
