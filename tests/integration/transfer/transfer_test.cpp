// Transfers and remote file operations as the window runs them (through a scripted
// UserInterface), over FTP against vsftpd and over SFTP against OpenSSH: the files are compared
// on the server's disk, byte for byte.
#include <QRegularExpression>

#include "session/ssh_helper.h"
#include "transfer_program.h"

TEST_P(Transfer, SelectionAndTreeGoUpAndComeBackByteIdentical) {
    Program p(GetParam());
    ASSERT_TRUE(p.LogIn());
    const QString tree = p.local.File("site");
    WriteFile(tree + "/index.html", "<p>one</p>\r\n<p>two</p>\n");
    WriteFile(tree + "/img/a b.png", RandomBytes(300000));
    WriteFile(tree + "/img/deep/über 'q'.dat", RandomBytes(70000));
    WriteFile(tree + "/empty.txt", "");
    QDir().mkpath(tree + "/no files");
    WriteFile(p.local.File("top.bin"), RandomBytes(1234567));
    p.localPane.RefreshLocal();
    p.ui.transferModeIndex = 2;                   // binary: nothing may change a byte
    p.ui.dialogAnswers.enqueue(ModalResult::OK);  // "Transfer type is binary ..."
    p.transfers.btnUploadClickActions({"site", "top.bin"});
    EXPECT_EQ(p.ui.StatusPanelText(StatusPanel::General), "Uploading complete");
    // The five files went several at once (the setting's default), one log line each.
    EXPECT_EQ(p.ui.logLines.filter(QRegularExpression("^Moving 5 files")).size(), 1);
    EXPECT_EQ(p.ui.logLines.filter(QRegularExpression("^put ")).size(), 5);
    EXPECT_EQ(p.ui.statusHistory.filter(QRegularExpression("^ Uploaded 5 of 5 files, ")).size(), 1);
    EXPECT_EQ(Tree(p.remote + "/site"), Tree(tree));
    EXPECT_EQ(ReadFile(p.remote + "/top.bin"), ReadFile(p.local.File("top.bin")));
    EXPECT_TRUE(QFileInfo(p.remote + "/site/no files").isDir());
    EXPECT_EQ(p.session.currentRemoteDir, p.remote);  // back where the batch started
    EXPECT_TRUE(p.Listed("site") && p.Listed("top.bin"));

    // Down again into a fresh folder: the tree is recreated below it.
    TestFolder back;
    p.localPane.SelectDirectory(back.Path());
    p.ui.dialogAnswers.enqueue(ModalResult::OK);
    p.transfers.btnDownloadClickActions(p.RemoteRows({"site", "top.bin"}));
    EXPECT_EQ(p.ui.StatusPanelText(StatusPanel::General), " Download of all files completed.");
    EXPECT_EQ(p.ui.logLines.filter(QRegularExpression("^get ")).size(), 5);
    EXPECT_EQ(Tree(back.File("site")), Tree(tree));
    EXPECT_EQ(ReadFile(back.File("top.bin")), ReadFile(p.local.File("top.bin")));
    EXPECT_EQ(p.localPane.CurrentDir(), back.Path());
    EXPECT_FALSE(p.core.run.batchTransferRunning);
}

TEST_P(Transfer, TextFilesTravelWithTheWiresLineEndsAndComeBackIdentical) {
    Program p(GetParam());
    ASSERT_TRUE(p.LogIn());
    const QByteArray text = "line one\nline two\n\nlast";
    WriteFile(p.local.File("Page.HTML"), text);
    p.core.settings.site.lcUpload = true;  // stored as page.html; the local name keeps its case
    p.transfers.btnUploadClickActions({"Page.HTML"});
    ASSERT_TRUE(QFileInfo::exists(p.remote + "/page.html"));
    // FTP text mode sends CR LF; SFTP servers here use LF.
    EXPECT_EQ(ReadFile(p.remote + "/page.html"),
              GetParam().sftp || !GetParam().storesCrLf
                  ? text
                  : QByteArray("line one\r\nline two\r\n\r\nlast"));
    QFile::remove(p.local.File("Page.HTML"));
    p.Refresh();
    p.transfers.btnDownloadClickActions(p.RemoteRows({"page.html"}));
    EXPECT_EQ(ReadFile(p.local.File("page.html")), text);
    EXPECT_TRUE(p.ui.logLines.contains("get page.html " + p.local.File("page.html")));
}

