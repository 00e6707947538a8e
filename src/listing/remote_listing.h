#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <utility>
#include <vector>

#include "listing/listing_state.h"

// The in-memory model of the current remote directory: the parsed files and directories, the
// eight-slot cache of recently listed directories, sorting, and the pure rules of remote
// navigation (parent directory, remembered directories, link aliases). No sockets, no widgets:
// the session fetches listings, the remote pane orchestrates, the view shows rows.

// One remote file or directory.
struct RemoteEntry {
    QString name;
    QString extension;    // after the last ".", upper-cased; the whole name when it has none
    QString permissions;  // "l..." marks a link; " " in the Windows form
    qint64 size = 0;      // 0 when the listed size is not a whole number
    QString modified;     // "YYYY-MM-DD   HH:MM", or the raw date when the order is unknown
};

// The extension rule: text after the last ".", upper-cased; the whole name upper-cased when it
// has no "."; empty for an empty name.
QString RemoteExtension(const QString& name);

// The list view's small images, by index.
enum class RemoteImage {
    Directory = 0,
    DirectoryLink = 1,
    PartitionedDataset = 2,
    FileLink = 3,
    File = 4
};
RemoteImage FileImage(const QString& permissions);
RemoteImage DirectoryImage(const QString& permissions);

// Permissions set during this session (at most 1000 rows), shown again over listed ones.
struct RememberedPermission {
    QString name;
    QString directory;    // as shown in the directory box, trimmed
    QString permissions;  // the full text; its first character is the entry type "F" or "D"
};
class PermissionMemory {
public:
    static constexpr int kMaxRows = 1000;
    // Replaces the row of the same name and directory, else appends while there is room.
    void Remember(const QString& name, const QString& directory, const QString& permissions);
    // The listed text with characters 2-10 taken from a matching row of type Kind ("F"/"D").
    QString Apply(const QString& name, const QString& directory, QChar kind,
                  const QString& listed) const;
    int Count() const { return int(m_rows.size()); }
    const std::vector<RememberedPermission>& Rows() const { return m_rows; }

private:
    std::vector<RememberedPermission> m_rows;
};

// Sort keys of rgrpRemoteSort and the sequence of rgrpRemoteSeq.
enum class RemoteSortKey { Name = 0, Extension = 1, Permissions = 2, Size = 3, Modified = 4 };

// The current listing.
struct RemoteListing {
    std::vector<RemoteEntry> files;
    std::vector<RemoteEntry> dirs;  // "." and ".." never stored
    int fileCount = 0;              // as counted by the last parse
    qint64 totalBytes = 0;          // sum of the file sizes of the last parse

    void Clear();
};

// What the parse noticed beyond the entries.
struct ParseExtras {
    QStringList logLines;        // "Big file:" / "Big dir:" lines, in order
    QString procmailrcModified;  // set when ".procmailrc" was listed in the home directory
    bool procmailrcSeen = false;
    QString watchedSizeText;  // the size text of the watched file, when listed
    bool watchedSeen = false;
};

// What the parse needs to know besides the listing lines.
struct ParseContext {
    QString currentDir;  // for remembered permissions and the .procmailrc rule
    QString homeDir;
    QString watchedName;        // empty: none
    bool resumeTicked = false;  // the watched size is taken only while resume is ticked
    const PermissionMemory* permissions = nullptr;
};

// Parses the listing lines (after ExamineFirstDirEntRec) into Listing: from line 0 (line 1 on
// z/OS), lines shorter than the minimum length skipped; on z/OS the directory list of the
// state is appended as directories at the end.
ParseExtras PopulateRemArraysFromRemDirStringlist(ListingState& state, const QStringList& lines,
                                                  const ParseContext& context,
                                                  RemoteListing& listing);

// Stable sort of both lists (directories not sorted by size); always ascending in storage.
void SortRemoteArrays(RemoteListing& listing, RemoteSortKey key);

// One row of the list view, in display order (".." first, then directories, then files; the
// descending sequence reverses each group).
struct RemoteRow {
    enum class Kind { Parent, Directory, File };
    Kind kind = Kind::File;
    const RemoteEntry* entry = nullptr;  // null for ".."
    RemoteImage image = RemoteImage::Directory;
};
int RemoteRowCount(const RemoteListing& listing);
// A row out of range gives the ".." row.
RemoteRow RemoteRowAt(const RemoteListing& listing, bool descending, int row);
// "N files    B bytes" with grouped numbers.
QString RemoteSummaryText(const RemoteListing& listing);
// "Sorting of N file and directory names complete" (N counts ".." too).
QString RemoteSortMessage(const RemoteListing& listing);

