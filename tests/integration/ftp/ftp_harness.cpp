#include "ftp_harness.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTimer>

#include <gtest/gtest.h>

FtpHarness::FtpHarness() {
    client.OnDisplay = [this](TFtpClient*, const QString& text) {
        display << text;
        if (qEnvironmentVariableIsSet("VORLEN_FTP_TRACE")) {
            fprintf(stderr, "%s\n", qPrintable(text));
        }
    };
    client.OnError = [this](TFtpClient*, const QString& text) { errors << text; };
    client.OnSessionClosed = [this](TFtpClient*) { ++sessionClosed; };
    client.OnSessionConnected = [this](TFtpClient*) { ++sessionConnected; };
    client.OnRequestDone = [this](TFtpClient*, TFtpRequest request, quint16 code) {
        ++m_doneCount;
        lastRequest = request;
        m_code = code;
        m_done = true;
        if (m_loop) {
            m_loop->quit();
        }
    };
}

quint16 FtpHarness::Run(const std::function<void(TFtpClient&)>& start, int limitMs) {
    m_done = false;
    m_code = 0xFFFF;
    start(client);
    if (!m_done) {
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        m_loop = &loop;
        limit.start(limitMs);
        loop.exec();
        m_loop = nullptr;
    }
    // Session events are delivered from the event loop after the request's end.
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_done) << "request did not end";
    return m_done ? m_code : 0xFFFF;
}

quint16 FtpHarness::ConnectVsftpd(bool passive) {
    const ServerEnv& env = ServerEnv::Get();
    client.HostName = "127.0.0.1";
    client.Port = env.Value("VSFTPD_PORT");
    client.UserName = env.Value("FTP_USER");
    client.PassWord = env.Password();
    client.Passive = passive;
    return Run([](TFtpClient& c) { c.ConnectAsync(); });
}

void FtpHarness::UseScripted(const QString& server) {
    client.HostName = "127.0.0.1";
    client.Port = ServerEnv::Get().Value("SCRIPTED_" + server);
    client.UserName = "tester";
    client.PassWord = ServerEnv::Get().Password();
}

bool FtpHarness::Displayed(const QString& text) const {
    return display.contains(text);
}

void FtpHarness::EnterBinary(const QString& dir) {
    client.HostDirName = dir;
    ASSERT_EQ(Run([](TFtpClient& c) { c.CwdAsync(); }), 0);
    client.Binary = true;
    ASSERT_EQ(Run([](TFtpClient& c) { c.TypeSetAsync(); }), 0);
}

void FtpHarness::ExpectPasswordNeverShown() const {
    const QString password = ServerEnv::Get().Password();
    for (const QString& line : display + errors) {
        EXPECT_FALSE(!password.isEmpty() && line.contains(password)) << "password displayed";
    }
}

QString FreshRemoteTestFolder() {
    const QString root = ServerEnv::Get().Value("FTP_ROOT");
    const QString name =
        QString::fromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name())
            .replace('/', '_');
    QDir(root + "/" + name).removeRecursively();
    QDir(root).mkpath(name);
    QFile::setPermissions(root + "/" + name, QFileDevice::Permissions(0x7777));
    return name;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
