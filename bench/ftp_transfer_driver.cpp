// Benchmark driver for scripts/bench_ftp.sh: one download or upload with the engine.
// Usage: ftp_transfer_driver get|put HOST PORT USER REMOTE LOCAL
// The password comes from VORLEN_BENCH_PASSWORD. VORLEN_BENCH_TLS=explicit or implicit turns
// TLS on, trusting the certificate whose fingerprint is VORLEN_BENCH_FINGERPRINT. Prints
// "bytes=N ms=T" on success; time and memory are measured from outside.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <cstdio>

#include "ftp/ftp_client.h"

namespace {
quint16 Run(TFtpClient& client, void (TFtpClient::*start)()) {
    QEventLoop loop;
    quint16 code = 0xFFFF;
    client.OnRequestDone = [&](TFtpClient*, TFtpRequest, quint16 error) {
        code = error;
        loop.quit();
    };
    (client.*start)();
    if (code == 0xFFFF) {
        loop.exec();
    }
    return code;
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 7 || (args[1] != "get" && args[1] != "put")) {
        std::fprintf(stderr, "usage: ftp_transfer_driver get|put HOST PORT USER REMOTE LOCAL\n");
        return 2;
    }
    TFtpClient client;
    client.HostName = args[2];
    client.Port = args[3];
    client.UserName = args[4];
    client.PassWord = qEnvironmentVariable("VORLEN_BENCH_PASSWORD");
    client.HostFileName = args[5];
    client.LocalFileName = args[6];
    client.Binary = true;
    const QString tls = qEnvironmentVariable("VORLEN_BENCH_TLS");
    client.Security = tls == "explicit"   ? FtpSecurity::Explicit
                      : tls == "implicit" ? FtpSecurity::Implicit
                                          : FtpSecurity::Plain;
    client.TrustedFingerprint = qEnvironmentVariable("VORLEN_BENCH_FINGERPRINT");
    if (Run(client, &TFtpClient::ConnectAsync) != 0 ||
        Run(client, &TFtpClient::TypeSetAsync) != 0) {
        std::fprintf(stderr, "login failed: %s\n", qPrintable(client.ErrorMessage()));
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    const quint16 code =
        Run(client, args[1] == "get" ? &TFtpClient::GetAsync : &TFtpClient::PutAsync);
    const qint64 ms = clock.elapsed();
    if (code != 0) {
        std::fprintf(stderr, "transfer failed: %s\n", qPrintable(client.ErrorMessage()));
        return 1;
    }
    std::printf("bytes=%lld ms=%lld\n", static_cast<long long>(client.ByteCount()),
                static_cast<long long>(ms));
    Run(client, &TFtpClient::QuitAsync);
    return 0;
}
