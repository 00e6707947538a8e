// The runner without a server: scripts of local commands, waits, programs and stops.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include "app/app_core.h"
#include "app/scripted_user_interface.h"
#include "panes/local_pane.h"
#include "script/script_runner.h"
#include "support/test_support.h"

namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "script_runner_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

struct Runner {
    TestFolder work;
    TestFolder local;
    ScopedEnv home{"VORLENFTP_HOME", work.Path()};
    ScriptedUserInterface ui;
    AppCore core{ui};
    ScriptRunner& runner = *core.scripts;

    Runner() {
        App();
        core.FormCreate({});
        core.localPane->SelectDirectory(local.Path());
    }
    // Runs Lines as a script chosen in the select-script dialog.
    void Run(const QStringList& lines) {
        const QString file = work.File("script.txt");
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(lines.join('\n').toUtf8());
        out.close();
        ui.scriptFileAnswers.enqueue(file);
        runner.RunscriptActions();
    }
    bool Logged(const QString& text) const { return ui.logLines.contains(text); }
};

}  // namespace

TEST(ScriptRunner, LocalCommandsSectionsAndExitIteration) {
    Runner r;
    const QString dir = r.local.Path();
    QFile(r.local.File("junk.tmp")).open(QIODevice::WriteOnly);
    QFile(r.local.File("keep.tmp.bak")).open(QIODevice::WriteOnly);
    QTimer::singleShot(2400, [&] { r.runner.RequestStop(); });  // after the 2 s SLEEP
    r.Run({"# made by hand", "TIME-BETWEEN-RUNS 10", "loc-mkdir made", "LOC-MKDIR made",
           "LOC-DEL *.tmp",
           "IF NOT DAY-OF-WEEK<Monday,Tuesday,Wednesday,Thursday,Friday,"
           "Saturday,Sunday> BEGIN-Never",
           "  IF LOC-FILE-EXISTS<made> BEGIN-Inner", "LOC-MKDIR inner", "  END-Inner",
           "LOC-MKDIR never", "END-Never", "IF LOC-FILE-EXISTS<made> BEGIN-Made", "LOC-MKDIR seen",
           "END-Made", "IF LOC-FILE-EXISTS<made>", "SLEEP abc", "bogus", "EXIT ITERATION",
           "LOC-MKDIR after"});
    EXPECT_TRUE(QFileInfo(dir + "/made").isDir());
    EXPECT_TRUE(QFileInfo(dir + "/seen").isDir());
    for (const char* skipped : {"inner", "never", "after"}) {
        EXPECT_FALSE(QFileInfo::exists(dir + "/" + skipped)) << skipped;
    }
    EXPECT_FALSE(QFileInfo::exists(dir + "/junk.tmp"));
    EXPECT_TRUE(QFileInfo::exists(dir + "/keep.tmp.bak"));  // "*.tmp" is the whole name
    EXPECT_TRUE(
        r.Logged("Cannot create folder made because a folder with that name already "
                 "exists"));
    EXPECT_TRUE(r.Logged(dir + "/junk.tmp deleted"));
    EXPECT_TRUE(r.Logged("Non integer SLEEP parameter interpreted as 2 seconds"));
    EXPECT_TRUE(r.Logged("File specified in IF statement exists"));
    EXPECT_TRUE(r.ui.logLines.last().contains("You should now exit, connect or run another"));
    EXPECT_TRUE(r.ui.logLines.filter("Above script line ignored because meaning unknown").size() ==
                1);
    EXPECT_EQ(r.ui.logLines.count("LOC-MKDIR never"), 1);  // listed, but not logged as run
    EXPECT_EQ(r.ui.scriptLabels[3], "Number of times script has run: 1");
    EXPECT_EQ(r.ui.scriptLabels[4], "Time in minutes between runs: 10");
    EXPECT_FALSE(r.ui.scriptView);
    EXPECT_FALSE(r.core.run.scriptRunning);
    EXPECT_EQ(r.ui.closeRequests, 0);
    EXPECT_EQ(r.runner.ExitStatus(), ScriptRunner::kAllSucceeded);
}

