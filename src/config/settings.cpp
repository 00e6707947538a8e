#include "config/settings.h"

#include <QFileInfo>
#include <QSet>
#include <algorithm>

#include "config/words.h"
#include "platform/platform.h"

namespace {

const QString kCommon = QStringLiteral("Common");
const QString kSite = QStringLiteral("Site");
const QString kLocPwPrefix = QStringLiteral("C:\\");  // file format, the same on every platform
const QString kRemPwPrefix = QStringLiteral("/");

const char* const kLocWidthKeys[3] = {"LocWidthFilename", "LocWidthSize", "LocWidthModified"};
const char* const kRemWidthKeys[4] = {"RemWidthFilename", "RemWidthPermissions", "RemWidthSize",
                                      "RemWidthModified"};

QString Bool(bool b) {
    return b ? QStringLiteral("1") : QStringLiteral("0");
}

// Keeps Text when it is one of Allowed, else Fallback, as an index.
int IndexIn(const QString& text, const QStringList& allowed, int fallback) {
    return allowed.contains(text) ? text.toInt() : fallback;
}

}  // namespace

QString ValidColourOr(const QString& text, const QString& defaultColour) {
    const QStringList words = text.split(' ');
    if (words.size() != 3) {
        return defaultColour;
    }
    for (const QString& w : words) {
        if (!IsWholeNumber(w)) {
            return defaultColour;
        }
        const int v = WholeNumberOr(w, -1);
        if (v < 0 || v > 255) {
            return defaultColour;
        }
    }
    return text;
}

QString CleanProxySocksServer(const QString& text) {
    QString s = text.trimmed();
    if (s == ":") {
        return {};
    }
    if (s.endsWith(':')) {
        s.chop(1);
    }
    const qsizetype colon = s.indexOf(':');
    if (colon >= 0 && !IsWholeNumber(s.mid(colon + 1))) {
        s.truncate(colon);
    }
    return s;
}

bool Settings::ReadableSetting(const QString& section, const QString& key, QString& value) const {
    for (const QString& line : m_cfg.CfgLines()) {
        if (CfgFile::LineField(line, 1) == section && CfgFile::LineField(line, 2) == key) {
            if (!CfgFile::IsReadableLine(line)) {
                return false;  // a cut or garbled line: its value is not the one written
            }
            value = CfgFile::DecodeValue(CfgFile::LineField(line, 3));
            return true;
        }
    }
    return false;
}

void Settings::ReadSiteList() {
    // The highest site section that has lines: a file cut short, or one whose NumSites line was
    // lost, must not show slots it has no lines for.
    int lastSection = -1;
    QSet<int> withLines;
    for (const QString& line : m_cfg.CfgLines()) {
        const QString section = CfgFile::LineField(line, 1);
        if (section.startsWith(kSite) && section.size() > 4) {
            const QString digits = section.mid(4);
            if (IsWholeNumber(digits) && digits == QString::number(digits.toInt())) {
                lastSection = std::max(lastSection, digits.toInt());
                withLines.insert(digits.toInt());
            }
        }
    }
    const QString declared = Get(kCommon, "NumSites", "");
    common.numSites = IsWholeNumber(declared)
                          ? std::clamp(WholeNumberOr(declared, 0), 0, lastSection + 1)
                          : lastSection + 1;
    siteNames.clear();
    siteActive.clear();
    QVector<int> unnamed;
    for (int i = 0; i < common.numSites; ++i) {
        const QString section = CfgFile::SiteSection(i);
        QString name;
        if (ReadableSetting(section, "SiteName", name)) {
            siteNames.append(name);
        } else {
            siteNames.append("Default");
            if (withLines.contains(i)) {
                unnamed.append(i);
            }
        }
        siteActive.append(m_cfg.GetCfgFileSetting(section, "SiteActive", "1") == "1");
    }
    // A slot that has lines but no readable SiteName line gets a name that tells it apart: its
    // domain, else "Site" and its number.
    auto taken = [this](const QString& name, int except) {
        for (int i = 0; i < siteNames.size(); ++i) {
            if (i != except && siteNames[i].trimmed().toUpper() == name.trimmed().toUpper()) {
                return true;
            }
        }
        return false;
    };
    for (int i : unnamed) {
        QString domain;
        ReadableSetting(CfgFile::SiteSection(i), "Domain", domain);
        domain = domain.trimmed();
        siteNames[i] = !domain.isEmpty() && !taken(domain, i) ? domain : kSite + QString::number(i);
    }
}

void Settings::ReadColours(const QString& kind, ColourSet& colours) {
    colours.silver = ValidColourOr(Get(kind, "Silver-RGB", kDefaultSilver), kDefaultSilver);
    colours.olive = ValidColourOr(Get(kind, "Olive-RGB", kDefaultOlive), kDefaultOlive);
    colours.blue = ValidColourOr(Get(kind, "Blue-RGB", kDefaultBlue), kDefaultBlue);
}

