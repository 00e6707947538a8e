// Synchronise against every FTP server of the bench and OpenSSH: a site published with and
// without deletion, a second comparison that finds nothing, a backup the other way, and the
// script commands unattended. Files are compared on the server's disk.
#include <QRegularExpression>

#include <ctime>

#include "script/script_runner.h"
#include "transfer/synchroniser.h"
#include "transfer_program.h"

namespace {

const QDateTime kOld(QDate(2025, 1, 2), QTime(10, 20, 30));

void SetTime(const QString& path, const QDateTime& time) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
}

std::vector<SyncStep> Plan(Program& p, bool upload, bool deleteExtra) {
    std::vector<SyncItem> items;
    EXPECT_TRUE(p.core.synchroniser->Compare(items));
    return PlanSync(items, upload, deleteExtra);
}

}  // namespace

TEST_P(Transfer, SynchroniseMakesEitherSideLikeTheOtherAndThenFindsNothingToDo) {
    Program p(GetParam());
    Synchroniser& sync = *p.core.synchroniser;
    WriteFile(p.local.File("index.html"), "<p>new page</p>\n");
    WriteFile(p.local.File("img/a.png"), RandomBytes(50000));
    WriteFile(p.local.File("same.txt"), "same");
    QDir().mkpath(p.local.File("css"));
    QFile::link(p.local.File("img"), p.local.File("link-to-img"));  // never followed
    for (const char* f : {"index.html", "img/a.png", "same.txt"}) {
        SetTime(p.local.File(f), kOld);
    }
    WriteFile(p.remote + "/index.html", "<p>the old page, longer</p>\n");
    WriteFile(p.remote + "/same.txt", "same");
    WriteFile(p.remote + "/extra.txt", "extra");
    WriteFile(p.remote + "/gone/x.txt", "x");
    SetTime(p.remote + "/same.txt", kOld);
    p.Chown();
    ASSERT_TRUE(p.LogIn());

    std::vector<SyncItem> items;
    ASSERT_TRUE(sync.Compare(items));
    const SyncCounts counts = CountSync(items);
    EXPECT_EQ(counts.onlyHere, 3);  // css, img, img/a.png; the link is not there
    EXPECT_EQ(counts.onlyHereBytes, 50000);
    EXPECT_EQ(counts.onlyThere, 3);  // extra.txt, gone, gone/x.txt
    EXPECT_EQ(counts.newerHere + counts.newerThere, 1);
    EXPECT_EQ(counts.same, 1);

    // Publish without deletion: what differs goes (two at once), the
    // server's extras stay.
    Synchroniser::Outcome out = sync.Synchronise(true, false);
    EXPECT_TRUE(out.Ok());
    EXPECT_TRUE(p.ui.logLines.contains(GetParam().sftp ? "Moving 2 files, 2 at a time"
                                                       : "Moving 2 files over 2 connections"));
    EXPECT_EQ(out.sent, 2);
    EXPECT_EQ(out.madeFolders, 2);
    EXPECT_EQ(ReadFile(p.remote + "/index.html"), "<p>new page</p>\n");
    EXPECT_EQ(ReadFile(p.remote + "/img/a.png"), ReadFile(p.local.File("img/a.png")));
    EXPECT_TRUE(QFileInfo(p.remote + "/css").isDir());
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/link-to-img"));
    EXPECT_TRUE(QFileInfo::exists(p.remote + "/extra.txt"));
    if (QString(GetParam().name) != "Ftp") {  // vsftpd cannot set a file's time
        EXPECT_EQ(QFileInfo(p.remote + "/index.html").lastModified(), kOld);
    }
    EXPECT_TRUE(Plan(p, true, false).empty());
    EXPECT_EQ(p.session.currentRemoteDir, p.remote);

    // With deletion, after the question the window asks: only the extras go.
    out = sync.Synchronise(true, true);
    EXPECT_EQ(out.deleted, 3);
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/extra.txt"));
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/gone"));
    EXPECT_TRUE(Plan(p, true, true).empty());

    // Back the other way: the server's new file comes down with its time, the local-only goes.
    WriteFile(p.remote + "/news.html", "<p>news</p>\n");
    SetTime(p.remote + "/news.html", kOld);
    p.Chown();
    WriteFile(p.local.File("draft.txt"), "draft");
    out = sync.Synchronise(false, true);
    EXPECT_TRUE(out.Ok());
    // vsftpd gave the uploaded copies its own time: as the newer side they come back too.
    EXPECT_EQ(out.sent, QString(GetParam().name) == "Ftp" ? 3 : 1);
    EXPECT_EQ(out.deleted, 1);
    EXPECT_EQ(ReadFile(p.local.File("news.html")), "<p>news</p>\n");
    EXPECT_EQ(QFileInfo(p.local.File("news.html")).lastModified().date(), kOld.date());
    EXPECT_FALSE(QFileInfo::exists(p.local.File("draft.txt")));
    EXPECT_TRUE(Plan(p, false, true).empty());
    EXPECT_TRUE(p.ui.logLines.contains("Downloaded news.html"));
    EXPECT_TRUE(p.ui.logLines.contains("Deleted draft.txt here"));
}

