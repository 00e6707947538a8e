#include "panes/remote_pane.h"

#include "config/settings.h"
#include "listing/listing_parser.h"
#include "listing/zos_listing.h"
#include "listing/zos_names.h"
#include "runtime/busy_scope.h"
#include "runtime/user_interface.h"
#include "session/session.h"

RemotePane::RemotePane(Settings& settings, Session& session, UserInterface& ui,
                       std::function<double()> ticks)
    : cache(std::move(ticks)), m_settings(settings), m_session(session), m_ui(ui) {}

bool RemotePane::Zos() const {
    return m_settings.zosMode;
}

bool RemotePane::Descending() const {
    return m_settings.site.remoteSortAscInd == 1;
}

QString RemotePane::ContainingRemoteDirectory(const QString& dir) const {
    return ::ContainingRemoteDirectory(Zos(), m_settings.site.userid, dir);
}

// ---- Listing --------------------------------------------------------------------------------

void RemotePane::RefreshRemoteDirectoryList() {
    if (m_session.reconnecting) {
        return;
    }
    m_ui.StatusBarGeneral(" Refreshing remote directory list.");
    PopulateRemoteArrays();
    m_session.currentRemoteDir = NoMVSQuotes(Zos(), m_session.currentRemoteDir);
    AddRemDirToCmbx(m_session.currentRemoteDir, false);
    PopulateRemListViewEtcFromArrays();
    m_ui.StatusBarGeneral(" Remote directory list refreshed.");
}

void RemotePane::RefreshRemote() {
    if (paneBusy || !m_session.CheckConnection()) {
        return;
    }
    const BusyScope busy(m_ui, &paneBusy);
    if (!m_session.Connected()) {
        m_ui.ShowColorMsg("Connection lost.");
        m_ui.StatusBarGeneral(" Problem with refresh of remote directory list.");
    } else {
        RefreshRemoteDirectoryList();
    }
}

void RemotePane::PopulateRemoteArrays() {
    cache.NotePopulate();
    const QString dir = m_session.currentRemoteDir;
    int slot = -1;
    if (cacheUse) {
        slot = cache.GetCacheIndex(Zos(), dir);
        cacheUse = slot >= 0;
    }
    if (!cacheUse) {
        PopulateRemoteArraysByFTPCall();
        if (!listingFailed) {
            cache.StoreAfterFetch(Zos(), m_session.currentRemoteDir, listing);
        }
    } else {
        cache.Restore(slot, listing);
        lastGoodDir = dir;
    }
    cacheUse = false;
}

void RemotePane::PopulateRemoteArraysByFTPCall() {
    listingFailed = true;
    if (!m_session.CheckConnection()) {
        return;
    }
    RemoteSession* remote = m_session.Remote();
    listingFailed = false;
    m_session.ShowAbortButton("Cancel");
    m_session.nextDir = m_session.currentRemoteDir;
    m_session.requestErrorList.clear();
    const bool changed = ChangeRemoteDirectoryIfNextDirValid();
    QStringList lines;
    if (!changed) {
        if (!m_session.requestErrorList.isEmpty()) {
            m_ui.LogText("chdir attempt returned error code(s): " + m_session.requestErrorList);
        }
        listingFailed = true;
    } else {
        m_session.currentRemoteDir = NoMVSQuotes(Zos(), m_session.currentRemoteDir);
        if (remote->FetchListing(lines)) {
            lastGoodDir = m_session.currentRemoteDir;
        } else {
            listingFailed = true;
        }
    }
    m_session.HideAbortButton();
    if (listingFailed) {
        m_session.currentRemoteDir = lastGoodDir;
        return;
    }
    if (remote->MachineListing()) {
        UseMachineListing(state);
    } else {
        ExamineFirstDirEntRec(state, lines);
    }
    ApplyListingLook();
    PopulateRemArraysFromRemDirStringlist();
}

void RemotePane::ApplyListingLook() {
    SiteProfile& site = m_settings.site;
    const bool zos = state.listingType.startsWith('Z');
    m_settings.zosMode = zos;
    site.mvs = zos ? "1" : "0";
    if (zos) {
        m_session.currentRemoteDir = NormaliseZosCurrentDir(state, m_session.currentRemoteDir);
    }
    const ZosListingLook look = ZosListingLookFor(state.listingType);
    m_ui.ShowRemoteListingLook(look.column1Caption, look.column2Caption, !zos);
    if (zos && look.transferModeIndex >= 0) {
        site.transferModeIndex = look.transferModeIndex;
        m_ui.SetTransferModeIndex(look.transferModeIndex);
    }
    SetResumeXfrMaybeVisible();
}

void RemotePane::SetResumeXfrMaybeVisible() {
    // The resume option is for servers that take REST; z/OS datasets are rewritten whole.
    const bool zos = m_settings.zosMode;
    m_ui.SetResumeOptionVisible(!zos);
    if (zos) {
        m_ui.SetResumeTicked(false);
    }
}

