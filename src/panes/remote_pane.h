#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "listing/listing_state.h"
#include "listing/remote_listing.h"
#include "session/remote_listing_view.h"

class Settings;
class Session;
class UserInterface;

// A selected row of the remote list: its name, type ("F" file, "L" link, "D" directory), size
// and permission text (upper-cased).
struct RemoteItem {
    QString name;
    QChar type;
    qint64 size = 0;
    QString permissions;
    QString modified;  // as the listing gives it
};

// The remote half of the main window without its widgets: the listing state, the current
// listing, the cache, sorting, and every way of moving between remote directories. It asks the
// session for directory changes and listings and speaks to the person through UserInterface.
class RemotePane : public RemoteListingView {
public:
    RemotePane(Settings& settings, Session& session, UserInterface& ui,
               std::function<double()> ticks);

    ListingState state;
    RemoteListing listing;
    RemoteCache cache;
    PermissionMemory permissions;
    AliasTable aliases;
    QString lastGoodDir;
    bool cacheUse = false;
    bool paneBusy = false;
    bool listingFailed = false;
    // The upload resume path watches one file's size across a refresh.
    QString watchedName;
    QString watchedSizeText;
    // The remote .procmailrc's modified text, when it was listed in the home directory.
    QString procmailrcModified;

    // ---- Listing ----
    void RefreshRemoteDirectoryList();
    // The Refresh button.
    void RefreshRemote();
    void PopulateRemoteArrays() override;
    void PopulateRemoteArraysByFTPCall();
    // Parses the session's listing lines into the current listing.
    void PopulateRemArraysFromRemDirStringlist();
    void PopulateRemListViewEtcFromArrays();
    // Sorts by the site's sort choice and shows the rows (also the radio groups' handler).
    void SortRemoteArraysAndPopulateListview();
    void ColumnClick(int column);
    void SetSort(int sortIndex, int seqIndex);
    bool Descending() const;

    // The rows as the list view shows them.
    int RowCount() const { return RemoteRowCount(listing); }
    RemoteRow Row(int row) const { return RemoteRowAt(listing, Descending(), row); }
    // The given rows as items to work on (the parent row as "..").
    std::vector<RemoteItem> SaveSelectedRemoteItems(const std::vector<int>& rows) const;
    QString SummaryText() const { return RemoteSummaryText(listing); }

    // ---- Navigation ----
    // False when a change was needed and failed.
    bool ChangeRemoteDirectoryIfNextDirValid();
    void ChangeRemoteDirectoryAndRefreshList();
    // Enters Dir and lists it (from the server when Fresh, else perhaps from the cache); false
    // when that failed.
    bool EnterRemoteDirectory(const QString& dir, bool fresh = false);
    // Makes sure the server's working directory is the current remote directory again.
    void ReenterCurrentDir();
    // Double click on a row of the list view; a file row starts a download through
    // downloadSelection.
    void lvRemoteDblClick(int row);
    // Enter in the directory box, a choice from its list, leaving it.
    void ChgDirToCmbxBoxName(const QString& boxText);
    void btnHomeClick();
    void btnFavoriteClick();
    void AddRemDirToCmbx(const QString& dir, bool asDefault) override;

    // ---- What a login does to the listing ----
    void SetDateOrderAndToday(const QString& shortDateFormat, const QDate& today) override;
    void ClearCounts() override {
        listing.fileCount = 0;
        listing.totalBytes = 0;
    }
    void SetZosMode() override { state.zosMode = true; }
    void ChangeToNextDirFromCache() override;
    void RefreshFromCache() override;
    int FileCount() const override { return listing.fileCount; }
    qint64 TotalBytes() const override { return listing.totalBytes; }
    bool HasEntry(const QString& name) const override;
    void AddAlias(const QString& path, const QString& realPath) override {
        aliases.Add(path, realPath);
    }
    QStringList RememberedDirs() const;
    QString ContainingRemoteDirectory(const QString& dir) const;

    // The download of the selection (the transfer subject sets it).
    std::function<void()> downloadSelection;
    // "procmail" typed in the directory box (the recipe subject sets it).
    std::function<void()> procmailWorkflow;
    // "procmailhelp" typed in the directory box.
    std::function<void()> procmailHelp;

    // The z/OS set-up the listing type asks of the window (captions, transfer mode).
    void ApplyListingLook();
    // The resume option is shown outside z/OS mode only; in z/OS mode it is also unticked.
    void SetResumeXfrMaybeVisible();

private:
    // The common pattern of a navigation to Target.
    void NavigateTo(const QString& target);
    bool Zos() const;

    Settings& m_settings;
    Session& m_session;
    UserInterface& m_ui;
};
