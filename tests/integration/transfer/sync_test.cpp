// Synchronise against every FTP server of the bench and OpenSSH: a site published with and
// without deletion, a second comparison that finds nothing, a backup the other way, and the
// script commands unattended. Files are compared on the server's disk.
#include <QRegularExpression>

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

    // Publish without deletion: what differs goes, the server's extras stay.
    Synchroniser::Outcome out = sync.Synchronise(true, false);
    EXPECT_TRUE(out.Ok());
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