void Settings::WriteColours(const QString& kind, const ColourSet& colours) {
    Put(kind, "Silver-RGB", colours.silver);
    Put(kind, "Olive-RGB", colours.olive);
    Put(kind, "Blue-RGB", colours.blue);
}

void Settings::GetCommonSettings(const QString& defaultEditor, const QString& defaultGzip) {
    ReadSiteList();
    int current = WholeNumberOr(Get(kCommon, "CurrentSiteNum", "0"), 0);
    if (current < 0 || current >= common.numSites) {
        current = 0;
    }
    SetCurrentSiteNum(current);
    common.favoredEditor = Get(kCommon, "FavoredEditor", defaultEditor);
    common.windowState = Get(kCommon, "WindowState", window.maximised ? "2" : "0");
    common.windowTop = Get(kCommon, "WindowTop", QString::number(window.top));
    common.windowLeft = Get(kCommon, "WindowLeft", QString::number(window.left));
    common.windowHeight = Get(kCommon, "WindowHeight", QString::number(window.height));
    common.windowWidth = Get(kCommon, "WindowWidth", QString::number(window.width));
    for (int c = 0; c < 3; ++c) {
        common.locWidths[c] = Get(kCommon, kLocWidthKeys[c], QString::number(window.locWidths[c]));
    }
    for (int c = 0; c < 4; ++c) {
        common.remWidths[c] = Get(kCommon, kRemWidthKeys[c], QString::number(window.remWidths[c]));
    }
    ReadColours(kCommon, common.colours);
    common.gzipPath = Get(kCommon, "GzipPath", defaultGzip);
    common.asciiFiletypes = Get(kCommon, "AsciiFiletypes", kDefaultAsciiFiletypes).toLower();
    common.existingFiles = WholeNumberOr(Get(kCommon, "ExistingFiles", "0"), 0);
    if (common.existingFiles < 0 || common.existingFiles > 3) {
        common.existingFiles = 0;
    }
    common.simultaneousTransfers =
        std::clamp(WholeNumberOr(Get(kCommon, "SimultaneousTransfers", "4"), 4), 1, 8);
    common.logsEnabled = Get(kCommon, "LogsEnabled", "0") == "1";
    common.logFileSumm = Get(kCommon, "LogFileSumm", "").toLower();
    const int filterMax = std::max(0, WholeNumberOr(Get(kCommon, "LogFileURLFilterMax", "0"), 0));
    common.logFileURLFilter.clear();
    for (int n = 1; n <= filterMax; ++n) {
        common.logFileURLFilter.append(Get(kCommon, "LogFileURLFilter" + QString::number(n), ""));
    }
}

