#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>

#include "ftp_harness.h"
#include "support/test_support.h"

// Every operation against vsftpd, in passive (true) and active (false) mode.
class Vsftpd : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        REQUIRE_SERVER("VSFTPD_PORT");
        m_root = ServerEnv::Get().Value("FTP_ROOT");
        m_remoteDir = FreshRemoteTestFolder();
        ASSERT_EQ(h.ConnectVsftpd(GetParam()), 0) << h.client.ErrorMessage().toStdString();
        h.EnterBinary(m_remoteDir);
    }

    void TearDown() override {
        if (h.client.Connected()) {
            EXPECT_EQ(h.Run([](TFtpClient& c) { c.QuitAsync(); }), 0);
            EXPECT_FALSE(h.client.Connected());
        }
        h.ExpectPasswordNeverShown();
    }

    QString Remote(const QString& name) const { return m_root + "/" + m_remoteDir + "/" + name; }

    quint16 Put(const QString& local, const QString& remote) {
        h.client.LocalFileName = local;
        h.client.HostFileName = remote;
        return h.Run([](TFtpClient& c) { c.PutAsync(); });
    }
    quint16 Get(const QString& remote, const QString& local) {
        h.client.LocalFileName = local;
        h.client.HostFileName = remote;
        return h.Run([](TFtpClient& c) { c.GetAsync(); });
    }

    FtpHarness h;
    TestFolder local;
    QString m_root;
    QString m_remoteDir;
};

TEST_P(Vsftpd, LoginShowsRepliesAndHidesThePassword) {
    EXPECT_TRUE(h.client.Connected());
    EXPECT_EQ(h.sessionConnected, 1);
    EXPECT_TRUE(h.Displayed("> PASS ****"));
    EXPECT_TRUE(h.Displayed("> USER " + ServerEnv::Get().Value("FTP_USER")));
    EXPECT_TRUE(h.display.filter(QRegularExpression("^< 220")).size() == 1);
    EXPECT_EQ(h.client.State(), ftpReady);
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.PwdAsync(); }), 0);
    EXPECT_EQ(h.client.DirResult(), m_root + "/" + m_remoteDir);
    EXPECT_EQ(h.lastRequest, ftpPwdAsync);
}

TEST_P(Vsftpd, PutThenGetIsByteIdentical) {
    const QByteArray data = RandomBytes(3 * 1024 * 1024 + 17, 1);
    const QString up = local.Write("up.bin", data);
    EXPECT_TRUE(h.Displayed("> TYPE I"));
    ASSERT_EQ(Put(up, "data.bin"), 0) << h.client.ErrorMessage().toStdString();
    EXPECT_EQ(h.lastRequest, ftpPutAsync);
    EXPECT_EQ(h.client.ByteCount(), data.size());
    EXPECT_EQ(ReadFile(Remote("data.bin")), data);
    EXPECT_FALSE(h.display.filter(QString::number(data.size()) + " bytes sent in ").isEmpty());

    ASSERT_EQ(Get("data.bin", local.File("down.bin")), 0) << h.client.ErrorMessage().toStdString();
    EXPECT_EQ(h.client.ByteCount(), data.size());
    EXPECT_EQ(local.Read("down.bin"), data);
    EXPECT_FALSE(h.display.filter(" bytes received in ").isEmpty());
}

// The window runs its event loop from inside each progress report (to stay alive): the bytes
// the socket writes meanwhile still count, and the count never goes back.
TEST_P(Vsftpd, UploadCountStaysExactWhenProgressRunsTheEventLoop) {
    const QByteArray data = RandomBytes(24 * 1024 * 1024 + 5, 3);
    const QString up = local.Write("big.bin", data);
    qint64 last = 0;
    bool backwards = false;
    const QMetaObject::Connection watch =
        QObject::connect(&h.client, &TFtpClient::Progress, &h.client, [&] {
            backwards = backwards || h.client.ByteCount() < last;
            last = h.client.ByteCount();
            QCoreApplication::processEvents();
        });
    const quint16 put = Put(up, "big.bin");
    QObject::disconnect(watch);
    ASSERT_EQ(put, 0) << h.client.ErrorMessage().toStdString();
    EXPECT_FALSE(backwards);
    EXPECT_EQ(h.client.ByteCount(), data.size());
    EXPECT_EQ(last, data.size());  // the last report is the whole file
    EXPECT_FALSE(h.display.filter(QString::number(data.size()) + " bytes sent in ").isEmpty())
        << h.display.filter(" bytes sent in ").join('\n').toStdString();
    EXPECT_EQ(QFileInfo(Remote("big.bin")).size(), data.size());
}