// Several files at once, text and binary mixed: each keeps its mode (a connection changes its
// TYPE when the next file needs another), and the tree comes back as it went.
TEST_P(Transfer, ABatchOfTextAndBinaryFilesKeepsEachFilesMode) {
    Program p(GetParam());
    ASSERT_TRUE(p.LogIn());
    const QByteArray text = "<p>one</p>\n<p>two</p>\n";
    const QString tree = p.local.File("pages");
    for (int i = 0; i < 6; ++i) {
        WriteFile(tree + QStringLiteral("/p%1.html").arg(i), text);
        WriteFile(tree + QStringLiteral("/b%1.bin").arg(i), RandomBytes(5000 + i, quint32(i)));
    }
    p.localPane.RefreshLocal();
    p.ui.transferModeIndex = 0;  // by file type
    p.transfers.btnUploadClickActions({"pages"});
    EXPECT_EQ(p.ui.logLines.filter(QRegularExpression("^Moving 12 files")).size(), 1);
    const bool crLf = !GetParam().sftp && GetParam().storesCrLf;
    EXPECT_EQ(ReadFile(p.remote + "/pages/p5.html"),
              crLf ? QByteArray("<p>one</p>\r\n<p>two</p>\r\n") : text);
    EXPECT_EQ(ReadFile(p.remote + "/pages/b5.bin"), ReadFile(tree + "/b5.bin"));
    TestFolder back;
    p.localPane.SelectDirectory(back.Path());
    p.transfers.btnDownloadClickActions(p.RemoteRows({"pages"}));
    EXPECT_EQ(Tree(back.File("pages")), Tree(tree));
    EXPECT_FALSE(p.core.run.batchTransferRunning);
}

TEST_P(Transfer, InterruptedDownloadAndUploadResumeToIdenticalFiles) {
    Program p(GetParam());
    const QByteArray content = RandomBytes(2000000);
    WriteFile(p.remote + "/big.bin", content);
    p.Chown();
    ASSERT_TRUE(p.LogIn());
    WriteFile(p.local.File("big.bin"), content.left(777777));  // what an interrupted get left
    p.ui.resumeTicked = true;
    p.ui.dialogAnswers.enqueue(ModalResult::Yes);
    p.transfers.btnDownloadClickActions(p.RemoteRows({"big.bin"}));
    EXPECT_EQ(ReadFile(p.local.File("big.bin")), content);
    EXPECT_FALSE(p.ui.resumeTicked);  // one-shot

    WriteFile(p.local.File("up.bin"), content);
    WriteFile(p.remote + "/up.bin", content.left(1048576));  // what an interrupted put left
    p.Chown();
    p.Refresh();
    p.ui.resumeTicked = true;
    p.ui.transferModeIndex = 2;
    p.ui.dialogAnswers.enqueue(ModalResult::Yes);
    p.transfers.btnUploadClickActions({"up.bin"});
    EXPECT_EQ(ReadFile(p.remote + "/up.bin"), content);
    EXPECT_FALSE(p.ui.resumeTicked);
}

// The server's exact time shows that a partial copy belongs to an older version of the file:
// resuming would join two versions, so the file comes whole.
// What the FTP servers do alike (their MDTM).
class FtpTransfer : public Transfer {};

TEST_P(FtpTransfer, APartialCopyOfAnOlderVersionIsDownloadedWhole) {
    Program p(GetParam());
    const QByteArray content = RandomBytes(300000);
    WriteFile(p.remote + "/changed.bin", content);
    p.Chown();
    WriteFile(p.local.File("changed.bin"), RandomBytes(1000));
    QFile partial(p.local.File("changed.bin"));
    ASSERT_TRUE(partial.open(QIODevice::ReadWrite));
    partial.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                        QFileDevice::FileModificationTime);
    partial.close();
    ASSERT_TRUE(p.LogIn());
    p.ui.resumeTicked = true;
    p.ui.dialogAnswers.enqueue(ModalResult::Yes);
    p.transfers.btnDownloadClickActions(p.RemoteRows({"changed.bin"}));
    EXPECT_EQ(ReadFile(p.local.File("changed.bin")), content);
    EXPECT_FALSE(p.ui.logLines.filter("has changed since the partial copy was made").isEmpty());
}

