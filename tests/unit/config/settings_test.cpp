#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "config/scrambling.h"
#include "config/settings.h"
#include "support/test_support.h"

namespace {

struct Fixture {
    TestFolder dir;
    CfgFile cfg{dir.File("VorlenFTP.cfg")};
    Settings settings{cfg};

    void Site(int n, const QString& key, const QString& value) {
        cfg.PutCfgFileSetting(CfgFile::SiteSection(n), key, value);
    }
    void Common(const QString& key, const QString& value) {
        cfg.PutCfgFileSetting("Common", key, value);
    }
    // Reads site 0 from memory (no file yet, so nothing is reloaded).
    const SiteProfile& ReadSite0() {
        settings.SetCurrentSiteNum(0);
        settings.GetSiteSettings();
        return settings.site;
    }
};

}  // namespace

TEST(SettingsValidation, Colours) {
    EXPECT_EQ(ValidColourOr("1 2 3", kDefaultBlue), "1 2 3");
    EXPECT_EQ(ValidColourOr("300 200 100", kDefaultBlue), kDefaultBlue);
    EXPECT_EQ(ValidColourOr("200 100", kDefaultBlue), kDefaultBlue);
    EXPECT_EQ(ValidColourOr("1  2 3", kDefaultBlue), kDefaultBlue);
    EXPECT_EQ(ValidColourOr("a b c", kDefaultBlue), kDefaultBlue);
    EXPECT_EQ(ValidColourOr("-1 0 0", kDefaultBlue), kDefaultBlue);
    EXPECT_EQ(ValidColourOr("", kDefaultBlue), kDefaultBlue);
}

TEST(SettingsValidation, ProxySocksServer) {
    EXPECT_EQ(CleanProxySocksServer("proxy:8080"), "proxy:8080");
    EXPECT_EQ(CleanProxySocksServer(" proxy: "), "proxy");
    EXPECT_EQ(CleanProxySocksServer("proxy:abc"), "proxy");
    EXPECT_EQ(CleanProxySocksServer(":"), "");
    EXPECT_EQ(CleanProxySocksServer(":80x"), "");
    EXPECT_EQ(CleanProxySocksServer(""), "");
}

TEST(SettingsCommon, DefaultsOnEmptyConfiguration) {
    Fixture f;
    f.settings.window.width = 900;
    f.settings.GetCommonSettings("ed", "/bin/gzip");
    const CommonSettings& c = f.settings.common;
    EXPECT_EQ(c.numSites, 0);
    EXPECT_EQ(f.settings.CurrentSiteNum(), 0);
    EXPECT_EQ(c.favoredEditor, "ed");
    EXPECT_EQ(c.gzipPath, "/bin/gzip");
    EXPECT_EQ(c.windowWidth, "900");
    EXPECT_EQ(c.windowState, "0");
    EXPECT_EQ(c.colours.silver, kDefaultSilver);
    EXPECT_EQ(c.asciiFiletypes, kDefaultAsciiFiletypes);
    EXPECT_FALSE(c.logsEnabled);
    EXPECT_TRUE(c.logFileURLFilter.isEmpty());
}

