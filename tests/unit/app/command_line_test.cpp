#include <gtest/gtest.h>

#include <QFileInfo>

#include "app/app_core.h"
#include "app/scripted_user_interface.h"
#include "session/session.h"
#include "support/test_support.h"

namespace {

struct Core {
    ScriptedUserInterface ui;
    AppCore core{ui};
    explicit Core(const QStringList& sites = {"Default", "MySite", "Other", "mysite2"}) {
        core.settings.siteNames = sites;
        core.settings.siteActive = QVector<bool>(sites.size(), true);
    }
};

}  // namespace

TEST(CommandLine, ScriptSpecifications) {
    struct Case {
        QString argument;
        QString script;
        QString siteNum;
    };
    const Case cases[] = {
        {"-sMySite/C:\\Temp\\Script1.txt", "C:\\Temp\\Script1.txt", "1"},
        {"-smysite/x.txt", "x.txt", "1"},  // case-insensitive when no exact match
        {"-sC:\\Temp\\Script1.txt", "C:\\Temp\\Script1.txt", ""},
        {"-s/C:\\x.txt", "C:\\x.txt", ""},
        {"-s  / spaced.txt ", "spaced.txt", ""},
        {"-sMySite/", "", ""},
        {"-S Other / s.txt", "s.txt", "2"},
        {"-s", "", ""},  // the value must follow -s in the same argument
        {"-x", "", ""},
        {"s", "", ""},
    };
    for (const Case& c : cases) {
        Core t;
        t.core.AnalyseCommandLineParameters({c.argument});
        EXPECT_EQ(t.core.run.startupScript, c.script) << c.argument.toStdString();
        EXPECT_EQ(t.core.startupSiteNum, c.siteNum) << c.argument.toStdString();
    }
}

TEST(CommandLine, UnknownSiteGivesFourLogLinesAndNoScript) {
    Core t;
    t.core.AnalyseCommandLineParameters({"-sC:/x.txt"});
    EXPECT_EQ(t.ui.logLines, QStringList({"Invalid site name on command line script parameter:",
                                          "Supplied parameter: -sC:/x.txt", "Site name: C:",
                                          "No script processing will be attempted."}));
    EXPECT_TRUE(t.core.run.startupScript.isEmpty());
    EXPECT_TRUE(t.core.startupSiteNum.isEmpty());
}

TEST(CommandLine, MatchLogsScriptAndSite) {
    Core t;
    t.core.AnalyseCommandLineParameters({"-sMYSITE/run.txt"});
    EXPECT_EQ(t.ui.logLines, QStringList({"Startup script: run.txt",
                                          "Remote site associated with startup script: MySite"}));
}

TEST(CommandLine, LastMatchWinsAndInactiveSitesCount) {
    Core t({"Dup", "Dup", "Gone"});
    t.core.settings.siteActive = {true, true, false};
    t.core.AnalyseCommandLineParameters({"-sDup/a.txt"});
    EXPECT_EQ(t.core.startupSiteNum, "1");
    t.core.AnalyseCommandLineParameters({"-sGone/b.txt"});
    EXPECT_EQ(t.core.startupSiteNum, "2");
    EXPECT_EQ(t.core.run.startupScript, "b.txt");
}

TEST(CommandLine, InvalidLaterArgumentClearsEarlierScript) {
    Core t;
    t.core.AnalyseCommandLineParameters({"-sMySite/a.txt", "-sNoSuch/b.txt"});
    EXPECT_TRUE(t.core.run.startupScript.isEmpty());
    EXPECT_TRUE(t.core.startupSiteNum.isEmpty());
}

TEST(CommandLine, SshSwitch) {
    for (const char* arg : {"-h", "-H", "-help"}) {
        Core t;
        t.core.AnalyseCommandLineParameters({QString(arg)});
        EXPECT_TRUE(t.core.settings.sshMode) << arg;
    }
    Core t;
    t.core.AnalyseCommandLineParameters({"h", "-", "--h"});
    EXPECT_FALSE(t.core.settings.sshMode);
}

TEST(CommandLine, UnknownOptionsAreNamedOnStandardError) {
    Core t;
    QStringList printed;
    t.core.printError = [&printed](const QString& line) { printed.append(line); };
    t.core.AnalyseCommandLineParameters({"--foo", "-hx", "-sMySite/a.txt", "-x"});
    EXPECT_EQ(printed, QStringList({"vorlen: unknown option '--foo' ignored (see vorlen --help)",
                                    "vorlen: unknown option '-x' ignored (see vorlen --help)"}));
    EXPECT_TRUE(t.core.settings.sshMode);  // the two-character rule: -hx is -h
    EXPECT_EQ(t.core.run.startupScript, "a.txt");
    EXPECT_TRUE(t.ui.logLines.size() == 2);  // nothing about them in the displayed log
}

TEST(CommandLine, SshSwitchHoldsForEverySiteLoadedAndIsNotStored) {
    TestFolder dir;
    ScopedEnv env("VORLENFTP_HOME", dir.Path());
    {
        CfgFile cfg(dir.File("VorlenFTP.cfg"));
        cfg.PutCfgFileSetting("Common", "NumSites", "1");
        cfg.PutCfgFileSetting("Site0", "SiteName", "Plain");
        cfg.PutCfgFileSetting("Site0", "SSH", "0");
        ASSERT_TRUE(cfg.SaveCfgFile());
    }
    Core t{QStringList()};
    ASSERT_TRUE(t.core.FormCreate({"-h"}));
    t.core.store.GetSiteSettings();  // no start-up script: -h still holds
    EXPECT_TRUE(t.core.settings.sshMode);
    EXPECT_FALSE(t.core.settings.site.ssh);
}