bool Settings::GetSiteSettings() {
    bool readOk = true;
    if (m_cfg.Exists()) {
        readOk = m_cfg.Load();
    }
    SiteProfile& s = site;
    if (!ReadableSetting(m_cfg.CurrentSiteSection(), "SiteName", s.siteName)) {
        s.siteName = siteNames.value(CurrentSiteNum(), "Default");  // as the site list shows it
    }

    QString pw = Get(kSite, "InfLocDir0", kLocPwPrefix + kNoPasswordMark);
    if (pw.size() > 3 && pw.startsWith(kLocPwPrefix)) {
        pw.remove(0, 3);
    }
    s.sessionPassword = pw;
    QString proxyPw = Get(kSite, "InfRemDir0", kRemPwPrefix + kNoProxyPasswordMark);
    if (proxyPw.size() > 1 && proxyPw.startsWith(kRemPwPrefix)) {
        proxyPw.remove(0, 1);
    }
    s.proxyPassword = proxyPw;

    s.userid = Get(kSite, "Userid", "?");
    s.domain = Get(kSite, "Domain", "");
    s.fingerprint = Get(kSite, "Fingerprint", "");
    s.keyFile = Get(kSite, "KeyFile", "").trimmed();
    s.keyPassphrase = Get(kSite, "KeyPassphrase", "");
    // Anything but the two TLS choices is plain FTP, as every older file means.
    s.ftpTls = WholeNumberOr(Get(kSite, "FtpTls", "0"), 0);
    if (s.ftpTls < 0 || s.ftpTls > 2) {
        s.ftpTls = 0;
    }
    s.tlsFingerprint = Get(kSite, "TlsFingerprint", "").trimmed();
    s.remLogdir = Get(kSite, "RemLogdir", "www_logs");
    s.remLogdirAlt = Get(kSite, "RemLogdirAlt", "").trimmed();
    s.timeoutIndex = WholeNumberOr(Get(kSite, "TimeoutIndex", "5"), 5);
    if (s.timeoutIndex < 0 || s.timeoutIndex > 11) {
        s.timeoutIndex = 5;
    }
    s.transferModeIndex = IndexIn(Get(kSite, "TransferModeIndex", "0"), {"1", "2"}, 0);
    s.specialColours = Get(kSite, "SetSpecialColourThisSite", "0") == "1";
    s.colours = ColourSet{};
    if (s.specialColours) {
        ReadColours(kSite, s.colours);
    }
    s.lcUpload = Get(kSite, "LCUpload", "1") != "0";
    s.autoRefresh = Get(kSite, "AutoRefresh", "1") != "0";
    s.localSortIndex = IndexIn(Get(kSite, "LocalSortIndex", "0"), {"1", "2", "3"}, 0);
    s.autoReconnect = Get(kSite, "AutoReconnect", "1") == "1";
    s.remoteSortIndex = IndexIn(Get(kSite, "RemoteSortIndex", "0"), {"1", "2", "3", "4"}, 0);
    s.localSortAscInd = IndexIn(Get(kSite, "LocalSortAscInd", "0"), {"1"}, 0);
    s.remoteSortAscInd = IndexIn(Get(kSite, "RemoteSortAscInd", "0"), {"1"}, 0);
    s.unixLinkIndex = IndexIn(Get(kSite, "UnixLinkIndex", "."), {"0", "1"}, 2);
    s.proxySocksServer = CleanProxySocksServer(Get(kSite, "ProxySocksServer", ""));
    s.proxySocksUser = Get(kSite, "ProxySocksUser", "");
    s.connectionIndex = IndexIn(Get(kSite, "ConnectionIndex", "."), {"1", "2", "3", "4"}, 0);
    s.passiveMode = Get(kSite, "PassiveMode", "1") != "0";
    s.machineListings = Get(kSite, "MachineListings", "1") != "0";
    s.favRemDir = Get(kSite, "FavRemDir", "");
    s.favRemDirCaption = Get(kSite, "FavRemDirCaption", "Favourite");
    s.localLogdir = Get(kSite, "LocalLogdir", "");
    const int locMax =
        std::clamp(WholeNumberOr(Get(kSite, "InfLocDirMax", "1"), 1), 1, kMaxRememberedDirs);
    const int remMax =
        std::clamp(WholeNumberOr(Get(kSite, "InfRemDirMax", "0"), 0), 0, kMaxRememberedDirs);
    s.infLocDirs.clear();
    for (int n = 1; n <= locMax; ++n) {
        s.infLocDirs.append(Get(kSite, "InfLocDir" + QString::number(n), ""));
    }
    if (!QFileInfo(s.infLocDirs[0]).isDir()) {
        s.infLocDirs[0] = platform::DefaultLocalDirectory();
    }
    s.infRemDirs.clear();
    for (int n = 1; n <= remMax; ++n) {
        s.infRemDirs.append(Get(kSite, "InfRemDir" + QString::number(n), ""));
    }
    Get(kSite, "PCTime", "0");  // reserved: read, never used
    s.savePw = Get(kSite, "SavePw", "0") == "1";
    s.script = Get(kSite, "Script", "");
    s.localProcmailDir = Get(kSite, "LocalProcmailDir", "");
    s.ssh = Get(kSite, "SSH", "0") == "1";
    s.mvs = Get(kSite, "MVS", "?");
    if (s.mvs == "1") {
        zosMode = true;  // set by listing detection; never switched off here
    }
    for (auto [key, value] : {std::pair{"SSHBufferSizeTx", &s.sshBufferSizeTx},
                              std::pair{"SSHBufferSizeRx", &s.sshBufferSizeRx}}) {
        *value = WholeNumberOr(Get(kSite, key, "0"), 0);
        if (*value > 32 || *value < 0) {
            *value = 0;
        }
    }
    if (s.ssh || commandLineSsh) {
        sshMode = true;
    } else if (!startupScriptSet) {
        sshMode = false;
    }
    return readOk;
}

