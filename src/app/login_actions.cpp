#include "app/login_actions.h"

#include <algorithm>
#include <functional>

#include "config/scrambling.h"
#include "platform/platform.h"
#include "runtime/run_state.h"
#include "runtime/settings_store.h"
#include "runtime/user_interface.h"

namespace {

QString Scramble(const QString& plain) {
    return QString::fromLatin1(scrambling::ComplexEncrypt(plain.toUtf8()));
}

QString Unscramble(const QString& scrambled) {
    return QString::fromUtf8(scrambling::ComplexDecrypt(scrambled.toLatin1()));
}

}  // namespace

QStringList LoginActions::ConnectionTypes() {
    return {"Direct Internet", "Proxy", "Socks4", "Socks4a", "Socks5"};
}

QStringList LoginActions::Timeouts() {
    QStringList list;
    for (int i = 0; i < 12; ++i) {
        list.append(QString::number(20 + 20 * i) + " secs");
    }
    return list;
}

QStringList LoginActions::SshChoices() {
    return {"Standard FTP Connection", "Secure (SSH) Connection"};
}

QStringList LoginActions::FtpTlsChoices() {
    return {"Plain FTP (no encryption)", "FTP over TLS, explicit (AUTH TLS)",
            "FTP over TLS, implicit (port 990)"};
}

LoginVisibility LoginActions::VisibilityFor(int connectionKind, int sshIndex) {
    LoginVisibility v;
    v.passiveVisible = sshIndex == 0;
    v.ftpTlsVisible = sshIndex == 0;
    v.keyFileVisible = sshIndex != 0;
    if (connectionKind == int(ConnectionKind::Direct)) {
        v.rememberCaption = "Save password";
        return v;
    }
    v.rememberCaption = "Save passwords";
    v.proxyFieldsVisible = true;
    if (connectionKind == int(ConnectionKind::Proxy)) {
        v.proxyServerLabel = "Proxy server:";
        v.proxyUserLabel = "Proxy user:";
    } else {
        v.proxyServerLabel = "Socks server:";
        v.proxyUserLabel = "Socks user:";
    }
    return v;
}

LoginFields LoginActions::FormCreate() {
    m_run.loginPending = true;
    LoginFields fields;
    if (m_store.settings.NumSites() == 0) {
        CreateNewSite("Default", fields);
    }
    GetSiteSettingsForLogin();
    return ApplySiteSettingsToLoginFields();
}

int LoginActions::LocateSiteIndex(const QString& name) const {
    const Settings& s = m_store.settings;
    const std::function<QString(const QString&)> passes[] = {
        [](const QString& t) { return t; },
        [](const QString& t) { return t.trimmed(); },
        [](const QString& t) { return t.toUpper(); },
        [](const QString& t) { return t.toUpper().trimmed(); },
    };
    for (const auto& normalise : passes) {
        const QString wanted = normalise(name);
        for (int i = 0; i < s.NumSites(); ++i) {
            if (s.siteActive.value(i) && normalise(s.siteNames[i]) == wanted) {
                return i;
            }
        }
    }
    return -1;
}

SiteCombo LoginActions::ApplyConfigFileSettingsToSiteCombo() const {
    const Settings& s = m_store.settings;
    SiteCombo combo;
    const QString currentName = s.siteNames.value(s.CurrentSiteNum()).trimmed();
    for (int i = 0; i < s.NumSites(); ++i) {
        const QString name = s.siteNames[i].trimmed();
        if (!s.siteActive.value(i) || name.isEmpty()) {
            continue;
        }
        if (name == currentName && combo.selected < 0) {
            combo.selected = int(combo.names.size());
        }
        combo.names.append(name);
    }
    if (combo.selected < 0 && !combo.names.isEmpty()) {
        combo.selected = 0;
    }
    return combo;
}

void LoginActions::GetSiteSettingsForLogin() {
    m_store.GetSiteSettings();
}

LoginFields LoginActions::ApplySiteSettingsToLoginFields() const {
    const SiteProfile& site = m_store.settings.site;
    LoginFields f;
    f.userid = site.userid;
    f.domain = site.domain;
    f.proxyServer = site.proxySocksServer;
    f.proxyUser = site.proxySocksUser;
    f.password =
        site.sessionPassword == kNoPasswordMark ? QString() : Unscramble(site.sessionPassword);
    f.proxyPassword =
        site.proxyPassword == kNoProxyPasswordMark ? QString() : Unscramble(site.proxyPassword);
    f.connectionKind = site.connectionIndex;
    f.timeoutIndex = site.timeoutIndex;
    f.passive = site.passiveMode;
    f.machineListings = site.machineListings;
    f.ftpTls = site.ftpTls;
    f.rememberPassword = site.savePw;
    f.keyFile = site.keyFile;
    // A z/OS host over SSH has no entry of its own; it shows as the secure connection.
    f.sshIndex = m_store.settings.sshMode ? 1 : 0;
    return f;
}