// Column click: columns 0..3 select keys Name, Permissions, Size, Modified; a click on the
// current key flips the sequence. Returns the new (key, descending).
std::pair<RemoteSortKey, bool> RemoteColumnClick(RemoteSortKey key, bool descending, int column);

// True when a file (not a directory) of the listing has exactly this name.
bool FoundFileInCurrentRemoteDirectory(const RemoteListing& listing, const QString& name);
// The entry called Name in Entries (the listing's files or dirs), or null.
const RemoteEntry* RemoteEntryNamed(const std::vector<RemoteEntry>& entries, const QString& name);

// The eight-slot cache of recently listed directories.
class RemoteCache {
public:
    static constexpr int kSlots = 8;
    static constexpr int kMaxFiles = 3000;
    static constexpr int kMaxDirs = 1000;  // listings with more dirs (or files) are not cached
    static constexpr int kSlotDirCapacity = 3000;
    static constexpr double kExpiryMs = 120000;

    // The tick source in milliseconds; tests inject a fake clock.
    explicit RemoteCache(std::function<double()> ticks);

    // Key normalisation: z/OS quotes removed, trailing separator, upper-cased on z/OS.
    static QString Key(bool zosMode, const QString& dir);

    // Slot 1..8 whose key equals the normalised Dir, else -1.
    int GetCacheIndex(bool zosMode, const QString& dir) const;
    // First free slot, else the one stored longest ago (lower number wins a tie).
    int GetNextCacheIndexToUse() const;
    // Ignored unless Slot is 1..8.
    void CacheCurrentRemoteArrays(int slot, bool zosMode, const QString& dir,
                                  const RemoteListing& listing);
    // Copies a slot's entries into Listing (counts of the last parse left as they are).
    void Restore(int slot, RemoteListing& listing) const;
    void RemoveRemDirFromCache(bool zosMode, const QString& dir);
    void ClearRemoteCache();

    // The populate rule: more than 120000 ms since the last populate clears everything; records
    // this populate's time.
    void NotePopulate();

    // After a fetch: too large listings are dropped from the cache, others stored in their own
    // slot or the next one to use.
    void StoreAfterFetch(bool zosMode, const QString& dir, const RemoteListing& listing);

    double Now() const { return m_ticks(); }

private:
    struct Slot {
        QString key;
        double storedAt = 0;
        std::vector<RemoteEntry> files;
        std::vector<RemoteEntry> dirs;
    };
    std::function<double()> m_ticks;
    std::array<Slot, kSlots> m_slots;
    double m_lastPopulate = 0;
    bool m_populated = false;
};

// Removes one file / directory (0-based index) after a remote delete or rename and stores the
// listing again into the directory's cache slot when it has one.
void RemoteArrayDel(RemoteListing& listing, int index, RemoteCache& cache, bool zosMode,
                    const QString& currentDir);
void RemoteArrayDirDel(RemoteListing& listing, int index, RemoteCache& cache, bool zosMode,
                       const QString& currentDir);

// ---- Navigation rules ----------------------------------------------------------------------

// The parent directory: "/home/web/public_html" gives "/home/web/", "/home" gives "/"; on z/OS
// "USER.DATA." gives "USER." and "DATA." gives UserId + ".".
QString ContainingRemoteDirectory(bool zosMode, const QString& userId, const QString& dir);

// Every "\" replaced by the remote separator.
QString ValidRemoteName(bool zosMode, const QString& name);

// Path with a trailing separator, z/OS quotes removed (for comparisons of directories).
QString DirWithTrailingSeparator(bool zosMode, const QString& dir);

// The remembered directories after adding Dir (at most 8, the first being the default).
// Returns List unchanged when Dir is empty, "?" or "unknown".
QStringList RememberRemoteDir(const QStringList& list, const QString& dir, bool asDefault,
                              bool zosMode, bool inPds);

// The learned link targets and public_html aliases: at most 500 pairs, never emptied.
class AliasTable {
public:
    static constexpr int kMaxPairs = 500;
    // False when full.
    bool Add(const QString& path, const QString& directory);
    // The directory learned for Path, or empty text.
    QString LearnedRemoteLinkTranslated(const QString& path) const;
    int Count() const { return int(m_pairs.size()); }

private:
    std::vector<std::pair<QString, QString>> m_pairs;
};