TEST_P(Transfer, RemoteFilesAreCreatedRenamedChangedAndDeleted) {
    Program p(GetParam());
    WriteFile(p.remote + "/a.txt", "a");
    WriteFile(p.remote + "/b.txt", "b");
    WriteFile(p.remote + "/c.txt", "c");
    QDir().mkpath(p.remote + "/full/inner");
    p.Chown();
    ASSERT_TRUE(p.LogIn());

    p.ui.inputAnswers.enqueue(QString("new dir"));
    p.operations.btnMkdirClick();
    EXPECT_TRUE(QFileInfo(p.remote + "/new dir").isDir());
    EXPECT_TRUE(p.Listed("new dir"));

    // A rename onto an existing file asks first; a directory onto a file name is refused.
    p.ui.inputAnswers.enqueue(QString("b.txt"));
    p.ui.dialogAnswers.enqueue(ModalResult::OK);
    p.operations.RemoteRenameActions(p.RemoteRows({"a.txt"}));
    EXPECT_TRUE(p.ui.MessageTexts().contains(
        "Existing file called b.txt will be overwritten, press OK to proceed or CANCEL to abort."));
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/a.txt"));
    EXPECT_EQ(ReadFile(p.remote + "/b.txt"), "a");
    EXPECT_FALSE(p.Listed("a.txt"));
    p.ui.inputAnswers.enqueue(QString("c.txt"));
    p.operations.RemoteRenameActions(p.RemoteRows({"new dir"}));
    EXPECT_TRUE(
        p.ui.MessageTexts().contains("Cannot rename a directory to c.txt since a file with "
                                     "the same name is present in the same directory"));
    EXPECT_TRUE(QFileInfo(p.remote + "/new dir").isDir());

    // Permissions: the dialog starts from the listed text; the row shows the change.
    p.ui.permissionAnswers.enqueue(
        std::array<bool, 9>{true, true, false, true, false, false, false, false, false});
    p.operations.ChmodActions(p.RemoteRows({"c.txt"}));
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(p.remote + "/c.txt").constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(p.pane.Row(p.RemoteRows({"c.txt"}).front()).entry->permissions, "-rw-r-----");
    EXPECT_TRUE(p.ui.logLines.contains("Numeric permissions value for c.txt is 640"));
    p.pane.cacheUse = true;  // shown again from the cache after leaving and coming back
    p.Refresh();
    EXPECT_EQ(p.pane.Row(p.RemoteRows({"c.txt"}).front()).entry->permissions.mid(1), "rw-r-----");

    // Yes to all asks once; a directory that is not empty is offered whole, and No keeps it
    // without a refusal from the server.
    p.ui.dialogAnswers.enqueue(ModalResult::YesToAll);
    p.ui.dialogAnswers.enqueue(ModalResult::No);
    p.operations.DeleteRemoteActions(p.RemoteRows({"b.txt", "c.txt", "new dir", "full"}));
    EXPECT_EQ(p.ui.messages.count(), p.ui.MessageTexts().size());
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/b.txt"));
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/c.txt"));
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/new dir"));
    EXPECT_TRUE(QFileInfo(p.remote + "/full/inner").isDir());
    EXPECT_TRUE(p.ui.MessageTexts().contains(
        "The folder full is not empty: delete it with its 0 files and 1 folder?"));
    EXPECT_TRUE(p.ui.MessageTexts().filter("Possible error deleting").isEmpty());
    EXPECT_FALSE(p.Listed("b.txt") || p.Listed("c.txt") || p.Listed("new dir"));
    EXPECT_TRUE(p.Listed("full"));
}