TEST_P(Vsftpd, GetReplacesAnExistingLocalFileAndEmptyFilesWork) {
    WriteFile(Remote("empty.txt"), "");
    WriteFile(Remote("short.txt"), "new");
    const QString target = local.Write("target.txt", "old content that is longer");
    ASSERT_EQ(Get("short.txt", target), 0);
    EXPECT_EQ(ReadFile(target), "new");
    ASSERT_EQ(Get("empty.txt", target), 0);
    EXPECT_EQ(ReadFile(target), "");
}

TEST_P(Vsftpd, ListingAndNamesGoIntoTheLocalFile) {
    WriteFile(Remote("one.txt"), "1");
    WriteFile(Remote("two.txt"), "22");
    h.client.LocalFileName = local.File("dir.txt");
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.DirAsync(); }), 0);
    EXPECT_EQ(h.lastRequest, ftpDirAsync);
    const QString listing = QString::fromUtf8(local.Read("dir.txt"));
    EXPECT_TRUE(listing.contains("one.txt"));
    EXPECT_TRUE(listing.contains("two.txt"));
    EXPECT_TRUE(listing.startsWith("-rw"));
    EXPECT_TRUE(h.Displayed("> LIST"));

    h.client.LocalFileName = local.File("ls.txt");
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.LsAsync(); }), 0);
    QStringList names = QString::fromUtf8(local.Read("ls.txt")).split("\r\n", Qt::SkipEmptyParts);
    names.sort();
    EXPECT_EQ(names, QStringList({"one.txt", "two.txt"}));
}

TEST_P(Vsftpd, RestGetContinuesFromTheLocalSize) {
    const QByteArray data = RandomBytes(2 * 1024 * 1024 + 5, 2);
    WriteFile(Remote("resume.bin"), data);
    const qsizetype half = 1024 * 1024 + 3;
    const QString target = local.Write("resume.bin", data.left(half));
    h.client.LocalFileName = target;
    h.client.HostFileName = "resume.bin";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.RestGetAsync(); }), 0);
    EXPECT_EQ(h.client.ResumeAt, half);
    EXPECT_TRUE(h.Displayed("> REST " + QString::number(half)));
    EXPECT_EQ(h.client.ByteCount(), data.size() - half);
    EXPECT_EQ(ReadFile(target), data);
}

TEST_P(Vsftpd, RestGetWithoutLocalFileSendsNoRest) {
    WriteFile(Remote("whole.txt"), "whole");
    h.client.LocalFileName = local.File("whole.txt");
    h.client.HostFileName = "whole.txt";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.RestGetAsync(); }), 0);
    EXPECT_TRUE(h.display.filter("> REST").isEmpty());
    EXPECT_EQ(local.Read("whole.txt"), "whole");
}

TEST_P(Vsftpd, RestPutContinuesFromTheResumePosition) {
    const QByteArray data = RandomBytes(1536 * 1024 + 1, 3);
    const qsizetype part = 700 * 1024;
    WriteFile(Remote("resume-up.bin"), data.left(part));
    QFile::setPermissions(Remote("resume-up.bin"), QFileDevice::Permissions(0x6666));
    h.client.LocalFileName = local.Write("resume-up.bin", data);
    h.client.HostFileName = "resume-up.bin";
    h.client.ResumeAt = part;
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.RestPutAsync(); }), 0)
        << h.client.ErrorMessage().toStdString();
    EXPECT_TRUE(h.Displayed("> REST " + QString::number(part)));
    EXPECT_EQ(ReadFile(Remote("resume-up.bin")), data);
}

TEST_P(Vsftpd, DirectoryAndFileOperations) {
    h.client.HostFileName = "sub";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.MkdAsync(); }), 0);
    EXPECT_TRUE(QFileInfo(Remote("sub")).isDir());
    EXPECT_EQ(h.client.StatusCode(), 257);

    h.client.HostDirName = "sub";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.CwdAsync(); }), 0);
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.CDupAsync(); }), 0);
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.PwdAsync(); }), 0);
    EXPECT_EQ(h.client.DirResult(), m_root + "/" + m_remoteDir);

    ASSERT_EQ(Put(local.Write("f.txt", "file"), "old.txt"), 0);
    h.client.HostFileName = "old.txt";
    h.client.LocalFileName = "new.txt";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.RenAsync(); }), 0);
    EXPECT_TRUE(h.Displayed("> RNFR old.txt"));
    EXPECT_TRUE(h.Displayed("> RNTO new.txt"));
    EXPECT_FALSE(QFile::exists(Remote("old.txt")));
    EXPECT_EQ(ReadFile(Remote("new.txt")), "file");

    h.client.HostFileName = "new.txt";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.DeleAsync(); }), 0);
    EXPECT_FALSE(QFile::exists(Remote("new.txt")));

    h.client.HostFileName = "sub";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.RmdAsync(); }), 0);
    EXPECT_FALSE(QFile::exists(Remote("sub")));

    // Renaming what is not there fails at RNFR and sends no RNTO.
    h.display.clear();
    h.client.HostFileName = "absent.txt";
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.RenAsync(); }), 550);
    EXPECT_TRUE(h.display.filter("> RNTO").isEmpty());
}