TEST(SettingsCommon, ValidationOnRead) {
    Fixture f;
    f.Common("NumSites", "3");
    f.Common("CurrentSiteNum", "7");  // out of range: slot 0
    f.Common("Olive-RGB", "300 200 100");
    f.Common("AsciiFiletypes", "TXT|Html");
    f.Common("LogsEnabled", "yes");
    f.Common("LogFileSumm", "HTML/Gif");
    f.Common("LogFileURLFilterMax", "2");
    f.Common("LogFileURLFilter1", "robots");
    f.Site(1, "SiteName", "Beta");
    f.Site(2, "SiteActive", "0");
    f.settings.GetCommonSettings("ed", "");
    EXPECT_EQ(f.settings.CurrentSiteNum(), 0);
    EXPECT_EQ(f.settings.common.colours.olive, kDefaultOlive);
    EXPECT_EQ(f.settings.common.asciiFiletypes, "txt|html");
    EXPECT_FALSE(f.settings.common.logsEnabled);
    EXPECT_EQ(f.settings.common.logFileSumm, "html/gif");
    EXPECT_EQ(f.settings.common.logFileURLFilter, QStringList({"robots", ""}));
    // Site0 has no lines at all; Site2 has lines but no name, so its number tells it apart.
    EXPECT_EQ(f.settings.siteNames, QStringList({"Default", "Beta", "Site2"}));
    EXPECT_EQ(f.settings.siteActive, QVector<bool>({true, true, false}));

    Fixture g;
    g.Common("NumSites", "x");
    g.Common("CurrentSiteNum", "-1");
    g.Common("LogFileURLFilterMax", "-4");
    g.settings.GetCommonSettings("ed", "");
    EXPECT_EQ(g.settings.NumSites(), 0);
    EXPECT_EQ(g.settings.CurrentSiteNum(), 0);
    EXPECT_TRUE(g.settings.common.logFileURLFilter.isEmpty());
}

TEST(SettingsSite, DefaultsOnEmptySite) {
    Fixture f;
    const SiteProfile& s = f.ReadSite0();
    EXPECT_EQ(s.siteName, "Default");
    EXPECT_EQ(s.sessionPassword, kNoPasswordMark);
    EXPECT_EQ(s.proxyPassword, kNoProxyPasswordMark);
    EXPECT_EQ(s.userid, "?");
    EXPECT_EQ(s.remLogdir, "www_logs");
    EXPECT_EQ(s.timeoutIndex, 5);
    EXPECT_EQ(s.RequestTimeout(), 125);
    EXPECT_EQ(s.unixLinkIndex, 2);
    EXPECT_EQ(s.connectionIndex, 0);
    EXPECT_TRUE(s.passiveMode);
    EXPECT_TRUE(s.lcUpload);
    EXPECT_TRUE(s.autoRefresh);
    EXPECT_EQ(s.favRemDirCaption, "Favourite");
    EXPECT_EQ(s.infLocDirs.size(), 1);  // the default local directory
    EXPECT_TRUE(s.infRemDirs.isEmpty());
    EXPECT_EQ(s.mvs, "?");
}

TEST(SettingsSite, IndexValidations) {
    struct Case {
        const char* key;
        const char* stored;
        int SiteProfile::*field;
        int expected;
    };
    const Case cases[] = {
        {"TimeoutIndex", "12", &SiteProfile::timeoutIndex, 5},
        {"TimeoutIndex", "abc", &SiteProfile::timeoutIndex, 5},
        {"TimeoutIndex", "-1", &SiteProfile::timeoutIndex, 5},
        {"TimeoutIndex", "11", &SiteProfile::timeoutIndex, 11},
        {"TransferModeIndex", "2", &SiteProfile::transferModeIndex, 2},
        {"TransferModeIndex", "3", &SiteProfile::transferModeIndex, 0},
        {"LocalSortIndex", "3", &SiteProfile::localSortIndex, 3},
        {"LocalSortIndex", "4", &SiteProfile::localSortIndex, 0},
        {"RemoteSortIndex", "4", &SiteProfile::remoteSortIndex, 4},
        {"RemoteSortIndex", "5", &SiteProfile::remoteSortIndex, 0},
        {"LocalSortAscInd", "1", &SiteProfile::localSortAscInd, 1},
        {"RemoteSortAscInd", "2", &SiteProfile::remoteSortAscInd, 0},
        {"UnixLinkIndex", "0", &SiteProfile::unixLinkIndex, 0},
        {"UnixLinkIndex", "1", &SiteProfile::unixLinkIndex, 1},
        {"UnixLinkIndex", "7", &SiteProfile::unixLinkIndex, 2},
        {"ConnectionIndex", "4", &SiteProfile::connectionIndex, 4},
        {"ConnectionIndex", "5", &SiteProfile::connectionIndex, 0},
        {"SSHBufferSizeTx", "32", &SiteProfile::sshBufferSizeTx, 32},
        {"SSHBufferSizeTx", "33", &SiteProfile::sshBufferSizeTx, 0},
        {"SSHBufferSizeRx", "x", &SiteProfile::sshBufferSizeRx, 0},
        {"FtpTls", "1", &SiteProfile::ftpTls, 1},
        {"FtpTls", "2", &SiteProfile::ftpTls, 2},
        {"FtpTls", "3", &SiteProfile::ftpTls, 0},
        {"FtpTls", "yes", &SiteProfile::ftpTls, 0},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.Site(0, c.key, c.stored);
        EXPECT_EQ(f.ReadSite0().*c.field, c.expected) << c.key << "=" << c.stored;
    }
}

