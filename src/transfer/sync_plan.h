#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Comparing a local folder tree with a remote one, and what a synchronisation in one direction
// does about each difference. Pure: the trees are read elsewhere.

// One file or folder of a tree, by its path below the tree's top ("a/b.html", "/" between
// levels whatever the side).
struct SyncEntry {
    QString path;
    bool dir = false;
    qint64 size = 0;
    QDateTime time;  // invalid when unknown
    // How exact Time is, in seconds: 0 for exact times, 60 for a listing's minutes, a day for a
    // listing that shows only the date.
    int resolution = 0;
};

enum class SyncKind {
    Same,
    OnlyHere,               // only in the local tree
    OnlyThere,              // only on the server
    NewerHere,              // sizes differ, the local file is newer (or the times are equal)
    NewerThere,             // sizes differ, the server's file is newer
    SameSizeDifferentTime,  // sizes equal, times differ beyond what the listing can tell
    FileAndFolder,          // a file on one side, a folder on the other: left alone
    CaseOnly,               // names that differ only in case: reported, never merged
};

struct SyncItem {
    QString path;
    SyncKind kind = SyncKind::Same;
    bool dir = false;
    qint64 localSize = 0;
    qint64 remoteSize = 0;
    QDateTime localTime;
    QDateTime remoteTime;
    bool localNewer = false;  // the local time is later beyond the tolerance
};

// Both trees, sorted by path, into one list of items in path order (a folder before what it
// holds). Times closer than the coarser resolution of the two sides (at least 2 s, what some
// file systems keep) count as equal.
std::vector<SyncItem> CompareTrees(std::vector<SyncEntry> local, std::vector<SyncEntry> remote);

// How far a listing's clock is from the exact one, from one file's exact time less its listed
// time (seconds): time zones differ by whole quarter hours, so the difference is rounded to one;
// nothing when it is not a zone's (more than two minutes off a quarter, or beyond 14 hours:
// the file changed between the two looks).
std::optional<qint64> ListingOffset(qint64 exactMinusListed);

// The counts and bytes of each kind, for the window and the log.
struct SyncCounts {
    int onlyHere = 0, onlyThere = 0, newerHere = 0, newerThere = 0, sameSizeDifferentTime = 0,
        conflicts = 0, same = 0;
    qint64 onlyHereBytes = 0, onlyThereBytes = 0, newerHereBytes = 0, newerThereBytes = 0,
           sameSizeDifferentTimeBytes = 0;
};
SyncCounts CountSync(const std::vector<SyncItem>& items);
// "3 only here (12,345 bytes), 1 newer on the server (…)": the kinds that occur, or "Nothing
// differs".
QString DescribeSync(const SyncCounts& counts);

enum class SyncAction { MakeFolder, Send, Delete };
struct SyncStep {
    SyncAction action;
    QString path;
    bool dir = false;
    qint64 size = 0;
    // When sent: the source's time, carried over to the copy where the target allows it.
    QDateTime time;
};

// What making the target like the source takes. Upload: the local tree is the source. A file
// goes when it is only on the source, when the sizes differ, or when the source is newer; a
// same-size file that is newer on the target stays (a plain copy made it so). Folders only on
// the source are made first (parents before children); with DeleteExtra what is only on the
// target goes last, files before their folders and deeper folders first. Conflicts and names
// that differ only in case are left alone.
std::vector<SyncStep> PlanSync(const std::vector<SyncItem>& items, bool upload, bool deleteExtra);
