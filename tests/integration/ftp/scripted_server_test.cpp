#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTimer>

#include "ftp_harness.h"
#include "support/test_support.h"

// Server behaviour a real server does not show on demand, from the scripted servers.
class Scripted : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_SERVER("SCRIPTED_SCRIPTED"); }

    void Login() {
        h.UseScripted("SCRIPTED");
        ASSERT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 0)
            << h.client.ErrorMessage().toStdString();
    }

    quint16 Quote(const QString& line) {
        h.client.LocalFileName = line;
        return h.Run([](TFtpClient& c) { c.QuoteAsync(); });
    }

    FtpHarness h;
    TestFolder local;
};

TEST_F(Scripted, MultiLineGreetingAndReplies) {
    Login();
    EXPECT_TRUE(h.Displayed("< 220-Scripted test server"));
    EXPECT_TRUE(h.Displayed("< 220-second line of the greeting"));
    EXPECT_TRUE(h.Displayed("< 220 third line"));
    // Only the last greeting line ends the open step: USER follows it.
    EXPECT_EQ(h.display.indexOf("> USER tester"), h.display.indexOf("< 220 third line") + 1);

    EXPECT_EQ(Quote("SITE MULTI"), 0);
    EXPECT_EQ(h.client.StatusCode(), 250);
    EXPECT_EQ(h.client.LastResponse(), "250 End");
    EXPECT_TRUE(h.Displayed("< 250-First line"));
    EXPECT_TRUE(h.Displayed("<  250 not the end"));
}

TEST_F(Scripted, MalformedRepliesEndTheRequestCleanly) {
    Login();
    // A line without a code is only displayed; the reply ends at the coded line.
    EXPECT_EQ(Quote("SITE RAW no code on this line\\r\\n200 fine\\r\\n"), 0);
    EXPECT_TRUE(h.Displayed("< no code on this line"));
    EXPECT_EQ(h.client.LastResponse(), "200 fine");
    // Bare line feeds end lines too.
    EXPECT_EQ(Quote("SITE RAW 200-a\\nb\\n200 c\\n"), 0);
    EXPECT_EQ(h.client.LastResponse(), "200 c");
    // A reply split across packets.
    EXPECT_EQ(Quote("SITE SPLIT"), 0);
    EXPECT_EQ(h.client.LastResponse(), "200 Split reply complete");
    // An over-long line neither crashes nor stalls the session.
    EXPECT_EQ(Quote("SITE LONG 10000"), 0);
    EXPECT_EQ(h.client.LastResponse().size(), FtpReplyReader::kBufferSize);
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.PwdAsync(); }), 0);
    EXPECT_EQ(h.client.StatusCode(), 257);
    // A refusal at or above 500 fails the quote.
    EXPECT_EQ(Quote("SITE RAW 502 not here\\r\\n"), 502);
    EXPECT_EQ(h.client.ErrorMessage(), "502 not here");
}

TEST_F(Scripted, PasvWithoutNumbersFailsAndKeepsTheSession) {
    Login();
    EXPECT_EQ(Quote("SITE PASVREPLY 227 Entering Passive Mode"), 0);
    h.client.LocalFileName = local.File("dir.txt");
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.DirAsync(); }), 550);
    EXPECT_TRUE(h.client.ErrorMessage().contains("227 Entering Passive Mode"));
    EXPECT_TRUE(h.display.filter("> LIST").isEmpty());
    EXPECT_TRUE(h.client.Connected());
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.DirAsync(); }), 0);
    EXPECT_TRUE(QString::fromUtf8(local.Read("dir.txt")).contains("small.txt"));
}

TEST_F(Scripted, PasvToAChosenAddressIsFollowed) {
    Login();
    // The chosen address has nobody listening: the engine must try exactly there.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    EXPECT_EQ(Quote(QString("SITE PASVREPLY 227 Entering Passive Mode (127,0,0,1,%1,%2)")
                        .arg(port >> 8)
                        .arg(port & 0xff)),
              0);
    h.client.LocalFileName = local.File("dir.txt");
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.DirAsync(); }), 550);
    EXPECT_EQ(h.client.ErrorMessage(), "Unable to establish data connection, error #10061");

    // And a listener there receives the connection.
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
    bool reached = false;
    QObject::connect(&listener, &QTcpServer::newConnection, [&] {
        reached = true;
        delete listener.nextPendingConnection();
        // The server itself has no data connection to offer, so end the request here.
        QTimer::singleShot(0, &h.client, [&] { h.client.Abort(); });
    });
    EXPECT_EQ(Quote(QString("SITE PASVREPLY 227 =127,0,0,1,%1,%2 (127,0,0,1,%1,%2)")
                        .arg(listener.serverPort() >> 8)
                        .arg(listener.serverPort() & 0xff)),
              0);
    h.client.LocalFileName = local.File("dir2.txt");
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.DirAsync(); }), 426);
    EXPECT_TRUE(reached);
}

TEST_F(Scripted, ServerClosingTheControlConnection) {
    Login();
    EXPECT_EQ(Quote("SITE CLOSE"), 500);
    EXPECT_TRUE(h.client.ErrorMessage().startsWith("500 Control connection closed. "));
    EXPECT_TRUE(h.client.ErrorMessage().endsWith(")"));
    EXPECT_TRUE(h.client.ErrorMessage().contains("(Winsock error #"));
    EXPECT_EQ(h.sessionClosed, 1);
    EXPECT_FALSE(h.client.Connected());
    EXPECT_EQ(h.client.State(), ftpReady);
    // A new session can be opened on the same engine.
    Login();
}

