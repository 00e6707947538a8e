#include "runtime/settings_store.h"

#include "config/scrambling.h"
#include "runtime/user_interface.h"

SettingsStore::SettingsStore(UserInterface& ui) : m_ui(ui) {
    cfg.onNotice = [this](const QString& text) { m_ui.LogText(text); };
}

bool SettingsStore::UpdateSettings() {
    if (settings.UpdateSettings()) {
        return true;
    }
    m_ui.LogText(cfg.ErrorText());
    return false;
}

void SettingsStore::GetSiteSettings() {
    if (!settings.GetSiteSettings()) {
        m_ui.LogText(cfg.ErrorText());
    }
    SetGlobalProfileName(settings.site.siteName);
    if (siteLocalDirChanged) {
        siteLocalDirChanged(settings.site.infLocDirs.value(0));
    }
    m_ui.SiteSettingsChanged();
}

void SettingsStore::SetGlobalProfileName(const QString& siteName) {
    settings.site.siteName = siteName;
    QString caption = "Vorlen FTP";
    if (!versionText.trimmed().isEmpty()) {
        caption += " version " + versionText.trimmed();
    }
    if (!siteName.trimmed().isEmpty()) {
        caption += " remote site - " + siteName;
    }
    m_ui.SetCaption(caption);
    m_ui.ProcessMessages();
}

bool SettingsStore::AskForPassword(const QString& line1, const QString& line2) {
    const PasswordAnswer answer = m_ui.AskPassword(line1, line2);
    SiteProfile& site = settings.site;
    if (answer.ok && !answer.password.isEmpty()) {
        site.sessionPassword =
            QString::fromLatin1(scrambling::ComplexEncrypt(answer.password.toUtf8()));
        site.savePw = answer.save;
        return true;
    }
    site.sessionPassword = kNoPasswordMark;
    if (answer.ok) {
        site.savePw = false;
    }
    return false;
}