TEST_P(Transfer, AFolderTreeIsDeletedWholeOrStopsAtWhatCannotGo) {
    Program p(GetParam());
    WriteFile(p.remote + "/site/index.html", "<p>");
    WriteFile(p.remote + "/site/css/img/logo.png", RandomBytes(5000));
    WriteFile(p.remote + "/kept/locked/f.txt", "f");
    WriteFile(p.remote + "/kept/a.txt", "a");
    QFile::link(p.remote + "/kept", p.remote + "/site/to-kept");  // never followed
    p.Chown();
    QFile::setPermissions(p.remote + "/kept/locked", QFile::ReadOwner | QFile::ExeOwner);
    ASSERT_TRUE(p.LogIn());

    for (int i = 0; i < 4; ++i) {
        p.ui.dialogAnswers.enqueue(ModalResult::Yes);
    }
    p.operations.DeleteRemoteActions(p.RemoteRows({"site"}));
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/site"));
    EXPECT_EQ(ReadFile(p.remote + "/kept/a.txt"), "a");
    EXPECT_FALSE(p.Listed("site"));

    p.operations.DeleteRemoteActions(p.RemoteRows({"kept"}));
    EXPECT_TRUE(p.ui.MessageTexts().contains(
        "Deleting the folder " + p.remote + "/kept stopped: " + p.remote +
        "/kept/locked/f.txt could not be deleted. Left on the server: 1 file and 2 folders (the "
        "folder itself included)."));
    EXPECT_TRUE(QFileInfo::exists(p.remote + "/kept/locked/f.txt"));
    EXPECT_TRUE(p.Listed("kept"));
    EXPECT_EQ(p.session.currentRemoteDir, p.remote);
    QFile::setPermissions(p.remote + "/kept/locked",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_P(Transfer, MissingFilesOnEitherSideAreReportedNeverShownAsDone) {
    Program p(GetParam());
    WriteFile(p.remote + "/locked.bin", "secret");
    p.Chown();
    QFile::setPermissions(p.remote + "/locked.bin", QFileDevice::WriteOwner);
    ASSERT_TRUE(p.LogIn());
    p.transfers.transferSize = 6;
    p.transfers.DownloadFile("locked.bin", "locked.bin");
    EXPECT_FALSE(QFileInfo::exists(p.local.File("locked.bin")));  // nothing left behind
    if (!GetParam().sftp) {
        EXPECT_TRUE(
            p.ui.logLines.contains("Error with transfer but still connected - retrying (2)"));
        EXPECT_EQ(p.ui.StatusPanelText(StatusPanel::General), " Download of locked.bin failed.");
    } else {
        EXPECT_FALSE(p.session.requestErrorList.isEmpty());
    }
    EXPECT_TRUE(p.session.Connected());

    p.transfers.UploadFile("gone.txt", p.local.File("gone.txt"), false);
    if (!GetParam().sftp) {
        EXPECT_TRUE(p.ui.MessageTexts().contains("Cannot upload file " + p.local.File("gone.txt") +
                                                 " because it does not exist."));
    } else {
        EXPECT_TRUE(p.ui.logLines.contains("Error uploading " + p.local.File("gone.txt")));
    }
    EXPECT_FALSE(p.transfers.uploadDone);
}

// A new dataset on z/OS is allocated first, with the SITE commands the dialog's values give.
TEST(ZosUpload, NewDatasetIsAllocatedWithTheDialogsValues) {
    REQUIRE_SERVER("SCRIPTED_ZOS");
    struct Case {
        const char* recfm;
        int lrecl, blksize;
        const char* sent;
    } const cases[] = {
        {"FB", 80, 6160, "TRACK PRI=5 SEC=2 | RECFM=FB | LRECL=80 | BLOCKSIZE=6160"},
        {"FB", 80, 6100, "TRACK PRI=5 SEC=2 | RECFM=FB | LRECL=80 | BLOCKSIZE=0"},
        {"VB", 255, 200, "TRACK PRI=5 SEC=2 | RECFM=VB | LRECL=255 | BLOCKSIZE=259"},
    };
    Program p(false);
    p.Scripted("ZOS");
    ASSERT_TRUE(p.LogIn());
    ASSERT_TRUE(p.core.settings.zosMode);
    WriteFile(p.local.File("data.txt"), "record one\nrecord two\n");
    TFtpClient& c = p.session.Ftp().FtpClient1;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.sent);
        AllocationAttributes values;
        values.unitIndex = 1;
        values.primary = 5;
        values.secondary = 2;
        values.recordFormat = k.recfm;
        values.recordLength = k.lrecl;
        values.blockSize = k.blksize;
        p.ui.allocationAnswers.enqueue(values);
        p.transfers.UploadFile("NEW.DATA", p.local.File("data.txt"), false);
        EXPECT_EQ(p.ui.allocationTitles.last(), "File Allocation Attributes for file NEW.DATA");
        EXPECT_TRUE(p.transfers.uploadDone);
        c.LocalFileName = "SITE RECORDED";
        p.session.Ftp().AsyncCall("QUOTE");
        EXPECT_EQ(c.LastResponse(), QString("200 ") + k.sent);
    }
    // Cancelling the dialog uploads nothing.
    p.transfers.uploadDone = false;
    p.transfers.UploadFile("OTHER.DATA", p.local.File("data.txt"), false);
    EXPECT_FALSE(p.transfers.uploadDone);
}

