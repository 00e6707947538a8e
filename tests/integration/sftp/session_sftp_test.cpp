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

// An sshd of the test's own, from the fixture's configuration, with a host key made for it:
// started again with a new key, it is the same server with a changed key. The test holds the
// listening port for its whole life and hands each connection to a new "sshd -i" (inetd mode),
// so no other program can take the port between a restart and the next login. Each sshd ends
// with its connection, or with this test program, and is stopped by the process id QProcess
// holds.
class OwnSshd {
public:
    OwnSshd() {
        QFile state(qEnvironmentVariable("VORLEN_SSHD_STATE"));
        state.open(QIODevice::ReadOnly);
        QFile conf(QString::fromUtf8(state.readAll()).trimmed() + "/sshd.conf");
        conf.open(QIODevice::ReadOnly);
        m_conf = QString::fromUtf8(conf.readAll());
        m_listener.listen(QHostAddress::LocalHost);
        QObject::connect(&m_listener, &QTcpServer::newConnection, [this] { Serve(); });
    }
    ~OwnSshd() { Stop(); }
    quint16 Port() const { return m_listener.serverPort(); }

    // Serves the next connections with a new host key.
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
            } else if (!line.startsWith("PidFile ") && !line.startsWith("Port ") &&
                       !line.startsWith("ListenAddress ")) {
                lines << line;
            }
        }
        m_dir.Write("sshd.conf", lines.join('\n').toUtf8());
        m_serving = m_listener.isListening();
        return m_serving;
    }
    // Refuses further connections and ends those being served.
    void Stop() {
        m_serving = false;
        for (const auto& process : m_sshds) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                process->waitForFinished(5000);
            }
        }
        m_sshds.clear();
    }

private:
    void Serve() {
        while (QTcpSocket* socket = m_listener.nextPendingConnection()) {
            if (m_serving) {
                Hand(int(socket->socketDescriptor()));
            }
            socket->abort();
            socket->deleteLater();
        }
    }
    // A new sshd serves the connection on Descriptor as its standard input and output.
    void Hand(int descriptor) {
        auto process = std::make_unique<QProcess>();
        process->setStandardErrorFile(m_dir.File("sshd.out"), QIODevice::Append);
        process->setChildProcessModifier([descriptor] {
            dup2(descriptor, STDIN_FILENO);
            dup2(descriptor, STDOUT_FILENO);
            prctl(PR_SET_PDEATHSIG, SIGTERM);
        });
        const QStringList arguments = {"-i", "-e", "-f", m_dir.File("sshd.conf")};
        process->start("/usr/sbin/sshd", arguments);
        if (!process->waitForStarted()) {
            return;
        }
        // Recorded for the suite's check that no server outlives it.
        if (const QString registry = qEnvironmentVariable("VORLEN_SERVER_PIDS");
            !registry.isEmpty()) {
            QFile file(registry);
            if (file.open(QIODevice::Append)) {
                file.write(QString("%1\t/usr/sbin/sshd %2\n")
                               .arg(process->processId())
                               .arg(arguments.join(' '))
                               .toUtf8());
            }
        }
        m_sshds.push_back(std::move(process));
    }

    TestFolder m_dir;
    QString m_conf;
    QTcpServer m_listener;
    bool m_serving = false;
    int m_keys = 0;
    std::vector<std::unique_ptr<QProcess>> m_sshds;
};

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
