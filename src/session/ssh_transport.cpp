#include "session/ssh_transport.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>

#include <csignal>
#endif

#include "platform/platform.h"
#include "session/sftp_packet.h"
#include "session/ssh_command.h"
#include "session/ssh_helper.h"

namespace {

// ssh's last lines kept for the failure text (its debug chatter is not kept).
constexpr qsizetype kErrorLinesKept = 20;
// The stored password answers one prompt per login: keyboard-interactive and the password
// method ask the same question, and a refused password costs the server's delay each time.
constexpr int kPasswordAnswers = 1;

QString Tr(const char* text) {
    return QCoreApplication::translate("Sftp", text);
}

}  // namespace

SshTransport::SshTransport(QObject* parent) : QObject(parent) {}

SshTransport::~SshTransport() {
    Close();
    if (m_process && m_process->state() != QProcess::NotRunning) {
        // Killed in Close: this only collects it.
        m_process->waitForFinished(2000);
    }
    m_options.password.fill(QChar(' '));
}

void SshTransport::Start(const SftpConnectOptions& options) {
    m_options = options;
    m_dir = std::make_unique<QTemporaryDir>(platform::TempFolder() + "/vorlen-ssh-XXXXXX");
    if (!m_dir->isValid()) {
        Fail(SftpConnection::kConnectFailed, Tr("No private folder for the SSH helper"));
        return;
    }
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString socketPath = m_dir->path() + "/helper";
    if (!m_server->listen(socketPath)) {
        Fail(SftpConnection::kConnectFailed,
             Tr("The SSH helper socket could not be opened: %1").arg(m_server->errorString()));
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SshTransport::OnHelperConnection);

    const QString knownHosts =
        options.knownHostsFile.isEmpty() ? m_dir->path() + "/known_hosts" : options.knownHostsFile;
    const QString helper = QCoreApplication::applicationFilePath();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SSH_ASKPASS", helper);
    env.insert("SSH_ASKPASS_REQUIRE", "force");
    env.insert(kSshHelperVariable, socketPath);
    m_process = new QProcess(this);
    m_process->setProcessEnvironment(env);
    m_process->setProgram("ssh");
    m_process->setArguments(SshArguments(options, knownHosts, helper));
#ifdef Q_OS_LINUX
    // ssh never outlives the program, however the program ends.
    m_process->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    connect(m_process, &QProcess::started, this, [this] {
        if (onReady) {
            onReady();
        }
    });
    connect(m_process, &QProcess::readyReadStandardOutput, this, [this] {
        const QByteArray bytes = m_process->readAllStandardOutput();
        if (onActivity) {
            onActivity();
        }
        if (!m_closed && onData && !bytes.isEmpty()) {
            onData(bytes.constData(), bytes.size());
        }
    });
    connect(m_process, &QProcess::readyReadStandardError, this, &SshTransport::OnErrorOutput);
    connect(m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus) { OnFinished(exitCode); });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            Fail(SftpConnection::kConnectFailed,
                 Tr("The ssh program could not be started (%1); is OpenSSH's client installed?")
                     .arg(m_process->errorString()));
        }
    });
    m_process->start();
}

void SshTransport::Send(QByteArray bytes) {
    if (!m_closed && m_process && !bytes.isEmpty()) {
        m_process->write(bytes);
    }
}

void SshTransport::OnErrorOutput() {
    m_partialError += m_process->readAllStandardError();
    qsizetype end;
    while ((end = m_partialError.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(m_partialError.left(end)).trimmed();
        m_partialError.remove(0, end + 1);
        if (const QString key = SshHostKeyFromLine(line); !key.isEmpty()) {
            m_fingerprint = key;
            if (onHostKey) {
                onHostKey(key);
            }
            if (m_closed) {
                return;
            }
        } else if (line.startsWith("Authenticated to ")) {
            m_authenticated = true;
        }
        if (!line.startsWith("debug")) {
            m_errorLines << line;
            if (m_errorLines.size() > kErrorLinesKept) {
                m_errorLines.removeFirst();
            }
        }
    }
    // A line without an end is kept only up to a sane length.
    if (m_partialError.size() > 4096) {
        m_partialError.clear();
    }
    if (onActivity) {
        onActivity();
    }
}

void SshTransport::OnFinished(int exitStatus) {
    if (m_closed) {
        return;
    }
    OnErrorOutput();
    const SshFailure failure = SshFailureFrom(exitStatus, m_errorLines, m_authenticated);
    Fail(failure.code, failure.text);
}

void SshTransport::OnHelperConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            *buffer += socket->readAll();
            if (auto request = TakeSshHelperFrame(*buffer)) {
                OnHelperRequest(socket, *request);
            }
        });
    }
}

void SshTransport::OnHelperRequest(QLocalSocket* socket, const QByteArray& request) {
    QPointer<QLocalSocket> alive(socket);
    QByteArray reply(1, kSshHelperNo);
    if (request.startsWith(kSshHelperPrompt)) {
        QPointer<SshTransport> self(this);
        m_asking = true;
        const std::optional<QString> answer = AnswerPrompt(QString::fromUtf8(request.mid(1)));
        if (!self) {
            return;
        }
        m_asking = false;
        if (answer) {
            reply = kSshHelperYes + answer->toUtf8();
        }
    } else if (request.startsWith(kSshHelperTunnel) && m_options.socks) {
        const SocksSettings& s = *m_options.socks;
        QByteArray settings;
        QDataStream out(&settings, QIODevice::WriteOnly);
        out << qint32(s.level) << s.server << s.port << s.user << s.password;
        reply = kSshHelperYes + settings;
        settings.fill('\0');
    }
    if (alive && !m_closed) {
        alive->write(SshHelperFrame(reply));
        alive->disconnectFromServer();
    }
    reply.fill('\0');
}

std::optional<QString> SshTransport::AnswerPrompt(const QString& text) {
    const SshPrompt prompt = ClassifySshPrompt(text);
    if (prompt.kind == SshPrompt::Kind::Password && !m_options.password.isEmpty()) {
        if (m_passwordsGiven >= kPasswordAnswers) {
            return std::nullopt;
        }
        ++m_passwordsGiven;
        return m_options.password;
    }
    if (m_options.answer) {
        return m_options.answer(prompt);
    }
    return std::nullopt;
}

void SshTransport::Fail(int code, const QString& text) {
    if (m_closed) {
        return;
    }
    Close();
    if (onFailed) {
        onFailed(code, text);
    }
}

void SshTransport::Close() {
    if (m_closed) {
        return;
    }
    m_closed = true;
    if (m_server) {
        m_server->close();
    }
    if (m_process) {
        m_process->disconnect(this);
        if (m_process->state() != QProcess::NotRunning) {
            m_process->kill();
        }
    }
}
