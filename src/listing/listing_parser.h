#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>

#include "listing/listing_state.h"

// Recognises the form of a remote listing, parses its lines into entries and normalises listed
// dates and times into sortable text. Plain functions over text; the caller owns the state.

// Sets the listing type, z/OS mode and minimum line length: a z/OS type from the header (line 0),
// otherwise the form of the first line that parses as an entry ("M1" when none does). For the
// z/OS forms it also clears the pseudo-directory list and locates the columns. Does nothing for an
// empty listing.
void ExamineFirstDirEntRec(ListingState& state, const QStringList& lines);

// Sets the state for a machine listing (MLSD): its lines are facts, so nothing is detected.
void UseMachineListing(ListingState& state);

// Parses one listing line with the parser of the current listing type. False when the line is no
// entry (no name): the caller skips it.
bool Parse_Dir_Entry(ListingState& state, QStringView line, ParsedEntry& entry);
// The form the line fits, whatever the listing type: the Unix form for a line that starts with a
// mode word, the Windows form for one that starts with a date and a time; no entry otherwise.
bool Parse_Dir_Entry_Non_MVS(const ListingState& state, QStringView line, ParsedEntry& entry);

// "Jan" ... "Dec" for 1 ... 12, the month words raw dates are written with.
QStringView EnglishMonth(int month);

// How a link is shown with the site's link treatment (0 directory, 1 file, 2 file when its name
// holds a ".").
bool LinkShownAsDirectory(int linkTreatment, QStringView name);

// "YYYY-MM-DD" from a raw date such as "Mar 3 14:07" or "Jan 05 2004"; the raw date unchanged when
// it has fewer than three words or the date order is not known.
QString DateRemote(const ListingState& state, QStringView rawDate);
// "HH:MM" from a raw date, or empty text when it holds no time.
QString TimeRemote(QStringView rawDate);
// An entry's modified text: date, three blanks, time; the raw date itself when the date order is
// not known.
QString RemoteModifiedText(const ListingState& state, QStringView rawDate);

// The order of day, month and year in a short date format such as "dd/MM/yyyy" or "M/d/yy".
DateOrder DateOrderFromFormat(const QString& shortDateFormat);
// Sets the date order and today's date (formatted with the short date format and read back, as a
// date from the system would be).
void SetDateOrderAndToday(ListingState& state, const QString& shortDateFormat, const QDate& today);

// A date written in the short date format as "YYYY-MM-DD"; unchanged when the order is not known.
QString DateLocal(const DateOrder& order, const QString& localDate);
// A local time text ("1:05:09 PM", "13:05") as "HH:MM:SS" on the 24-hour clock.
QString TimeLocal(const QString& localTime);