void LoginActions::SetMainFormValuesFromCompletedFields(const LoginFields& f) {
    Settings& s = m_store.settings;
    SiteProfile& site = s.site;
    s.sshMode = f.sshIndex != 0;
    // SSH chosen by -h is for this run; the site keeps its own stored choice.
    if (!(s.sshMode && s.commandLineSsh)) {
        site.ssh = s.sshMode;
    }
    if (s.sshMode) {
        site.mvs = "0";
        s.zosMode = false;
    }
    site.savePw = f.rememberPassword;
    site.passiveMode = f.passive;
    site.machineListings = f.machineListings;
    site.ftpTls = std::clamp(f.ftpTls, 0, 2);
    // A certificate trusted for one server means nothing for another.
    if (f.domain.trimmed() != site.domain.trimmed()) {
        site.tlsFingerprint.clear();
    }
    site.sshBufferSizeTx = 0;
    site.sshBufferSizeRx = 0;
    site.connectionIndex = f.connectionKind;
    site.proxyPassword =
        f.proxyPassword.isEmpty() ? kNoProxyPasswordMark : Scramble(f.proxyPassword);
    // An empty field means no password is known, so the connection asks for one.
    site.sessionPassword = f.password.isEmpty() ? kNoPasswordMark : Scramble(f.password);
    site.proxySocksServer = f.proxyServer;
    site.proxySocksUser = f.proxyUser;
    site.timeoutIndex = f.timeoutIndex;
    site.domain = f.domain;
    site.userid = f.userid;
    // A passphrase belongs to its key.
    if (f.keyFile.trimmed() != site.keyFile) {
        site.keyPassphrase.clear();
    }
    site.keyFile = f.keyFile.trimmed();
}

LoginFields LoginActions::SelectSite(const QString& shownName) {
    Settings& s = m_store.settings;
    int found = -1;
    for (int i = 0; i < s.NumSites(); ++i) {
        if (s.siteActive.value(i) && s.siteNames[i] == shownName) {
            found = i;
        }
    }
    if (found < 0) {
        found = LocateSiteIndex(shownName);  // the list shows names trimmed
    }
    if (found >= 0) {
        s.SetCurrentSiteNum(found);
    }
    GetSiteSettingsForLogin();
    return ApplySiteSettingsToLoginFields();
}

bool LoginActions::OkClick(const LoginFields& f) {
    UserInterface& ui = m_ui;
    if (f.userid.trimmed().isEmpty()) {
        ui.Warning("Userid field is empty");
        return false;
    }
    // Over SSH a key, the agent or the user's ssh configuration may log in without one.
    if (f.password.trimmed().isEmpty() && f.sshIndex == 0) {
        ui.Warning("Password field is empty");
        return false;
    }
    if (f.domain.trimmed().isEmpty()) {
        ui.Warning("Domain field is empty");
        return false;
    }
    m_run.loginCancelled = false;
    SetMainFormValuesFromCompletedFields(f);
    m_run.loginPending = false;
    return true;
}

void LoginActions::CancelClick(const LoginFields& f) {
    if (f.userid.trimmed().isEmpty() || f.domain.trimmed().isEmpty()) {
        return;
    }
    m_run.loginCancelled = true;
    SetMainFormValuesFromCompletedFields(f);
    m_run.loginPending = false;
    if (f.password.trimmed().isEmpty()) {
        m_store.settings.site.sessionPassword = kNoPasswordMark;
    }
}

bool LoginActions::NewSiteClick(LoginFields& fields) {
    QString name;
    if (!m_ui.InputQuery("New Remote Site", "Please supply  name for new remote site :", name)) {
        return false;
    }
    // A blank name would make an active site that the list cannot show.
    if (name.trimmed().isEmpty()) {
        return false;
    }
    if (LocateSiteIndex(name) >= 0) {
        m_ui.Warning("Cannot define new site named " + name +
                     " because that name is already in use.");
        return false;
    }
    CreateNewSite(name.trimmed(), fields);
    return true;
}

