// The rules of moving files over an in-memory remote: retries while the connection lives,
// resume decisions, a connection lost in a batch, the tree walk both ways, z/OS allocation, and
// the engine-resumed (SFTP) flow.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "support/memory_remote.h"
#include "support/test_support.h"
#include "transfer/existing_files.h"

namespace {

struct Transferring : MemorySubjects {
    Transferring() {
        remote.files = {{"/home/u/a.txt", "alpha"}, {"/home/u/big.bin", RandomBytes(1000)}};
        local.SetCurrentDir(folder.Path());
        session.RequestConnect();
    }
    void Download(const QString& name) {
        transfers.transferSize = remote.files.value("/home/u/" + name).size();
        transfers.DownloadFile(name, name);
    }
    TestFolder folder;
};

TEST(TransfersRules, AFailedTransferIsTriedTwiceMoreWhileTheConnectionLives) {
    Transferring s;
    ASSERT_TRUE(s.session.Connected());
    s.remote.failures["/home/u/a.txt"] = 2;
    s.Download("a.txt");
    EXPECT_TRUE(s.transfers.lastTransferOk);
    EXPECT_EQ(s.folder.Read("a.txt"), "alpha");
    EXPECT_TRUE(s.ui.logLines.contains("Error with transfer but still connected - retrying (2)"));
    EXPECT_TRUE(s.ui.logLines.filter("Partial file").isEmpty());  // it arrived whole

    s.remote.failures["/home/u/a.txt"] = 3;
    s.Download("a.txt");
    EXPECT_FALSE(s.transfers.lastTransferOk);
    EXPECT_EQ(s.remote.requests.filter("RETR /home/u/a.txt").size(), 3 + 3);
    EXPECT_EQ(s.ui.StatusPanelText(StatusPanel::General), " Download of a.txt failed.");
}

TEST(TransfersRules, ResumeContinuesThePartialCopyUnlessTheRemoteFileChanged) {
    Transferring s;
    const QByteArray whole = s.remote.files["/home/u/big.bin"];
    s.folder.Write("big.bin", whole.left(300));
    s.ui.resumeTicked = true;
    s.ui.dialogAnswers.enqueue(ModalResult::Yes);
    s.Download("big.bin");
    EXPECT_TRUE(s.remote.requests.contains("REST+RETR /home/u/big.bin"));
    EXPECT_EQ(s.folder.Read("big.bin"), whole);
    EXPECT_FALSE(s.ui.resumeTicked);

    // A newer remote file: its start and end would not match, so it comes whole.
    s.folder.Write("big.bin", whole.left(300));
    s.remote.times["/home/u/big.bin"] = QDateTime::currentDateTimeUtc().addSecs(3600);
    s.ui.resumeTicked = true;
    s.ui.dialogAnswers.enqueue(ModalResult::Yes);
    s.Download("big.bin");
    EXPECT_TRUE(
        s.ui.logLines.contains("The remote file big.bin has changed since the partial "
                               "copy was made: downloading it whole instead of resuming"));
    EXPECT_EQ(s.folder.Read("big.bin"), whole);
}

TEST(TransfersRules, AnAsciiUploadIsNeverResumed) {
    Transferring s;
    s.folder.Write("up.txt", "text");
    s.remote.SetTransferMode(true);
    s.ui.resumeTicked = true;
    s.transfers.UploadFile("up.txt", s.folder.File("up.txt"), false);
    EXPECT_TRUE(s.ui.MessageTexts().contains(
        "Resumption of interrupted standard FTP upload can only be done for a binary transfer - "
        "this is Ascii - upload cannot proceed."));
    EXPECT_FALSE(s.remote.files.contains("/home/u/up.txt"));
    EXPECT_FALSE(s.transfers.lastTransferOk);
}

TEST(TransfersRules, ALostConnectionEndsTheBatchAndKeepsThePartialFile) {
    Transferring s;
    s.remote.files["/home/u/c.txt"] = "charlie";
    s.remote.dropDuring.insert("/home/u/big.bin");
    s.remote.refused.clear();
    s.transfers.btnDownloadClickActions(s.Rows({"a.txt", "big.bin", "c.txt"}));
    EXPECT_EQ(s.folder.Read("a.txt"), "alpha");
    EXPECT_EQ(s.folder.Read("big.bin").size(), 500);
    EXPECT_TRUE(s.ui.logLines.contains(
        "Partial file " + s.folder.File("big.bin") +
        " kept (500 bytes); tick \"Resume Interrupted Xfer\" to continue it"));
    EXPECT_FALSE(QFile::exists(s.folder.File("c.txt")));
    EXPECT_FALSE(s.run.batchTransferRunning);
}

TEST(TransfersRules, TreesAreWalkedBothWaysWithoutFollowingLinks) {
    Transferring s;
    WriteFile(s.folder.File("site/index.html"), "<p>");
    WriteFile(s.folder.File("site/css/main.css"), "p{}");
    WriteFile(s.folder.File("site/css/img/logo.png"), "png");
    ASSERT_TRUE(QFile::link(s.folder.File("site"), s.folder.File("site/css/loop")));
    s.transfers.UploadFiles({"site"});
    EXPECT_EQ(s.remote.files.value("/home/u/site/index.html"), "<p>");
    EXPECT_EQ(s.remote.files.value("/home/u/site/css/img/logo.png"), "png");
    EXPECT_FALSE(s.remote.dirs.contains("/home/u/site/css/loop"));
    EXPECT_EQ(s.session.currentRemoteDir, "/home/u");
    EXPECT_FALSE(s.run.batchTransferRunning);

    TestFolder back;
    s.local.SetCurrentDir(back.Path());
    s.pane.RefreshRemoteDirectoryList();
    s.transfers.btnDownloadClickActions(s.Rows({"site"}));
    EXPECT_EQ(ReadFile(back.File("site/css/main.css")), "p{}");
    EXPECT_EQ(ReadFile(back.File("site/css/img/logo.png")), "png");
    EXPECT_EQ(s.ui.StatusPanelText(StatusPanel::General), " Download completed.");
}

TEST(TransfersRules, ANewZosDatasetIsAllocatedFirstAndCancelSendsNothing) {
    Transferring s;
    s.store.settings.zosMode = true;
    s.folder.Write("new.data", "records");
    AllocationAttributes attributes;
    attributes.primary = 2;
    attributes.secondary = 5;
    attributes.recordLength = 80;
    attributes.blockSize = 8000;
    attributes.recordFormat = "FB";
    s.ui.allocationAnswers.enqueue(attributes);
    s.transfers.UploadFile("NEW.DATA", s.folder.File("new.data"), true);
    const qsizetype stored = s.remote.requests.indexOf(QRegularExpression("^STOR .*NEW.DATA$"));
    ASSERT_GE(stored, 0) << s.remote.requests.join(" | ").toStdString();
    const QStringList site = s.remote.requests.mid(0, stored).filter(QRegularExpression("^SITE"));
    EXPECT_FALSE(site.isEmpty());

    s.remote.requests.clear();
    s.ui.allocationAnswers.enqueue(std::nullopt);
    s.transfers.UploadFile("OTHER.DATA", s.folder.File("new.data"), true);
    EXPECT_TRUE(s.remote.requests.filter(QRegularExpression("^(SITE|STOR)")).isEmpty());
}

TEST(TransfersRules, AnEngineThatResumesItselfIsNeitherAskedNorRetried) {
    Transferring s;
    s.remote.rules = {false, false};
    const QByteArray whole = s.remote.files["/home/u/big.bin"];
    s.folder.Write("big.bin", whole.left(100));
    s.ui.resumeTicked = true;
    s.Download("big.bin");
    EXPECT_TRUE(s.ui.MessageTexts().isEmpty());
    EXPECT_EQ(s.folder.Read("big.bin"), whole);

    s.remote.failures["/home/u/a.txt"] = 1;
    s.Download("a.txt");
    EXPECT_FALSE(s.transfers.lastTransferOk);
    EXPECT_EQ(s.remote.requests.filter("RETR /home/u/a.txt").size(), 1);

    s.transfers.UploadFile("gone.txt", s.folder.File("gone.txt"), false);
    EXPECT_TRUE(s.ui.logLines.contains("Error uploading " + s.folder.File("gone.txt")));
}

}  // namespace

