#include <gtest/gtest.h>

#include <QFileInfo>

#include "app/app_core.h"
#include "app/login_actions.h"
#include "app/scripted_user_interface.h"
#include "config/scrambling.h"
#include "support/test_support.h"

namespace {

template <typename T>
void Answers(QQueue<T>& queue, std::initializer_list<T> items) {
    queue.clear();
    for (const T& item : items) {
        queue.enqueue(item);
    }
}

// An AppCore started in its own work folder, optionally over a prepared configuration.
struct Login {
    TestFolder dir;
    ScopedEnv home{"VORLENFTP_HOME", dir.Path()};
    ScriptedUserInterface ui;
    AppCore core{ui};
    LoginActions login{core.store, core.run, ui};

    // Sites: name and active flag, one slot each.
    explicit Login(const QList<std::pair<QString, bool>>& sites = {}, int current = 0) {
        if (!sites.isEmpty()) {
            CfgFile cfg(dir.File("VorlenFTP.cfg"));
            cfg.PutCfgFileSetting("Common", "NumSites", QString::number(sites.size()));
            cfg.PutCfgFileSetting("Common", "CurrentSiteNum", QString::number(current));
            for (int i = 0; i < sites.size(); ++i) {
                cfg.PutCfgFileSetting(CfgFile::SiteSection(i), "SiteName", sites[i].first);
                cfg.PutCfgFileSetting(CfgFile::SiteSection(i), "SiteActive",
                                      sites[i].second ? "1" : "0");
                cfg.PutCfgFileSetting(CfgFile::SiteSection(i), "Userid",
                                      "user" + QString::number(i));
            }
            EXPECT_TRUE(cfg.WriteLinesDirect());
        }
        core.FormCreate({});
    }

    LoginFields Filled() const {
        LoginFields f;
        f.userid = "me";
        f.password = "secret";
        f.domain = "example.org";
        return f;
    }

    // The configuration as another run would read it.
    Settings Reloaded(CfgFile& cfg) const {
        cfg.SetFileName(dir.File("VorlenFTP.cfg"));
        cfg.Load();
        Settings s(cfg);
        s.GetCommonSettings("ed", "gz");
        return s;
    }
};

}  // namespace

TEST(LoginFirstStart, CreatesDefaultAndWritesTheFile) {
    Login t;
    ASSERT_FALSE(QFileInfo::exists(t.dir.File("VorlenFTP.cfg")));
    const LoginFields fields = t.login.FormCreate();
    EXPECT_TRUE(t.core.run.loginPending);
    EXPECT_TRUE(QFileInfo::exists(t.dir.File("VorlenFTP.cfg")));
    EXPECT_EQ(t.core.settings.siteNames, QStringList{"Default"});
    EXPECT_EQ(t.core.settings.site.siteName, "Default");
    EXPECT_EQ(fields.timeoutIndex, 6);  // a new site gets "140 secs"
    EXPECT_TRUE(fields.passive);
    EXPECT_EQ(fields.sshIndex, 0);
    EXPECT_TRUE(fields.password.isEmpty());
    EXPECT_TRUE(t.ui.caption.endsWith(" remote site - Default"));

    CfgFile cfg;
    const Settings again = t.Reloaded(cfg);
    EXPECT_EQ(again.siteNames, QStringList{"Default"});
}

