#pragma once

#include <QString>
#include <QStringList>

#include <array>

#include "listing/zos_names.h"

// The pure rules of transfers and remote file operations: which files travel as text, the z/OS
// allocation commands, the progress texts, and the permission texts of the chmod dialog.

// True for a text transfer: the lower-cased name, then what follows each of its "." in turn,
// found as a whole entry of AsciiFiletypes ("|"-separated).
bool SeeIfAscii(const QString& fileName, const QString& asciiFiletypes);

// The block size sent for a new dataset: raised to at least the record length + 4 for variable
// unspanned formats; for others kept when a whole multiple of the record length, else 0 for
// fixed formats. Zero or less is sent as given.
int AdjustedBlockSize(const QString& recordFormat, int recordLength, int blockSize);
// The SITE lines that allocate a new dataset with Attributes, in the order they are sent.
QStringList AllocationCommands(const AllocationAttributes& attributes);

// What a transfer's progress shows: panel 4, the duration panel (empty: unchanged) and the bar.
struct TransferProgressText {
    QString status;
    QString duration;
    int percent = 0;
};
// Direction "Up" or "Down"; Possibly for a z/OS download, whose total is an estimate.
TransferProgressText DescribeTransferProgress(const QString& direction, const QString& file,
                                              qint64 total, qint64 done, double elapsedMs,
                                              bool possibly);
// A batch moving several files at once: files and bytes done of all, the rate and the time left
// (both once a second has passed and something moved).
TransferProgressText DescribeBatchProgress(bool upload, int filesDone, int files, qint64 done,
                                           qint64 total, double elapsedMs);
// "N of M bytes (100%)" for the completion line.
QString CompletedSizes(qint64 total, bool possibly);

// The nine check boxes of the permissions dialog: owner, group, others; read, write, execute.
using PermissionBoxes = std::array<bool, 9>;
// The boxes the dialog starts with: from characters 2-10 of a full permission text, else 705.
PermissionBoxes InitialPermissionBoxes(const QString& permissionText);
QString PermissionTextFromBoxes(const PermissionBoxes& boxes);  // "rwxr-x---"
QString OctalFromBoxes(const PermissionBoxes& boxes);           // "750"
// "rwx" for 7 ... "---" for anything that is not an octal digit.
QString PermissionTriple(QChar digit);
// Nine characters from a three-digit octal text.
QString PermissionTextFromOctal(const QString& octal);
// The mode bits of a three-digit octal text (first x 64 + second x 8 + third).
int ModeFromOctal(const QString& octal);

// The path a delete names: Dir joined with Name; on z/OS the whole in single quotes, Dir's own
// quotes dropped (Name alone when Dir is just the two quotes).
QString RemoteDeletePath(bool zosMode, const QString& dir, const QString& name);