TEST(ExistingFiles, ChoicesMeanWhatTheySay) {
    const QDateTime t0 = QDateTime::fromString("2024-01-01 00:00", "yyyy-MM-dd HH:mm");
    ExistingFileQuery q{"a.txt", true, 100, t0.addSecs(120), 40, t0, true};
    EXPECT_EQ(ExistingActionFor(ExistingChoice::Overwrite, q), ExistingAction::Transfer);
    EXPECT_EQ(ExistingActionFor(ExistingChoice::OverwriteIfNewer, q), ExistingAction::Transfer);
    EXPECT_EQ(ExistingActionFor(ExistingChoice::Resume, q), ExistingAction::Resume);
    EXPECT_EQ(ExistingActionFor(ExistingChoice::Skip, q), ExistingAction::Skip);
    EXPECT_EQ(ExistingActionFor(ExistingChoice::Rename, q), ExistingAction::Rename);
    // Within a listing's minute, or with a time unknown, nothing is overwritten on a guess.
    q.sourceTime = t0.addSecs(59);
    EXPECT_EQ(ExistingActionFor(ExistingChoice::OverwriteIfNewer, q), ExistingAction::Skip);
    q.sourceTime = QDateTime();
    EXPECT_EQ(ExistingActionFor(ExistingChoice::OverwriteIfNewer, q), ExistingAction::Skip);
    // A target as large as the source has nothing to resume: it is sent whole.
    q.targetSize = 100;
    EXPECT_EQ(ExistingActionFor(ExistingChoice::Resume, q), ExistingAction::Transfer);

    const QStringList taken = {"a (1).txt", ".htaccess (1)"};
    const auto isTaken = [&](const QString& n) { return taken.contains(n); };
    EXPECT_EQ(FreeName("a.txt", isTaken), "a (2).txt");
    EXPECT_EQ(FreeName(".htaccess", isTaken), ".htaccess (2)");
    EXPECT_EQ(FreeName("README", isTaken), "README (1)");
    EXPECT_EQ(FreeName("x.tar.gz", isTaken), "x.tar (1).gz");
}