// A connection dropped in the middle of a batch ends it; what arrived stays for resume, and the
// next operation reconnects.
TEST(TransferFaults, DroppedConnectionEndsTheBatchAndKeepsThePart) {
    REQUIRE_SERVER("SCRIPTED_DROPPER");
    Program p(false);
    p.Scripted("DROPPER");
    p.core.settings.common.simultaneousTransfers = 1;  // one after the other
    ASSERT_TRUE(p.LogIn());
    p.transfers.btnDownloadClickActions(p.RemoteRows({"big.bin", "small.txt"}));
    EXPECT_TRUE(p.ui.MessageTexts().contains("Connection lost - abandoning file transfers"));
    EXPECT_FALSE(p.core.run.batchTransferRunning);
    const QFileInfo part(p.local.File("big.bin"));
    EXPECT_TRUE(part.exists());
    EXPECT_GT(part.size(), 0);
    EXPECT_LT(part.size(), 4 * 1024 * 1024);
    EXPECT_FALSE(p.ui.logLines.filter("Partial file " + part.filePath() + " kept").isEmpty());
    EXPECT_FALSE(QFileInfo::exists(p.local.File("small.txt")));  // the batch stopped there
    EXPECT_FALSE(p.session.Connected());
    p.pane.RefreshRemote();  // the next operation logs in again
    EXPECT_TRUE(p.session.Connected());
    EXPECT_TRUE(p.Listed("small.txt"));
}

TEST(TransferFaults, CancelDuringADownloadEndsItAndSaysSo) {
    REQUIRE_SERVER("SCRIPTED_SLOW");
    Program p(false);
    p.Scripted("SLOW");
    ASSERT_TRUE(p.LogIn());
    QTimer::singleShot(700, [&p] { p.session.AbortClick(); });
    QElapsedTimer clock;
    clock.start();
    p.transfers.transferSize = 450 * 1024;
    p.transfers.DownloadFile("slow.bin", "slow.bin");
    EXPECT_LT(clock.elapsed(), 3000);  // slow.bin alone takes 4.5 s
    EXPECT_TRUE(p.ui.statusHistory.contains(" Download of slow.bin cancelled."));
    EXPECT_EQ(p.ui.StatusPanelText(StatusPanel::General), "Connection to remote site terminated");
    EXPECT_TRUE(p.ui.MessageTexts().contains(
        "If you want to continue, please close and restart the FTP program."));
    EXPECT_EQ(p.ui.light, ConnectionLight::Red);
    EXPECT_TRUE(p.ui.abortCaption.isEmpty());
}

TEST(TransferFaults, CancelDuringABatchEndsTheBatch) {
    REQUIRE_SERVER("SCRIPTED_SLOW");
    Program p(false);
    p.Scripted("SLOW");
    p.core.settings.common.simultaneousTransfers = 1;  // one after the other
    ASSERT_TRUE(p.LogIn());
    QTimer::singleShot(700, [&p] { p.session.AbortClick(); });
    p.transfers.btnDownloadClickActions(p.RemoteRows({"slow.bin", "small.txt"}));
    EXPECT_TRUE(p.ui.statusHistory.contains(" Download of slow.bin cancelled."));
    EXPECT_TRUE(p.ui.MessageTexts().contains("Connection lost - abandoning file transfers"));
    EXPECT_FALSE(QFileInfo::exists(p.local.File("small.txt")));
    EXPECT_FALSE(p.core.run.batchTransferRunning);
}

