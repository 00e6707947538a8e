// A directory of 100,000 files listed, sorted and shown in the local list (offscreen), against
// the plain listing and sorting without the list view, in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTreeView>

#include "app/scripted_user_interface.h"
#include "config/settings.h"
#include "ui/local_files_model.h"
#include "ui/model/local_pane.h"

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
