#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTimeZone>

// The state the listing parsers read and write, owned by the caller (the main window keeps one for
// the current listing). Nothing here is global, so every routine can be run on its own and
// "today" can be fixed.

// Order of day, month and year in the user's short date format, e.g. "DMY".
struct DateOrder {
    QString letters;  // three letters, each D, M or Y, when known
    bool known = false;
};

// One column of a fixed-column z/OS listing: 1-based start (0 = absent) and width.
struct ZosColumn {
    int start = 0;
    int width = 0;
};

// Where each field sits in the lines of the current z/OS listing; recomputed from its header.
struct ZosColumns {
    ZosColumn name;
    ZosColumn size;
    ZosColumn date;
    ZosColumn dsorg;
    ZosColumn recfm;
    ZosColumn amode;
    ZosColumn rmode;
    ZosColumn userId;
    ZosColumn volume;
};

// The listing type of a machine listing (MLSD), set by the caller that asked for one: its lines
// carry facts, not a form to detect.
inline const QString kMachineListingType = QStringLiteral("ML");

struct ListingState {
    // "U1", "U2", "M1" (also the fall-back), "ZF", "ZL", "ZP", or kMachineListingType.
    QString listingType = QStringLiteral("M1");
    bool zosMode = false;
    // Lines shorter than this are not entries (drops the Unix total line and blank lines).
    int minLineLength = 18;

    DateOrder dateOrder;
    // Today's local date, captured with the date order: "YYYY", "MM", "DD".
    QString todayYear;
    QString todayMonth;
    QString todayDay;

    // Where machine listings' UTC times are shown; invalid: the system's time zone.
    QTimeZone timeZone;
    // That zone's offset from UTC (seconds) for each UTC day seen in a machine listing whose
    // offset does not change during the day; converting every time alone is slow.
    QHash<qint64, int> utcDayOffsets;

    // How a Unix link is shown: 0 directory, 1 file, 2 file when its name holds a ".".
    int linkTreatment = 0;

    ZosColumns zosColumns;
    // Dataset-name prefixes ending in "." seen in the current z/OS listing, in listing order.
    QStringList zosDirs;
};

// One parsed listing line. The parsers reset every field first, so nothing carries over from the
// previous line.
struct ParsedEntry {
    QString name;
    QString sizeText;  // decimal digits (a Windows size word is kept as listed)
    bool isDirectory = false;
    QString permissions;  // Unix mode word, " " for the Windows form, z/OS attribute text
    QString rawDate;      // as listed, before normalisation

    void Clear() {
        name.clear();
        sizeText.clear();
        isDirectory = false;
        permissions.clear();
        rawDate.clear();
    }
};
