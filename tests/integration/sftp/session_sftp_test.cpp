// An SFTP site logs in, lists, navigates, reconnects as an FTP site does: the session and the
// remote pane through a scripted UserInterface against the real sshd.
#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <unistd.h>

#include <csignal>
#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUuid>

#include "app/app_core.h"
#include "app/scripted_user_interface.h"
#include "config/scrambling.h"
#include "panes/remote_pane.h"
#include "session/session.h"
#include "session/sftp_session.h"
#include "support/headless_program.h"
#include "support/server_env.h"
#include "support/test_support.h"

#include "own_servers.h"

namespace {

struct Program : HeadlessProgram {
    void Site(const QString& password) {
        SetSite("Secure", ServerEnv::Sshd().Value("SSHD_PORT"), ServerEnv::Sshd().Value("SSH_USER"),
                password, true);
    }
};

QString FreshRemoteFolder() {
    return FreshOwnedFolder(ServerEnv::Sshd().Value("SSH_ROOT"), "t",
                            ServerEnv::Sshd().Value("SSH_USER"),
                            {{"public_html/img/", {}}, {"notes.txt", "notes\n"}});
}

}  // namespace

TEST(SessionSftp, LoginStoresTheFingerprintListsAndNavigates) {
    REQUIRE_SSHD_SERVER();
    const QString dir = FreshRemoteFolder();
    Program p;
    p.Site(ServerEnv::Sshd().Password());
    p.core.settings.site.infRemDirs = {dir};
    p.session.RequestConnect();
    ASSERT_TRUE(p.session.Connected());
    EXPECT_EQ(p.ui.light, ConnectionLight::Green);
    EXPECT_TRUE(p.core.settings.site.fingerprint.startsWith("SHA256:"));
    EXPECT_EQ(p.session.currentRemoteDir, dir);
    EXPECT_EQ(p.Names(), QStringList({"..", "public_html", "notes.txt"}));
    p.pane.lvRemoteDblClick(p.Row("public_html"));
    EXPECT_EQ(p.session.currentRemoteDir, dir + "/public_html");
    EXPECT_EQ(p.Names(), QStringList({"..", "img"}));
    p.pane.lvRemoteDblClick(0);
    EXPECT_EQ(NormalisedRemoteDir(false, p.session.currentRemoteDir), dir);
    // A missing directory keeps the view where it was.
    p.pane.ChgDirToCmbxBoxName(dir + "/missing");
    EXPECT_EQ(NormalisedRemoteDir(false, p.session.currentRemoteDir), dir);
    EXPECT_EQ(p.Names(), QStringList({"..", "public_html", "notes.txt"}));
    EXPECT_FALSE(p.ui.logLines.filter("Error returned, code=2").isEmpty());
    p.ExpectNoPassword(ServerEnv::Sshd().Password());

    // The next login compares the host key with the stored one.
    p.session.ConnectButtonClickActions();  // disconnect: amber
    EXPECT_EQ(p.ui.light, ConnectionLight::Amber);
    p.session.RequestConnect();
    EXPECT_TRUE(p.session.Connected());
    EXPECT_TRUE(p.ui.logLines.contains("Fingerprint matches that from previous login"));
}

TEST(SessionSftp, ChangedHostKeyIsAskedAboutAndNeverAcceptedUnattended) {
    REQUIRE_SSHD_SERVER();
    for (const bool unattended : {false, true}) {
        SCOPED_TRACE(unattended ? "unattended" : "asked");
        Program p;
        p.Site(ServerEnv::Sshd().Password());
        p.core.settings.site.fingerprint = "SHA256:AAAAnotthekeyAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA";
        p.core.run.unattended = unattended;
        p.ui.dialogAnswers.enqueue(ModalResult::No);  // keep the session
        p.session.RequestConnect();
        EXPECT_TRUE(p.ui.logLines.contains("Fingerprints do not match"));
        if (unattended) {
            EXPECT_FALSE(p.session.Connected());
            EXPECT_EQ(p.ui.light, ConnectionLight::Red);
            EXPECT_TRUE(p.ui.MessageTexts().isEmpty());
            EXPECT_TRUE(p.core.settings.site.fingerprint.startsWith("SHA256:AAAA"));
        } else {
            EXPECT_TRUE(p.ui.MessageTexts().contains(
                "Fingprint differs from previous login (see log), disconnect now?"));
            EXPECT_TRUE(p.session.Connected());
            EXPECT_FALSE(p.core.settings.site.fingerprint.startsWith("SHA256:AAAA"));
        }
    }
}

TEST(SessionSftp, ServerRestartedWithANewHostKeyIsAskedAbout) {
    REQUIRE_SSHD_SERVER();
    OwnSshd server;
    ASSERT_TRUE(server.Start());
    Program p;
    p.Site(ServerEnv::Sshd().Password());
    p.core.settings.site.domain = QString("127.0.0.1:%1").arg(server.Port());
    p.session.RequestConnect();
    ASSERT_TRUE(p.session.Connected());
    const QString first = p.core.settings.site.fingerprint;
    EXPECT_TRUE(first.startsWith("SHA256:"));
    p.session.ConnectButtonClickActions();  // disconnect

    ASSERT_TRUE(server.Start());                   // the same port, a new key
    p.ui.dialogAnswers.enqueue(ModalResult::Yes);  // disconnect now
    p.session.RequestConnect();
    EXPECT_TRUE(p.ui.logLines.contains("Fingerprints do not match"));
    EXPECT_TRUE(p.ui.MessageTexts().contains(
        "Fingprint differs from previous login (see log), disconnect now?"));
    EXPECT_FALSE(p.session.Connected());
    EXPECT_EQ(p.core.settings.site.fingerprint, first);  // refused: the old key stays

    // Kept: the site trusts the new key from then on, silently. (The refused login's password
    // question went unanswered, which forgot the password.)
    p.core.settings.site.sessionPassword =
        QString::fromLatin1(scrambling::ComplexEncrypt(ServerEnv::Sshd().Password().toUtf8()));
    p.ui.dialogAnswers.enqueue(ModalResult::No);
    p.session.RequestConnect();
    ASSERT_TRUE(p.session.Connected());
    const QString second = p.core.settings.site.fingerprint;
    EXPECT_NE(second, first);
    p.session.ConnectButtonClickActions();
    p.ui.logLines.clear();
    p.ui.dialogAnswers.clear();
    p.session.RequestConnect();
    EXPECT_TRUE(p.session.Connected());
    EXPECT_TRUE(p.ui.logLines.contains("Fingerprint matches that from previous login"));
    EXPECT_FALSE(p.ui.logLines.contains("Fingerprints do not match"));
}

TEST(SessionSftp, WrongPasswordIsAskedTwiceMore) {
    REQUIRE_SSHD_SERVER();
    Program p;
    p.Site("not-the-password-1");
    p.ui.passwordAnswers.enqueue({true, "not-the-password-2", false});
    p.ui.passwordAnswers.enqueue({true, "not-the-password-3", false});
    p.session.RequestConnect();
    EXPECT_FALSE(p.session.Connected());
    EXPECT_EQ(p.ui.light, ConnectionLight::Red);
    EXPECT_EQ(p.ui.passwordPrompts.size(), 2);
    for (const char* secret : {"not-the-password-1", "not-the-password-2", "not-the-password-3"}) {
        p.ExpectNoPassword(secret);
    }
}
