#include "session/ssh_helper.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTcpSocket>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ftp/tcp_connector.h"

namespace {

// Beyond this much unsent towards the server, standard input is not read (bounds memory).
constexpr qint64 kTunnelBacklog = 4 * 1024 * 1024;

// One request and its answer; the helper's only wait, in a process of its own: the person may
// take their time over a dialog, and the program ending closes the socket.
std::optional<QByteArray> Ask(const QByteArray& request) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromLocal8Bit(qgetenv(kSshHelperVariable)));
    if (!socket.waitForConnected(10000)) {
        return std::nullopt;
    }
    socket.write(SshHelperFrame(request));
    QByteArray buffer;
    for (;;) {
        if (auto frame = TakeSshHelperFrame(buffer)) {
            return frame;
        }
        if (!socket.waitForReadyRead(-1)) {
            return std::nullopt;
        }
        buffer += socket.readAll();
    }
}

bool WriteAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

int RunAskpass(const char* prompt) {
    const auto answer = Ask(kSshHelperPrompt + QByteArray(prompt));
    if (!answer || !answer->startsWith(kSshHelperYes)) {
        return 1;
    }
    const QByteArray text = answer->mid(1) + '\n';
    return WriteAll(STDOUT_FILENO, text.constData(), text.size()) ? 0 : 1;
}

// Carries ssh's connection through the site's proxy: standard input to the server, the
// server's bytes to standard output, until either side ends.
int RunTunnel(const QString& host, quint16 port) {
    const auto answer = Ask(QByteArray(1, kSshHelperTunnel));
    if (!answer || !answer->startsWith(kSshHelperYes)) {
        std::fputs("vorlen proxy: the program gave no proxy settings\n", stderr);
        return 1;
    }
    QDataStream in(answer->mid(1));
    qint32 level = 0;
    SocksSettings socks;
    in >> level >> socks.server >> socks.port >> socks.user >> socks.password;
    socks.level = SocksLevel(level);

    QTcpSocket socket;
    TcpConnector connector;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    input.setEnabled(false);
    int status = 0;
    QObject::connect(&connector, &TcpConnector::Failed, [&](const QString& text, int) {
        std::fprintf(stderr, "vorlen proxy: %s\n", text.toLocal8Bit().constData());
        status = 1;
        QCoreApplication::exit(1);
    });
    QObject::connect(&connector, &TcpConnector::Connected, [&] {
        QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
            const QByteArray bytes = socket.readAll();
            if (!WriteAll(STDOUT_FILENO, bytes.constData(), bytes.size())) {
                QCoreApplication::exit(0);
            }
        });
        QObject::connect(&socket, &QTcpSocket::bytesWritten,
                         [&] { input.setEnabled(socket.bytesToWrite() < kTunnelBacklog / 2); });
        QObject::connect(&socket, &QTcpSocket::disconnected, [] { QCoreApplication::exit(0); });
        input.setEnabled(true);
        const QByteArray early = socket.readAll();
        WriteAll(STDOUT_FILENO, early.constData(), early.size());
    });
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[65536];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n > 0) {
            socket.write(buffer, n);
            input.setEnabled(socket.bytesToWrite() < kTunnelBacklog);
        } else if (n == 0 || errno != EINTR) {
            input.setEnabled(false);
            socket.disconnectFromHost();
            if (socket.state() == QAbstractSocket::UnconnectedState) {
                QCoreApplication::exit(0);
            }
        }
    });
    connector.Connect(&socket, host, port, socks);
    const int code = QCoreApplication::exec();
    socks.password.fill(QChar(' '));
    return status != 0 ? status : code;
}

}  // namespace

QByteArray SshHelperFrame(const QByteArray& payload) {
    QByteArray frame;
    QDataStream out(&frame, QIODevice::WriteOnly);
    out << quint32(payload.size());
    return frame + payload;
}

std::optional<QByteArray> TakeSshHelperFrame(QByteArray& buffer) {
    if (buffer.size() < 4) {
        return std::nullopt;
    }
    quint32 size = 0;
    QDataStream(buffer.left(4)) >> size;
    if (buffer.size() - 4 < qsizetype(size)) {
        return std::nullopt;
    }
    QByteArray frame = buffer.mid(4, size);
    buffer.remove(0, 4 + qsizetype(size));
    return frame;
}

std::optional<int> RunSshHelper(int argc, char** argv) {
    if (qgetenv(kSshHelperVariable).isEmpty()) {
        return std::nullopt;
    }
    if (argc == 4 && std::strcmp(argv[1], "--ssh-tunnel") == 0) {
        QCoreApplication app(argc, argv);
        bool numeric = false;
        const int port = QString::fromLocal8Bit(argv[3]).toInt(&numeric);
        if (!numeric || port <= 0 || port > 65535) {
            std::fputs("vorlen proxy: no port\n", stderr);
            return 1;
        }
        return RunTunnel(QString::fromLocal8Bit(argv[2]), quint16(port));
    }
    if (argc == 2) {
        QCoreApplication app(argc, argv);
        return RunAskpass(argv[1]);
    }
    return std::nullopt;
}
