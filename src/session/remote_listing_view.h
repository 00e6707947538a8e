#pragma once

#include <QDate>
#include <QString>

// What a login and the SFTP session do to the remote listing the person sees. The remote pane
// implements it; the session knows nothing else of the pane.
class RemoteListingView {
public:
    virtual ~RemoteListingView() = default;

    // Before a login: the date order and today's date that listings are read with.
    virtual void SetDateOrderAndToday(const QString& shortDateFormat, const QDate& today) = 0;
    virtual void ClearCounts() = 0;
    // The login found a z/OS host the site did not name as one.
    virtual void SetZosMode() = 0;
    // The first scan after logging in (the home directory's listing).
    virtual void PopulateRemoteArrays() = 0;
    // Changes to the session's next directory, taking its listing from the cache when it has it.
    virtual void ChangeToNextDirFromCache() = 0;
    // Shows the current directory, taken from the cache (the first scan has just listed it).
    virtual void RefreshFromCache() = 0;
    virtual void AddRemDirToCmbx(const QString& dir, bool asDefault) = 0;
    // Files and bytes of the directory shown.
    virtual int FileCount() const = 0;
    virtual qint64 TotalBytes() const = 0;
    // True when the directory shown has an entry of that name.
    virtual bool HasEntry(const QString& name) const = 0;
    // Records that Path is reached by RealPath (a link's target, a public_html alias).
    virtual void AddAlias(const QString& path, const QString& realPath) = 0;
};
