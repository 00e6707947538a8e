// The session's rules over an in-memory remote: password retry, reconnection, the abort button.
#include <gtest/gtest.h>

#include "support/memory_remote.h"
#include "support/test_support.h"

namespace {

TEST(SessionRules, AWrongStoredPasswordIsAskedForAgainAndTheAnswerLogsIn) {
    MemorySubjects s;
    s.StorePassword("wrong");
    s.ui.passwordAnswers.enqueue({true, "right", false});
    s.session.RequestConnect();
    EXPECT_TRUE(s.session.Connected());
    EXPECT_EQ(s.ui.passwordPrompts,
              QStringList({"Please supply password for user u at remote site Mem|127.0.0.1:21"}));
    EXPECT_EQ(s.remote.requests.count("LOGIN u"), 2);
    EXPECT_EQ(s.session.currentRemoteDir, "/home/u");
    for (const QString& line : s.ui.logLines + s.ui.statusHistory) {
        EXPECT_FALSE(line.contains("wrong") || line.contains("right")) << line.toStdString();
    }
}

TEST(SessionRules, ADroppedConnectionLogsInAgainToTheSameDirectoryUnlessReconnectIsOff) {
    MemorySubjects s;
    s.remote.dirs.insert("/home/u/site");
    s.session.RequestConnect();
    ASSERT_TRUE(s.session.Connected());
    s.pane.ChgDirToCmbxBoxName("/home/u/site");
    ASSERT_EQ(s.session.currentRemoteDir, "/home/u/site");

    s.remote.Drop();
    EXPECT_TRUE(s.session.CheckConnection());
    EXPECT_EQ(s.session.currentRemoteDir, "/home/u/site");
    EXPECT_TRUE(s.ui.logLines.contains(
        "Reconnection is automatic when file transfer operations are carried out."));
    EXPECT_FALSE(s.ui.logLines.contains("Unexpected behaviour reconnecting:"));
    EXPECT_EQ(s.remote.requests.count("LOGIN u"), 2);

    s.store.settings.site.autoReconnect = false;
    s.remote.Drop();
    EXPECT_EQ(s.ui.light, ConnectionLight::Red);
    EXPECT_FALSE(s.session.CheckConnection());
    EXPECT_TRUE(
        s.ui.logLines.contains("Connection has been lost and auto-reconnect not available."));
    EXPECT_EQ(s.remote.requests.count("LOGIN u"), 2);
}

TEST(SessionRules, ATimedOutRequestEndsTheBatchAndIsNotFollowedByALogin) {
    MemorySubjects s;
    s.remote.files = {{"/home/u/slow.bin", "slow"}, {"/home/u/next.bin", "next"}};
    s.session.RequestConnect();
    TestFolder here;
    s.local.SetCurrentDir(here.Path());
    s.remote.timeOutDuring.insert("/home/u/slow.bin");
    s.transfers.btnDownloadClickActions(s.Rows({"next.bin", "slow.bin"}));
    EXPECT_EQ(here.Read("next.bin"), "next");
    EXPECT_EQ(s.ui.light, ConnectionLight::Red);  // given up on: no automatic reconnection
    EXPECT_FALSE(s.session.CheckConnection());
    EXPECT_TRUE(
        s.ui.logLines.contains("Connection has been lost and auto-reconnect not available."));
    EXPECT_EQ(s.remote.requests.count("LOGIN u"), 1);
    EXPECT_FALSE(s.run.batchTransferRunning);

    s.session.RequestConnect();  // the person connects again: the flag is gone
    ASSERT_TRUE(s.session.Connected());
    s.remote.Drop();
    EXPECT_EQ(s.ui.light, ConnectionLight::Amber);
}

TEST(SessionRules, TheAbortButtonEndsAWaitingScriptAndLeavesTheSessionAlone) {
    MemorySubjects s;
    s.session.RequestConnect();
    bool stopped = false;
    s.session.stopScript = [&stopped] { stopped = true; };
    s.run.scriptRunning = true;
    s.session.ShowAbortButton(kEndScriptCaption);
    s.session.AbortClick();
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(s.ui.logLines.contains("End of script requested"));
    EXPECT_TRUE(s.session.Connected());
    EXPECT_FALSE(s.run.cancel.Requested());

    // While logs are being fetched, the button cancels that instead.
    s.run.logRetrievalShown = true;
    s.session.AbortClick();
    EXPECT_TRUE(s.run.logRetrievalCancel);
}

TEST(SessionRules, RequestErrorsAreComparedAsCodesNotAsText) {
    MemorySubjects s;
    s.session.AppendRequestError(15300);
    s.session.AppendRequestError(550);
    EXPECT_TRUE(s.session.RequestFailedWith(550));
    EXPECT_FALSE(s.session.RequestFailedWith(530));  // "15300" holds the text "530"
    EXPECT_FALSE(s.session.RequestFailedWith(55));
}

}  // namespace
