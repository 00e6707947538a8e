#include <gtest/gtest.h>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTcpSocket>
#include <QTimer>

#include "ftp_harness.h"
#include "support/test_support.h"

namespace {
struct Route {
    const char* name;
    TFtpConnectionType type;
    const char* serverKey;
    bool withPassword;
    const char* host;  // the FTP host as the engine names it
};

void PrintTo(const Route& route, std::ostream* os) {
    *os << route.name;
}
}  // namespace

// Login, upload, listing and download through each kind of proxy, always passive.
class ThroughProxy : public ::testing::TestWithParam<Route> {};

TEST_P(ThroughProxy, TransfersWork) {
    const Route& route = GetParam();
    REQUIRE_SERVER("VSFTPD_PORT");
    REQUIRE_SERVER(route.serverKey);
    const ServerEnv& env = ServerEnv::Get();
    const QString remoteDir = QString("proxy-") + route.name;
    const QString root = env.Value("FTP_ROOT");
    QDir(root + "/" + remoteDir).removeRecursively();
    QDir(root).mkpath(remoteDir);
    QFile::setPermissions(root + "/" + remoteDir, QFileDevice::Permissions(0x7777));

    FtpHarness h;
    TestFolder local;
    h.client.ConnectionType = route.type;
    h.client.Passive = false;  // ignored: proxies always get passive transfers
    if (route.type == ftpProxy) {
        h.client.ProxyServer = "127.0.0.1";
        h.client.ProxyPort = env.Value(route.serverKey);
    } else {
        h.client.SocksServer = "127.0.0.1";
        h.client.SocksPort = env.Value(route.serverKey);
        if (route.withPassword) {
            h.client.SocksUserCode = env.Value("FTP_USER");
            h.client.SocksPassword = env.Password();
        }
    }
    h.client.HostName = route.host;
    h.client.Port = env.Value("VSFTPD_PORT");
    h.client.UserName = env.Value("FTP_USER");
    h.client.PassWord = env.Password();
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 0)
        << h.client.ErrorMessage().toStdString();
    if (route.type == ftpProxy) {
        EXPECT_TRUE(h.Displayed("> USER " + env.Value("FTP_USER") + "@" + route.host + ":" +
                                env.Value("VSFTPD_PORT")));
    }

    h.client.HostDirName = remoteDir;
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.CwdAsync(); }), 0);
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.TypeSetAsync(); }), 0);
    const QByteArray data = RandomBytes(1024 * 1024 + 7, 9);
    h.client.LocalFileName = local.Write("up.bin", data);
    h.client.HostFileName = "up.bin";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.PutAsync(); }), 0)
        << h.client.ErrorMessage().toStdString();
    EXPECT_EQ(ReadFile(root + "/" + remoteDir + "/up.bin"), data);

    h.client.LocalFileName = local.File("dir.txt");
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.DirAsync(); }), 0);
    EXPECT_TRUE(QString::fromUtf8(local.Read("dir.txt")).contains("up.bin"));

    h.client.LocalFileName = local.File("down.bin");
    h.client.HostFileName = "up.bin";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.GetAsync(); }), 0);
    EXPECT_EQ(local.Read("down.bin"), data);

    // Both ways again with the command sent while the data connection is being made (the
    // extra connections of a batch), through the same proxy; an FTP proxy, which may refuse
    // a command that comes before the data connection, keeps the described order.
    h.client.EarlyTransferCommand = true;
    h.client.LocalFileName = local.Write("early.bin", data);
    h.client.HostFileName = "early.bin";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.PutAsync(); }), 0)
        << h.client.ErrorMessage().toStdString();
    EXPECT_EQ(ReadFile(root + "/" + remoteDir + "/early.bin"), data);
    h.client.LocalFileName = local.File("early-down.bin");
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.GetAsync(); }), 0);
    EXPECT_EQ(local.Read("early-down.bin"), data);

    EXPECT_TRUE(h.display.filter("> PORT").isEmpty());
    EXPECT_FALSE(h.display.filter("> PASV").isEmpty());
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.QuitAsync(); }), 0);
    for (const QString& line : h.display) {
        EXPECT_FALSE(line.contains(env.Password()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Routes, ThroughProxy,
    ::testing::Values(Route{"FtpProxy", ftpProxy, "FTPPROXY_PORT", false, "127.0.0.1"},
                      Route{"Socks4", ftpSocks4, "SOCKS_PORT", false, "127.0.0.1"},
                      Route{"Socks4ByName", ftpSocks4, "SOCKS_PORT", false, "localhost"},
                      Route{"Socks4A", ftpSocks4A, "SOCKS4A_PORT", false, "localhost"},
                      Route{"Socks5", ftpSocks5, "SOCKS_PORT", false, "localhost"},
                      Route{"Socks5Password", ftpSocks5, "SOCKS_AUTH_PORT", true, "127.0.0.1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ThroughSocks, WrongSocksPasswordIsRefused) {
    REQUIRE_SERVER("VSFTPD_PORT");
    REQUIRE_SERVER("SOCKS_AUTH_PORT");
    const ServerEnv& env = ServerEnv::Get();
    FtpHarness h;
    h.client.ConnectionType = ftpSocks5;
    h.client.SocksServer = "127.0.0.1";
    h.client.SocksPort = env.Value("SOCKS_AUTH_PORT");
    h.client.SocksUserCode = env.Value("FTP_USER");
    h.client.SocksPassword = "wrong";
    h.client.HostName = "127.0.0.1";
    h.client.Port = env.Value("VSFTPD_PORT");
    h.client.UserName = env.Value("FTP_USER");
    h.client.PassWord = env.Password();
    EXPECT_NE(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 0);
    EXPECT_TRUE(h.client.ErrorMessage().contains("(Winsock error #"));
    EXPECT_FALSE(h.client.Connected());
    EXPECT_EQ(h.client.State(), ftpReady);
}

TEST(HttpConnect, TunnelThroughTinyproxy) {
    REQUIRE_SERVER("VSFTPD_PORT");
    REQUIRE_SERVER("HTTPPROXY_PORT");
    const ServerEnv& env = ServerEnv::Get();
    SocksSettings proxy;
    proxy.level = SocksLevel::HttpConnect;
    proxy.server = "127.0.0.1";
    proxy.port = quint16(env.Value("HTTPPROXY_PORT").toUInt());
    for (const quint16 port : {quint16(env.Value("VSFTPD_PORT").toUInt()), quint16(1)}) {
        QTcpSocket socket;
        TcpConnector connector;
        QEventLoop loop;
        bool connected = false;
        QString failure;
        QObject::connect(&connector, &TcpConnector::Connected, &loop, [&] {
            connected = true;
            loop.quit();
        });
        QObject::connect(&connector, &TcpConnector::Failed, &loop, [&](const QString& text, int) {
            failure = text;
            loop.quit();
        });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        connector.Connect(&socket, "127.0.0.1", port, proxy);
        loop.exec();
        if (port == 1) {
            // Nothing listens there: the proxy's refusal is reported with its status line.
            EXPECT_FALSE(connected);
            EXPECT_TRUE(failure.startsWith("HTTP proxy refused the connection: HTTP/1.1 5"))
                << failure.toStdString();
            continue;
        }
        ASSERT_TRUE(connected) << failure.toStdString();
        // What follows the proxy's answer is the tunnelled server's own greeting.
        if (!socket.canReadLine()) {
            socket.waitForReadyRead(5000);
        }
        EXPECT_TRUE(socket.readLine().startsWith("220"));
    }
}
