#pragma once
// SSH servers of a test's own: the test holds the listening port for its whole life and hands
// each connection to a new server process in inetd mode (its standard input and output are the
// connection), so no other program can take the port between two logins. Each server ends with
// its connection, or with this test program, and is stopped by the process id QProcess holds.
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <vector>

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include "support/test_support.h"

class InetdServer {
public:
    InetdServer() {
        m_listener.listen(QHostAddress::LocalHost);
        QObject::connect(&m_listener, &QTcpServer::newConnection, [this] { Serve(); });
    }
    virtual ~InetdServer() { Stop(); }
    quint16 Port() const { return m_listener.serverPort(); }
    const TestFolder& Folder() const { return m_dir; }

    // Serves the next connections with Program and Arguments.
    void ServeWith(const QString& program, const QStringList& arguments) {
        Stop();
        m_program = program;
        m_arguments = arguments;
        m_serving = m_listener.isListening();
    }
    bool Serving() const { return m_serving; }
    // Refuses further connections and ends those being served.
    void Stop() {
        m_serving = false;
        for (const auto& process : m_servers) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                process->waitForFinished(5000);
            }
        }
        m_servers.clear();
    }

protected:
    TestFolder m_dir;

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
    void Hand(int descriptor) {
        auto process = std::make_unique<QProcess>();
        process->setStandardErrorFile(m_dir.File("server.out"), QIODevice::Append);
        process->setChildProcessModifier([descriptor] {
            dup2(descriptor, STDIN_FILENO);
            dup2(descriptor, STDOUT_FILENO);
            prctl(PR_SET_PDEATHSIG, SIGTERM);
        });
        process->start(m_program, m_arguments);
        if (!process->waitForStarted()) {
            return;
        }
        // Recorded for the suite's check that no server outlives it.
        if (const QString registry = qEnvironmentVariable("VORLEN_SERVER_PIDS");
            !registry.isEmpty()) {
            QFile file(registry);
            if (file.open(QIODevice::Append)) {
                file.write(QString("%1\t%2 %3\n")
                               .arg(process->processId())
                               .arg(m_program, m_arguments.join(' '))
                               .toUtf8());
            }
        }
        m_servers.push_back(std::move(process));
    }

    QTcpServer m_listener;
    QString m_program;
    QStringList m_arguments;
    bool m_serving = false;
    std::vector<std::unique_ptr<QProcess>> m_servers;
};

// OpenSSH's sshd from the fixture's configuration with a host key made for it: started again
// with a new key, it is the same server with a changed key. Lines replace the configuration's
// lines of the same keyword ("Ciphers ...", "PubkeyAuthentication yes").
class OwnSshd : public InetdServer {
public:
    OwnSshd() {
        QFile state(qEnvironmentVariable("VORLEN_SSHD_STATE"));
        state.open(QIODevice::ReadOnly);
        QFile conf(QString::fromUtf8(state.readAll()).trimmed() + "/sshd.conf");
        conf.open(QIODevice::ReadOnly);
        m_conf = QString::fromUtf8(conf.readAll());
    }

    bool Start(const QStringList& lines = {}) {
        const QString key = m_dir.File(QString("key%1").arg(++m_keys));
        if (QProcess::execute("ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-f", key}) != 0) {
            return false;
        }
        QStringList out;
        const auto keyword = [](const QString& line) { return line.section(' ', 0, 0); };
        QStringList replaced;
        for (const QString& line : lines) {
            replaced << keyword(line);
        }
        for (const QString& line : m_conf.split('\n')) {
            if (line.startsWith("HostKey ")) {
                out << "HostKey " + key;
            } else if (!line.startsWith("PidFile ") && !line.startsWith("Port ") &&
                       !line.startsWith("ListenAddress ") && !replaced.contains(keyword(line))) {
                out << line;
            }
        }
        out << lines;
        m_dir.Write("sshd.conf", out.join('\n').toUtf8());
        ServeWith("/usr/sbin/sshd", {"-i", "-e", "-f", m_dir.File("sshd.conf")});
        return Serving();
    }
    QString HostKey() const { return m_dir.File(QString("key%1.pub").arg(m_keys)); }

private:
    QString m_conf;
    int m_keys = 0;
};

// Keys made for a test (ed25519, RSA, ed25519 locked by kPhrase, one for an agent), and an sshd
// that takes only them (no passwords).
class KeyServer {
public:
    KeyServer() {
        // sshd reads the authorized keys as the test user.
        QFile::setPermissions(m_keys.Path(), QFileDevice::Permissions(0x7755));
        QByteArray authorized;
        for (const char* name : {"ed25519", "rsa", "locked", "agent"}) {
            const QString type = QString(name) == "rsa" ? "rsa" : "ed25519";
            const QString phrase = QString(name) == "locked" ? kPhrase : "";
            QProcess::execute("ssh-keygen", {"-q", "-t", type, "-N", phrase, "-C", name, "-f",
                                             m_keys.File(name)});
            authorized += ReadFile(m_keys.File(name) + ".pub");
        }
        QFile::setPermissions(m_keys.Write("authorized_keys", authorized),
                              QFileDevice::Permissions(0x6444));
    }
    bool Start(const QStringList& more = {}) {
        return server.Start(QStringList{"PubkeyAuthentication yes",
                                        "AuthorizedKeysFile " + m_keys.File("authorized_keys"),
                                        "PasswordAuthentication no",
                                        "KbdInteractiveAuthentication no"} +
                            more);
    }
    QString Key(const char* name) const { return m_keys.File(name); }

    static constexpr const char* kPhrase = "correct horse";
    OwnSshd server;

private:
    TestFolder m_keys;
};