void RemotePane::PopulateRemArraysFromRemDirStringlist() {
    ParseContext context;
    context.currentDir = m_session.currentRemoteDir;
    context.homeDir = m_session.homeDir;
    context.watchedName = watchedName;
    context.resumeTicked = m_ui.ResumeTicked();
    context.permissions = &permissions;
    const ParseExtras extras = ::PopulateRemArraysFromRemDirStringlist(
        state, m_session.remoteListingLines, context, listing);
    for (const QString& line : extras.logLines) {
        m_ui.LogText(line);
    }
    if (extras.procmailrcSeen) {
        procmailrcModified = extras.procmailrcModified;
    }
    if (extras.watchedSeen) {
        watchedSizeText = extras.watchedSizeText;
    }
}

void RemotePane::PopulateRemListViewEtcFromArrays() {
    m_ui.ProcessMessages();
    SortRemoteArraysAndPopulateListview();
    m_ui.LogText(RemoteSortMessage(listing));
    m_ui.ProcessMessages();
}

void RemotePane::SortRemoteArraysAndPopulateListview() {
    SortRemoteArrays(listing, RemoteSortKey(m_settings.site.remoteSortIndex));
    m_ui.RefreshRemoteList();
}

void RemotePane::SetSort(int sortIndex, int seqIndex) {
    SiteProfile& site = m_settings.site;
    site.remoteSortIndex = std::clamp(sortIndex, 0, 4);
    site.remoteSortAscInd = seqIndex == 1 ? 1 : 0;
    SortRemoteArraysAndPopulateListview();
}

void RemotePane::ColumnClick(int column) {
    const SiteProfile& site = m_settings.site;
    const auto [key, descending] =
        RemoteColumnClick(RemoteSortKey(site.remoteSortIndex), Descending(), column);
    SetSort(int(key), descending ? 1 : 0);
}

// ---- Navigation -----------------------------------------------------------------------------

bool RemotePane::ChangeRemoteDirectoryIfNextDirValid() {
    const bool zos = Zos();
    const QString next = m_session.nextDir;
    const QString quoted = m_session.lastQuotedDir;
    if (DirWithTrailingSeparator(zos, next) == DirWithTrailingSeparator(zos, quoted) ||
        next == quoted + ".") {
        return true;
    }
    if (!m_session.CheckConnection()) {
        return false;
    }
    RemoteSession* remote = m_session.Remote();
    const QChar sep = zos ? '.' : '/';
    const QString current = NoMVSQuotes(zos, m_session.currentRemoteDir);
    QString target = next == ".." ? ContainingRemoteDirectory(current) : next;
    if (!target.contains(sep)) {
        target = JoinRemotePath(zos, current, target);
    }
    const QString learned = aliases.LearnedRemoteLinkTranslated(target);
    if (!learned.isEmpty()) {
        target = learned;
    }
    const bool changed = remote->ChangeDirectory(target);
    m_session.lastQuotedDir = m_session.currentRemoteDir;
    return changed;
}

void RemotePane::ReenterCurrentDir() {
    m_session.nextDir = m_session.currentRemoteDir;
    ChangeRemoteDirectoryIfNextDirValid();
}

void RemotePane::ChangeRemoteDirectoryAndRefreshList() {
    ChangeRemoteDirectoryIfNextDirValid();
    RefreshRemoteDirectoryList();
}

bool RemotePane::EnterRemoteDirectory(const QString& dir, bool fresh) {
    m_session.nextDir = dir;
    ChangeRemoteDirectoryIfNextDirValid();
    if (fresh) {
        cacheUse = false;
    }
    RefreshRemoteDirectoryList();
    return !listingFailed && NormalisedRemoteDir(Zos(), m_session.currentRemoteDir) ==
                                 NormalisedRemoteDir(Zos(), dir);
}

void RemotePane::NavigateTo(const QString& target) {
    m_ui.LogText("Request to change to directory " + target);
    cacheUse = true;
    m_session.currentRemoteDir = target;
    RefreshRemoteDirectoryList();
}

void RemotePane::lvRemoteDblClick(int rowIndex) {
    if (paneBusy || rowIndex < 0 || rowIndex >= RowCount()) {
        return;
    }
    const RemoteRow row = Row(rowIndex);
    const RemoteImage image =
        row.kind == RemoteRow::Kind::Parent ? RemoteImage::Directory : row.image;
    if (image != RemoteImage::Directory && image != RemoteImage::DirectoryLink &&
        image != RemoteImage::PartitionedDataset) {
        if (downloadSelection) {
            downloadSelection();
        }
        return;
    }
    const bool zos = Zos();
    const QString name =
        row.kind == RemoteRow::Kind::Parent ? QStringLiteral("..") : row.entry->name;
    const BusyScope busy(m_ui, &paneBusy);
    m_session.nextDir = name;
    cacheUse = true;
    QString& current = m_session.currentRemoteDir;
    if (image == RemoteImage::DirectoryLink) {
        const QString path = JoinRemotePath(zos, current, name.trimmed());
        const QString learned = aliases.LearnedRemoteLinkTranslated(path);
        m_ui.LogText("Request to change directory using link " + path);
        if (!learned.isEmpty()) {
            current = learned;
            m_ui.LogText("Target directory is " + learned);
        } else {
            const QString before = current;
            ChangeRemoteDirectoryIfNextDirValid();
            if (current != before) {
                aliases.Add(path, current);
            }
        }
    } else {
        current =
            name == ".." ? ContainingRemoteDirectory(current) : JoinRemotePath(zos, current, name);
        m_ui.LogText("Request to change to directory " + current);
    }
    RefreshRemoteDirectoryList();
    if (DirWithTrailingSeparator(zos, current.trimmed()) !=
        DirWithTrailingSeparator(zos, lastGoodDir.trimmed())) {
        cacheUse = true;
        m_ui.LogText("Reverting to last good working directory: " + lastGoodDir);
        current = lastGoodDir;
        RefreshRemoteDirectoryList();
    }
}

