#pragma once

#include <QString>

// Program-wide paths, fixed once at start-up.
struct AppPaths {
    QString workFolder;
    QString cfgFileName;
    QString procmailFolder;
    QString tempFolder;
    QString programFolder;
    QString executablePath;
    QString listingTempFile;  // this run's DIR output
    QString listingKeepFile;  // the last listing, kept at exit

    // All paths derived from a work folder; the listing temp file carries Stamp.
    static AppPaths ForWorkFolder(const QString& workFolder, const QString& stamp);
};
