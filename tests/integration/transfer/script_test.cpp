// Transfer scripts against vsftpd and sshd: through the runner with a scripted UserInterface,
// and end to end with the vorlen executable run without a display.
#include "script/script_runner.h"
#include "transfer_program.h"

#include <unistd.h>

#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>

#include "../sftp/own_servers.h"

namespace {

class ScriptRun : public Transfer {};

// A script file in Program's work folder.
QString WriteScript(Program& p, const QStringList& lines) {
    const QString file = p.work.File("nightly.txt");
    WriteFile(file, lines.join('\n').toUtf8() + "\n");
    return file;
}

// The nightly site job: new pages up, logs down and off the server, old files away.
void PrepareSite(Program& p) {
    WriteFile(p.local.File("site/index.html"), "<p>home</p>\n");
    WriteFile(p.local.File("site/about.html"), "<p>about</p>\n");
    WriteFile(p.local.File("site/style.css"), "p {}\n");
    WriteFile(p.remote + "/access.log", "GET /\n");
    WriteFile(p.remote + "/error.log", RandomBytes(200000));
    WriteFile(p.remote + "/access.log.gz", "kept");
    WriteFile(p.remote + "/old-1.tmp", "x");
    WriteFile(p.remote + "/old-2.tmp", "x");
    WriteFile(p.local.File("junk.tmp"), "x");
    p.Chown();
}

QStringList NightlyScript(const Program& p) {
    return {"# nightly",
            "LOC-CD " + p.local.Path(),
            "binary",
            "PUT " + p.local.File("site") + "/*.html *",
            "GRAB *.log",
            "REM-DEL old-*.tmp",
            "LOC-DEL junk.tmp",
            "IF REM-FILE-EXISTS<index.html> BEGIN-Up",
            "LOC-MKDIR uploaded",
            "END-Up",
            "EXIT VORLEN"};
}

void ExpectNightlyDone(const Program& p, const QByteArray& errorLog) {
    EXPECT_EQ(ReadFile(p.remote + "/index.html"), "<p>home</p>\n");
    EXPECT_EQ(ReadFile(p.remote + "/about.html"), "<p>about</p>\n");
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/style.css"));
    EXPECT_EQ(ReadFile(p.local.File("access.log")), "GET /\n");
    EXPECT_EQ(ReadFile(p.local.File("error.log")), errorLog);
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/access.log"));
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/error.log"));
    EXPECT_TRUE(QFileInfo::exists(p.remote + "/access.log.gz"));  // "*.log" is the whole name
    EXPECT_FALSE(QFileInfo::exists(p.local.File("access.log.gz")));
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/old-1.tmp"));
    EXPECT_FALSE(QFileInfo::exists(p.remote + "/old-2.tmp"));
    EXPECT_FALSE(QFileInfo::exists(p.local.File("junk.tmp")));
    EXPECT_TRUE(QFileInfo(p.local.File("uploaded")).isDir());
}

}  // namespace

TEST_P(ScriptRun, NightlyJobLogsInMovesDeletesAndEnds) {
    Program p(GetParam().sftp);
    p.SaveSite();
    PrepareSite(p);
    const QByteArray errorLog = ReadFile(p.remote + "/error.log");
    p.ui.scriptFileAnswers.enqueue(WriteScript(p, NightlyScript(p)));
    p.core.scripts->RunscriptActions();
    ExpectNightlyDone(p, errorLog);
    EXPECT_EQ(p.core.scripts->ExitStatus(), ScriptRunner::kAllSucceeded);
    // The patterns' files went two at once (PUT *.html and GRAB *.log).
    EXPECT_EQ(p.ui.logLines.filter(QRegularExpression("^Moving 2 files")).size(), 2);
    EXPECT_EQ(p.ui.closeRequests, 1);
    EXPECT_FALSE(p.session.Connected());  // the run logs out at its end
    EXPECT_TRUE(p.pane.listing.files.empty() || !p.Listed("access.log"));
}