void RemotePane::ChgDirToCmbxBoxName(const QString& boxText) {
    if (boxText == m_session.currentRemoteDir || paneBusy) {
        return;
    }
    paneBusy = true;
    m_ui.DisableGridsEtc();
    const QString keyword = boxText.trimmed().toLower();
    if (keyword == "procmailhelp") {
        m_ui.RefreshRemoteDirBox();
        if (procmailHelp) {
            procmailHelp();
        }
    } else if (keyword == "procmail") {
        m_ui.RefreshRemoteDirBox();
        if (procmailWorkflow) {
            procmailWorkflow();
        } else {
            m_ui.ShowColorMsg("The procmail recipe update is not available yet.");
        }
    } else if (!boxText.trimmed().isEmpty() && m_session.CheckConnection()) {
        NavigateTo(QuotedNameIfMVS(Zos(), boxText.trimmed()));
    } else {
        m_ui.RefreshRemoteDirBox();
    }
    m_ui.EnableGridsEtc();
    m_ui.ProcessMessages();
    paneBusy = false;
}

void RemotePane::btnHomeClick() {
    if (m_session.RedLightDisconnectedState()) {
        m_ui.ShowColorMsg("Please try again after a connection is established.");
        return;
    }
    const QString home = m_session.homeDir.trimmed();
    if (home.isEmpty() || home == "?" ||
        DirWithTrailingSeparator(Zos(), home) ==
            DirWithTrailingSeparator(Zos(), m_session.currentRemoteDir)) {
        return;
    }
    const BusyScope busy(m_ui);
    NavigateTo(m_session.homeDir);
}

void RemotePane::btnFavoriteClick() {
    if (m_session.RedLightDisconnectedState()) {
        m_ui.ShowColorMsg("Please try again after a connection is established.");
        return;
    }
    const QString favourite = m_settings.site.favRemDir.trimmed();
    if (favourite.isEmpty()) {
        m_ui.LogText("No Favourite Directory has been defined in settings ");
        return;
    }
    if (favourite == m_session.currentRemoteDir) {
        m_ui.LogText("Favourite directory is already the current directory ");
        return;
    }
    const BusyScope busy(m_ui);
    NavigateTo(favourite);
}

void RemotePane::AddRemDirToCmbx(const QString& dir, bool asDefault) {
    SiteProfile& site = m_settings.site;
    site.infRemDirs = RememberRemoteDir(site.infRemDirs, dir, asDefault, Zos(), InPDS(state));
    m_ui.RefreshRemoteDirBox();
    m_ui.ProcessMessages();
}

QStringList RemotePane::RememberedDirs() const {
    QStringList shown;
    for (const QString& dir : m_settings.site.infRemDirs) {
        if (!shown.contains(dir)) {
            shown.append(dir);
        }
    }
    return shown;
}

std::vector<RemoteItem> RemotePane::SaveSelectedRemoteItems(const std::vector<int>& rows) const {
    std::vector<RemoteItem> items;
    for (const int r : rows) {
        const RemoteRow row = Row(r);
        if (row.kind == RemoteRow::Kind::Parent || !row.entry) {
            items.push_back(RemoteItem{"..", 'D', 0, QString(), QString()});
            continue;
        }
        const RemoteEntry& e = *row.entry;
        const QChar type = e.permissions.startsWith('l')            ? QChar('L')
                           : row.kind == RemoteRow::Kind::Directory ? QChar('D')
                                                                    : QChar('F');
        qint64 size = e.size;
        if (Zos()) {
            size = ZosSizeEstimate(e.size, e.modified == "Migrated");
        }
        items.push_back(RemoteItem{e.name, type, size, e.permissions.toUpper(), e.modified});
    }
    return items;
}

void RemotePane::SetDateOrderAndToday(const QString& shortDateFormat, const QDate& today) {
    ::SetDateOrderAndToday(state, shortDateFormat, today);
}

void RemotePane::ChangeToNextDirFromCache() {
    cacheUse = true;
    ChangeRemoteDirectoryIfNextDirValid();
}

void RemotePane::RefreshFromCache() {
    cacheUse = true;
    RefreshRemoteDirectoryList();
}

bool RemotePane::HasEntry(const QString& name) const {
    for (const auto* list : {&listing.dirs, &listing.files}) {
        for (const RemoteEntry& entry : *list) {
            if (entry.name == name) {
                return true;
            }
        }
    }
    return false;
}
