// Deleting, making directories and renaming over an in-memory remote: the questions, Yes to
// all, and what a refusal leaves.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "support/memory_remote.h"
#include "support/test_support.h"

namespace {

struct Logged : MemorySubjects {
    Logged() {
        files = {{"/home/u/a.txt", "a"}, {"/home/u/b.txt", "bb"}, {"/home/u/c.txt", "ccc"}};
        remote.files = files;
        session.RequestConnect();
    }
    QMap<QString, QByteArray> files;
};

TEST(RemoteOperationsRules, YesToAllDeletesTheRestAndARefusalIsReportedAndKept) {
    Logged s;
    ASSERT_TRUE(s.session.Connected());
    s.remote.refused.insert("/home/u/b.txt");
    s.ui.dialogAnswers.enqueue(ModalResult::YesToAll);
    s.operations.DeleteRemoteActions(s.Rows({"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(s.remote.files.keys(), QStringList({"/home/u/b.txt"}));
    EXPECT_EQ(s.ui.MessageTexts().count("Delete remote file named a.txt?"), 1);
    EXPECT_TRUE(s.ui.MessageTexts().contains("Possible error deleting b.txt error code  550"));
    EXPECT_EQ(s.pane.Row(s.Rows({"b.txt"}).at(0)).entry->name, "b.txt");
    EXPECT_TRUE(s.Rows({"a.txt", "c.txt"}).empty());
    EXPECT_FALSE(s.run.batchTransferRunning);
}

TEST(RemoteOperationsRules, NoKeepsOneFileAndTheOthersGo) {
    Logged s;
    for (ModalResult answer : {ModalResult::Yes, ModalResult::No, ModalResult::Yes}) {
        s.ui.dialogAnswers.enqueue(answer);
    }
    s.operations.DeleteRemoteActions(s.Rows({"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(s.remote.files.keys(), QStringList({"/home/u/b.txt"}));
    EXPECT_EQ(s.remote.requests.filter("DELE").size(), 2);
}

TEST(RemoteOperationsRules, RefusedMkdirAndRenameSaySoAndChangeNothing) {
    Logged s;
    s.remote.refused = {"/home/u/new", "/home/u/a.txt"};
    EXPECT_FALSE(s.operations.MakeRemoteDirectory("new"));
    EXPECT_TRUE(s.ui.logLines.contains("Error with  mkdir new"));
    EXPECT_FALSE(s.operations.RenameRemoteFileOrDir("a.txt", "z.txt", "/home/u"));
    EXPECT_TRUE(s.ui.logLines.contains("  Problem renaming remote file a.txt to z.txt"));
    EXPECT_EQ(s.remote.files, s.files);
    EXPECT_FALSE(s.remote.dirs.contains("/home/u/new"));

    EXPECT_TRUE(s.operations.MakeRemoteDirectory("made"));
    EXPECT_TRUE(s.remote.dirs.contains("/home/u/made"));
}

}  // namespace

namespace {

struct WithTree : Logged {
    WithTree() {
        remote.dirs += {"/home/u/site", "/home/u/site/css", "/home/u/site/css/img", "/other"};
        remote.files.insert("/home/u/site/index.html", "<p>");
        remote.files.insert("/home/u/site/css/img/logo.png", "png");
        remote.files.insert("/other/keep.txt", "keep");
        remote.links.insert("/home/u/site/elsewhere", "/other");  // never followed
        pane.RefreshRemoteDirectoryList();
    }
};

TEST(RemoteOperationsRules, ANonEmptyFolderGoesDeepestFirstAfterASecondQuestion) {
    WithTree s;
    s.ui.dialogAnswers.enqueue(ModalResult::Yes);
    s.ui.dialogAnswers.enqueue(ModalResult::Yes);
    s.operations.DeleteRemoteActions(s.Rows({"site"}));
    EXPECT_TRUE(s.ui.MessageTexts().contains(
        "The folder site is not empty: delete it with its 3 files and 2 folders?"));
    const QStringList removed = s.remote.requests.filter(QRegularExpression("^(DELE|RMD) "));
    EXPECT_EQ(removed.mid(3), QStringList({"RMD /home/u/site/css/img", "RMD /home/u/site/css",
                                           "RMD /home/u/site"}));
    EXPECT_EQ(s.remote.files.value("/other/keep.txt"), "keep");
    EXPECT_TRUE(s.remote.links.isEmpty());
    EXPECT_FALSE(s.remote.dirs.contains("/home/u/site"));
    EXPECT_TRUE(s.Rows({"site"}).empty());
    EXPECT_EQ(s.session.currentRemoteDir, "/home/u");
    EXPECT_TRUE(
        s.ui.logLines.contains("Deleted the folder /home/u/site with its 3 files and 2 "
                               "folders"));
}

TEST(RemoteOperationsRules, AFolderDeletionStopsAtARefusalAndNoKeepsItAll) {
    WithTree s;
    s.ui.dialogAnswers.enqueue(ModalResult::Yes);
    s.ui.dialogAnswers.enqueue(ModalResult::No);
    s.operations.DeleteRemoteActions(s.Rows({"site"}));
    EXPECT_TRUE(s.remote.requests.filter(QRegularExpression("^(DELE|RMD) ")).isEmpty());

    s.remote.refused.insert("/home/u/site/css/img/logo.png");
    s.ui.dialogAnswers.enqueue(ModalResult::Yes);
    s.ui.dialogAnswers.enqueue(ModalResult::Yes);
    s.operations.DeleteRemoteActions(s.Rows({"site"}));
    EXPECT_TRUE(s.ui.MessageTexts().contains(
        "Deleting the folder /home/u/site stopped: /home/u/site/css/img/logo.png could not be "
        "deleted. Left on the server: 1 file and 3 folders (the folder itself included)."));
    EXPECT_TRUE(s.remote.dirs.contains("/home/u/site/css/img"));
    EXPECT_TRUE(s.remote.requests.filter("RMD").isEmpty());
    EXPECT_EQ(s.pane.Row(s.Rows({"site"}).at(0)).entry->name, "site");
}

}  // namespace