TEST(SettingsSite, FlagsAndTexts) {
    Fixture f;
    f.Site(0, "LCUpload", "x");  // anything but "0" is checked
    f.Site(0, "AutoRefresh", "0");
    f.Site(0, "AutoReconnect", "x");  // only "1" is on
    f.Site(0, "PassiveMode", "0");
    f.Site(0, "RemLogdirAlt", "  alt  ");
    f.Site(0, "ProxySocksServer", "proxy:abc");
    f.Site(0, "InfLocDirMax", "20");
    f.Site(0, "InfRemDirMax", "-3");
    f.Site(0, "InfLocDir1", "/definitely/not/here");
    f.Site(0, "SetSpecialColourThisSite", "1");
    f.Site(0, "Blue-RGB", "1 2 3");
    f.Site(0, "Silver-RGB", "1 2");
    const SiteProfile& s = f.ReadSite0();
    EXPECT_TRUE(s.lcUpload);
    EXPECT_FALSE(s.autoRefresh);
    EXPECT_FALSE(s.autoReconnect);
    EXPECT_FALSE(s.passiveMode);
    EXPECT_EQ(s.remLogdirAlt, "alt");
    EXPECT_EQ(s.proxySocksServer, "proxy");
    EXPECT_EQ(s.infLocDirs.size(), 8);
    EXPECT_NE(s.infLocDirs[0], "/definitely/not/here");
    EXPECT_TRUE(s.infRemDirs.isEmpty());
    EXPECT_EQ(s.colours.blue, "1 2 3");
    EXPECT_EQ(s.colours.silver, kDefaultSilver);
    EXPECT_EQ(&f.settings.ColoursInForce(), &s.colours);
}

TEST(SettingsSite, PasswordKeys) {
    Fixture f;
    f.Site(0, "InfLocDir0", "C:\\abc");
    f.Site(0, "InfRemDir0", "/xyz");
    EXPECT_EQ(f.ReadSite0().sessionPassword, "abc");
    EXPECT_EQ(f.settings.site.proxyPassword, "xyz");

    Fixture g;
    g.Site(0, "InfLocDir0", "C:\\");  // no longer than 3: kept as it is
    g.Site(0, "InfRemDir0", "/");
    EXPECT_EQ(g.ReadSite0().sessionPassword, "C:\\");
    EXPECT_EQ(g.settings.site.proxyPassword, "/");
}

TEST(SettingsSite, SshModeFollowsSiteUnlessStartupScript) {
    Fixture f;
    f.Site(0, "SSH", "1");
    f.ReadSite0();
    EXPECT_TRUE(f.settings.sshMode);
    f.Site(0, "SSH", "0");
    f.ReadSite0();
    EXPECT_FALSE(f.settings.sshMode);
    f.settings.sshMode = true;  // -h on the command line
    f.settings.startupScriptSet = true;
    f.ReadSite0();
    EXPECT_TRUE(f.settings.sshMode);
}