TEST(ScriptedLogin, UserAnsweredBy230SkipsPass) {
    REQUIRE_SERVER("SCRIPTED_USER230");
    FtpHarness h;
    h.UseScripted("USER230");
    h.client.PassWord = "";
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 0);
    EXPECT_TRUE(h.display.filter("PASS").isEmpty());
    EXPECT_TRUE(h.client.Connected());
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.PwdAsync(); }), 0);
}

TEST(ScriptedLogin, WrongPasswordGives530) {
    REQUIRE_SERVER("SCRIPTED_SCRIPTED");
    FtpHarness h;
    h.UseScripted("SCRIPTED");
    h.client.PassWord = "not-the-password";
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 530);
    EXPECT_FALSE(h.display.filter(QRegularExpression("^< 530")).isEmpty());
    EXPECT_TRUE(h.client.ErrorMessage().startsWith("530"));
    EXPECT_TRUE(h.display.filter("not-the-password").isEmpty());
}

TEST(ScriptedLogin, MissingPasswordWhenAskedFor) {
    REQUIRE_SERVER("SCRIPTED_SCRIPTED");
    FtpHarness h;
    h.UseScripted("SCRIPTED");
    h.client.PassWord = "";
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 501);
    EXPECT_TRUE(h.errors.contains("Password empty"));
}

TEST(ScriptedSilent, SynchronousWaitTimesOut) {
    REQUIRE_SERVER("SCRIPTED_SILENT");
    FtpHarness h;
    h.UseScripted("SILENT");
    h.client.Timeout = 1;
    h.client.ConnectAsync();
    EXPECT_FALSE(h.client.WaitUntilReady());
    EXPECT_EQ(h.client.ErrorMessage(), "426 Timeout");
    EXPECT_EQ(h.client.StatusCode(), 426);
    EXPECT_EQ(h.DoneCount(), 0);  // the end is delivered from the event loop, not from inside
    QCoreApplication::processEvents();
    EXPECT_EQ(h.DoneCount(), 1);
    EXPECT_EQ(h.lastRequest, ftpConnectAsync);
    EXPECT_FALSE(h.client.Connected());
    EXPECT_EQ(h.client.State(), ftpReady);
}

TEST(ScriptedDropper, ControlConnectionLostDuringATransfer) {
    REQUIRE_SERVER("SCRIPTED_DROPPER");
    FtpHarness h;
    TestFolder local;
    h.UseScripted("DROPPER");
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 0);
    h.client.LocalFileName = local.File("big.bin");
    h.client.HostFileName = "big.bin";
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.GetAsync(); }), 500);
    EXPECT_TRUE(h.client.ErrorMessage().startsWith("500 Control connection closed. "));
    EXPECT_EQ(h.sessionClosed, 1);
    EXPECT_FALSE(h.client.Connected());
    // The part that arrived is kept for a later resume.
    const qint64 size = QFileInfo(local.File("big.bin")).size();
    EXPECT_GT(size, 0);
    EXPECT_LT(size, 4 * 1024 * 1024);
}

TEST_F(Scripted, ContinuationLinesWithDigitsDoNotEndAReply) {
    Login();
    // Ended early, the rest of this reply would answer the PWD that follows.
    EXPECT_EQ(Quote("SITE RAW 230-Welcome\\r\\n10 users online\\r\\n230 End\\r\\n"), 0);
    EXPECT_EQ(h.client.LastResponse(), "230 End");
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.PwdAsync(); }), 0);
    EXPECT_TRUE(h.client.LastResponse().startsWith("257 "));
}

TEST_F(Scripted, NamesWithLineBreaksAreNeverSent) {
    Login();
    for (const QString& name : {QString("x\r\nDELE small.txt"), QString("x\nDELE small.txt")}) {
        h.client.HostDirName = name;
        EXPECT_EQ(h.Run([](TFtpClient& c) { c.CwdAsync(); }), 501);
        h.client.HostFileName = name;
        EXPECT_EQ(h.Run([](TFtpClient& c) { c.DeleAsync(); }), 501);
        h.client.LocalFileName = "SITE " + name;
        EXPECT_EQ(h.Run([](TFtpClient& c) { c.QuoteAsync(); }), 501);
    }
    for (const QString& line : h.display) {
        EXPECT_FALSE(line.contains("DELE")) << line.toStdString();
    }
    EXPECT_TRUE(h.client.Connected());
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.PwdAsync(); }), 0);
}

TEST_F(Scripted, ARefusedPasvLeavesNothingForTheNextRequest) {
    Login();
    ASSERT_EQ(Quote("SITE PASVREPLY 500 no passive today"), 0);
    h.client.LocalFileName = local.File("list.txt");
    EXPECT_NE(h.Run([](TFtpClient& c) { c.DirAsync(); }), 0);
    // The next listing opens its own data connection and completes normally.
    EXPECT_EQ(h.Run([](TFtpClient& c) { c.DirAsync(); }), 0);
    EXPECT_TRUE(local.Read("list.txt").contains("small.txt"));
}

TEST(ScriptedIpv6, ExtendedPassiveAndActiveModes) {
    REQUIRE_SERVER("SCRIPTED_IPV6");
    FtpHarness h;
    h.UseScripted("IPV6");
    h.client.HostName = "::1";
    ASSERT_EQ(h.Run([](TFtpClient& c) { c.ConnectAsync(); }), 0);
    TestFolder local;
    for (const bool passive : {true, false}) {
        h.client.Passive = passive;
        h.client.LocalFileName = local.File("list.txt");
        EXPECT_EQ(h.Run([](TFtpClient& c) { c.DirAsync(); }), 0);
        EXPECT_TRUE(local.Read("list.txt").contains("small.txt"));
        EXPECT_FALSE(h.display.filter(passive ? "> EPSV" : "> EPRT |2|::1|").isEmpty());
    }
}