TEST_P(Transfer, SynchroniseScriptCommandsRunUnattendedAndReportFailures) {
    Program p(GetParam());
    p.SaveSite();
    p.core.settings.common.simultaneousTransfers = 1;  // one file after the other
    WriteFile(p.local.File("site/index.html"), "<p>home</p>\n");
    WriteFile(p.local.File("site/blog/one.html"), "<p>one</p>\n");
    WriteFile(p.remote + "/old.html", "old");
    QDir().mkpath(p.remote + "/locked");
    WriteFile(p.remote + "/locked/keep.txt", "keep");
    p.Chown();
    QFile::setPermissions(p.remote + "/locked", QFile::ReadOwner | QFile::ExeOwner);
    const QString script = p.work.File("publish.txt");
    WriteFile(script, ("LOC-CD " + p.local.File("site") + "\nREM-CD " + p.remote +
                       "\nSYNC-UP -DELETE\nEXIT VORLEN\n")
                          .toUtf8());
    p.ui.scriptFileAnswers.enqueue(script);
    p.core.scripts->RunscriptActions();
    QFile::setPermissions(p.remote + "/locked",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(ReadFile(p.remote + "/index.html"), "<p>home</p>\n");
    EXPECT_EQ(ReadFile(p.remote + "/blog/one.html"), "<p>one</p>\n");
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/old.html"));
    // A file the server keeps (and so its folder) makes the run's status say so; the rest went.
    EXPECT_TRUE(QFileInfo::exists(p.remote + "/locked/keep.txt"));
    EXPECT_TRUE(p.ui.logLines.contains("Could not delete locked/keep.txt on the server"));
    EXPECT_EQ(p.ui.logLines.filter(QRegularExpression("^Synchronised .*2 failed")).size(), 1)
        << p.ui.logLines.join('\n').toStdString();
    EXPECT_EQ(p.core.scripts->ExitStatus(), ScriptRunner::kSomethingFailed);

    // A parameter other than -DELETE keeps the script from starting.
    WriteFile(script, "SYNC-DOWN -ALL\n");
    p.ui.scriptFileAnswers.enqueue(script);
    p.core.scripts->RunscriptActions();
    EXPECT_EQ(p.core.scripts->ExitStatus(), ScriptRunner::kCouldNotStart);
}

namespace {

// A site of Count files in four folders, of sizes that differ.
void WriteSite(const QString& top, int count) {
    for (int i = 0; i < count; ++i) {
        WriteFile(QStringLiteral("%1/d%2/f%3.bin").arg(top).arg(i % 4).arg(i),
                  RandomBytes(20000 + 7919 * i, quint32(i)));
    }
}

}  // namespace

TEST(SynchroniseTogether, AServerThatRefusesMoreConnectionsStillGetsEveryFile) {
    REQUIRE_SERVER("VSFTPD_LIMITED_PORT");
    Program p(Kind{"Limited", false, "VSFTPD_LIMITED_PORT"});
    WriteSite(p.local.Path(), 24);
    ASSERT_TRUE(p.LogIn());
    const Synchroniser::Outcome out = p.core.synchroniser->Synchronise(true, false);
    EXPECT_TRUE(out.Ok());
    EXPECT_EQ(out.sent, 24);
    EXPECT_EQ(Tree(p.remote), Tree(p.local.Path()));
    // Two connections from here: the session's and one more; the other three were refused.
    EXPECT_EQ(p.ui.logLines.filter("Another connection to the server was not made (421").size(), 3);
    EXPECT_TRUE(p.ui.logLines.contains("Moving 24 files over 1 connection"));
}

TEST(SynchroniseTogether, CancelStopsEveryConnectionAndNamesWhatWasHalfWay) {
    REQUIRE_SERVER("VSFTPD_PORT");
    Program p(Kind{"Ftp", false});
    WriteSite(p.local.Path(), 40);
    ASSERT_TRUE(p.LogIn());
    // Cancel as soon as the first file has arrived, as a person pressing the button.
    const auto press = p.CancelOnceLogged("^Uploaded ");
    const Synchroniser::Outcome out = p.core.synchroniser->Synchronise(true, false);
    EXPECT_TRUE(out.cancelled);
    EXPECT_LT(out.sent, 40);
    const QMap<QString, QByteArray> here = Tree(p.local.Path());
    const QMap<QString, QByteArray> there = Tree(p.remote);
    for (auto it = there.begin(); it != there.end(); ++it) {
        if (it.value() != here.value(it.key())) {  // half-written: the log says so
            EXPECT_EQ(
                p.ui.logLines.filter("Stopped while moving " + p.remote + "/" + it.key()).size(), 1)
                << it.key().toStdString();
        }
    }
    // The next synchronise finishes the job.
    const Synchroniser::Outcome rest = p.core.synchroniser->Synchronise(true, false);
    EXPECT_TRUE(rest.Ok());
    EXPECT_EQ(Tree(p.remote), here);
}

// Every connection is dropped half a second into a download (the scripted "dropper"): the files
// that fit arrive whole, the rest is retried elsewhere and what stays partial is named.
TEST(SynchroniseTogether, DroppedConnectionsLoseNothingSilently) {
    REQUIRE_SERVER("SCRIPTED_DROPPER");
    Program p(false);
    p.Scripted("DROPPER");
    ASSERT_TRUE(p.LogIn());
    const QString home =
        QFileInfo(ServerEnv::Get().Value("FTP_ROOT")).dir().filePath("scripted-home");
    const Synchroniser::Outcome out = p.core.synchroniser->Synchronise(false, false);
    EXPECT_FALSE(out.Ok());
    EXPECT_EQ(ReadFile(p.local.File("small.txt")), ReadFile(home + "/small.txt"));
    EXPECT_FALSE(p.ui.logLines.filter(QRegularExpression("^Connection \\d to the server was lost"))
                     .isEmpty());
    for (const QString& name : {QString("big.bin"), QString("slow.bin")}) {
        const QString path = p.local.File(name);
        if (QFileInfo::exists(path) && ReadFile(path) != ReadFile(home + "/" + name)) {
            EXPECT_FALSE(p.ui.logLines.filter(path).isEmpty()) << name.toStdString();
        }
    }
    EXPECT_FALSE(p.core.run.batchTransferRunning);
}

// SFTP keeps several files in flight inside its one session: a site goes up and comes back
// whole with its times, and Cancel (which ends an SFTP session) names every half-moved file.
TEST(SynchroniseTogether, SftpMovesSeveralFilesAtOnceInOneSession) {
    REQUIRE_SSHD_SERVER();
    Program p(true);
    WriteSite(p.local.Path(), 40);
    for (int i = 0; i < 40; ++i) {
        SetTime(p.local.File(QStringLiteral("d%1/f%2.bin").arg(i % 4).arg(i)), kOld.addSecs(i));
    }
    ASSERT_TRUE(p.LogIn());
    Synchroniser::Outcome out = p.core.synchroniser->Synchronise(true, false);
    EXPECT_TRUE(out.Ok());
    EXPECT_EQ(out.sent, 40);
    EXPECT_TRUE(p.ui.logLines.contains("Moving 40 files, 4 at a time"));
    EXPECT_EQ(Tree(p.remote), Tree(p.local.Path()));
    EXPECT_EQ(QFileInfo(p.remote + "/d3/f39.bin").lastModified(), kOld.addSecs(39));
    EXPECT_TRUE(Plan(p, true, false).empty());

    // Back into an empty folder, with Cancel once the first file has arrived.
    const QMap<QString, QByteArray> site = Tree(p.remote);
    ASSERT_TRUE(QDir(p.local.Path()).removeRecursively());
    ASSERT_TRUE(QDir().mkpath(p.local.Path()));
    const auto press = p.CancelOnceLogged("^Downloaded ");
    out = p.core.synchroniser->Synchronise(false, false);
    EXPECT_TRUE(out.cancelled);
    EXPECT_LT(out.sent, 40);
    const QMap<QString, QByteArray> here = Tree(p.local.Path());
    for (auto it = here.begin(); it != here.end(); ++it) {
        if (it.value() != site.value(it.key())) {
            EXPECT_EQ(
                p.ui.logLines.filter("Stopped while moving " + p.remote + "/" + it.key()).size(), 1)
                << it.key().toStdString();
        }
    }
    ASSERT_TRUE(p.LogIn());
    out = p.core.synchroniser->Synchronise(false, false);
    EXPECT_TRUE(out.Ok());
    EXPECT_EQ(Tree(p.local.Path()), site);
    // To the second, although the listing's text shows only the day of a file this old.
    EXPECT_EQ(QFileInfo(p.local.File("d1/f1.bin")).lastModified(), kOld.addSecs(1));
}

// vsftpd lists times in UTC; here, three hours east, a listed time read as this machine's would
// make every published file look older than its source, and it would go again on every run.
TEST(SynchroniseTimes, AListingInAnotherZoneIsCorrectedByTheExactTime) {
    REQUIRE_SERVER("VSFTPD_PORT");
    struct Zone {
        const bool had = qEnvironmentVariableIsSet("TZ");
        const QByteArray saved = qgetenv("TZ");
        Zone() {
            qputenv("TZ", "UTC-3");
            tzset();
        }
        ~Zone() {
            had ? qputenv("TZ", saved) : qunsetenv("TZ");
            tzset();
        }
    } east;
    Program p(Kind{"Ftp", false});
    WriteFile(p.local.File("index.html"), "<p>home</p>\n");
    SetTime(p.local.File("index.html"), QDateTime::currentDateTime().addSecs(-600));
    ASSERT_TRUE(p.LogIn());
    EXPECT_EQ(p.core.synchroniser->Synchronise(true, false).sent, 1);
    EXPECT_TRUE(Plan(p, true, false).empty());
    EXPECT_TRUE(p.ui.logLines.contains(
        "The server lists times 180 minutes behind its exact ones: corrected"));
}

// A file the server refuses (a folder it will not let us write) fails alone and at once on the
// extra connections, which send their data without waiting for the server's go-ahead.
TEST(SynchroniseTogether, ARefusedFileFailsAloneAndTheRestGoes) {
    REQUIRE_SERVER("VSFTPD_PORT");
    Program p(Kind{"Ftp", false});
    WriteSite(p.local.Path(), 8);
    WriteFile(p.local.File("locked/page.html"), "<p>new</p>\n");
    QDir().mkpath(p.remote + "/locked");
    p.Chown();
    QFile::setPermissions(p.remote + "/locked",
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    ASSERT_TRUE(p.LogIn());
    QElapsedTimer clock;
    clock.start();
    const Synchroniser::Outcome out = p.core.synchroniser->Synchronise(true, false);
    QFile::setPermissions(p.remote + "/locked",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_LT(clock.elapsed(), 10000);  // no connection waited for its time-out
    EXPECT_EQ(out.sent, 8);
    EXPECT_EQ(out.failed, 1);
    EXPECT_EQ(p.ui.logLines.filter(QRegularExpression("^Could not upload locked/page.html")).size(),
              1);
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/locked/page.html"));
}
