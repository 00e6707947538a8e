#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include "config/cfg_file.h"

// Opaque markers that stand in the password fields when no password is known.
inline const QString kNoPasswordMark = QStringLiteral("Qe}RwTMzpL81bh=XKd5vHa3mUy=GcsJ2PBo7tn");
inline const QString kNoProxyPasswordMark = QStringLiteral("Lw4cRkD8ha2{y6pMSfZvCe3Ytq7GXAo1JE");

inline const QString kDefaultSilver = QStringLiteral("219 219 239");
inline const QString kDefaultOlive = QStringLiteral("214 225 187");
inline const QString kDefaultBlue = QStringLiteral("195 205 248");
inline const QString kDefaultAsciiFiletypes = QStringLiteral(
    "cgi|css|csv|dat|htm|html|inc|pgp|php|php3|pl|pls|procmailrc|procmail.log|shtm|shtml|txt");

inline constexpr int kMaxRememberedDirs = 8;

// Connection kinds in the order of the login dialog's list (ConnectionIndex).
enum class ConnectionKind { Direct = 0, Proxy = 1, Socks4 = 2, Socks4a = 3, Socks5 = 4 };

// A colour text "R G B" with three whole numbers 0..255, else Default.
QString ValidColourOr(const QString& text, const QString& defaultColour);
// ProxySocksServer's read rule: trimmed, a port kept only when it is a whole number.
QString CleanProxySocksServer(const QString& text);

struct ColourSet {
    QString silver = kDefaultSilver;
    QString olive = kDefaultOlive;
    QString blue = kDefaultBlue;
};

// The window's geometry as the settings see it; the window keeps this up to date.
struct WindowMetrics {
    bool maximised = false;
    int top = 0;
    int left = 0;
    int height = 700;
    int width = 1024;
    int locWidths[3] = {200, 90, 140};
    int remWidths[4] = {200, 90, 90, 140};
};

struct CommonSettings {
    int numSites = 0;
    QString favoredEditor;
    QString windowState = "0";
    QString windowTop, windowLeft, windowHeight, windowWidth;
    QString locWidths[3];
    QString remWidths[4];
    ColourSet colours;
    QString gzipPath;
    QString asciiFiletypes = kDefaultAsciiFiletypes;
    // What a batch does with a file that exists on the target: 0 ask, 1 overwrite, 2 overwrite
    // if newer, 3 skip.
    int existingFiles = 0;
    // How many files Synchronise moves at once over FTP (extra connections to the site), 1-8.
    int simultaneousTransfers = 4;
    bool logsEnabled = false;
    QString logFileSumm;
    QStringList logFileURLFilter;
};

// The current site profile. Texts are the values as stored unless noted.
struct SiteProfile {
    QString siteName;
    QString sessionPassword = kNoPasswordMark;  // scrambled, or the marker
    QString proxyPassword = kNoProxyPasswordMark;
    QString userid = "?";
    QString domain;
    QString fingerprint;
    // SSH: the private key offered (empty: whatever the user's ssh offers), and its passphrase,
    // scrambled, kept only when the person asked for it.
    QString keyFile;
    QString keyPassphrase;
    // FTP over TLS: 0 plain FTP, 1 explicit (AUTH TLS), 2 implicit; and the SHA-256 fingerprint
    // of the server certificate the person chose to trust although it did not verify.
    int ftpTls = 0;
    QString tlsFingerprint;
    QString remLogdir = "www_logs";
    QString remLogdirAlt;
    int timeoutIndex = 5;
    int transferModeIndex = 0;
    bool specialColours = false;
    ColourSet colours;
    bool lcUpload = true;
    bool autoRefresh = true;
    int localSortIndex = 0;
    bool autoReconnect = true;
    int remoteSortIndex = 0;
    int localSortAscInd = 0;
    int remoteSortAscInd = 0;
    int unixLinkIndex = 2;
    QString proxySocksServer;
    QString proxySocksUser;
    int connectionIndex = 0;
    bool passiveMode = true;
    QString favRemDir;
    QString favRemDirCaption = "Favourite";
    QString localLogdir;
    QStringList infLocDirs;  // remembered local directories, the site's default first
    QStringList infRemDirs;  // remembered remote directories, the initial one first
    bool savePw = false;
    QString script;
    QString localProcmailDir;
    bool ssh = false;
    QString mvs = "?";
    int sshBufferSizeTx = 0;
    int sshBufferSizeRx = 0;
    // List with MLSD where the server offers machine listings.
    bool machineListings = true;

    // Seconds a request may stand still before it is abandoned.
    int RequestTimeout() const { return 25 + 20 * timeoutIndex; }
};

// The settings catalogue: every common and site key with its default, validation and order of
// writing, read from and written to the in-memory configuration. Holds no widgets: the window
// reads and writes these fields.
class Settings {
public:
    explicit Settings(CfgFile& cfg) : m_cfg(cfg) {}

    CfgFile& Cfg() { return m_cfg; }
    CommonSettings common;
    SiteProfile site;
    QStringList siteNames;
    QVector<bool> siteActive;
    WindowMetrics window;           // kept current by the window
    bool startupScriptSet = false;  // keeps SSHMode from the command line
    bool commandLineSsh = false;    // -h: every site loaded in this run uses SSH
    bool sshMode = false;
    bool zosMode = false;

    int CurrentSiteNum() const { return m_cfg.CurrentSiteNum(); }
    void SetCurrentSiteNum(int n) { m_cfg.SetCurrentSiteNum(n); }
    int NumSites() const { return int(siteNames.size()); }

    // The default when a setting is absent: the window's current geometry, the editor and gzip
    // found on this machine.
    void GetCommonSettings(const QString& defaultEditor, const QString& defaultGzip);
    // Reloads the file (when it exists) and reads the current site. False with Cfg().ErrorText()
    // when the file exists but cannot be read; the site is then read from the lines in memory.
    bool GetSiteSettings();
    // Writes every setting through SettingPut and saves when something changed. False (with
    // Cfg().ErrorText()) when the save failed; the old file is left intact.
    bool UpdateSettings();

    // Reads the site list (names and active flags) from the lines in memory.
    void ReadSiteList();

    // The colours in force: the site's own when it has them, else the common ones.
    const ColourSet& ColoursInForce() const {
        return site.specialColours ? site.colours : common.colours;
    }

private:
    QString Get(const QString& kind, const QString& key, const QString& def) const {
        return m_cfg.SettingGet(kind, key, def);
    }
    void Put(const QString& kind, const QString& key, const QString& value) {
        m_cfg.SettingPut(kind, key, value);
    }
    // The first Section/Key line's value when that line is readable.
    bool ReadableSetting(const QString& section, const QString& key, QString& value) const;
    void ReadColours(const QString& kind, ColourSet& colours);
    void WriteColours(const QString& kind, const ColourSet& colours);

    CfgFile& m_cfg;
};