TEST(LocateSiteIndex, PassOrderAndInactiveSlots) {
    Login t(
        {{"Alpha", true}, {" alpha ", true}, {"Beta", false}, {"beta", true}, {"Gamma ", true}});
    struct Case {
        QString name;
        int expected;
    } const cases[] = {
        {"Alpha", 0},     // pass 1: exact
        {"alpha", 1},     // pass 2: trimmed finds slot 1 before upper-casing finds slot 0
        {"ALPHA", 0},     // pass 3: upper-cased
        {" ALPHA  ", 0},  // pass 4: upper-cased and trimmed, first in index order
        {"Beta", 3},      // slot 2 is inactive
        {"Gamma", 4},    {"Delta", -1}, {"", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(t.login.LocateSiteIndex(c.name), c.expected) << c.name.toStdString();
    }
}

TEST(LoginSiteCombo, ActiveNonBlankNamesTrimmedAndCurrentSelected) {
    Login t({{"One", true}, {"  ", true}, {"Gone", false}, {" Three ", true}}, 3);
    const SiteCombo combo = t.login.ApplyConfigFileSettingsToSiteCombo();
    EXPECT_EQ(combo.names, QStringList({"One", "Three"}));
    EXPECT_EQ(combo.selected, 1);
}

TEST(LoginOk, EachMissingFieldWarnsAndKeepsTheDialog) {
    struct Case {
        QString userid, password, domain, warning;
    } const cases[] = {
        {" ", "pw", "host", "Userid field is empty"},
        {"me", "  ", "host", "Password field is empty"},
        {"me", "pw", "", "Domain field is empty"},
        {"", "", "", "Userid field is empty"},
    };
    for (const Case& c : cases) {
        Login t;
        t.login.FormCreate();
        LoginFields f;
        f.userid = c.userid;
        f.password = c.password;
        f.domain = c.domain;
        EXPECT_FALSE(t.login.OkClick(f));
        ASSERT_EQ(t.ui.messages.size(), 1);
        EXPECT_EQ(t.ui.messages[0].text, c.warning);
        EXPECT_EQ(t.ui.messages[0].type, MsgDlgType::Warning);
        EXPECT_EQ(t.ui.messages[0].buttons, MsgDlgButtons(MsgDlgBtn::OK));
        EXPECT_TRUE(t.core.run.loginPending);
    }
}

TEST(LoginOk, CompletedFieldsBecomeTheSiteProfile) {
    Login t;
    t.login.FormCreate();
    LoginFields f = t.Filled();
    f.connectionKind = 4;
    f.proxyServer = "socks:1080";
    f.proxyUser = "px";
    f.proxyPassword = "pxpw";
    f.rememberPassword = true;
    f.timeoutIndex = 11;
    f.sshIndex = 1;
    f.passive = false;
    t.core.settings.site.mvs = "1";
    t.core.settings.zosMode = true;
    ASSERT_TRUE(t.login.OkClick(f));
    EXPECT_FALSE(t.core.run.loginPending);
    EXPECT_FALSE(t.core.run.loginCancelled);
    const SiteProfile& s = t.core.settings.site;
    EXPECT_EQ(s.userid, "me");
    EXPECT_EQ(s.domain, "example.org");
    EXPECT_EQ(scrambling::ComplexDecrypt(s.sessionPassword.toLatin1()), "secret");
    EXPECT_EQ(scrambling::ComplexDecrypt(s.proxyPassword.toLatin1()), "pxpw");
    EXPECT_EQ(s.connectionIndex, 4);
    EXPECT_EQ(s.timeoutIndex, 11);
    EXPECT_TRUE(s.ssh);
    EXPECT_TRUE(t.core.settings.sshMode);
    EXPECT_EQ(s.mvs, "0");  // SSH switches z/OS off
    EXPECT_FALSE(t.core.settings.zosMode);
    EXPECT_FALSE(s.passiveMode);
    EXPECT_TRUE(s.savePw);
    EXPECT_TRUE(t.ui.messages.isEmpty());
}

TEST(LoginCancel, WithUseridAndDomainOpensUnconnected) {
    Login t;
    t.login.FormCreate();
    LoginFields f = t.Filled();
    f.password = " ";
    t.login.CancelClick(f);
    EXPECT_FALSE(t.core.run.loginPending);
    EXPECT_TRUE(t.core.run.loginCancelled);
    EXPECT_EQ(t.core.settings.site.sessionPassword, kNoPasswordMark);
    EXPECT_EQ(t.core.settings.site.userid, "me");
}

TEST(LoginCancel, WithoutUseridOrDomainLeavesTheLoginPending) {
    for (const auto& [userid, domain] : {std::pair{"", "host"}, std::pair{"me", " "}}) {
        Login t;
        t.login.FormCreate();
        LoginFields f = t.Filled();
        f.userid = userid;
        f.domain = domain;
        t.login.CancelClick(f);
        EXPECT_TRUE(t.core.run.loginPending);
        EXPECT_FALSE(t.core.run.loginCancelled);
        EXPECT_NE(t.core.settings.site.userid, "me");  // nothing taken over
    }
}

TEST(LoginFields, PasswordsShownUnscrambledAndMarkersAsEmpty) {
    Login t;
    t.login.FormCreate();
    LoginFields f = t.Filled();
    f.proxyPassword.clear();
    t.login.SetMainFormValuesFromCompletedFields(f);
    EXPECT_EQ(t.core.settings.site.proxyPassword, kNoProxyPasswordMark);
    const LoginFields shown = t.login.ApplySiteSettingsToLoginFields();
    EXPECT_EQ(shown.password, "secret");
    EXPECT_TRUE(shown.proxyPassword.isEmpty());
    f.password.clear();
    t.login.SetMainFormValuesFromCompletedFields(f);
    EXPECT_EQ(t.core.settings.site.sessionPassword, kNoPasswordMark);
}

TEST(LoginVisibility, ConnectionKindsAndSsh) {
    struct Case {
        int kind, ssh;
        QString caption;
        bool proxyVisible;
        QString serverLabel, userLabel;
        bool passiveVisible;
    } const cases[] = {
        {0, 0, "Save password", false, "", "", true},
        {1, 0, "Save passwords", true, "Proxy server:", "Proxy user:", true},
        {2, 1, "Save passwords", true, "Socks server:", "Socks user:", false},
        {3, 0, "Save passwords", true, "Socks server:", "Socks user:", true},
        {4, 1, "Save passwords", true, "Socks server:", "Socks user:", false},
    };
    for (const Case& c : cases) {
        const LoginVisibility v = LoginActions::VisibilityFor(c.kind, c.ssh);
        EXPECT_EQ(v.rememberCaption, c.caption) << c.kind;
        EXPECT_EQ(v.proxyFieldsVisible, c.proxyVisible) << c.kind;
        EXPECT_EQ(v.proxyServerLabel, c.serverLabel) << c.kind;
        EXPECT_EQ(v.proxyUserLabel, c.userLabel) << c.kind;
        EXPECT_EQ(v.passiveVisible, c.passiveVisible) << c.kind;
    }
    EXPECT_EQ(LoginActions::Timeouts().first(), "20 secs");
    EXPECT_EQ(LoginActions::Timeouts().value(6), "140 secs");
    EXPECT_EQ(LoginActions::Timeouts().last(), "240 secs");
}

TEST(SiteNew, PromptDuplicateAndCancel) {
    Login t({{"Default", true}});
    t.login.FormCreate();
    LoginFields fields;
    Answers<std::optional<QString>>(t.ui.inputAnswers, {std::nullopt, QString("default"),
                                                        QString("  "), QString("Ünïcode site")});
    EXPECT_FALSE(t.login.NewSiteClick(fields));  // Cancel
    EXPECT_EQ(t.ui.inputPrompts.value(0),
              "New Remote Site|Please supply  name for new remote site :");
    EXPECT_FALSE(t.login.NewSiteClick(fields));
    EXPECT_EQ(t.ui.MessageTexts(),
              QStringList{"Cannot define new site named default because that name is already in "
                          "use."});
    EXPECT_FALSE(t.login.NewSiteClick(fields));  // blank: nothing happens
    EXPECT_EQ(t.core.settings.NumSites(), 1);
    EXPECT_TRUE(t.login.NewSiteClick(fields));
    EXPECT_EQ(t.core.settings.NumSites(), 2);
    EXPECT_EQ(t.core.settings.CurrentSiteNum(), 1);
    EXPECT_EQ(fields.timeoutIndex, 6);

    // The name with non-ASCII characters and a blank survives a save and a reload.
    CfgFile cfg;
    Settings again = t.Reloaded(cfg);
    EXPECT_EQ(again.siteNames, QStringList({"Default", "Ünïcode site"}));
    EXPECT_EQ(again.CurrentSiteNum(), 1);
}

TEST(SiteNew, ReusesTheFirstInactiveSlotWithAFreshProfile) {
    Login t({{"Old", false}, {"Keep", true}}, 1);
    t.login.FormCreate();
    t.core.settings.site.fingerprint = "aa:bb";
    t.core.settings.site.favRemDir = "/www";
    LoginFields fields;
    Answers<std::optional<QString>>(t.ui.inputAnswers, {QString("Fresh")});
    ASSERT_TRUE(t.login.NewSiteClick(fields));
    EXPECT_EQ(t.core.settings.NumSites(), 2);
    EXPECT_EQ(t.core.settings.CurrentSiteNum(), 0);
    EXPECT_TRUE(t.core.settings.site.fingerprint.isEmpty());
    EXPECT_TRUE(t.core.settings.site.favRemDir.isEmpty());
    CfgFile cfg;
    Settings again = t.Reloaded(cfg);
    EXPECT_EQ(again.siteNames, QStringList({"Fresh", "Keep"}));
    EXPECT_EQ(again.siteActive, QVector<bool>({true, true}));
}

TEST(SiteRename, NothingCancelledSameEmptyAndInUse) {
    Login t({{"Default", true}, {"Other", true}});
    t.login.FormCreate();
    Answers<std::optional<QString>>(
        t.ui.inputAnswers, {std::nullopt, QString("Default"), QString("   "), QString("default"),
                            QString("other"), QString(" Renamed ")});
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(t.login.RenameSiteClick());
    }
    EXPECT_TRUE(t.ui.messages.isEmpty());
    EXPECT_EQ(t.ui.inputPrompts.value(0),
              "Remote Site rename|Please supply new name for Default :");
    EXPECT_FALSE(t.login.RenameSiteClick());  // own name in other case: found by pass 3
    EXPECT_FALSE(t.login.RenameSiteClick());
    EXPECT_EQ(t.ui.MessageTexts(),
              QStringList(2, "Cannot rename site as requested because name already in use."));
    EXPECT_TRUE(t.login.RenameSiteClick());
    EXPECT_EQ(t.core.settings.site.siteName, "Renamed");
    CfgFile cfg;
    EXPECT_EQ(t.Reloaded(cfg).siteNames, QStringList({"Renamed", "Other"}));
}

