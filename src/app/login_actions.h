#pragma once

#include <QString>
#include <QStringList>

class SettingsStore;
class UserInterface;
struct RunState;

// The login dialog's fields as the person sees and edits them. The dialog copies its widgets
// into this and back; every rule lives in LoginActions so it runs without a window.
struct LoginFields {
    QString userid;
    QString password;  // plain text, only while the dialog is open
    QString domain;
    QString proxyServer;
    QString proxyUser;
    QString proxyPassword;  // plain text, only while the dialog is open
    bool rememberPassword = false;
    int connectionKind = 0;  // index of the connection-type list
    int timeoutIndex = 5;    // index of the timeout list
    bool passive = true;
    int sshIndex = 0;  // 0 standard FTP, 1 secure (SSH)
    int ftpTls = 0;    // index of the FTP security list: plain, explicit TLS, implicit TLS
    bool machineListings = true;
    QString keyFile;  // SSH: the private key offered, empty for whatever ssh offers
};

// What the dialog shows for a connection kind and an SSH choice.
struct LoginVisibility {
    QString rememberCaption;  // "Save password" or "Save passwords"
    bool proxyFieldsVisible = false;
    QString proxyServerLabel;
    QString proxyUserLabel;
    bool passiveVisible = true;
    bool ftpTlsVisible = true;    // FTP only
    bool keyFileVisible = false;  // SSH only
};

// The site list as the dialog shows it: active, non-blank names, and the one to select.
struct SiteCombo {
    QStringList names;
    int selected = -1;
};

// Site management and the login dialog's rules: picking, creating, renaming and deleting sites,
// and turning completed fields into the current site profile.
class LoginActions {
public:
    LoginActions(SettingsStore& store, RunState& run, UserInterface& ui)
        : m_store(store), m_run(run), m_ui(ui) {}

    static QStringList ConnectionTypes();
    static QStringList Timeouts();
    static QStringList SshChoices();
    static QStringList FtpTlsChoices();
    static LoginVisibility VisibilityFor(int connectionKind, int sshIndex);

    // The dialog's creation: marks the login pending, creates "Default" on a first start and
    // loads the current site. Returns the fields to show.
    LoginFields FormCreate();

    // Active slots only, in index order; the earliest of four passes wins (exact, trimmed,
    // upper-cased, upper-cased and trimmed). -1 when absent.
    int LocateSiteIndex(const QString& name) const;
    SiteCombo ApplyConfigFileSettingsToSiteCombo() const;

    void GetSiteSettingsForLogin();
    LoginFields ApplySiteSettingsToLoginFields() const;
    void SetMainFormValuesFromCompletedFields(const LoginFields& fields);

    // The site the first command's local demo server is reached by: added (or brought up to
    // date) under the name "Local demo" with the password saved, and made the current site.
    void UseDemoSite(const QString& domain, const QString& user, const QString& password,
                     const QString& localFolder);

    // The site chosen in the list; returns the fields of the newly loaded site.
    LoginFields SelectSite(const QString& shownName);

    // OK: true when the dialog may close (all three fields filled in).
    bool OkClick(const LoginFields& fields);
    // Cancel: the dialog always closes; the login stays pending unless user id and domain are
    // filled in.
    void CancelClick(const LoginFields& fields);

    // New Site: asks for the name. True when a site was created (Fields then holds its
    // cleared fields).
    bool NewSiteClick(LoginFields& fields);
    void CreateNewSite(const QString& name, LoginFields& fields);
    // Rename Site: true when the current site was renamed.
    bool RenameSiteClick();
    // Delete Site: true when a site was deleted (Fields then holds the new current site's).
    bool DeleteSiteClick(LoginFields& fields);

    int ActiveSiteCount() const;

private:
    SettingsStore& m_store;
    RunState& m_run;
    UserInterface& m_ui;
};