void LoginActions::CreateNewSite(const QString& name, LoginFields& fields) {
    Settings& s = m_store.settings;
    CfgFile& cfg = s.Cfg();
    int slot = int(s.siteActive.indexOf(false));
    if (slot < 0) {
        slot = s.NumSites();
        s.siteNames.append(QString());
        s.siteActive.append(false);
        s.common.numSites = s.NumSites();
        cfg.PutCfgFileSetting("Common", "NumSites", QString::number(s.NumSites()));
    }
    s.siteActive[slot] = true;
    s.siteNames[slot] = name;
    cfg.PutCfgFileSetting(CfgFile::SiteSection(slot), "SiteName", name);
    cfg.PutCfgFileSetting(CfgFile::SiteSection(slot), "SiteActive", "1");
    s.SetCurrentSiteNum(slot);
    // A new site starts from a fresh profile: nothing of the previous site (its fingerprint,
    // remembered directories, script) carries over into the reused or new slot.
    const QStringList localDirs = s.site.infLocDirs;
    s.site = SiteProfile{};
    s.site.siteName = name;
    s.site.infLocDirs = localDirs.isEmpty() ? QStringList{platform::DefaultLocalDirectory()}
                                            : QStringList{localDirs.first()};
    fields = LoginFields{};
    fields.passive = true;
    fields.sshIndex = 0;
    s.sshMode = false;
    fields.timeoutIndex = 6;
    SetMainFormValuesFromCompletedFields(fields);
    m_store.SetGlobalProfileName(name);
    m_store.UpdateSettings();
    if (!cfg.WriteLinesDirect()) {
        m_ui.LogText(cfg.ErrorText());
    }
}

void LoginActions::UseDemoSite(const QString& domain, const QString& user, const QString& password,
                               const QString& localFolder) {
    static const QString kName = QStringLiteral("Local demo");
    Settings& s = m_store.settings;
    LoginFields fields;
    const int slot = LocateSiteIndex(kName);
    if (slot < 0) {
        CreateNewSite(kName, fields);
    } else {
        s.SetCurrentSiteNum(slot);
        m_store.GetSiteSettings();
        fields = ApplySiteSettingsToLoginFields();
    }
    fields.userid = user;
    fields.password = password;
    fields.domain = domain;
    fields.rememberPassword = true;
    fields.connectionKind = 0;
    fields.sshIndex = 0;
    fields.ftpTls = 0;  // the demo server speaks plain FTP, on loopback only
    SetMainFormValuesFromCompletedFields(fields);
    if (!localFolder.isEmpty()) {
        s.site.infLocDirs.removeAll(localFolder);
        s.site.infLocDirs.prepend(localFolder);
        s.site.localLogdir = localFolder + "/weblogs";
    }
    m_store.UpdateSettings();
    if (!s.Cfg().WriteLinesDirect()) {
        m_ui.LogText(s.Cfg().ErrorText());
    }
    m_store.GetSiteSettings();  // shows the site, its local folder and caption
}

bool LoginActions::RenameSiteClick() {
    Settings& s = m_store.settings;
    const QString current = s.site.siteName;
    QString answer;
    if (!m_ui.InputQuery("Remote Site rename", "Please supply new name for " + current + " :",
                         answer)) {
        return false;
    }
    if (answer.trimmed().isEmpty() || answer == current) {
        return false;
    }
    const int slot = LocateSiteIndex(current);
    if (slot < 0) {
        return false;
    }
    if (LocateSiteIndex(answer) >= 0) {
        m_ui.Warning("Cannot rename site as requested because name already in use.");
        return false;
    }
    const QString newName = answer.trimmed();
    s.siteNames[slot] = newName;
    s.Cfg().PutCfgFileSetting(CfgFile::SiteSection(slot), "SiteName", newName);
    if (!s.Cfg().SaveCfgFile()) {
        m_ui.LogText(s.Cfg().ErrorText());
    }
    GetSiteSettingsForLogin();
    return true;
}

bool LoginActions::DeleteSiteClick(LoginFields& fields) {
    Settings& s = m_store.settings;
    if (ActiveSiteCount() < 2) {
        m_ui.Warning("Remote Site Delete not allowed - there must be at least one site");
        return false;
    }
    const QString name = s.site.siteName;
    if (!m_ui.ConfirmYesNo("Delete Remote Site named " + name + "?")) {
        return false;
    }
    const int slot = LocateSiteIndex(name);
    if (slot < 0) {
        return false;
    }
    s.siteActive[slot] = false;
    s.SetCurrentSiteNum(int(s.siteActive.indexOf(true)));
    s.Cfg().PutCfgFileSetting(CfgFile::SiteSection(slot), "SiteActive", "0");
    if (!s.Cfg().WriteLinesDirect()) {
        m_ui.LogText(s.Cfg().ErrorText());
    }
    GetSiteSettingsForLogin();
    fields = ApplySiteSettingsToLoginFields();
    return true;
}

int LoginActions::ActiveSiteCount() const {
    return int(m_store.settings.siteActive.count(true));
}