TEST(SettingsUpdate, PasswordsStoredScrambledOnlyWhenSaved) {
    Fixture f;
    f.Common("NumSites", "1");
    f.settings.GetCommonSettings("ed", "");
    f.ReadSite0();
    const QString scrambled = QString::fromLatin1(scrambling::ComplexEncrypt("hunter2"));
    f.settings.site.sessionPassword = scrambled;
    f.settings.site.savePw = true;
    ASSERT_TRUE(f.settings.UpdateSettings());
    EXPECT_EQ(f.cfg.GetCfgFileSetting("Site0", "InfLocDir0", ""), "C:\\" + scrambled);
    EXPECT_FALSE(f.dir.Read("VorlenFTP.cfg").contains("hunter2"));

    f.settings.site.savePw = false;
    ASSERT_TRUE(f.settings.UpdateSettings());
    EXPECT_EQ(f.cfg.GetCfgFileSetting("Site0", "InfLocDir0", ""), "C:\\" + kNoPasswordMark);
    EXPECT_EQ(f.cfg.GetCfgFileSetting("Site0", "InfRemDir0", ""), "/" + kNoProxyPasswordMark);
    f.settings.GetSiteSettings();
    EXPECT_EQ(f.settings.site.sessionPassword, kNoPasswordMark);
}

TEST(SettingsUpdate, RoundTripAndNoRewriteWhenUnchanged) {
    Fixture f;
    f.Common("NumSites", "1");
    f.settings.GetCommonSettings("ed", "");
    f.ReadSite0();
    f.settings.site.siteName = QString::fromUtf8("Mÿ site ");
    f.settings.site.userid = "user";
    f.settings.site.domain = "example.org";
    f.settings.site.timeoutIndex = 6;
    f.settings.site.infRemDirs = {"/www", "/mail"};
    f.settings.site.ftpTls = 1;
    f.settings.site.tlsFingerprint = "SHA256:AB:CD";
    f.settings.common.logFileURLFilter = {"a", "b"};
    f.cfg.PutCfgFileSetting("Site0", "SiteName", f.settings.site.siteName);
    ASSERT_TRUE(f.settings.UpdateSettings());
    EXPECT_FALSE(f.cfg.CfgDirty());
    EXPECT_EQ(f.cfg.GetCfgFileSetting("Site0", "CompressionIndex", ""), "6");
    EXPECT_EQ(f.cfg.GetCfgFileSetting("Common", "LogFileURLFilterMax", ""), "2");

    // Nothing changed: the file is not written again (a removed file stays removed).
    const QByteArray saved = f.dir.Read("VorlenFTP.cfg");
    QFile::remove(f.cfg.FileName());
    ASSERT_TRUE(f.settings.UpdateSettings());
    EXPECT_FALSE(QFileInfo::exists(f.cfg.FileName()));
    f.dir.Write("VorlenFTP.cfg", saved);

    Settings again(f.cfg);
    again.GetCommonSettings("ed", "");
    again.SetCurrentSiteNum(0);
    again.GetSiteSettings();
    EXPECT_EQ(again.site.siteName, QString::fromUtf8("Mÿ site "));
    EXPECT_EQ(again.site.domain, "example.org");
    EXPECT_EQ(again.site.timeoutIndex, 6);
    EXPECT_EQ(again.site.infRemDirs, QStringList({"/www", "/mail"}));
    EXPECT_EQ(again.site.ftpTls, 1);
    EXPECT_EQ(again.site.tlsFingerprint, "SHA256:AB:CD");
    EXPECT_EQ(again.common.logFileURLFilter, QStringList({"a", "b"}));
}

TEST(SettingsUpdate, EmptySiteNameWritesCommonOnly) {
    Fixture f;
    f.settings.site.siteName.clear();
    ASSERT_TRUE(f.settings.UpdateSettings());
    for (const QString& line : f.cfg.CfgLines()) {
        EXPECT_EQ(CfgFile::LineField(line, 1), "Common") << line.toStdString();
    }
}

TEST(SettingsUpdate, MaximisedWindowKeepsSavedGeometry) {
    Fixture f;
    f.settings.window.maximised = true;
    f.settings.site.siteName.clear();
    ASSERT_TRUE(f.settings.UpdateSettings());
    EXPECT_EQ(f.cfg.GetCfgFileSetting("Common", "WindowState", ""), "2");
    EXPECT_EQ(f.cfg.GetCfgFileSetting("Common", "WindowWidth", "absent"), "absent");
}