TEST(SiteDelete, LastActiveSiteIsRefused) {
    Login t({{"Gone", false}, {"Only", true}}, 1);
    t.login.FormCreate();
    LoginFields fields;
    EXPECT_FALSE(t.login.DeleteSiteClick(fields));
    EXPECT_EQ(t.ui.MessageTexts(),
              QStringList{"Remote Site Delete not allowed - there must be at least one site"});
    EXPECT_EQ(t.login.ActiveSiteCount(), 1);
}

TEST(SiteDelete, ConfirmedDeleteSelectsTheFirstActiveSlot) {
    Login t({{"Gone", false}, {"First", true}, {"Current", true}}, 2);
    t.login.FormCreate();
    LoginFields fields;
    Answers<ModalResult>(t.ui.dialogAnswers, {ModalResult::No});
    EXPECT_FALSE(t.login.DeleteSiteClick(fields));
    EXPECT_EQ(t.ui.messages.value(0).text, "Delete Remote Site named Current?");
    EXPECT_EQ(t.ui.messages.value(0).type, MsgDlgType::Confirmation);
    Answers<ModalResult>(t.ui.dialogAnswers, {ModalResult::Yes});
    ASSERT_TRUE(t.login.DeleteSiteClick(fields));
    EXPECT_EQ(t.core.settings.CurrentSiteNum(), 1);
    EXPECT_EQ(t.core.settings.site.siteName, "First");
    EXPECT_EQ(fields.userid, "user1");
    CfgFile cfg;
    EXPECT_EQ(t.Reloaded(cfg).siteActive, QVector<bool>({false, true, false}));
}

