// The session and the remote pane driven as the window drives them (through a scripted
// UserInterface) against vsftpd and the scripted servers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTimer>
#include <QUuid>

#include "app/app_core.h"
#include "app/scripted_user_interface.h"
#include "config/scrambling.h"
#include "ftp_harness.h"
#include "panes/remote_pane.h"
#include "session/ftp_session.h"
#include "session/session.h"
#include "support/headless_program.h"
#include "support/test_support.h"

namespace {

// One program without a window: work folder, core and the recorded interface.
struct Program : HeadlessProgram {
    // The site: Domain host:port, user, password (scrambled as stored).
    void Site(const QString& port, const QString& user, const QString& password,
              int timeoutIndex = 0) {
        SetSite("Test", port, user, password);
        core.settings.site.timeoutIndex = timeoutIndex;
    }
    void Vsftpd() { Server("VSFTPD_PORT"); }
    // One of the servers sharing vsftpd's user and folder.
    void Server(const QString& portKey, bool machineListings = true) {
        Site(ServerEnv::Get().Value(portKey), ServerEnv::Get().Value("FTP_USER"),
             ServerEnv::Get().Password());
        core.settings.site.machineListings = machineListings;
    }
    void Scripted(const QString& name, int timeoutIndex = 0) {
        Site(ServerEnv::Get().Value("SCRIPTED_" + name), "tester", ServerEnv::Get().Password(),
             timeoutIndex);
    }
    // Logs in to a scripted server, staying in its home directory.
    bool LogIn(const QString& name) {
        Scripted(name);
        session.ConnectAndSetDirNoDirInfo("?");
        return session.Connected();
    }
    // SITE or QUOTE with its whole command line.
    void Send(const QString& request, const QString& line) {
        session.Ftp().FtpClient1.LocalFileName = line;
        session.Ftp().AsyncCall(request);
    }
    int Count(const QString& logLine) const { return int(ui.logLines.count(logLine)); }
};

// A fresh folder of the vsftpd root, owned by the test user, with a file and a sub-folder.
QString FreshRemoteFolder() {
    return FreshOwnedFolder(ServerEnv::Get().Value("FTP_ROOT"), "s",
                            ServerEnv::Get().Value("FTP_USER"),
                            {{"file.txt", "hello\n"}, {"sub/inner.txt", "inner\n"}});
}

}  // namespace

TEST(SessionVsftpd, LoginListsHomeAndNavigates) {
    REQUIRE_SERVER("VSFTPD_PORT");
    const QString dir = FreshRemoteFolder();
    Program p;
    p.Vsftpd();
    p.core.settings.site.infRemDirs = {dir};
    p.session.RequestConnect();
    ASSERT_TRUE(p.session.Connected());
    EXPECT_EQ(p.ui.light, ConnectionLight::Green);
    EXPECT_EQ(p.ui.connectCaption, "Disconnect");
    EXPECT_EQ(p.session.currentRemoteDir, dir);
    EXPECT_EQ(p.Names(), QStringList({"..", "sub", "file.txt"}));
    // The login reports the home directory's first scan (the vsftpd root holds no files).
    EXPECT_TRUE(p.ui.statusHistory.contains(
        " Logged in to Test, 0 remote files, 0 bytes in current directory."));
    EXPECT_EQ(p.pane.SummaryText(), "1 files    6 bytes");

    // Into the sub-folder and back with "..", Home, and a column click.
    p.pane.lvRemoteDblClick(p.Row("sub"));
    EXPECT_EQ(p.session.currentRemoteDir, dir + "/sub");
    EXPECT_EQ(p.Names(), QStringList({"..", "inner.txt"}));
    p.pane.lvRemoteDblClick(0);
    EXPECT_EQ(p.session.currentRemoteDir, dir + "/");
    EXPECT_EQ(p.Names(), QStringList({"..", "sub", "file.txt"}));
    p.pane.ColumnClick(0);  // name again: the sequence flips
    EXPECT_EQ(p.Names(), QStringList({"..", "sub", "file.txt"}));
    EXPECT_EQ(p.core.settings.site.remoteSortAscInd, 1);
    p.ExpectNoPassword(ServerEnv::Get().Password());
}

