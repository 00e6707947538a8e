// Lists, sorts and lays out a directory of 100,000 files, against a plain directory read of the
// same folder (no file details) measured in the same run.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include "app/scripted_user_interface.h"
#include "config/settings.h"
#include "platform/platform.h"
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

// The system-call floor: one stat per file, nothing else.
void BM_ReadDirectory(benchmark::State& state) {
    const QString dir = BigFolder();
    QVector<platform::DirEntryInfo> entries;
    for (auto _ : state) {
        platform::ReadDirectory(dir, entries);
        benchmark::DoNotOptimize(entries.size());
    }
}

void BM_RefreshLocal(benchmark::State& state) {
    const QString dir = BigFolder();
    ScriptedUserInterface ui;
    CfgFile cfg;
    Settings settings(cfg);
    LocalPane pane(ui, settings);
    pane.SetDefaultLocalDir(dir);
    pane.SelectDirectory(dir);  // warm the file system caches
    for (auto _ : state) {
        pane.RefreshLocal();
        benchmark::DoNotOptimize(pane.RowCount());
    }
}

void BM_ResortBySize(benchmark::State& state) {
    const QString dir = BigFolder();
    ScriptedUserInterface ui;
    CfgFile cfg;
    Settings settings(cfg);
    LocalPane pane(ui, settings);
    pane.SetDefaultLocalDir(dir);
    pane.SelectDirectory(dir);
    bool descending = false;
    for (auto _ : state) {
        pane.SetSort(LocalSortKey::Size, descending = !descending);
        benchmark::DoNotOptimize(pane.RowCount());
    }
}

}  // namespace

BENCHMARK(BM_PlainDirectoryRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDirectory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshLocal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResortBySize)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
