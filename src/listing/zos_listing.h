#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include "listing/listing_state.h"

// The fixed-column z/OS listings: datasets under a prefix ("ZF"), load-library members ("ZL") and
// partitioned-dataset members ("ZP").

// Clears the pseudo-directory list and locates the columns from the header (line 0); "ZP" also
// aligns the date and user-id columns with a data line. Called by ExamineFirstDirEntRec.
void SetUpZosColumns(ListingState& state, const QStringList& lines);

// Parses one fixed-column line. False when it yields no name. Records the pseudo-directory of a
// dataset name that has one.
bool Parse_Dir_Entry_MVS(ListingState& state, QStringView line, ParsedEntry& entry);

// Records the prefix of Name up to and including its first "." ('PROJ.' for 'PROJ.SRC.COBOL').
void AddMVSDirs(ListingState& state, const QString& name);
// Appends Prefix to the pseudo-directory list unless it is there already.
void AddMVSDir(ListingState& state, const QString& prefix);

// True when the current listing is the member list of a partitioned dataset ("ZP", "ZL").
bool InPDS(const ListingState& state);

// What the remote pane shows for a z/OS listing type: the captions of columns 1 and 2 and the
// index of the transfer mode to select (1 "Text", 2 "Binary"). Any other listing type gives the
// captions "Permissions" and "Size" and leaves the transfer mode alone (-1).
struct ZosListingLook {
    QString column1Caption;
    QString column2Caption;
    int transferModeIndex = 1;
};
ZosListingLook ZosListingLookFor(const QString& listingType);

// The directory combo box text without the quotes around it ('USER.DATA' -> USER.DATA), when it
// is longer than 2 characters and both begins and ends with "'".
QString ZosComboText(const QString& text);

// The current directory of a z/OS listing: unquoted, ending in "." (except inside a partitioned
// dataset, whose name is the directory itself).
QString NormaliseZosCurrentDir(const ListingState& state, const QString& dir);

// The size a z/OS dataset is expected to have: tracks x 56664; an unknown one (migrated, or 0)
// the largest 32-bit value.
qint64 ZosSizeEstimate(qint64 tracks, bool migrated);
