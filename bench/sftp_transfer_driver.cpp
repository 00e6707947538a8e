// Benchmark driver for scripts/bench_sftp.sh: one SFTP download or upload with our session.
// Usage: sftp_transfer_driver get|put HOST PORT USER REMOTE LOCAL
// The password comes from VORLEN_BENCH_PASSWORD; VORLEN_BENCH_SSH_CONFIG names an ssh
// configuration file to read instead of ~/.ssh/config. Prints "bytes=N ms=T" on success; time and
// memory are measured from outside.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>

#include <cstdio>

#include "session/sftp_connection.h"
#include "session/ssh_helper.h"

int main(int argc, char** argv) {
    if (const auto helper = RunSshHelper(argc, argv)) {
        return *helper;
    }
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 7 || (args[1] != "get" && args[1] != "put")) {
        std::fprintf(stderr, "usage: sftp_transfer_driver get|put HOST PORT USER REMOTE LOCAL\n");
        return 2;
    }
    SftpConnection session;
    QEventLoop loop;
    int code = -1;
    QString text;
    QObject::connect(&session, &SftpConnection::connected, [&](int c, const QString& t) {
        code = c;
        text = t;
        loop.quit();
    });
    QObject::connect(&session, &SftpConnection::done, [&](quint32, int c, const QString& t) {
        code = c;
        text = t;
        loop.quit();
    });
    SftpConnectOptions options;
    options.host = args[2];
    options.port = args[3].toUShort();
    options.user = args[4];
    options.password = qEnvironmentVariable("VORLEN_BENCH_PASSWORD");
    // The bench's cipher choice, as a user's ssh configuration would make it.
    options.configFile = qEnvironmentVariable("VORLEN_BENCH_SSH_CONFIG");
    // The bench's own server, on a link of its own.
    options.answer = [](const SshPrompt& p) -> std::optional<QString> {
        if (p.kind == SshPrompt::Kind::HostKey) {
            return QString("yes");
        }
        return std::nullopt;
    };
    session.Connect(options);
    loop.exec();
    if (code != 0) {
        std::fprintf(stderr, "login failed: %s\n", qPrintable(text));
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    code = -1;
    if (args[1] == "get") {
        session.Download(args[5], args[6], false, false);
    } else {
        session.Upload(args[6], args[5], false, false);
    }
    loop.exec();
    const qint64 ms = clock.elapsed();
    if (code != 0) {
        std::fprintf(stderr, "transfer failed: %s\n", qPrintable(text));
        return 1;
    }
    std::printf("bytes=%lld ms=%lld\n", static_cast<long long>(QFileInfo(args[6]).size()),
                static_cast<long long>(ms));
    session.Disconnect();
    return 0;
}