TEST_P(Vsftpd, MissingRemoteThingsGive550AndKeepTheSession) {
    h.client.HostDirName = "no-such-dir";
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.CwdAsync(); }), 550);
    EXPECT_EQ(h.client.StatusCode(), 550);
    EXPECT_TRUE(h.client.ErrorMessage().startsWith("550"));
    EXPECT_TRUE(h.client.Connected());

    // A refused download leaves an existing local file as it was.
    const QString keep = local.Write("keep.txt", "precious partial download");
    EXPECT_EQ(Get("no-such-file", keep), 550);
    EXPECT_EQ(ReadFile(keep), "precious partial download");
    EXPECT_TRUE(h.Displayed("! RETR/LIST/NLST Failed"));
    // ... and creates none where there was none.
    EXPECT_EQ(Get("no-such-file", local.File("fresh.txt")), 550);
    EXPECT_FALSE(QFile::exists(local.File("fresh.txt")));

    EXPECT_EQ(h.Run([](TFtpClient& c) { c.PwdAsync(); }), 0);
}

TEST_P(Vsftpd, NonAsciiDirectoryRoundTrip) {
    const QString name = QString::fromUtf8(
        "Gr\xc3\xbc\xc3\x9f"
        "e \xe6\x97\xa5");
    h.client.HostFileName = name;
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.MkdAsync(); }), 0);
    EXPECT_TRUE(QFileInfo(Remote(name)).isDir());
    h.client.HostDirName = name;
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.CwdAsync(); }), 0);
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.PwdAsync(); }), 0);
    EXPECT_TRUE(h.client.DirResult().endsWith("/" + name)) << h.client.DirResult().toStdString();
    // What the server said is a directory we can go back into.
    h.client.HostDirName = h.client.DirResult();
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.CwdAsync(); }), 0);
}

TEST_P(Vsftpd, QuoteSendsTheLineAsItStands) {
    ASSERT_EQ(Put(local.Write("mode.txt", "m"), "mode.txt"), 0);
    h.client.LocalFileName = "SITE CHMOD 600 mode.txt";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.QuoteAsync(); }), 0);
    EXPECT_TRUE(h.Displayed("> SITE CHMOD 600 mode.txt"));
    const QFileDevice::Permissions mode = QFileInfo(Remote("mode.txt")).permissions();
    EXPECT_TRUE(mode.testFlag(QFileDevice::WriteOwner));
    EXPECT_FALSE(mode.testFlag(QFileDevice::ReadGroup));
    EXPECT_FALSE(mode.testFlag(QFileDevice::ReadOther));
    h.client.LocalFileName = "SITE NONSENSE";
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.QuoteAsync(); }), 500);
}

TEST_P(Vsftpd, LocalFileProblemsEndTheRequestAndKeepTheSession) {
    h.client.LocalFileName = local.File("missing-folder/dir.txt");
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.DirAsync(); }), 550);
    EXPECT_EQ(h.client.ErrorMessage(), "Unable to open local file");
    EXPECT_TRUE(h.client.Connected());

    WriteFile(Remote("x.txt"), "x");
    EXPECT_EQ(Get("x.txt", local.Path()), 550);  // a folder cannot be written as a file
    EXPECT_EQ(h.client.ErrorMessage(), "Unable to open local file");

    EXPECT_EQ(Put(local.File("nothing-here.txt"), "y.txt"), 550);
    EXPECT_EQ(h.client.ErrorMessage(), "Unable to open local file");
    EXPECT_FALSE(QFile::exists(Remote("y.txt")));

    h.client.LocalFileName = "";
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.GetAsync(); }), 501);
    EXPECT_TRUE(h.errors.contains("LocalFileName empty"));

    // Still a working session.
    EXPECT_EQ(Get("x.txt", local.File("x.txt")), 0);
    EXPECT_EQ(local.Read("x.txt"), "x");
}