TEST(Caption, SetGlobalProfileName) {
    Core t;
    t.core.store.versionText = "1.0.0";
    t.core.store.SetGlobalProfileName("Default");
    EXPECT_EQ(t.ui.caption, "Vorlen FTP version 1.0.0 remote site - Default");
    t.core.store.versionText = " ";
    t.core.store.SetGlobalProfileName("  ");
    EXPECT_EQ(t.ui.caption, "Vorlen FTP");
    EXPECT_EQ(AppCore::GetVersionNumber(), "0.1.0");
}

TEST(StartUp, FormCreateWithWorkFolderOverride) {
    TestFolder dir;
    const QString work = dir.File("deep/nested/VorlenFTP");
    ScopedEnv env("VORLENFTP_HOME", work);
    Core t{QStringList()};
    ASSERT_TRUE(t.core.FormCreate({"-sOnly/x.txt"}));
    EXPECT_TRUE(QFileInfo(work).isDir());
    EXPECT_EQ(t.core.paths.cfgFileName, work + "/VorlenFTP.cfg");
    EXPECT_TRUE(t.core.paths.listingTempFile.startsWith(work + "/FtpDirList"));
    EXPECT_TRUE(t.core.cfg.CfgDirty());  // no file yet: the first save writes it
    EXPECT_EQ(t.ui.logLines.size(), 4);  // unknown site on an empty configuration
}

TEST(StartUp, StartupSiteBecomesCurrent) {
    TestFolder dir;
    ScopedEnv env("VORLENFTP_HOME", dir.Path());
    {
        CfgFile cfg(dir.File("VorlenFTP.cfg"));
        cfg.PutCfgFileSetting("Common", "NumSites", "2");
        cfg.PutCfgFileSetting("Site1", "SiteName", "Work");
        ASSERT_TRUE(cfg.SaveCfgFile());
    }
    Core t{QStringList()};
    ASSERT_TRUE(t.core.FormCreate({"-swork/s.txt", "-h"}));
    EXPECT_EQ(t.core.settings.CurrentSiteNum(), 1);
    EXPECT_TRUE(t.core.settings.sshMode);
    t.core.settings.GetSiteSettings();  // SSH "0" keeps -h while a start-up script is set
    EXPECT_TRUE(t.core.settings.sshMode);
}

TEST(StartUp, BadConfigurationStartsWithDefaultsAndKeepsLines) {
    TestFolder dir;
    ScopedEnv env("VORLENFTP_HOME", dir.Path());
    const QByteArray junk =
        "\"Common\",\"NumSites\",\"!!\"\r\nnot a setting\r\n"
        "\"Common\",\"CurrentSiteNum\",\"Nw==\"\r\n\x01\x02\xff\r\n";
    dir.Write("VorlenFTP.cfg", junk);
    Core t{QStringList()};
    ASSERT_TRUE(t.core.FormCreate({}));
    EXPECT_EQ(t.core.settings.CurrentSiteNum(), 0);
    t.core.settings.GetSiteSettings();
    ASSERT_TRUE(t.core.store.UpdateSettings());
    const QByteArray saved = dir.Read("VorlenFTP.cfg");
    EXPECT_TRUE(saved.contains("not a setting\r\n"));
    EXPECT_TRUE(saved.contains("\x01\x02\xff\r\n"));
}

TEST(NewLogin, LaunchesCopyOrWarns) {
    Core t;
    QString started;
    t.core.startDetached = [&](const QString& program) {
        started = program;
        return true;
    };
    t.core.paths.executablePath = "/bin/sh";  // any existing program
    t.ui.dialogAnswers.enqueue(ModalResult::Yes);
    EXPECT_TRUE(t.core.NewLoginActions());
    EXPECT_EQ(started, "/bin/sh");
    EXPECT_EQ(t.ui.MessageTexts(),
              QStringList({"Keep this session after logging in to new site?"}));

    Core missing;
    missing.core.paths.programFolder = "/nowhere/";
    missing.core.paths.executablePath = "/nowhere/vorlen";
    missing.ui.dialogAnswers.enqueue(ModalResult::No);
    EXPECT_FALSE(missing.core.NewLoginActions());
    EXPECT_EQ(missing.ui.MessageTexts().last(), "Cannot locate /nowhere/vorlen - login aborted");
}

TEST(Shutdown, KeepListingOnlyWhenReceived) {
    TestFolder dir;
    Core t;
    t.core.paths.listingKeepFile = dir.File("FtpDirList.txt");
    t.core.session->remoteListingLines = {"line 1", "line 2"};
    t.core.KeepListing();
    EXPECT_FALSE(QFileInfo::exists(t.core.paths.listingKeepFile));
    t.core.session->listingReceived = true;
    t.core.KeepListing();
    EXPECT_EQ(dir.Read("FtpDirList.txt"), "line 1\nline 2\n");
}
