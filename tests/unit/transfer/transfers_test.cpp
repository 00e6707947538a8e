// The rules of moving files over an in-memory remote: retries while the connection lives,
// resume decisions, a connection lost in a batch, the tree walk both ways, z/OS allocation, and
// the engine-resumed (SFTP) flow.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "support/memory_remote.h"
#include "support/test_support.h"

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