TEST_P(Vsftpd, RequestStartFailures) {
    h.client.HostDirName = "";
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.CwdAsync(); }), 501);
    EXPECT_TRUE(h.errors.contains("HostDirName empty"));
    EXPECT_EQ(h.client.ErrorMessage(), "HostDirName empty");

    EXPECT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 501);
    EXPECT_TRUE(h.errors.contains("FTP component already connected"));
    EXPECT_TRUE(h.client.Connected());

    // A second request while one runs is refused and the first one carries on.
    const int before = h.DoneCount();
    EXPECT_EQ(h.Run([](TFtpClient& c) {
        c.PwdAsync();
        c.CDupAsync();
    }),
              0);
    EXPECT_TRUE(h.errors.contains("FTP component not ready"));
    EXPECT_EQ(h.lastRequest, ftpPwdAsync);
    EXPECT_EQ(h.DoneCount(), before + 1);
}

TEST_P(Vsftpd, AbortDuringATransferEndsTheSession) {
    WriteFile(Remote("big.bin"), RandomBytes(64 * 1024 * 1024, 4));
    h.client.LocalFileName = local.File("big.bin");
    h.client.HostFileName = "big.bin";
    bool aborted = false;
    QObject::connect(&h.client, &TFtpClient::Progress, &h.client, [&] {
        if (!aborted && h.client.ByteCount() > 0) {
            aborted = true;
            h.client.Abort();
        }
    });
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.GetAsync(); }), 426);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(h.client.ErrorMessage(), "426 Operation aborted.");
    EXPECT_TRUE(h.Displayed("! Aborting"));
    EXPECT_FALSE(h.client.Connected());
    EXPECT_EQ(h.client.State(), ftpReady);
    EXPECT_EQ(h.sessionClosed, 1);
    // What arrived stays for a later resume.
    EXPECT_GT(QFileInfo(local.File("big.bin")).size(), 0);

    // Not connected: commands fail at once, QUIT succeeds.
    h.client.HostDirName = "x";
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.CwdAsync(); }), 550);
    EXPECT_EQ(h.client.ErrorMessage(), "550 not connected");
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.QuitAsync(); }), 0);
    // And the engine connects again.
    EXPECT_EQ(h.ConnectVsftpd(GetParam()), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, Vsftpd, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

TEST(VsftpdActive, DataPortRange) {
    REQUIRE_SERVER("VSFTPD_PORT");
    FtpHarness h;
    h.client.DataPortRangeStart = 5000;
    h.client.DataPortRangeEnd = 4000;
    ASSERT_EQ(h.ConnectVsftpd(false), 0);
    TestFolder local;
    h.client.LocalFileName = local.File("dir.txt");
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.DirAsync(); }), 550);
    EXPECT_EQ(h.client.ErrorMessage(), "DataPortRangeEnd must be greater than DataPortRangeStart");

    // A range whose only port is taken.
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    h.client.DataPortRangeStart = taken.serverPort();
    h.client.DataPortRangeEnd = taken.serverPort();
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.DirAsync(); }), 550);
    EXPECT_EQ(h.client.ErrorMessage(), "All ports in DataPortRange are in use");

    // A free range is used, and the PORT command names it.
    const quint16 port = taken.serverPort();
    taken.close();
    h.client.DataPortRangeStart = port;
    h.client.DataPortRangeEnd = port + 5;
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.DirAsync(); }), 0);
    EXPECT_TRUE(h.Displayed("> " + PortCommand("127.0.0.1", port)));
}

TEST(VsftpdLogin, WrongPasswordIsRefusedWith530) {
    REQUIRE_SERVER("VSFTPD_PORT");
    FtpHarness h;
    h.client.HostName = "127.0.0.1";
    h.client.Port = ServerEnv::Get().Value("VSFTPD_PORT");
    h.client.UserName = ServerEnv::Get().Value("FTP_USER");
    h.client.PassWord = "wrong-password";
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 530);
    EXPECT_TRUE(h.client.ErrorMessage().startsWith("530"));
    EXPECT_TRUE(h.display.filter("wrong-password").isEmpty());
}

TEST(VsftpdLogin, RefusedConnection) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    FtpHarness h;
    h.client.HostName = "127.0.0.1";
    h.client.Port = QString::number(closedPort);
    h.client.UserName = "nobody";
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 10061);
    EXPECT_TRUE(h.client.ErrorMessage().contains("(Winsock error #10061)"));
    EXPECT_FALSE(h.client.Connected());
    EXPECT_EQ(h.client.State(), ftpReady);
    EXPECT_EQ(h.display.filter("> USER").size(), 0);
}