TEST_P(ScriptRun, SourcesAreDeletedOnlyAfterASuccessfulTransfer) {
    Program p(GetParam().sftp);
    p.SaveSite();
    WriteFile(p.local.File("page.html"), "local page");
    WriteFile(p.local.File("fresh.txt"), "fresh");
    QDir().mkpath(p.remote + "/page.html");  // a folder where the upload must go: it fails
    WriteFile(p.remote + "/present.txt", "remote");
    WriteFile(p.local.File("present.txt"), "local copy");
    p.Chown();
    p.ui.scriptFileAnswers.enqueue(
        WriteScript(p, {"LOC-CD " + p.local.Path(), "EVICT page.html", "EVICT-NEW present.txt",
                        "EVICT-NEW fresh.txt", "GRAB missing.txt", "REM-CD /no/such/dir",
                        "LOC-MKDIR not-reached", "EXIT VORLEN"}));
    // The run ends early; the schedule would go on, so the test stops it once it sleeps.
    QTimer sleeping;
    QObject::connect(&sleeping, &QTimer::timeout, [&] {
        if (p.ui.logLines.contains("In sleep state")) {
            p.core.scripts->RequestStop();
        }
    });
    sleeping.start(100);
    p.core.scripts->RunscriptActions();
    EXPECT_EQ(ReadFile(p.local.File("page.html")), "local page");    // kept: the upload failed
    EXPECT_EQ(ReadFile(p.local.File("present.txt")), "local copy");  // -NEW: not uploaded
    EXPECT_EQ(ReadFile(p.remote + "/present.txt"), "remote");
    EXPECT_EQ(ReadFile(p.remote + "/fresh.txt"), "fresh");
    EXPECT_FALSE(QFileInfo::exists(p.local.File("fresh.txt")));
    EXPECT_TRUE(p.ui.logLines.contains(
        "No upload of file present.txt - already present in remote directory"));
    EXPECT_TRUE(p.ui.logLines.contains("No download of missing.txt - not found"));
    // A failed REM-CD ends the run: later lines would act in the wrong place.
    EXPECT_FALSE(QFileInfo::exists(p.local.File("not-reached")));
    EXPECT_EQ(p.core.scripts->ExitStatus(), ScriptRunner::kSomethingFailed);
}

