#pragma once

#include <QString>
#include <functional>

#include "config/cfg_file.h"
#include "config/settings.h"

class UserInterface;

// The configuration file and the settings read from it, with the few steps every subject takes
// on them: save, reload the current site, show the site's name, ask for the session password.
// AppCore owns one and hands it to each subject that reads or writes settings.
class SettingsStore {
public:
    explicit SettingsStore(UserInterface& ui);
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Writes every setting and saves when something changed; a failed save is logged.
    bool UpdateSettings();
    // Reads the current site's settings (reloading the file), shows its name in the caption and
    // lets the window and the local pane mirror them.
    void GetSiteSettings();
    // The caption: "Vorlen FTP version V remote site - Name".
    void SetGlobalProfileName(const QString& siteName);
    // Asks for the session password (the password dialog) and records the answer: a typed
    // password scrambled, else the no-password marker. True when a password is now known.
    bool AskForPassword(const QString& line1, const QString& line2);

    CfgFile cfg;
    Settings settings{cfg};
    QString versionText;
    // The site's local folder once its settings are read (the local pane follows it).
    std::function<void(const QString& localDir)> siteLocalDirChanged;

private:
    UserInterface& m_ui;
};