// Cancel in a batch moving several files at once inside one SFTP session: the session ends as
// a cancelled SFTP transfer always did, and every file that was half-way is named.
TEST(TransferFaults, CancelDuringABatchOfFilesInFlightNamesWhatWasHalfWay) {
    REQUIRE_SSHD_SERVER();
    Program p(true);
    ASSERT_TRUE(p.LogIn());
    for (int i = 0; i < 40; ++i) {
        WriteFile(p.local.File(QStringLiteral("site/f%1.bin").arg(i)), RandomBytes(200000));
    }
    p.localPane.RefreshLocal();
    p.ui.transferModeIndex = 2;
    p.ui.dialogAnswers.enqueue(ModalResult::OK);  // "Transfer type is binary ..."
    const auto press = p.CancelOnceLogged("^put ");
    p.transfers.btnUploadClickActions({"site"});
    EXPECT_TRUE(p.ui.MessageTexts().contains("Connection lost - abandoning file transfers"));
    EXPECT_FALSE(p.core.run.batchTransferRunning);
    int whole = 0;
    for (int i = 0; i < 40; ++i) {
        const QString name = QStringLiteral("site/f%1.bin").arg(i);
        const QString there = p.remote + "/" + name;
        if (QFileInfo::exists(there) && ReadFile(there) == ReadFile(p.local.File(name))) {
            ++whole;
        } else if (QFileInfo::exists(there)) {
            EXPECT_EQ(p.ui.logLines.filter("Stopped while moving " + there).size(), 1) << i;
        }
    }
    EXPECT_GT(whole, 0);
    EXPECT_LT(whole, 40);
}

// What the local side refuses: a full disk, and a folder where the file would go.
TEST(TransferFaults, LocalWriteFailuresEndTheTransferAndLoseNothing) {
    REQUIRE_SERVER("VSFTPD_PORT");
    Program p(false);
    WriteFile(p.remote + "/big.bin", RandomBytes(600000));
    WriteFile(p.remote + "/taken.txt", "remote");
    p.Chown();
    ASSERT_TRUE(p.LogIn());
    WriteFile(p.local.File("taken.txt/inside.txt"), "local folder content");

    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 200000;  // a full disk as this process sees it
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    p.transfers.transferSize = 600000;
    p.transfers.DownloadFile("big.bin", "big.bin");
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(p.ui.StatusPanelText(StatusPanel::General), " Download of big.bin failed.");
    EXPECT_FALSE(p.ui.MessageTexts().filter("Error writing local file").isEmpty());
    EXPECT_TRUE(p.session.Connected());

    p.transfers.DownloadFile("taken.txt", "taken.txt");
    EXPECT_EQ(p.ui.StatusPanelText(StatusPanel::General), " Download of taken.txt failed.");
    EXPECT_EQ(ReadFile(p.local.File("taken.txt/inside.txt")), "local folder content");
}

TEST(TransferFaults, ATreeDeeperThanTheBoundStopsGrowingAndSaysSo) {
    REQUIRE_SERVER("VSFTPD_PORT");
    Program p(false);
    ASSERT_TRUE(p.LogIn());
    QString dir = p.local.File("deep");
    for (int i = 0; i < 6; ++i) {
        dir += QString("/level%1").arg(i);
        WriteFile(dir + "/f.txt", "x");
    }
    p.transfers.maxDirs = 4;
    p.transfers.btnUploadClickActions({"deep"});
    EXPECT_TRUE(p.ui.MessageTexts().contains("Reached limit of 4 local directories to upload"));
    EXPECT_TRUE(QFileInfo::exists(p.remote + "/deep/level0/level1/level2/f.txt"));
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/deep/level0/level1/level2/level3"));
}

const Kind kFtpKinds[] = {Kind{"Ftp", false}, Kind{"ProFtpd", false, "PROFTPD_PORT", true, false},
                          Kind{"ProFtpdText", false, "PROFTPD_PORT", false, false},
                          Kind{"PureFtpd", false, "PUREFTPD_PORT", true, false}};

INSTANTIATE_TEST_SUITE_P(Over, Transfer,
                         ::testing::Values(kFtpKinds[0], kFtpKinds[1], kFtpKinds[2], kFtpKinds[3],
                                           Kind{"Sftp", true}),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Over, FtpTransfer, ::testing::ValuesIn(kFtpKinds),
                         [](const auto& info) { return std::string(info.param.name); });

int main(int argc, char** argv) {
    if (const auto helper = RunSshHelper(argc, argv)) {
        return *helper;
    }
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