INSTANTIATE_TEST_SUITE_P(Over, ScriptRun, ::testing::Values(Kind{"Ftp", false}, Kind{"Sftp", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The executable, with no display -------------------------------------------------------

TEST_P(ScriptRun, ExecutableRunsTheScriptHeadlessWithItsExitStatus) {
    Program p(GetParam().sftp);
    p.SaveSite();
    PrepareSite(p);
    const QByteArray errorLog = ReadFile(p.remote + "/error.log");
    const QString file = WriteScript(p, NightlyScript(p));
    if (p.sftp) {
        // A host key never seen with a person there is refused: the run fails closed.
        const Outcome unknownKey = RunVorlen(p, {"-sTest/" + file});
        EXPECT_EQ(unknownKey.status, 2) << unknownKey.output.toStdString();
        EXPECT_TRUE(unknownKey.output.contains("an unattended run never trusts a new one"));
        EXPECT_TRUE(p.core.settings.site.fingerprint.isEmpty());
        // Trusted once from the program with a person there, it is accepted from then on.
        ASSERT_TRUE(p.LogIn());
        p.session.ConnectButtonClickActions();
        ASSERT_TRUE(p.core.store.UpdateSettings());
    }

    const Outcome ok = RunVorlen(p, {"-sTest/" + file});
    EXPECT_EQ(ok.status, 0) << ok.output.toStdString();
    ExpectNightlyDone(p, errorLog);
    EXPECT_TRUE(ok.output.contains("Using script file " + file));
    EXPECT_TRUE(ok.output.contains("Script actions have stopped."));
    EXPECT_FALSE(
        ok.output.contains(p.sftp ? ServerEnv::Sshd().Password() : ServerEnv::Get().Password()));

    // A download that fails (a local folder in the way) gives 1.
    WriteFile(p.remote + "/blocked.txt", "x");
    QDir().mkpath(p.local.File("blocked.txt"));
    p.Chown();
    const QString failing =
        WriteScript(p, {"LOC-CD " + p.local.Path(), "GET blocked.txt", "EXIT VORLEN"});
    EXPECT_EQ(RunVorlen(p, {"-s" + failing}).status, 1);

    // A named file that is not there is a transfer that did not happen; a pattern that finds
    // nothing is nothing to do.
    const Outcome missingFile = RunVorlen(
        p, {"-s" + WriteScript(p, {"LOC-CD " + p.local.Path(), "GET none.txt", "EXIT VORLEN"})});
    EXPECT_EQ(missingFile.status, 1);
    EXPECT_TRUE(missingFile.output.contains("No download of none.txt - not found"));
    EXPECT_EQ(
        RunVorlen(p, {"-s" + WriteScript(p, {"LOC-CD " + p.local.Path(), "GET *.none",
                                             "PUT " + p.local.File("*.none"), "EXIT VORLEN"})})
            .status,
        0);

    // A run that ends early on a failure closes the program at once (it would otherwise
    // sleep until the next run): a failed REM-CD gives 1, a failed login 2.
    const QString endsEarly =
        WriteScript(p, {"REM-CD /no/such/folder", "LOC-MKDIR " + p.local.File("after"),
                        "TIME-BETWEEN-RUNS 1440", "EXIT VORLEN"});
    const Outcome badFolder = RunVorlen(p, {"-sTest/" + endsEarly});
    EXPECT_EQ(badFolder.status, 1) << badFolder.output.toStdString();
    EXPECT_TRUE(badFolder.output.contains("The run ended on a failure"));
    EXPECT_FALSE(badFolder.output.contains("In sleep state"));
    EXPECT_FALSE(QFileInfo::exists(p.local.File("after")));
    const QString domain = p.core.settings.site.domain;
    p.core.settings.site.domain = "127.0.0.1:1";  // nothing listens there
    ASSERT_TRUE(p.core.store.UpdateSettings());
    const Outcome noLogin = RunVorlen(p, {"-sTest/" + endsEarly});
    EXPECT_EQ(noLogin.status, 2) << noLogin.output.toStdString();
    EXPECT_TRUE(noLogin.output.contains("Login for the script failed"));
    EXPECT_FALSE(noLogin.output.contains("In sleep state"));
    p.core.settings.site.domain = domain;
    ASSERT_TRUE(p.core.store.UpdateSettings());

    // Could not start: no such file, or no saved password.
    const Outcome missing = RunVorlen(p, {"-s" + p.work.File("none.txt")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(missing.output.contains("not found, please retry"));
    p.core.settings.site.savePw = false;
    ASSERT_TRUE(p.core.store.UpdateSettings());
    const Outcome noPassword = RunVorlen(p, {"-sTest/" + file});
    EXPECT_EQ(noPassword.status, 2);
    EXPECT_TRUE(noPassword.output.contains("password not saved"));
}

// A site whose Domain is a Host alias of the user's ~/.ssh/config, which names the port, the
// user and the key; the host key is trusted by the user's own known_hosts. ssh reads ~/.ssh
// from the account's home in the password database, so the program runs as an account of the
// test's own whose home is a fresh folder.
TEST(ScriptExecutable, SshConfigAliasWithTheUsersKeyAndKnownHosts) {
    REQUIRE_SSHD_SERVER();
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to make the test's account";
    }
    const QString account = "vorlenalias";
    TestFolder home;
    QProcess::execute("useradd", {"-M", "-d", home.Path(), "-s", "/bin/sh", account});
    ASSERT_EQ(QProcess::execute("usermod", {"-d", home.Path(), account}), 0);
    KeyServer keys;
    ASSERT_TRUE(keys.Start());
    Program p(true);
    const QString ssh = home.File(".ssh");
    ASSERT_TRUE(QDir().mkpath(ssh));
    ASSERT_TRUE(QFile::copy(keys.Key("ed25519"), ssh + "/id_ed25519"));
    WriteFile(ssh + "/config", QString("Host vorlen-test-alias\n"
                                       "  HostName 127.0.0.1\n"
                                       "  Port %1\n"
                                       "  User %2\n"
                                       "  IdentityFile ~/.ssh/id_ed25519\n")
                                   .arg(keys.server.Port())
                                   .arg(p.User())
                                   .toUtf8());
    WriteFile(ssh + "/known_hosts", QString("[127.0.0.1]:%1 ").arg(keys.server.Port()).toUtf8() +
                                        ReadFile(keys.server.HostKey()));
    p.SaveSite();
    p.core.settings.site.domain = "vorlen-test-alias";
    ASSERT_TRUE(p.core.store.UpdateSettings());
    WriteFile(p.remote + "/hello.txt", "hello\n");
    p.Chown();
    const QString script =
        WriteScript(p, {"LOC-CD " + p.local.Path(), "GET hello.txt", "EXIT VORLEN"});
    QProcess::execute("chown", {"-R", account, home.Path(), p.work.Path(), p.local.Path()});

    // Waited for on an event loop: the test's own server accepts on it.
    QProcess vorlen;
    QEventLoop loop;
    QObject::connect(&vorlen, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    StartVorlen(vorlen, p, {"-sTest/" + script}, account);
    loop.exec();
    const Outcome run{vorlen.exitCode(), QString::fromUtf8(vorlen.readAll())};
    EXPECT_EQ(run.status, 0) << run.output.toStdString();
    EXPECT_EQ(ReadFile(p.local.File("hello.txt")), "hello\n");
    EXPECT_TRUE(run.output.contains("Fingerprint: SHA256:"));
    EXPECT_FALSE(run.output.contains(ServerEnv::Sshd().Password()));
}

TEST(ScriptExecutable, StopSignalEndsTheScriptCleanly) {
    Program p(false);
    const QString file = WriteScript(p, {"SLEEP 60", "LOC-MKDIR " + p.local.File("after")});
    QProcess vorlen;
    StartVorlen(vorlen, p, {"-s" + file});
    ASSERT_TRUE(vorlen.waitForStarted());
    QElapsedTimer clock;
    clock.start();
    QByteArray output;
    while (!output.contains("Sleeping for 60 seconds") && clock.elapsed() < 20000) {
        vorlen.waitForReadyRead(1000);
        output += vorlen.readAll();
    }
    ::kill(pid_t(vorlen.processId()), SIGTERM);
    ASSERT_TRUE(vorlen.waitForFinished(10000));
    output += vorlen.readAll();
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_TRUE(output.contains("Script actions have stopped.")) << output.toStdString();
    EXPECT_FALSE(QFileInfo::exists(p.local.File("after")));
    EXPECT_EQ(vorlen.exitCode(), 1);                               // the run was cut short
    EXPECT_TRUE(QFileInfo::exists(p.work.File("VorlenFTP.cfg")));  // settings saved
}