TEST(SiteSelect, LoadsTheChosenSite) {
    Login t({{"A", true}, {" B ", true}});
    t.login.FormCreate();
    const int before = t.ui.siteSettingsChanges;
    const LoginFields f = t.login.SelectSite("B");  // the list shows names trimmed
    EXPECT_EQ(t.core.settings.CurrentSiteNum(), 1);
    EXPECT_EQ(f.userid, "user1");
    EXPECT_GT(t.ui.siteSettingsChanges, before);
}

TEST(AskPassword, AnswersBecomeTheSessionPassword) {
    Login t;
    t.login.FormCreate();
    SiteProfile& s = t.core.settings.site;
    Answers<PasswordAnswer>(t.ui.passwordAnswers, {PasswordAnswer{true, "pw", true}});
    EXPECT_TRUE(t.core.store.AskForPassword("Password for me", "at example.org"));
    EXPECT_EQ(scrambling::ComplexDecrypt(s.sessionPassword.toLatin1()), "pw");
    EXPECT_TRUE(s.savePw);
    EXPECT_EQ(t.ui.passwordPrompts, QStringList{"Password for me|at example.org"});

    Answers<PasswordAnswer>(t.ui.passwordAnswers, {PasswordAnswer{true, "", true}});
    EXPECT_FALSE(t.core.store.AskForPassword("", ""));
    EXPECT_EQ(s.sessionPassword, kNoPasswordMark);
    EXPECT_FALSE(s.savePw);

    s.savePw = true;
    EXPECT_FALSE(t.core.store.AskForPassword("", ""));  // Cancel
    EXPECT_EQ(s.sessionPassword, kNoPasswordMark);
    EXPECT_TRUE(s.savePw);
}
