#pragma once

// What the transfer and script tests share: one program without a window logged in to vsftpd or
// sshd in a fresh remote folder, and file helpers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimer>
#include <QUuid>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <memory>

#include "app/app_core.h"
#include "app/scripted_user_interface.h"
#include "config/scrambling.h"
#include "panes/local_pane.h"
#include "panes/remote_pane.h"
#include "session/ftp_session.h"
#include "session/session.h"
#include "support/headless_program.h"
#include "support/server_env.h"
#include "support/test_support.h"
#include "transfer/remote_operations.h"
#include "transfer/transfers.h"

// Every file below Root, by relative path, with its content.
inline QMap<QString, QByteArray> Tree(const QString& root) {
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(root).relativeFilePath(path), ReadFile(path));
    }
    return files;
}

struct Kind {
    const char* name;
    bool sftp;
    // FTP: the server (all share vsftpd's user and folder) and the site's machine-listing choice.
    const char* portKey = "VSFTPD_PORT";
    bool machineListings = true;
    // FTP text mode sends CR LF; vsftpd stores what it receives, others store this system's LF.
    bool storesCrLf = true;
};

inline void PrintTo(const Kind& kind, std::ostream* out) {
    *out << kind.name;
}

// One program without a window, logged in to vsftpd or sshd in a fresh remote folder.
struct Program : HeadlessProgram {
    bool sftp;
    TestFolder local;
    Transfers& transfers = *core.transfers;
    RemoteOperations& operations = *core.remoteOperations;
    LocalPane& localPane = *core.localPane;
    QString remote;  // the remote folder, also its path on this machine's disk

    explicit Program(bool overSftp) : sftp(overSftp) {
        const ServerEnv& env = sftp ? ServerEnv::Sshd() : ServerEnv::Get();
        remote = FreshOwnedFolder(env.Value(sftp ? "SSH_ROOT" : "FTP_ROOT"), "x", User(), {});
        SetSite("Test", env.Value(sftp ? "SSHD_PORT" : "VSFTPD_PORT"), User(), env.Password(),
                sftp);
        core.settings.site.lcUpload = false;
        core.settings.site.infRemDirs = {remote};
        localPane.SelectDirectory(local.Path());
    }
    explicit Program(const Kind& kind) : Program(kind.sftp) {
        if (!sftp) {
            core.settings.site.domain = "127.0.0.1:" + ServerEnv::Get().Value(kind.portKey);
            core.settings.site.machineListings = kind.machineListings;
        }
    }
    QString User() const {
        return sftp ? ServerEnv::Sshd().Value("SSH_USER") : ServerEnv::Get().Value("FTP_USER");
    }
    // The site as a saved profile with its password, as scripts need it.
    void SaveSite() {
        Settings& s = core.settings;
        s.siteNames = {"Test"};
        s.siteActive = {true};
        s.common.numSites = 1;
        s.SetCurrentSiteNum(0);
        s.Cfg().PutCfgFileSetting("Common", "NumSites", "1");
        s.Cfg().PutCfgFileSetting(CfgFile::SiteSection(0), "SiteName", "Test");
        s.Cfg().PutCfgFileSetting(CfgFile::SiteSection(0), "SiteActive", "1");
        s.site.savePw = true;
        ASSERT_TRUE(core.store.UpdateSettings());
    }
    void Chown() const { QProcess::execute("chown", {"-R", User(), remote}); }
    // Presses Cancel, as a person would, as soon as a log line matches Pattern; the timer
    // returned keeps watching until then.
    std::unique_ptr<QTimer> CancelOnceLogged(const QString& pattern) {
        auto press = std::make_unique<QTimer>();
        QObject::connect(press.get(), &QTimer::timeout, [this, pattern, timer = press.get()] {
            if (!ui.logLines.filter(QRegularExpression(pattern)).isEmpty()) {
                timer->stop();
                session.AbortClick();
            }
        });
        press->start(2);
        return press;
    }
    bool LogIn() {
        session.RequestConnect();
        return session.Connected();
    }
    void Refresh() {
        pane.cacheUse = false;
        pane.RefreshRemoteDirectoryList();
    }
    std::vector<int> RemoteRows(const QStringList& names) const { return RowsNamed(pane, names); }
    bool Listed(const QString& name) const { return !RemoteRows({name}).empty(); }
    // The site becomes one of the scripted FTP servers, in its home directory.
    void Scripted(const QString& name) {
        SiteProfile& site = core.settings.site;
        site.domain = "127.0.0.1:" + ServerEnv::Get().Value("SCRIPTED_" + name);
        site.userid = "tester";
        site.infRemDirs.clear();
    }
};

class Transfer : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        if (GetParam().sftp) {
            REQUIRE_SSHD_SERVER();
        } else {
            REQUIRE_SERVER(GetParam().portKey);
        }
    }
};

#ifdef VORLEN_EXE
struct Outcome {
    int status = -1;
    QString output;
};

// Starts the program as cron would: no display, the test's work folder, output merged; as the
// account Account when one is named.
inline void StartVorlen(QProcess& vorlen, const Program& p, const QStringList& arguments,
                        const QString& account = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(name);
    }
    env.insert("VORLENFTP_HOME", p.work.Path());
    vorlen.setProcessEnvironment(env);
    vorlen.setProcessChannelMode(QProcess::MergedChannels);
    // The package test runs these scripts with the installed program instead.
    const QString program = qEnvironmentVariable("VORLEN_TEST_EXECUTABLE", VORLEN_EXE);
    if (account.isEmpty()) {
        vorlen.start(program, arguments);
    } else {
        vorlen.start("runuser", QStringList{"-u", account, "--", program} + arguments);
    }
}

inline Outcome RunVorlen(const Program& p, const QStringList& arguments,
                         const QString& account = {}) {
    QProcess vorlen;
    StartVorlen(vorlen, p, arguments, account);
    if (!vorlen.waitForFinished(60000)) {
        vorlen.kill();
        vorlen.waitForFinished();
    }
    return {vorlen.exitCode(), QString::fromUtf8(vorlen.readAll())};
}
#endif
