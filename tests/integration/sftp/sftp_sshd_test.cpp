// The SFTP session against OpenSSH sshd (tests/servers/start_sshd.sh).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "session/sftp_connection.h"
#include "session/ssh_helper.h"
#include "support/server_env.h"
#include "support/test_support.h"

#include "own_servers.h"

namespace {

const QMap<QString, QString>& Env() {
    static const QMap<QString, QString> env = LoadServerEnv("VORLEN_SSHD_STATE");
    return env;
}

#define REQUIRE_SSHD(key)                                       \
    do {                                                        \
        if (!Env().contains(key)) {                             \
            if (qEnvironmentVariable("CI") == "true") {         \
                FAIL() << "test server missing: " << key;       \
            }                                                   \
            GTEST_SKIP() << "test server not running: " << key; \
        }                                                       \
    } while (0)

struct Outcome {
    int code = -1;
    QString text;
};

// Drives one SftpConnection and waits for its answers on a local event loop.
class Client {
public:
    Client() {
        QObject::connect(&c, &SftpConnection::hostKey, [this](const QString& f) { key = f; });
        QObject::connect(&c, &SftpConnection::connected, [this](int code, const QString& text) {
            connectResult = {code, text};
            loop.quit();
        });
        QObject::connect(&c, &SftpConnection::disconnected,
                         [this](const QString&) { ++disconnects; });
        QObject::connect(&c, &SftpConnection::realPath,
                         [this](quint32, const QString& p) { lastPath = p; });
        QObject::connect(&c, &SftpConnection::listed,
                         [this](quint32, const QList<SftpNameEntry>& e) { entries += e; });
        QObject::connect(&c, &SftpConnection::attributes,
                         [this](quint32, const SftpAttributes& a) { attrs = a; });
        QObject::connect(&c, &SftpConnection::progress, [this](quint32 id, qint64 p, qint64) {
            lastProgress = p;
            if (onProgress) {
                onProgress(id, p);
            }
        });
        QObject::connect(&c, &SftpConnection::done,
                         [this](quint32 id, int code, const QString& text) {
                             results[id] = {code, text};
                             loop.quit();
                         });
    }

    Outcome Connect(quint16 port, const QString& password, int timeoutSeconds = 20) {
        return ConnectWith([&](SftpConnectOptions& options) {
            options.port = port;
            options.password = password;
            options.timeoutSeconds = timeoutSeconds;
        });
    }
    // Host keys are accepted; Passphrase, when set, answers passphrase prompts.
    Outcome ConnectWith(const std::function<void(SftpConnectOptions&)>& adjust) {
        SftpConnectOptions options;
        options.host = "127.0.0.1";
        options.user = Env().value("SSH_USER");
        options.timeoutSeconds = 20;
        options.answer = [this](const SshPrompt& p) -> std::optional<QString> {
            prompts << p;
            if (p.kind == SshPrompt::Kind::HostKey) {
                return QString("yes");
            }
            if (p.kind == SshPrompt::Kind::Passphrase && !passphrase.isEmpty()) {
                return passphrase;
            }
            return std::nullopt;
        };
        adjust(options);
        connectResult = {};
        c.Connect(options);
        Spin([this] { return connectResult.code != -1; }, 60000);
        return connectResult;
    }
    Outcome Connect() {
        return Connect(Env().value("SSHD_PORT").toUShort(), Env().value("SSH_PASSWORD"));
    }

    Outcome Wait(quint32 id, int ms = 90000) {
        Spin([&] { return results.contains(id); }, ms);
        return results.value(id, Outcome{});
    }

    void Spin(const std::function<bool()>& until, int ms) {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        guard.start(ms);
        while (!until() && guard.isActive()) {
            loop.exec();
        }
    }