TEST(ExistingFiles, ABatchAsksAboutFilesThatExistAndScriptsDoNot) {
    Transferring s;
    s.store.settings.site.lcUpload = false;
    s.folder.Write("a.txt", "new alpha");
    s.folder.Write("b.txt", "bravo");
    s.remote.files["/home/u/b.txt"] = "old bravo";
    s.pane.RefreshRemoteDirectoryList();
    const auto upload = [&](const QStringList& names) {
        s.pane.RefreshRemoteDirectoryList();
        s.transfers.UploadFiles(names);
    };

    // Asked once per existing file; Skip keeps it, Rename sends it beside it.
    s.ui.existingAnswers << ExistingFileAnswer{ExistingChoice::Skip, false}
                         << ExistingFileAnswer{ExistingChoice::Rename, false};
    upload({"a.txt", "b.txt"});
    ASSERT_EQ(s.ui.existingQueries.size(), 2);
    EXPECT_EQ(s.ui.existingQueries[0].name, "a.txt");
    EXPECT_EQ(s.ui.existingQueries[0].targetSize, 5);
    EXPECT_EQ(s.ui.existingQueries[0].sourceSize, 9);
    EXPECT_FALSE(s.ui.existingQueries[1].canResume);  // b.txt: the target is not smaller
    EXPECT_EQ(s.remote.files.value("/home/u/a.txt"), "alpha");
    EXPECT_TRUE(s.ui.logLines.contains("Skipped a.txt: it exists on the server"));
    EXPECT_EQ(s.remote.files.value("/home/u/b.txt"), "old bravo");
    EXPECT_EQ(s.remote.files.value("/home/u/b (1).txt"), "bravo");

    // "Apply to all": one question for the batch.
    s.ui.existingQueries.clear();
    s.ui.existingAnswers << ExistingFileAnswer{ExistingChoice::Overwrite, true};
    upload({"a.txt", "b.txt"});
    EXPECT_EQ(s.ui.existingQueries.size(), 1);
    EXPECT_EQ(s.remote.files.value("/home/u/a.txt"), "new alpha");
    EXPECT_EQ(s.remote.files.value("/home/u/b.txt"), "bravo");

    // The setting answers without asking: "if newer" downloads nothing older than here.
    s.ui.existingQueries.clear();
    s.store.settings.common.existingFiles = int(ExistingFiles::OverwriteIfNewer);
    s.remote.files["/home/u/a.txt"] = "server alpha";
    s.pane.RefreshRemoteDirectoryList();
    s.transfers.btnDownloadClickActions(s.Rows({"a.txt"}));
    EXPECT_TRUE(s.ui.existingQueries.isEmpty());
    EXPECT_EQ(s.folder.Read("a.txt"), "new alpha");
    EXPECT_TRUE(s.ui.logLines.contains("Skipped a.txt: it exists here and is not older"));
    s.store.settings.common.existingFiles = int(ExistingFiles::Skip);
    upload({"b.txt"});
    EXPECT_TRUE(s.ui.existingQueries.isEmpty());

    // Resume continues a smaller target.
    s.store.settings.common.existingFiles = int(ExistingFiles::Ask);
    s.remote.files["/home/u/big.bin"] = RandomBytes(1000);
    s.folder.Write("big.bin", RandomBytes(1000).left(400));
    s.pane.RefreshRemoteDirectoryList();
    s.ui.existingAnswers << ExistingFileAnswer{ExistingChoice::Resume, false};
    s.ui.dialogAnswers.enqueue(ModalResult::Yes);
    s.transfers.btnDownloadClickActions(s.Rows({"big.bin"}));
    ASSERT_EQ(s.ui.existingQueries.size(), 1);
    EXPECT_TRUE(s.ui.existingQueries[0].canResume);
    EXPECT_TRUE(s.remote.requests.contains("REST+RETR /home/u/big.bin"));
    EXPECT_EQ(s.folder.Read("big.bin"), RandomBytes(1000));

    // A script's transfer keeps the described behaviour: it overwrites, unasked.
    s.ui.existingQueries.clear();
    s.transfers.UploadFile("a.txt", s.folder.File("a.txt"), true);
    EXPECT_TRUE(s.ui.existingQueries.isEmpty());
    EXPECT_EQ(s.remote.files.value("/home/u/a.txt"), "new alpha");
}
