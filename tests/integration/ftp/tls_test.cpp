#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <tuple>

#include "ftp_harness.h"
#include "support/test_support.h"

namespace {

// Sits between the engine and a server and keeps every byte the engine sends on the control
// connection, to show what crossed the wire before TLS was up.
class ControlRelay : public QObject {
public:
    explicit ControlRelay(quint16 serverPort) : m_serverPort(serverPort) {
        m_listener.listen(QHostAddress::LocalHost, 0);
        connect(&m_listener, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* client = m_listener.nextPendingConnection();
            auto* server = new QTcpSocket(client);
            server->connectToHost(QHostAddress::LocalHost, m_serverPort);
            connect(client, &QTcpSocket::readyRead, server, [this, client, server] {
                const QByteArray bytes = client->readAll();
                sent += bytes;
                server->write(bytes);
            });
            connect(server, &QTcpSocket::readyRead, client,
                    [client, server] { client->write(server->readAll()); });
            connect(server, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
            connect(client, &QTcpSocket::disconnected, server, &QTcpSocket::disconnectFromHost);
        });
    }
    quint16 Port() const { return m_listener.serverPort(); }

    QByteArray sent;

private:
    QTcpServer m_listener;
    quint16 m_serverPort;
};

// A TLS server of the bench: its certificate's name, its port's key, implicit TLS or explicit.
struct TlsServer {
    const char* name;
    const char* portKey;
    bool implicit;
};

void PrintTo(const TlsServer& server, std::ostream* out) {
    *out << server.name;
}

const TlsServer kVsftpdExplicit{"vsftpd-tls", "VSFTPD_TLS_PORT", false};

void UseTlsServer(FtpHarness& h, const TlsServer& server, bool passive) {
    const ServerEnv& env = ServerEnv::Get();
    const bool implicit = server.implicit;
    h.client.HostName = "127.0.0.1";
    h.client.Port = env.Value(server.portKey);
    h.client.UserName = env.Value("FTP_USER");
    h.client.PassWord = env.Password();
    h.client.Passive = passive;
    h.client.Security = implicit ? FtpSecurity::Implicit : FtpSecurity::Explicit;
}

}  // namespace

// A server with TLS required for logins and data (vsftpd implicit and explicit, ProFTPD's mod_tls
// explicit), passive (true) or active, with the fixture's certificate trusted for the site.
class FtpTls : public ::testing::TestWithParam<std::tuple<TlsServer, bool>> {
protected:
    void SetUp() override {
        const auto [server, passive] = GetParam();
        REQUIRE_SERVER(server.portKey);
        m_root = ServerEnv::Get().Value("FTP_ROOT");
        m_remoteDir = FreshRemoteTestFolder();
        UseTlsServer(h, server, passive);
        h.client.TrustedFingerprint = ServerEnv::Get().CertificateFingerprint(server.name);
        ASSERT_FALSE(h.client.TrustedFingerprint.isEmpty());
        ASSERT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 0)
            << h.client.ErrorMessage().toStdString();
        h.EnterBinary(m_remoteDir);
    }
    void TearDown() override {
        if (h.client.Connected()) {
            EXPECT_EQ(h.Run([](TFtpClient& c) { c.QuitAsync(); }), 0);
        }
        h.ExpectPasswordNeverShown();
    }
    QString Remote(const QString& name) const { return m_root + "/" + m_remoteDir + "/" + name; }

    FtpHarness h;
    TestFolder local;
    QString m_root;
    QString m_remoteDir;
};

TEST_P(FtpTls, ListsTransfersBothWaysAndResumesOverProtectedConnections) {
    EXPECT_FALSE(h.display.filter("! TLS established: TLSv1.").isEmpty());
    EXPECT_EQ(h.client.ServerFingerprint(), h.client.TrustedFingerprint);
    if (!std::get<0>(GetParam()).implicit) {
        EXPECT_TRUE(h.Displayed("> AUTH TLS"));
    }
    EXPECT_TRUE(h.Displayed("> PBSZ 0"));
    EXPECT_TRUE(h.Displayed("> PROT P"));

    const QByteArray data = RandomBytes(3 * 1024 * 1024 + 17, 7);
    h.client.LocalFileName = local.Write("up.bin", data);
    h.client.HostFileName = "data.bin";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.PutAsync(); }), 0)
        << h.client.ErrorMessage().toStdString();
    EXPECT_EQ(h.client.ByteCount(), data.size());
    EXPECT_EQ(ReadFile(Remote("data.bin")), data);

    h.client.LocalFileName = local.File("down.bin");
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.GetAsync(); }), 0)
        << h.client.ErrorMessage().toStdString();
    EXPECT_EQ(local.Read("down.bin"), data);

    h.client.LocalFileName = local.File("dir.txt");
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.DirAsync(); }), 0);
    EXPECT_TRUE(local.Read("dir.txt").contains("data.bin"));

    // A download cut short continues where the local copy ends.
    const QString partial = local.Write("partial.bin", data.left(1024 * 1024 + 3));
    h.client.LocalFileName = partial;
    h.client.HostFileName = "data.bin";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.RestGetAsync(); }), 0);
    EXPECT_EQ(h.client.ByteCount(), data.size() - (1024 * 1024 + 3));
    EXPECT_EQ(ReadFile(partial), data);

    // And so does an upload.
    h.client.LocalFileName = local.Write("first.bin", data.left(2 * 1024 * 1024));
    h.client.HostFileName = "upload.bin";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.PutAsync(); }), 0);
    h.client.LocalFileName = local.File("up.bin");
    h.client.HostFileName = "upload.bin";
    h.client.ResumeAt = 2 * 1024 * 1024;
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.RestPutAsync(); }), 0);
    EXPECT_EQ(ReadFile(Remote("upload.bin")), data);
}