TEST(ScriptRunner, RefusedBeforeTheFirstRun) {
    Runner r;
    r.ui.scriptFileAnswers.enqueue(r.work.File("missing.txt"));
    r.runner.RunscriptActions();
    EXPECT_EQ(
        r.ui.MessageTexts().value(0).trimmed(),
        r.work.File("missing.txt") + " not found, please retry using a different script file name");
    EXPECT_EQ(r.runner.ExitStatus(), ScriptRunner::kCouldNotStart);

    Runner generic;
    generic.Run({"PUT /tmp/*.txt backup.txt", "LOC-MKDIR x"});
    EXPECT_FALSE(QFileInfo::exists(generic.local.File("x")));
    EXPECT_EQ(generic.runner.ExitStatus(), ScriptRunner::kCouldNotStart);

    Runner noSite;
    noSite.Run({"GET a.txt"});
    EXPECT_EQ(noSite.ui.MessageTexts().value(0),
              "No remote site selected - please login and retry the script");

    Runner binary;
    const QString file = binary.work.File("script.bin");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QByteArray("LOC-MKDIR a\0\x01\x02", 14));
    out.close();
    binary.ui.scriptFileAnswers.enqueue(file);
    binary.runner.RunscriptActions();
    EXPECT_FALSE(QFileInfo::exists(binary.local.File("a")));  // never half-run
    EXPECT_EQ(binary.ui.MessageTexts().value(0), "Error opening script file " + file);

    Runner cancelled;
    cancelled.runner.RunscriptActions();  // the dialog cancelled: nothing happens
    EXPECT_TRUE(cancelled.ui.logLines.isEmpty());
}

TEST(ScriptRunner, ProgramsRunAndAreWaitedForWithoutSpinning) {
    Runner r;
    const double cpu = CpuSeconds();
    r.Run({"RUN-AND-WAIT /bin/sh -c \"sleep 1; echo done > out.txt\"", "SLEEP 2",
           "RUN-AND-WAIT /no/such/program x", "RUN-AND-WAIT", "EXIT SCRIPT", "LOC-MKDIR no"});
    EXPECT_LT(CpuSeconds() - cpu, 0.5);  // three seconds of waiting cost next to nothing
    QFile out(r.local.File("out.txt"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(), "done\n");
    EXPECT_TRUE(r.Logged("Sleeping for 2 seconds"));
    EXPECT_TRUE(r.Logged("Error spawning /no/such/program"));
    EXPECT_TRUE(r.Logged("RUN-AND-WAIT with no parameters ignored"));
    EXPECT_FALSE(QFileInfo::exists(r.local.File("no")));
    // The local pane shows what the script's program made once the script has stopped.
    bool listed = false;
    for (int i = 0; i < r.core.localPane->RowCount(); ++i) {
        listed = listed || r.core.localPane->Row(i).name == "out.txt";
    }
    EXPECT_TRUE(listed);
}

TEST(ScriptRunner, DailyScriptWaitsForItsMinuteAndExitVorlenCloses) {
    Runner r;
    // The clock reaches 06:30 on its third reading.
    int readings = 0;
    r.runner.now = [&] {
        ++readings;
        return QDateTime(QDate(2026, 3, 7), readings < 3 ? QTime(6, 29, 59) : QTime(6, 30, 0));
    };
    r.runner.dailyCheckMs = 50;
    r.Run({"TIME-OF-RUN 06:30", "LOC-MKDIR ran-?YYYY?MM?DD-?DAY-OF-WEEK", "EXIT VORLEN"});
    EXPECT_TRUE(QFileInfo(r.local.File("ran-20260307-Saturday")).isDir());
    EXPECT_TRUE(r.Logged("Timer based actions run at 06:30"));
    EXPECT_EQ(r.ui.scriptLabels[4], "Time of day when script runs: 06:30");
    EXPECT_EQ(r.ui.closeRequests, 1);
    EXPECT_EQ(r.runner.ExitStatus(), ScriptRunner::kAllSucceeded);
}

TEST(ScriptRunner, AStopFromOutsideEndsTheRunAtTheNextLine) {
    Runner r;
    QTimer::singleShot(300, [&] { r.runner.RequestStop(); });
    r.Run({"SLEEP 20", "LOC-MKDIR after"});
    EXPECT_FALSE(QFileInfo::exists(r.local.File("after")));
    EXPECT_TRUE(r.Logged("Script actions have stopped."));
    EXPECT_EQ(r.runner.ExitStatus(), ScriptRunner::kSomethingFailed);  // not all was done
}
