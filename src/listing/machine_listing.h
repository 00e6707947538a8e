#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <optional>

#include "listing/listing_state.h"

// Machine listings (MLSD lines, and the fact line of an MLST reply): "fact=value;...; name" with
// exact sizes, types and UTC times. Plain functions over text.

// The facts of one line that the program uses, as views into the line. Fact names are matched in
// any case; values are as written.
struct MachineFacts {
    QStringView name;
    QStringView type;  // "file", "dir", "cdir", "pdir", "OS.unix=slink:..." ...
    QStringView size;  // digits, from "size" (or "sizd" for a directory); empty when not given
    QStringView modify;
    QStringView unixMode;  // "UNIX.mode", e.g. "0755"
    QStringView perm;      // "perm", e.g. "adfrw"
};

// The facts of Line; nothing for a line without the "facts, blank, name" form or with no name.
std::optional<MachineFacts> ParseMachineFacts(QStringView line);

// A machine time "YYYYMMDDHHMMSS" with optional fractions of a second, read as UTC; invalid for
// anything else.
QDateTime ParseMachineTime(QStringView text);

// One MLSD line as a listing entry: the mode word from UNIX.mode (else the "perm" fact), the
// size as the Unix form gives it, the time converted from UTC into State's time zone as a raw
// date the listing's date rules read. False for the "cdir" and "pdir" entries, for lines
// without a type, and for lines that are not facts. Keeps the time zone's offsets per day in
// State.
bool ParseMachineListingLine(ListingState& state, QStringView line, ParsedEntry& entry);

// A "UNIX.mode" octal text as a mode word with Kind ('d', 'l', '-') in front: "0755" ->
// "drwxr-xr-x"; empty for text that is not octal.
QString ModeWordFromOctal(QChar kind, QStringView octal);