    SftpConnection c;
    QEventLoop loop;
    QString key;
    Outcome connectResult;
    int disconnects = 0;
    QString lastPath;
    QList<SftpNameEntry> entries;
    SftpAttributes attrs;
    qint64 lastProgress = -1;
    std::function<void(quint32, qint64)> onProgress;
    QMap<quint32, Outcome> results;
    QList<SshPrompt> prompts;
    QString passphrase;
};

QString Root() {
    return Env().value("SSH_ROOT");
}

uid_t getpwnam_uid() {
    const passwd* entry = getpwnam(Env().value("SSH_USER").toLocal8Bit().constData());
    return entry ? entry->pw_uid : uid_t(-1);
}

// A folder on the server side owned by the test user, fresh for each test.
QString RemoteDir(const QString& name) {
    const QString path = Root() + "/" + name;
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    chown(path.toLocal8Bit().constData(), getpwnam_uid(), -1);
    return path;
}

// Forwards one TCP connection to sshd and cuts it after a number of bytes in one direction.
class CuttingProxy : public QObject {
public:
    CuttingProxy(quint16 target, qint64 downLimit, qint64 upLimit)
        : m_target(target), m_downLimit(downLimit), m_upLimit(upLimit) {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_client = m_server.nextPendingConnection();
            m_upstream = new QTcpSocket(this);
            m_upstream->connectToHost(QHostAddress::LocalHost, m_target);
            QObject::connect(m_upstream, &QTcpSocket::readyRead, this,
                             [this] { Forward(m_upstream, m_client, m_down, m_downLimit); });
            QObject::connect(m_client, &QTcpSocket::readyRead, this, [this] {
                if (m_upstream->state() == QAbstractSocket::ConnectedState) {
                    Forward(m_client, m_upstream, m_up, m_upLimit);
                }
            });
            QObject::connect(m_upstream, &QTcpSocket::connected, this,
                             [this] { Forward(m_client, m_upstream, m_up, m_upLimit); });
        });
    }
    quint16 Port() const { return m_server.serverPort(); }

private:
    void Forward(QTcpSocket* from, QTcpSocket* to, qint64& count, qint64 limit) {
        if (!from || !to) {
            return;
        }
        const QByteArray bytes = from->readAll();
        count += bytes.size();
        to->write(bytes);
        if (limit > 0 && count > limit) {
            m_client->abort();
            m_upstream->abort();
        }
    }

    QTcpServer m_server;
    QTcpSocket* m_client = nullptr;
    QTcpSocket* m_upstream = nullptr;
    quint16 m_target;
    qint64 m_downLimit;
    qint64 m_upLimit;
    qint64 m_down = 0;
    qint64 m_up = 0;
};

}  // namespace

TEST(SftpSshd, ConnectsAndReportsTheHostKeyAsOpenSshPrintsIt) {
    REQUIRE_SSHD("SSHD_PORT");
    Client client;
    const Outcome result = client.Connect();
    ASSERT_EQ(result.code, 0) << result.text.toStdString();
    EXPECT_TRUE(client.c.IsConnected());
    EXPECT_TRUE(QRegularExpression("^SHA256:[A-Za-z0-9+/]{43}$").match(client.key).hasMatch())
        << client.key.toStdString();
    EXPECT_EQ(client.c.HostFingerprint(), client.key);
    QProcess keygen;
    keygen.start("ssh-keygen", {"-l", "-E", "sha256", "-f", Env().value("SSH_HOST_KEY")});
    ASSERT_TRUE(keygen.waitForFinished(10000));
    EXPECT_TRUE(QString::fromLatin1(keygen.readAllStandardOutput()).contains(client.key));
    client.c.Disconnect();
    EXPECT_EQ(client.disconnects, 1);
    EXPECT_FALSE(client.c.IsConnected());
}

TEST(SftpSshd, WrongPasswordIsRefused) {
    REQUIRE_SSHD("SSHD_PORT");
    Client client;
    const Outcome result = client.Connect(Env().value("SSHD_PORT").toUShort(), "not-the-password");
    EXPECT_EQ(result.code, SftpConnection::kPasswordRefused) << result.text.toStdString();
    EXPECT_FALSE(client.c.IsConnected());
}