INSTANTIATE_TEST_SUITE_P(
    ServersPassiveAndActive, FtpTls,
    ::testing::Combine(::testing::Values(TlsServer{"vsftpd-implicit", "VSFTPD_IMPLICIT_PORT", true},
                                         kVsftpdExplicit,
                                         TlsServer{"proftpd-tls", "PROFTPD_TLS_PORT", false}),
                       ::testing::Bool()),
    [](const auto& info) {
        std::string name = std::get<0>(info.param).name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name + (std::get<1>(info.param) ? "_Passive" : "_Active");
    });

TEST(FtpTlsTrust, AnUnverifiedCertificateEndsTheLoginAndSaysWhatToAskAbout) {
    REQUIRE_SERVER("VSFTPD_TLS_PORT");
    FtpHarness h;
    UseTlsServer(h, kVsftpdExplicit, true);
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 534);
    EXPECT_FALSE(h.client.Connected());
    EXPECT_EQ(h.sessionClosed, 0);
    ASSERT_TRUE(h.client.CertificateRefused().has_value());
    const CertificateProblem& problem = *h.client.CertificateRefused();
    EXPECT_EQ(problem.fingerprint, ServerEnv::Get().CertificateFingerprint("vsftpd-tls"));
    EXPECT_FALSE(problem.changed);
    EXPECT_TRUE(problem.subject.contains("CN=localhost"));
    EXPECT_TRUE(problem.reasons.contains("self-signed", Qt::CaseInsensitive))
        << problem.reasons.toStdString();
    EXPECT_TRUE(h.client.ErrorMessage().startsWith("TLS certificate not trusted"));
    EXPECT_TRUE(h.display.filter("> USER").isEmpty());

    // The certificate of another server where this one was trusted: it changed.
    h.client.TrustedFingerprint = ServerEnv::Get().CertificateFingerprint("vsftpd-implicit");
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 534);
    ASSERT_TRUE(h.client.CertificateRefused().has_value());
    EXPECT_TRUE(h.client.CertificateRefused()->changed);
    EXPECT_TRUE(h.client.ErrorMessage().startsWith("TLS certificate changed"));

    // Trusted: a silent login, and the problem of the last attempt is gone.
    h.client.TrustedFingerprint = ServerEnv::Get().CertificateFingerprint("vsftpd-tls");
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 0);
    EXPECT_FALSE(h.client.CertificateRefused().has_value());
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.QuitAsync(); }), 0);
}

TEST(FtpTlsTrust, TheCertificateMustNameTheHost) {
    REQUIRE_SERVER("VSFTPD_TLS_PORT");
    FtpHarness h;
    UseTlsServer(h, kVsftpdExplicit, true);
    // The certificate names localhost; the engine connects to 127.0.0.1.
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 534);
    ASSERT_TRUE(h.client.CertificateRefused().has_value());
    EXPECT_TRUE(h.client.CertificateRefused()->reasons.contains("host name", Qt::CaseInsensitive))
        << h.client.CertificateRefused()->reasons.toStdString();
}

TEST(FtpTlsWire, NothingOfTheLoginCrossesTheWireBeforeTheHandshake) {
    REQUIRE_SERVER("VSFTPD_TLS_PORT");
    ControlRelay relay(ServerEnv::Get().Value("VSFTPD_TLS_PORT").toUShort());
    FtpHarness h;
    UseTlsServer(h, kVsftpdExplicit, true);
    h.client.Port = QString::number(relay.Port());
    h.client.TrustedFingerprint = ServerEnv::Get().CertificateFingerprint("vsftpd-tls");
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 0)
        << h.client.ErrorMessage().toStdString();
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.QuitAsync(); }), 0);
    // The only plain text is AUTH TLS; a TLS handshake record follows at once.
    ASSERT_TRUE(relay.sent.startsWith("AUTH TLS\r\n\x16\x03"));
    const QByteArray password = ServerEnv::Get().Password().toUtf8();
    EXPECT_FALSE(relay.sent.contains(password));
    EXPECT_FALSE(relay.sent.contains("PASS"));
    EXPECT_FALSE(relay.sent.contains("USER"));
    h.ExpectPasswordNeverShown();
}

TEST(FtpTlsWire, AServerWithoutTlsEndsTheLoginBeforeTheUserName) {
    REQUIRE_SERVER("VSFTPD_PORT");
    ControlRelay relay(ServerEnv::Get().Value("VSFTPD_PORT").toUShort());
    FtpHarness h;
    UseTlsServer(h, kVsftpdExplicit, true);
    h.client.Port = QString::number(relay.Port());
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 534);
    EXPECT_FALSE(h.client.Connected());
    EXPECT_TRUE(h.client.ErrorMessage().startsWith("The server refused AUTH TLS"))
        << h.client.ErrorMessage().toStdString();
    EXPECT_FALSE(h.client.CertificateRefused().has_value());
    EXPECT_EQ(relay.sent, "AUTH TLS\r\n");

    // Implicit TLS against a plain server: the handshake fails and nothing else is sent.
    h.client.Security = FtpSecurity::Implicit;
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 534);
    EXPECT_TRUE(h.client.ErrorMessage().startsWith("TLS handshake failed"))
        << h.client.ErrorMessage().toStdString();
    EXPECT_FALSE(h.client.Connected());
}