// The same session against each real server, listing with MLSD where it is offered and allowed.
struct RealServer {
    const char* name;
    const char* portKey;
    bool machineListings;  // the site's setting
    bool listsWithMlsd;    // what the session should do
};

void PrintTo(const RealServer& server, std::ostream* out) {
    *out << server.name;
}

class SessionServers : public ::testing::TestWithParam<RealServer> {};

TEST_P(SessionServers, ListsNavigatesAndReadsSizesTimesAndNames) {
    const RealServer& server = GetParam();
    REQUIRE_SERVER(server.portKey);
    const QString dir = FreshRemoteFolder();
    const QString odd = dir + "/Grüße; a=b ü.txt";
    WriteFile(odd, QByteArray(12345, 'x'));
    const QDateTime stamp(QDate(2021, 3, 4), QTime(5, 6));
    QFile file(odd);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.setFileTime(stamp, QFileDevice::FileModificationTime);
    file.close();
    QProcess::execute("chown", {"-R", ServerEnv::Get().Value("FTP_USER"), dir});

    Program p;
    p.Server(server.portKey, server.machineListings);
    p.core.settings.site.infRemDirs = {dir};
    p.session.RequestConnect();
    ASSERT_TRUE(p.session.Connected());
    EXPECT_EQ(p.session.currentRemoteDir, dir);
    EXPECT_EQ(p.Names(), QStringList({"..", "sub", "file.txt", "Grüße; a=b ü.txt"}));
    EXPECT_EQ(p.pane.state.listingType, server.listsWithMlsd ? "ML" : "U1");
    EXPECT_EQ(p.Count("> MLSD") > 0, server.listsWithMlsd);
    const RemoteEntry* entry = p.pane.Row(p.Row("Grüße; a=b ü.txt")).entry;
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->size, 12345);
    if (server.listsWithMlsd) {
        // Exact, and in this machine's time zone.
        EXPECT_EQ(entry->modified, "2021-03-04   05:06");
        EXPECT_EQ(entry->permissions, "-rw-r--r--");
    }
    p.pane.lvRemoteDblClick(p.Row("sub"));
    EXPECT_EQ(p.session.currentRemoteDir, dir + "/sub");
    EXPECT_EQ(p.Names(), QStringList({"..", "inner.txt"}));
    p.pane.lvRemoteDblClick(0);
    EXPECT_EQ(p.Names(), QStringList({"..", "sub", "file.txt", "Grüße; a=b ü.txt"}));
    p.ExpectNoPassword(ServerEnv::Get().Password());
}