TEST(SftpSshd, KeyboardInteractiveOnlyServer) {
    REQUIRE_SSHD("SSHD_KBD_PORT");
    Client client;
    Outcome result =
        client.Connect(Env().value("SSHD_KBD_PORT").toUShort(), Env().value("SSH_PASSWORD"));
    ASSERT_EQ(result.code, 0) << result.text.toStdString();
    const quint32 id = client.c.RealPath(".");
    EXPECT_EQ(client.Wait(id).code, 0);
    EXPECT_EQ(client.lastPath, Root());

    Client refused;
    result = refused.Connect(Env().value("SSHD_KBD_PORT").toUShort(), "wrong");
    EXPECT_EQ(result.code, SftpConnection::kPasswordRefused);
}

TEST(SftpSshd, RequestsBeforeConnectingEndWithNoConnection) {
    Client client;
    const quint32 id = client.c.RealPath(".");
    EXPECT_EQ(client.Wait(id, 5000).code, 6);
}

TEST(SftpSshd, DirectoryOperations) {
    REQUIRE_SSHD("SSHD_PORT");
    const QString dir = RemoteDir("ops");
    Client client;
    ASSERT_EQ(client.Connect().code, 0);
    EXPECT_EQ(client.Wait(client.c.RealPath("ops/../ops")).code, 0);
    EXPECT_EQ(client.lastPath, dir);

    const QStringList names = {"with blank", "quote'\"s", "Grüße ñ 日本", "plain"};
    for (const QString& name : names) {
        EXPECT_EQ(client.Wait(client.c.MakeDir(dir + "/" + name)).code, 0) << name.toStdString();
    }
    WriteFile(dir + "/plain/file.txt", "hello\n");
    chown((dir + "/plain/file.txt").toLocal8Bit().constData(), getpwnam_uid(), -1);
    EXPECT_EQ(client.Wait(client.c.ListDir(dir)).code, 0);
    QStringList listed;
    for (const auto& entry : client.entries) {
        listed << entry.filename;
    }
    for (const QString& name : names) {
        EXPECT_TRUE(listed.contains(name)) << name.toStdString();
    }
    EXPECT_TRUE(listed.contains("."));

    EXPECT_EQ(client.Wait(client.c.Stat(dir + "/plain/file.txt")).code, 0);
    ASSERT_TRUE(client.attrs.size.has_value());
    EXPECT_EQ(*client.attrs.size, 6u);
    EXPECT_EQ(*client.attrs.permissions & 0170000, 0100000u);

    SftpAttributes mode;
    mode.permissions = 0600;
    EXPECT_EQ(client.Wait(client.c.SetStat(dir + "/plain/file.txt", mode)).code, 0);
    struct stat info {};
    ASSERT_EQ(stat((dir + "/plain/file.txt").toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    EXPECT_EQ(client.Wait(client.c.Rename(dir + "/plain/file.txt", dir + "/with blank/f 2")).code,
              0);
    EXPECT_TRUE(QFile::exists(dir + "/with blank/f 2"));
    EXPECT_EQ(client.Wait(client.c.Remove(dir + "/with blank/f 2")).code, 0);
    EXPECT_FALSE(QFile::exists(dir + "/with blank/f 2"));
    for (const QString& name : names) {
        EXPECT_EQ(client.Wait(client.c.RemoveDir(dir + "/" + name)).code, 0);
    }
    EXPECT_TRUE(QDir(dir).isEmpty());
}

TEST(SftpSshd, MissingDirectoryAndPermissionDenied) {
    REQUIRE_SSHD("SSHD_PORT");
    const QString dir = RemoteDir("denied");
    WriteFile(dir + "/secret", "root only");
    chmod((dir + "/secret").toLocal8Bit().constData(), 0600);
    chown((dir + "/secret").toLocal8Bit().constData(), 0, 0);
    Client client;
    ASSERT_EQ(client.Connect().code, 0);
    Outcome result = client.Wait(client.c.ListDir(dir + "/no such dir"));
    EXPECT_EQ(result.code, 2);
    EXPECT_TRUE(result.text.contains("no such dir"));
    QTemporaryDir local;
    result = client.Wait(client.c.Download(dir + "/secret", local.filePath("s"), false, false));
    EXPECT_EQ(result.code, 3) << result.text.toStdString();
    EXPECT_FALSE(QFile::exists(local.filePath("s")));
    result = client.Wait(client.c.Remove(dir + "/secret"));
    EXPECT_EQ(result.code, 0);  // the folder is the user's: removing works, reading did not
    result = client.Wait(client.c.MakeDir("/root/not-yours"));
    EXPECT_EQ(result.code, 3) << result.text.toStdString();
    // The session is still usable after errors.
    EXPECT_EQ(client.Wait(client.c.RealPath(".")).code, 0);
}

TEST(SftpSshd, DownloadAndUploadAreByteIdentical) {
    REQUIRE_SSHD("SSHD_PORT");
    const QString dir = RemoteDir("transfer");
    const QByteArray data = RandomBytes(7 * 1024 * 1024 + 12345);
    WriteFile(dir + "/big.bin", data);
    WriteFile(dir + "/empty.bin", {});
    QTemporaryDir local;
    Client client;
    ASSERT_EQ(client.Connect().code, 0);

    Outcome result =
        client.Wait(client.c.Download(dir + "/big.bin", local.filePath("big.bin"), false, false));
    ASSERT_EQ(result.code, 0) << result.text.toStdString();
    EXPECT_TRUE(ReadFile(local.filePath("big.bin")) == data);
    EXPECT_EQ(client.lastProgress, data.size());

    WriteFile(local.filePath("empty.bin"), "old content to be replaced");
    result = client.Wait(
        client.c.Download(dir + "/empty.bin", local.filePath("empty.bin"), false, false));
    ASSERT_EQ(result.code, 0);
    EXPECT_EQ(QFileInfo(local.filePath("empty.bin")).size(), 0);

    result = client.Wait(client.c.Upload(local.filePath("big.bin"), dir + "/up.bin", false, false));
    ASSERT_EQ(result.code, 0) << result.text.toStdString();
    EXPECT_TRUE(ReadFile(dir + "/up.bin") == data);
    result =
        client.Wait(client.c.Upload(local.filePath("empty.bin"), dir + "/up.bin", false, false));
    ASSERT_EQ(result.code, 0);
    EXPECT_EQ(QFileInfo(dir + "/up.bin").size(), 0);

    // Text mode against a Unix server changes nothing.
    WriteFile(local.filePath("t.txt"), "a\nb\r\nc\n");
    ASSERT_EQ(
        client.Wait(client.c.Upload(local.filePath("t.txt"), dir + "/t.txt", false, true)).code, 0);
    EXPECT_EQ(ReadFile(dir + "/t.txt"), QByteArray("a\nb\r\nc\n"));
}

TEST(SftpSshd, ResumeBothWays) {
    REQUIRE_SSHD("SSHD_PORT");
    const QString dir = RemoteDir("resume");
    const QByteArray data = RandomBytes(3 * 1024 * 1024 + 777);
    WriteFile(dir + "/r.bin", data);
    QTemporaryDir local;
    WriteFile(local.filePath("r.bin"), data.left(1000001));
    Client client;
    ASSERT_EQ(client.Connect().code, 0);
    Outcome result =
        client.Wait(client.c.Download(dir + "/r.bin", local.filePath("r.bin"), true, false));
    ASSERT_EQ(result.code, 0) << result.text.toStdString();
    EXPECT_TRUE(ReadFile(local.filePath("r.bin")) == data);

    WriteFile(dir + "/u.bin", data.left(2000003));
    chown((dir + "/u.bin").toLocal8Bit().constData(), getpwnam_uid(), -1);
    result = client.Wait(client.c.Upload(local.filePath("r.bin"), dir + "/u.bin", true, false));
    ASSERT_EQ(result.code, 0) << result.text.toStdString();
    EXPECT_TRUE(ReadFile(dir + "/u.bin") == data);
}

TEST(SftpSshd, ServerThatNeverSpeaksSshTimesOut) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QList<QTcpSocket*> held;
    QObject::connect(&silent, &QTcpServer::newConnection,
                     [&] { held << silent.nextPendingConnection(); });
    Client client;
    QElapsedTimer clock;
    clock.start();
    const Outcome result = client.Connect(silent.serverPort(), "x", 2);
    EXPECT_TRUE(result.code == SftpConnection::kTimedOut ||
                result.code == SftpConnection::kHandshakeFailed)
        << result.code;
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_FALSE(client.c.IsConnected());
}

TEST(SftpSshd, ConnectionCutMidDownloadKeepsThePartForResume) {
    REQUIRE_SSHD("SSHD_PORT");
    const QString dir = RemoteDir("cut");
    const QByteArray data = RandomBytes(12 * 1024 * 1024);
    WriteFile(dir + "/c.bin", data);
    QTemporaryDir local;
    CuttingProxy proxy(Env().value("SSHD_PORT").toUShort(), 4 * 1024 * 1024, 0);
    {
        Client client;
        ASSERT_EQ(client.Connect(proxy.Port(), Env().value("SSH_PASSWORD")).code, 0);
        const Outcome result =
            client.Wait(client.c.Download(dir + "/c.bin", local.filePath("c.bin"), false, false));
        EXPECT_EQ(result.code, SftpConnection::kConnectionLost) << result.text.toStdString();
        EXPECT_EQ(client.disconnects, 1);
    }
    const qint64 part = QFileInfo(local.filePath("c.bin")).size();
    EXPECT_GT(part, 0);
    EXPECT_LT(part, data.size());
    EXPECT_TRUE(ReadFile(local.filePath("c.bin")) == data.left(part));
    Client again;
    ASSERT_EQ(again.Connect().code, 0);
    const Outcome result =
        again.Wait(again.c.Download(dir + "/c.bin", local.filePath("c.bin"), true, false));
    ASSERT_EQ(result.code, 0);
    EXPECT_TRUE(ReadFile(local.filePath("c.bin")) == data);
}

TEST(SftpSshd, ConnectionCutMidUploadResumes) {
    REQUIRE_SSHD("SSHD_PORT");
    const QString dir = RemoteDir("cutup");
    const QByteArray data = RandomBytes(12 * 1024 * 1024);
    QTemporaryDir local;
    WriteFile(local.filePath("u.bin"), data);
    CuttingProxy proxy(Env().value("SSHD_PORT").toUShort(), 0, 5 * 1024 * 1024);
    {
        Client client;
        ASSERT_EQ(client.Connect(proxy.Port(), Env().value("SSH_PASSWORD")).code, 0);
        const Outcome result =
            client.Wait(client.c.Upload(local.filePath("u.bin"), dir + "/u.bin", false, false));
        EXPECT_EQ(result.code, SftpConnection::kConnectionLost);
    }
    // sftp-server may still be writing what arrived: wait until its size settles.
    QThread::msleep(500);
    const qint64 part = QFileInfo(dir + "/u.bin").size();
    EXPECT_LT(part, data.size());
    Client again;
    ASSERT_EQ(again.Connect().code, 0);
    const Outcome result =
        again.Wait(again.c.Upload(local.filePath("u.bin"), dir + "/u.bin", true, false));
    ASSERT_EQ(result.code, 0);
    EXPECT_TRUE(ReadFile(dir + "/u.bin") == data);
}

TEST(SftpSshd, AbortEndsATransferAndTheSessionGoesOn) {
    REQUIRE_SSHD("SSHD_PORT");
    const QString dir = RemoteDir("abort");
    WriteFile(dir + "/a.bin", RandomBytes(64 * 1024 * 1024));
    QTemporaryDir local;
    Client client;
    ASSERT_EQ(client.Connect().code, 0);
    const quint32 id = client.c.Download(dir + "/a.bin", local.filePath("a.bin"), false, false);
    QTimer::singleShot(0, [&] { QTimer::singleShot(20, [&] { client.c.Abort(); }); });
    const Outcome result = client.Wait(id);
    EXPECT_TRUE(result.code == SftpConnection::kAborted || result.code == 0) << result.code;
    EXPECT_EQ(client.Wait(client.c.RealPath(".")).code, 0);
    EXPECT_TRUE(client.c.IsConnected());
}

// ---- Logins the way people have SSH set up: keys, the agent, modern-only servers, Dropbear ---

TEST(SshLogins, KeysWithAndWithoutPassphrase) {
    REQUIRE_SSHD("SSHD_PORT");
    KeyServer keys;
    ASSERT_TRUE(keys.Start());
    const auto withKey = [&](Client& client, const char* name) {
        return client.ConnectWith([&](SftpConnectOptions& o) {
            o.port = keys.server.Port();
            o.keyFile = keys.Key(name);
        });
    };
    // ed25519, and RSA signed with SHA-2 (the server's default refuses SHA-1).
    for (const char* name : {"ed25519", "rsa"}) {
        Client client;
        const Outcome result = withKey(client, name);
        EXPECT_EQ(result.code, 0) << name << ": " << result.text.toStdString();
        EXPECT_EQ(client.Wait(client.c.RealPath(".")).code, 0) << name;
    }
    // A key the server does not know is refused as a password would be.
    {
        Client client;
        EXPECT_EQ(withKey(client, "nothing-there").code, SftpConnection::kPasswordRefused);
    }
    // A passphrase asked through the prompt, with the key named in it; refused, no login.
    {
        Client refused;
        EXPECT_EQ(withKey(refused, "locked").code, SftpConnection::kPasswordRefused);
        Client client;
        client.passphrase = KeyServer::kPhrase;
        const Outcome result = withKey(client, "locked");
        EXPECT_EQ(result.code, 0) << result.text.toStdString();
        bool asked = false;
        for (const SshPrompt& p : client.prompts) {
            asked =
                asked || (p.kind == SshPrompt::Kind::Passphrase && p.keyFile == keys.Key("locked"));
        }
        EXPECT_TRUE(asked);
    }
}

TEST(SshLogins, TheAgentsKeyWorksWithNoKeyNamed) {
    REQUIRE_SSHD("SSHD_PORT");
    KeyServer keys;
    ASSERT_TRUE(keys.Start());
    TestFolder folder;
    const QString socket = folder.File("agent.sock");
    QProcess agent;  // stopped by its process id when the test ends
    agent.start("ssh-agent", {"-D", "-a", socket});
    ASSERT_TRUE(agent.waitForStarted());
    ASSERT_TRUE(agent.waitForReadyRead(10000));  // it tells its socket once it listens
    QProcess add;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SSH_AUTH_SOCK", socket);
    add.setProcessEnvironment(env);
    add.start("ssh-add", {keys.Key("agent")});
    ASSERT_TRUE(add.waitForFinished(10000));
    ASSERT_EQ(add.exitCode(), 0) << add.readAllStandardError().toStdString();
    {
        ScopedEnv agentSocket("SSH_AUTH_SOCK", socket);
        Client client;
        const Outcome result =
            client.ConnectWith([&](SftpConnectOptions& o) { o.port = keys.server.Port(); });
        EXPECT_EQ(result.code, 0) << result.text.toStdString();
    }
    agent.terminate();
    agent.waitForFinished(5000);
}

TEST(SshLogins, ServerWithOnlyModernAlgorithms) {
    REQUIRE_SSHD("SSHD_PORT");
    OwnSshd server;
    ASSERT_TRUE(server.Start({"Ciphers chacha20-poly1305@openssh.com,aes256-gcm@openssh.com",
                              "KexAlgorithms curve25519-sha256", "HostKeyAlgorithms ssh-ed25519"}));
    const QString dir = RemoteDir("modern");
    Client client;
    ASSERT_EQ(client.Connect(server.Port(), Env().value("SSH_PASSWORD")).code, 0);
    TestFolder local;
    const QByteArray content = RandomBytes(3 * 1024 * 1024 + 17);
    local.Write("up.bin", content);
    EXPECT_EQ(
        client.Wait(client.c.Upload(local.File("up.bin"), dir + "/up.bin", false, false)).code, 0);
    EXPECT_EQ(
        client.Wait(client.c.Download(dir + "/up.bin", local.File("down.bin"), false, false)).code,
        0);
    EXPECT_TRUE(ReadFile(local.File("down.bin")) == content);
}

TEST(SshLogins, DropbearWithOpenSshsSftpServer) {
    REQUIRE_SSHD("SSHD_PORT");
    if (QStandardPaths::findExecutable("dropbear", {"/usr/sbin", "/usr/bin"}).isEmpty()) {
        if (qEnvironmentVariable("CI") == "true") {
            FAIL() << "dropbear is not installed (dropbear-bin)";
        }
        GTEST_SKIP() << "dropbear is not installed";
    }
    InetdServer server;
    const QString key = server.Folder().File("dropbear_ed25519");
    ASSERT_EQ(QProcess::execute("dropbearkey", {"-t", "ed25519", "-f", key}), 0);
    server.ServeWith("/usr/sbin/dropbear", {"-i", "-r", key});
    const QString dir = RemoteDir("dropbear");
    Client client;
    const Outcome login = client.Connect(server.Port(), Env().value("SSH_PASSWORD"));
    ASSERT_EQ(login.code, 0) << login.text.toStdString()
                             << ReadFile(server.Folder().File("server.out")).toStdString();
    EXPECT_TRUE(client.key.startsWith("SHA256:"));

    // A small tree up and down again, byte for byte.
    TestFolder local;
    const QMap<QString, QByteArray> files = {{"a.txt", "alpha\n"},
                                             {"sub/b.bin", RandomBytes(700000, 3)},
                                             {"sub/deeper/c.bin", RandomBytes(5, 4)}};
    for (const char* folder : {"/sub", "/sub/deeper"}) {
        EXPECT_EQ(client.Wait(client.c.MakeDir(dir + QString(folder))).code, 0);
    }
    for (auto it = files.begin(); it != files.end(); ++it) {
        WriteFile(local.File("up/" + it.key()), it.value());
        EXPECT_EQ(client
                      .Wait(client.c.Upload(local.File("up/" + it.key()), dir + "/" + it.key(),
                                            false, false))
                      .code,
                  0);
    }
    QDir().mkpath(local.File("down/sub/deeper"));
    for (auto it = files.begin(); it != files.end(); ++it) {
        EXPECT_EQ(client
                      .Wait(client.c.Download(dir + "/" + it.key(), local.File("down/" + it.key()),
                                              false, false))
                      .code,
                  0);
        EXPECT_TRUE(ReadFile(local.File("down/" + it.key())) == it.value())
            << it.key().toStdString();
    }
    Client refused;
    EXPECT_EQ(refused.Connect(server.Port(), "not-the-password").code,
              SftpConnection::kPasswordRefused);
}

int main(int argc, char** argv) {
    if (const auto helper = RunSshHelper(argc, argv)) {
        return *helper;
    }
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