bool Settings::UpdateSettings() {
    Put(kCommon, "CurrentSiteNum", QString::number(CurrentSiteNum()));
    Put(kCommon, "WindowState", window.maximised ? "2" : "0");
    if (!window.maximised) {
        Put(kCommon, "WindowTop", QString::number(window.top));
        Put(kCommon, "WindowLeft", QString::number(window.left));
        Put(kCommon, "WindowHeight", QString::number(window.height));
        Put(kCommon, "WindowWidth", QString::number(window.width));
        for (int c = 0; c < 3; ++c) {
            Put(kCommon, kLocWidthKeys[c], QString::number(window.locWidths[c]));
        }
        for (int c = 0; c < 4; ++c) {
            Put(kCommon, kRemWidthKeys[c], QString::number(window.remWidths[c]));
        }
    }
    WriteColours(kCommon, common.colours);
    Put(kCommon, "FavoredEditor", common.favoredEditor);
    Put(kCommon, "GzipPath", common.gzipPath);
    Put(kCommon, "AsciiFiletypes", common.asciiFiletypes);
    Put(kCommon, "ExistingFiles", QString::number(common.existingFiles));
    Put(kCommon, "SimultaneousTransfers", QString::number(common.simultaneousTransfers));
    Put(kCommon, "LogsEnabled", Bool(common.logsEnabled));
    Put(kCommon, "LogFileSumm", common.logFileSumm);
    for (int n = 0; n < common.logFileURLFilter.size(); ++n) {
        Put(kCommon, "LogFileURLFilter" + QString::number(n + 1), common.logFileURLFilter[n]);
    }
    Put(kCommon, "LogFileURLFilterMax", QString::number(common.logFileURLFilter.size()));

    const SiteProfile& s = site;
    if (!s.siteName.isEmpty()) {
        Put(kSite, "SetSpecialColourThisSite", Bool(s.specialColours));
        WriteColours(kSite, s.colours);
        const int locMax = std::clamp(int(s.infLocDirs.size()), 1, kMaxRememberedDirs);
        const int remMax = std::clamp(int(s.infRemDirs.size()), 0, kMaxRememberedDirs);
        Put(kSite, "InfLocDirMax", QString::number(locMax));
        Put(kSite, "InfRemDirMax", QString::number(remMax));
        for (int n = 0; n < locMax; ++n) {
            Put(kSite, "InfLocDir" + QString::number(n + 1), s.infLocDirs.value(n));
        }
        for (int n = 0; n < remMax; ++n) {
            Put(kSite, "InfRemDir" + QString::number(n + 1), s.infRemDirs.value(n));
        }
        Put(kSite, "Userid", s.userid);
        Put(kSite, "Domain", s.domain);
        Put(kSite, "Fingerprint", s.fingerprint);
        Put(kSite, "KeyFile", s.keyFile);
        Put(kSite, "KeyPassphrase", s.keyPassphrase);
        Put(kSite, "FtpTls", QString::number(s.ftpTls));
        Put(kSite, "TlsFingerprint", s.tlsFingerprint);
        Put(kSite, "SavePw", Bool(s.savePw));
        Put(kSite, "InfLocDir0", kLocPwPrefix + (s.savePw ? s.sessionPassword : kNoPasswordMark));
        Put(kSite, "InfRemDir0",
            kRemPwPrefix + (s.savePw ? s.proxyPassword : kNoProxyPasswordMark));
        Put(kSite, "Script", s.script);
        Put(kSite, "AutoReconnect", Bool(s.autoReconnect));
        Put(kSite, "LocalSortIndex", QString::number(s.localSortIndex));
        Put(kSite, "FavRemDir", s.favRemDir);
        Put(kSite, "FavRemDirCaption", s.favRemDirCaption);
        Put(kSite, "LocalLogdir", s.localLogdir);
        Put(kSite, "RemLogdir", s.remLogdir);
        Put(kSite, "RemLogdirAlt", s.remLogdirAlt);
        Put(kSite, "TransferModeIndex", QString::number(s.transferModeIndex));
        Put(kSite, "RemoteSortIndex", QString::number(s.remoteSortIndex));
        Put(kSite, "LocalSortAscInd", QString::number(s.localSortAscInd));
        Put(kSite, "RemoteSortAscInd", QString::number(s.remoteSortAscInd));
        Put(kSite, "UnixLinkIndex", QString::number(s.unixLinkIndex));
        Put(kSite, "LCUpload", Bool(s.lcUpload));
        Put(kSite, "AutoRefresh", Bool(s.autoRefresh));
        Put(kSite, "PassiveMode", Bool(s.passiveMode));
        Put(kSite, "PCTime", "0");
        Put(kSite, "LocalProcmailDir", s.localProcmailDir);
        Put(kSite, "CompressionIndex", "6");
        Put(kSite, "SSH", Bool(s.ssh));
        Put(kSite, "MVS", s.mvs);
        Put(kSite, "SSHBufferSizeTx", QString::number(s.sshBufferSizeTx));
        Put(kSite, "SSHBufferSizeRx", QString::number(s.sshBufferSizeRx));
        Put(kSite, "ConnectionIndex", QString::number(s.connectionIndex));
        Put(kSite, "TimeoutIndex", QString::number(s.timeoutIndex));
        Put(kSite, "ProxySocksServer", s.proxySocksServer);
        Put(kSite, "ProxySocksUser", s.proxySocksUser);
        Put(kSite, "MachineListings", Bool(s.machineListings));
    }
    if (m_cfg.CfgDirty()) {
        return m_cfg.SaveCfgFile();
    }
    return true;
}