INSTANTIATE_TEST_SUITE_P(Real, SessionServers,
                         ::testing::Values(RealServer{"Vsftpd", "VSFTPD_PORT", true, false},
                                           RealServer{"ProFtpd", "PROFTPD_PORT", true, true},
                                           RealServer{"ProFtpdText", "PROFTPD_PORT", false, false},
                                           RealServer{"PureFtpd", "PUREFTPD_PORT", true, true},
                                           RealServer{"PureFtpdText", "PUREFTPD_PORT", false,
                                                      false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A server that announces machine listings but refuses MLSD is listed with LIST from then on.
TEST(SessionScripted, RefusedMlsdFallsBackToListForTheRestOfTheSession) {
    REQUIRE_SERVER("SCRIPTED_MLSDREFUSER");
    Program p;
    ASSERT_TRUE(p.LogIn("MLSDREFUSER"));
    EXPECT_TRUE(p.Names().contains("small.txt"));
    EXPECT_EQ(p.pane.state.listingType, "U1");
    EXPECT_EQ(p.ui.logLines.filter("The server refused MLSD").size(), 1);
    EXPECT_TRUE(p.ui.messages.isEmpty());
    p.pane.cacheUse = false;
    p.pane.RefreshRemoteDirectoryList();
    EXPECT_EQ(p.Count("> MLSD"), 1);
    EXPECT_TRUE(p.Names().contains("small.txt"));
}

TEST(SessionVsftpd, CacheServesARevisitedDirectoryWithoutListing) {
    REQUIRE_SERVER("VSFTPD_PORT");
    const QString dir = FreshRemoteFolder();
    Program p;
    p.Vsftpd();
    p.core.settings.site.infRemDirs = {dir};
    p.session.RequestConnect();
    ASSERT_TRUE(p.session.Connected());
    const int listsAtLogin = p.Count("> LIST");
    EXPECT_EQ(listsAtLogin, 2);  // the home directory's first scan, then the initial one
    p.pane.lvRemoteDblClick(p.Row("sub"));
    p.pane.lvRemoteDblClick(0);
    EXPECT_EQ(p.Count("> LIST"), listsAtLogin + 1);  // "sub" listed, its parent from the cache
    // The Refresh button always asks the server.
    p.pane.RefreshRemote();
    EXPECT_EQ(p.Count("> LIST"), listsAtLogin + 2);
}

TEST(SessionVsftpd, MissingDirectoryKeepsTheViewWhereItWas) {
    REQUIRE_SERVER("VSFTPD_PORT");
    const QString dir = FreshRemoteFolder();
    Program p;
    p.Vsftpd();
    p.core.settings.site.infRemDirs = {dir};
    p.session.RequestConnect();
    ASSERT_TRUE(p.session.Connected());
    p.pane.ChgDirToCmbxBoxName(dir + "/missing");
    EXPECT_EQ(NormalisedRemoteDir(false, p.session.currentRemoteDir), dir);
    EXPECT_TRUE(p.ui.logLines.contains("chdir attempt returned error code(s):  550"));
    EXPECT_EQ(p.Names(), QStringList({"..", "sub", "file.txt"}));
    EXPECT_TRUE(p.session.Connected());
}

TEST(SessionVsftpd, WrongPasswordIsAskedTwiceMoreAndNeverShown) {
    REQUIRE_SERVER("VSFTPD_PORT");
    Program p;
    p.Vsftpd();
    p.core.settings.site.sessionPassword =
        QString::fromLatin1(scrambling::ComplexEncrypt("wrong-secret-1"));
    p.ui.passwordAnswers.enqueue({true, "wrong-secret-2", false});
    p.ui.passwordAnswers.enqueue({true, "wrong-secret-3", false});
    p.session.RequestConnect();
    EXPECT_FALSE(p.session.Connected());
    EXPECT_EQ(p.ui.light, ConnectionLight::Red);
    EXPECT_EQ(p.ui.passwordPrompts.size(), 2);
    EXPECT_TRUE(p.ui.passwordPrompts.value(0).startsWith(
        "Please supply password for user vorlenftp at remote site Test"));
    EXPECT_TRUE(p.ui.logLines.contains("< 530 Login incorrect."));
    for (const char* secret : {"wrong-secret-1", "wrong-secret-2", "wrong-secret-3"}) {
        p.ExpectNoPassword(secret);
    }
}

// A login that fails is not a failed change to the first directory: nothing is said about it
// and the place the start-up left (("..") is never remembered.
TEST(SessionVsftpd, FailedLoginLeavesTheRecordedInitialDirectoryAlone) {
    REQUIRE_SERVER("VSFTPD_PORT");
    Program p;
    p.Vsftpd();
    p.core.settings.site.infRemDirs = {"/"};
    p.session.currentRemoteDir = "..";  // as the start-up sets it
    p.core.settings.site.sessionPassword =
        QString::fromLatin1(scrambling::ComplexEncrypt("wrong-secret-1"));
    p.ui.passwordAnswers.enqueue({false, QString(), false});
    p.session.RequestConnect();
    ASSERT_FALSE(p.session.Connected());
    EXPECT_EQ(p.Count("Problem changing to recorded initial remote directory"), 0);
    EXPECT_EQ(p.core.settings.site.infRemDirs.value(0), "/");
    EXPECT_FALSE(p.core.settings.site.infRemDirs.contains(".."));
}

TEST(SessionVsftpd, UserDisconnectTurnsAmberThenRed) {
    REQUIRE_SERVER("VSFTPD_PORT");
    Program p;
    p.Vsftpd();
    p.session.RequestConnect();
    ASSERT_TRUE(p.session.Connected());
    p.session.ConnectButtonClickActions();  // reads "Disconnect"
    EXPECT_EQ(p.ui.light, ConnectionLight::Amber);
    EXPECT_TRUE(p.ui.logLines.contains("Automatic reconnect now active"));
    p.session.ConnectButtonClickActions();  // amber: nothing goes out, the light turns red
    EXPECT_EQ(p.ui.light, ConnectionLight::Red);
    EXPECT_TRUE(p.ui.logLines.contains("Automatic reconnect now inactive"));
    EXPECT_EQ(p.ui.connectCaption, "Reconnect");
}

TEST(SessionScripted, ConnectionRefusedTurnsTheLightRed) {
    Program p;
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString port = QString::number(closed.serverPort());
    closed.close();
    p.Site(port, "tester", "x");
    p.session.RequestConnect();
    EXPECT_FALSE(p.session.Connected());
    EXPECT_EQ(p.ui.light, ConnectionLight::Red);
    EXPECT_TRUE(p.session.requestErrorList.contains("10061"));
    EXPECT_TRUE(p.ui.StatusBarGeneralText().startsWith(" Problem logging in to Test"));
}

TEST(SessionScripted, SilentServerTimesOutWithoutUsingTheProcessor) {
    REQUIRE_SERVER("SCRIPTED_SILENT");
    Program p;
    p.Scripted("SILENT", 0);  // 25 s: a budget of 20 s
    const qint64 cpuBefore = qint64(CpuSeconds() * 1e6);
    QElapsedTimer clock;
    clock.start();
    p.session.ConnectAndSetDirNoDirInfo("?");
    EXPECT_GE(clock.elapsed(), 20000);
    EXPECT_LT(qint64(CpuSeconds() * 1e6) - cpuBefore, 500000);  // waiting is sleeping, not polling
    EXPECT_EQ(p.ui.light, ConnectionLight::Red);
    EXPECT_TRUE(p.session.timedOut);
    EXPECT_TRUE(p.ui.MessageTexts().contains(
        PadMessage("CONNECT request timed out, please reconnect to the FTP site.")));
}

TEST(SessionScripted, BytesFlowingKeepALongTransferAlive) {
    REQUIRE_SERVER("SCRIPTED_SLOW");
    Program p;
    ASSERT_TRUE(p.LogIn("SLOW"));
    FtpSession& ftp = p.session.Ftp();
    ftp.FtpClient1.Timeout = 8;  // a 3 s budget; the file takes about 4.5 s
    TestFolder local;
    ftp.FtpClient1.LocalFileName = local.File("slow.bin");
    ftp.FtpClient1.HostFileName = "slow.bin";
    ftp.FtpClient1.Binary = true;
    ftp.AsyncCall("TYPESET");
    p.session.requestErrorList.clear();
    ftp.AsyncCall("GET");
    EXPECT_EQ(p.session.requestErrorList, "");
    EXPECT_FALSE(p.session.timedOut);
    EXPECT_EQ(QFileInfo(local.File("slow.bin")).size(), 450 * 1024);
}

TEST(SessionScripted, DroppedConnectionGoesAmberAndReconnectsToTheSameDirectory) {
    REQUIRE_SERVER("SCRIPTED_SCRIPTED");
    Program p;
    p.Scripted("SCRIPTED");
    p.session.RequestConnect();
    ASSERT_TRUE(p.session.Connected());
    const QString dir = p.session.currentRemoteDir;
    p.Send("SITE", "SITE CLOSE");
    QCoreApplication::processEvents();
    EXPECT_EQ(p.ui.light, ConnectionLight::Amber);
    EXPECT_TRUE(p.ui.logLines.contains(
        "Reconnection is automatic when file transfer operations are carried out."));
    // The next remote operation logs in again and comes back to the same directory.
    p.pane.RefreshRemote();
    EXPECT_TRUE(p.session.Connected());
    EXPECT_EQ(p.ui.light, ConnectionLight::Green);
    EXPECT_EQ(p.session.currentRemoteDir, dir);
    EXPECT_TRUE(p.Row("small.txt") > 0);
    p.ExpectNoPassword(ServerEnv::Get().Password());  // neither at login nor at the re-login

    // One trace tells how it went: the session's states, the engine's states and steps, and
    // how far each listing's transfer got.
    const QStringList& trace = p.ui.traceLines;
    for (const char* line :
         {"Connection: not connected -> connected", "Connection: connected -> lost",
          "Connection: lost -> connected", "FTP step: User", "FTP step: Dir",
          "FTP transfer: data connected on", "FTP transfer: final reply ok on"}) {
        EXPECT_TRUE(trace.contains(line)) << line;
    }
    EXPECT_FALSE(trace.filter(QRegularExpression("^FTP state: .* -> waiting response$")).isEmpty());
    // Nothing of it in the displayed log unless asked for; never the password.
    EXPECT_FALSE(p.ui.logLines.join('\n').contains("Trace:"));
    for (const QString& line : trace) {
        EXPECT_FALSE(line.contains(ServerEnv::Get().Password())) << line.toStdString();
    }
}

TEST(SessionScripted, DisconnectingYouTurnsTheLightAmber) {
    REQUIRE_SERVER("SCRIPTED_SCRIPTED");
    Program p;
    ASSERT_TRUE(p.LogIn("SCRIPTED"));
    p.Send("QUOTE", "SITE RAW 200 Idle too long, Disconnecting you\\r\\n");
    EXPECT_EQ(p.ui.light, ConnectionLight::Amber);
}

TEST(SessionScripted, ForeignPassiveAddressIsNotFollowed) {
    REQUIRE_SERVER("SCRIPTED_SCRIPTED");
    Program p;
    ASSERT_TRUE(p.LogIn("SCRIPTED"));
    p.Send("SITE", "SITE FOREIGNPASV 10.9.8.7");
    p.pane.RefreshRemote();
    EXPECT_TRUE(
        p.ui.logLines.contains("! Passive address 10.9.8.7 ignored, data connection to 127.0.0.1"));
    EXPECT_GT(p.Row("small.txt"), 0);
}

TEST(SessionScripted, CancelDuringAWaitAbortsTheRequest) {
    REQUIRE_SERVER("SCRIPTED_SLOW");
    Program p;
    ASSERT_TRUE(p.LogIn("SLOW"));
    FtpSession& ftp = p.session.Ftp();
    TestFolder local;
    ftp.FtpClient1.LocalFileName = local.File("slow.bin");
    ftp.FtpClient1.HostFileName = "slow.bin";
    QTimer::singleShot(500, [&p] { p.session.AbortClick(); });
    QElapsedTimer clock;
    clock.start();
    ftp.AsyncCall("GET");
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(p.ui.light, ConnectionLight::Red);
    EXPECT_EQ(p.ui.StatusBarGeneralText(), " Get call aborted at your request.");
    EXPECT_TRUE(p.ui.logLines.contains("Abort request acknowledged."));
}

TEST(SessionListings, WindowsFormListing) {
    REQUIRE_SERVER("SCRIPTED_WINDOWS");
    Program p;
    p.Scripted("WINDOWS");
    p.session.RequestConnect();
    ASSERT_TRUE(p.session.Connected());
    EXPECT_EQ(p.pane.state.listingType, "M1");
    EXPECT_EQ(p.Names(), QStringList({"..", "Folder One", "photo of us.jpg", "readme.txt"}));
    const RemoteRow photo = p.pane.Row(p.Row("photo of us.jpg"));
    EXPECT_EQ(photo.entry->size, 567890);
    EXPECT_EQ(p.pane.Row(p.Row("Folder One")).kind, RemoteRow::Kind::Directory);
}

TEST(SessionListings, ZosDatasetsAndPartitionedDatasetMembers) {
    REQUIRE_SERVER("SCRIPTED_ZOS");
    Program p;
    p.Scripted("ZOS");
    p.session.RequestConnect();
    ASSERT_TRUE(p.session.Connected());
    // The quoted PWD answer switched z/OS mode on; the directory is kept without quotes.
    EXPECT_TRUE(p.core.settings.zosMode);
    EXPECT_EQ(p.core.settings.site.mvs, "1");
    EXPECT_EQ(p.session.currentRemoteDir, "TESTER.");
    EXPECT_EQ(p.pane.state.listingType, "ZF");
    EXPECT_EQ(p.ui.remoteCaptions, QStringList({"Dsorg", "Tracks"}));
    EXPECT_FALSE(p.ui.mkDirShown);
    EXPECT_FALSE(p.ui.resumeVisible);
    QStringList names = p.Names();
    EXPECT_TRUE(names.contains("PROJ.SRC") && names.contains("PROJ.LOAD"))
        << names.join(",").toStdString();
    EXPECT_TRUE(names.contains("PROJ.")) << "the dataset prefix shows as a directory";
    EXPECT_EQ(p.pane.Row(p.Row("PROJ.SRC")).image, RemoteImage::PartitionedDataset);

    // A partitioned dataset opens like a directory and shows its members.
    p.pane.lvRemoteDblClick(p.Row("PROJ.SRC"));
    EXPECT_EQ(p.session.currentRemoteDir, "TESTER.PROJ.SRC");
    EXPECT_EQ(p.pane.state.listingType, "ZP");
    EXPECT_EQ(p.ui.remoteCaptions, QStringList({"Userid", "Size"}));
    names = p.Names();
    EXPECT_TRUE(names.contains("ADDR") && names.contains("MEMBER12"))
        << names.join(",").toStdString();
    EXPECT_TRUE(p.ui.logLines.contains("chdir 'TESTER.PROJ.SRC'"));

    // ".." goes back to the prefix.
    p.pane.lvRemoteDblClick(0);
    EXPECT_EQ(p.session.currentRemoteDir, "TESTER.PROJ.");
    EXPECT_TRUE(p.Names().contains("SRC"));
}

TEST(SessionScripted, AFailedListingRevertsToTheLastGoodDirectory) {
    REQUIRE_SERVER("SCRIPTED_SCRIPTED");
    Program p;
    p.Scripted("SCRIPTED");
    p.session.RequestConnect();
    ASSERT_TRUE(p.session.Connected());
    const QString home = p.session.currentRemoteDir;
    const QStringList before = p.Names();
    p.Send("SITE", "SITE PASVREPLY 425 No data connection today");
    p.pane.ChgDirToCmbxBoxName("/sub");
    EXPECT_TRUE(p.ui.logLines.filter("DIR attempt returned error code").size() == 1);
    EXPECT_EQ(p.session.currentRemoteDir, home);
    EXPECT_EQ(p.Names(), before);  // the previous lists stay
}

TEST(SessionScripted, LargeListingWithJunkLines) {
    REQUIRE_SERVER("SCRIPTED_SCRIPTED");
    Program p;
    ASSERT_TRUE(p.LogIn("SCRIPTED"));
    p.Send("SITE", "SITE BIGLIST 100000");
    p.pane.RefreshRemote();
    // Every entry, ".." first; junk and error lines give no entry, the long name is kept.
    EXPECT_EQ(p.pane.RowCount(), 1 + 100000 + 1);
    EXPECT_EQ(p.pane.listing.fileCount, 100001);
    EXPECT_EQ(p.pane.Row(1).entry->name, "file000000.txt");
    EXPECT_EQ(p.pane.Row(p.pane.RowCount() - 1).entry->name, QString(5000, 'y'));
    EXPECT_TRUE(p.ui.logLines.contains("Sorting of 100002 file and directory names complete"));
    // Too large to cache: the next visit lists again.
    EXPECT_EQ(p.pane.cache.GetCacheIndex(false, p.session.currentRemoteDir), -1);
}
