// An SFTP site logs in, lists, navigates, reconnects as an FTP site does: the session and the
// remote pane through a scripted UserInterface against the real sshd.
#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <csignal>

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
#include "sshd_env.h"
#include "support/test_support.h"

namespace {

struct Program {
    TestFolder work;
    ScopedEnv home{"VORLENFTP_HOME", work.Path()};
    ScriptedUserInterface ui;
    AppCore core{ui};
    Session& session = *core.session;
    RemotePane& pane = *core.remotePane;

    Program() { core.FormCreate({}); }

    void Site(const QString& password) {
        SiteProfile& site = core.settings.site;
        site.siteName = "Secure";
        site.domain = "127.0.0.1:" + SshdEnv::Get().Value("SSHD_PORT");
        site.userid = SshdEnv::Get().Value("SSH_USER");
        site.sessionPassword = QString::fromLatin1(scrambling::ComplexEncrypt(password.toUtf8()));
        site.ssh = true;
        site.timeoutIndex = 0;
        site.infRemDirs.clear();
    }
    QStringList Names() const {
        QStringList names;
        for (int i = 0; i < pane.RowCount(); ++i) {
            const RemoteRow row = pane.Row(i);
            names.append(row.entry ? row.entry->name : QStringLiteral(".."));
        }
        return names;
    }
    int Row(const QString& name) const { return int(Names().indexOf(name)); }
    void ExpectNoPassword(const QString& password) const {
        for (const QString& line : ui.logLines + ui.MessageTexts() + ui.statusHistory) {
            EXPECT_FALSE(line.contains(password)) << line.toStdString();
        }
    }
};

QString FreshRemoteFolder() {
    const QString dir = SshdEnv::Get().Value("SSH_ROOT") + "/t" +
                        QUuid::createUuid().toString(QUuid::Id128).left(10);
    QDir().mkpath(dir + "/public_html/img");
    QFile file(dir + "/notes.txt");
    file.open(QIODevice::WriteOnly);
    file.write("notes\n");
    file.close();
    QProcess::execute("chown", {"-R", SshdEnv::Get().Value("SSH_USER"), dir});
    return dir;
}

// An sshd of the test's own, from the fixture's configuration on a port of its own, with a
// host key made for it: restarted with a new key, it is the same server with a changed key.
// Stopped by the process id QProcess holds.
class OwnSshd {
public:
    OwnSshd() {
        QFile state(qEnvironmentVariable("VORLEN_SSHD_STATE"));
        state.open(QIODevice::ReadOnly);
        QFile conf(QString::fromUtf8(state.readAll()).trimmed() + "/sshd.conf");
        conf.open(QIODevice::ReadOnly);
        m_conf = QString::fromUtf8(conf.readAll());
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        m_port = probe.serverPort();
    }
    ~OwnSshd() { Stop(); }
    quint16 Port() const { return m_port; }

    bool Start() {
        Stop();
        const QString key = m_dir.File(QString("key%1").arg(++m_keys));
        if (QProcess::execute("ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-f", key}) != 0) {
            return false;
        }
        QStringList lines;
        for (const QString& line : m_conf.split('\n')) {
            if (line.startsWith("HostKey ")) {
                lines << "HostKey " + key;
            } else if (line.startsWith("Port ")) {
                lines << QString("Port %1").arg(m_port);
            } else if (!line.startsWith("PidFile ")) {
                lines << line;
            }
        }
        m_dir.Write("sshd.conf", lines.join('\n').toUtf8());
        // Ends with this test program even when a crash skips Stop(), and is recorded for the
        // suite's check that no server outlives it.
        m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        const QStringList arguments = {"-D", "-e", "-f", m_dir.File("sshd.conf")};
        m_process.start("/usr/sbin/sshd", arguments);
        if (!m_process.waitForStarted()) {
            return false;
        }
        if (const QString registry = qEnvironmentVariable("VORLEN_SERVER_PIDS");
            !registry.isEmpty()) {
            QFile file(registry);
            if (file.open(QIODevice::Append)) {
                file.write(QString("%1\t/usr/sbin/sshd %2\n")
                               .arg(m_process.processId())
                               .arg(arguments.join(' '))
                               .toUtf8());
            }
        }
        for (int i = 0; i < 100; ++i) {  // until it listens
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            if (socket.waitForConnected(100)) {
                return true;
            }
            QThread::msleep(50);
        }
        return false;
    }
    void Stop() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            m_process.waitForFinished(5000);
        }
    }

private:
    TestFolder m_dir;
    QString m_conf;
    quint16 m_port = 0;
    int m_keys = 0;
    QProcess m_process;
};

}  // namespace

TEST(SessionSftp, LoginStoresTheFingerprintListsAndNavigates) {
    REQUIRE_SSHD_SERVER();
    const QString dir = FreshRemoteFolder();
    Program p;
    p.Site(SshdEnv::Get().Password());
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
    p.ExpectNoPassword(SshdEnv::Get().Password());

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
        p.Site(SshdEnv::Get().Password());
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
    p.Site(SshdEnv::Get().Password());
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
