#pragma once

#include <QString>
#include <QStringList>

#include "config/settings.h"
#include "ui/model/colour_theme.h"

// The Options dialog's working copy of the settings it edits. The dialog edits this copy;
// StoreTo writes it back only when the person saves, so Cancel discards everything.
struct OptionsValues {
    QString favoredEditor;
    QStringList asciiTypes;
    QString gzipPath;
    bool logsEnabled = false;
    QStringList summaryTypes;
    QStringList urlFilters;
    QString localLogdir;
    QString remLogdir;
    QString remLogdirAlt;
    QString favRemDir;
    QString favRemDirCaption;
    int existingFiles = 0;  // the index of "When a file exists"
    int simultaneousTransfers = 4;
    // Set by the colour dialog's "Save colours and close"; empty while unchanged.
    QString chosenColour;
    bool colourThisSiteOnly = false;

    static OptionsValues FromSettings(const Settings& settings);
    // Writes the values back; the chosen colour goes under Theme's key.
    void StoreTo(Settings& settings, ColourTheme theme) const;
};

// The list editors. Each returns the warning to show, or an empty text when the answer was
// added or was nothing to add.
QString AddAsciiType(QStringList& types, const QString& answer);
QString AddSummaryType(QStringList& types, const QString& answer);
QString AddUrlFilter(QStringList& filters, const QString& answer);

// Both remembered lists emptied, then only the current directories added back.
void ResetRememberedDirectories(SiteProfile& site, const QString& currentLocalDir,
                                const QString& currentRemoteDir);
