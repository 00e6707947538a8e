#include "listing/zos_listing.h"

#include <algorithm>

#include "config/scrambling.h"
#include "listing/text_words.h"
#include "listing/zos_names.h"

namespace {

constexpr int kPadding = 22;

// The 1-based position of Word in the header, found with single blanks around it (the header is
// padded with a blank in front and blanks behind); 0 when it is not there.
int WordPosition(const QString& padded, QStringView word) {
    QString needle;
    needle.reserve(word.size() + 2);
    needle += u' ';
    needle += word;
    needle += u' ';
    const qsizetype at = padded.indexOf(needle);
    return at < 0 ? 0 : int(at) + 1;
}

// A column starting Shift characters before a header word, never before the line's start.
ZosColumn ColumnBefore(int wordPosition, int shift, int width) {
    if (wordPosition == 0) {
        return {};
    }
    return {std::max(1, wordPosition - shift), width};
}

ZosColumn ColumnAt(int wordPosition, int width) {
    return wordPosition == 0 ? ZosColumn{} : ZosColumn{wordPosition, width};
}

// The character at a 1-based position of the padded sample line, a blank beyond its end.
QChar CharAt(const QString& text, int position) {
    return position >= 1 && position <= text.size() ? text[position - 1] : QChar(u' ');
}

// Member lists put the column captions where they fit, not over the data: a data line with all
// its columns shows where the date and the user id really start.
void AlignMemberColumns(ListingState& state, const QStringList& lines, const QString& header) {
    QString sample;
    bool align = false;
    if (TextWords(header) >= 9) {
        sample = header;
        align = true;
    } else {
        int most = 0;
        qsizetype mostAt = -1;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const int words = TextWords(lines[i]);
            if (words > 8) {
                mostAt = i;
                most = words;
                break;
            }
            if (words > most) {
                most = words;
                mostAt = i;
            }
        }
        if (mostAt > 0 && most > 1) {
            sample = lines[mostAt];
            align = true;
        }
    }
    if (!align) {
        return;
    }
    sample += QString(kPadding, u' ');

    ZosColumn& date = state.zosColumns.date;
    if (date.start > 0) {
        for (int back = 1; back <= 9; ++back) {
            const int position = date.start - back;
            if (position < 1) {
                date.start = 1;
                break;
            }
            if (CharAt(sample, position) == u' ') {
                date.start = position + 1;
                break;
            }
        }
    }

    ZosColumn& userId = state.zosColumns.userId;
    if (userId.start >= 6) {
        for (const int offset : {0, 1, 2, 3, -1, -2, -3}) {
            const int position = userId.start + offset;
            if (CharAt(sample, position) != u' ' && CharAt(sample, position - 1) == u' ') {
                userId.start = position;
                break;
            }
        }
    }
}

// The text of a column of Line, without blanks and control characters at its ends.
QStringView Field(QStringView line, const ZosColumn& column) {
    if (column.start < 1) {
        return {};
    }
    return TrimControls(line.mid(column.start - 1, column.width));
}

// A volume serial: one to six letters, digits or national characters.
bool IsVolumeSerial(QStringView word) {
    if (word.isEmpty() || word.size() > 6) {
        return false;
    }
    for (const QChar c : word) {
        const char16_t u = c.unicode();
        if (!((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') ||
              u == u'@' || u == u'#' || u == u'$')) {
            return false;
        }
    }
    return true;
}

bool IsDigits(QStringView text) {
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

bool IsHexDigits(QStringView text) {
    for (const QChar c : text) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f'))) {
            return false;
        }
    }
    return true;
}

bool IsDateSeparator(QChar c) {
    return c == u'/' || c == u'-' || c == u'.';
}

// A date with a two-digit year, "12/29/95" (month first) or "95/12/29" (year first).
bool IsShortZosDate(QStringView text) {
    return text.size() == 8 && IsDateSeparator(text[2]) && text[2] == text[5] &&
           IsDigits(text.first(2)) && IsDigits(text.sliced(3, 2)) && IsDigits(text.sliced(6, 2));
}

// "2023/05/10" (also with "-" or "."), a date with a two-digit year, or "**NONE**" for a dataset
// never referred to.
bool IsZosDate(QStringView text) {
    if (text == u"**NONE**" || IsShortZosDate(text)) {
        return true;
    }
    if (text.size() != 10 || text[4] != text[7] || !IsDateSeparator(text[4])) {
        return false;
    }
    return IsDigits(text.first(4)) && IsDigits(text.sliced(5, 2)) && IsDigits(text.sliced(8, 2));
}

// A two-digit-year date as "YYYY/MM/DD", so that it sorts with the others: years 69 to 99 are
// 1969 to 1999, the rest 2000 to 2068. A date in neither order keeps its text.
QString FullYearDate(QStringView text) {
    if (!IsShortZosDate(text)) {
        return text.toString();
    }
    const int a = text.first(2).toInt();
    const int b = text.sliced(3, 2).toInt();
    const int c = text.sliced(6, 2).toInt();
    int year = 0;
    int month = 0;
    int day = 0;
    if (a >= 1 && a <= 12 && b >= 1 && b <= 31) {
        month = a, day = b, year = c;
    } else if (b >= 1 && b <= 12 && c >= 1 && c <= 31) {
        year = a, month = b, day = c;
    } else {
        return text.toString();
    }
    year += year >= 69 ? 1900 : 2000;
    return QStringLiteral("%1/%2/%3")
        .arg(year)
        .arg(month, 2, 10, QChar(u'0'))
        .arg(day, 2, 10, QChar(u'0'));
}

// A name as the listings write it: no blanks or control characters inside.
bool IsListedName(QStringView name) {
    if (name.isEmpty()) {
        return false;
    }
    for (const QChar c : name) {
        if (c.unicode() < 33) {
            return false;
        }
    }
    return true;
}

// The date of a dataset line. The column is where the "Referred" caption puts it; a header that
// says "Date" may stand elsewhere over the same dates, so a date word starting near the column
// is taken too. Empty when the column is blank; a non-date when the line holds none.
QStringView DatasetDate(QStringView line, const ZosColumn& column) {
    const QStringView at = Field(line, column);
    if (at.isEmpty() || IsZosDate(at)) {
        return at;
    }
    // A two-digit-year date leaves the rest of the column blank.
    if (const QStringView first = TextWordView(at, 1); IsShortZosDate(first)) {
        return first;
    }
    const qsizetype from = std::max<qsizetype>(0, column.start - 1 - 8);
    const qsizetype to = std::min<qsizetype>(line.size(), column.start - 1 + 8);
    for (qsizetype p = from; p < to; ++p) {
        if (line[p] != u' ' && (p == 0 || line[p - 1] == u' ')) {
            qsizetype end = p;
            while (end < line.size() && line[end] != u' ') {
                ++end;
            }
            const QStringView word = line.sliced(p, end - p);
            if (IsZosDate(word)) {
                return word;
            }
        }
    }
    return at;
}

// The Used column when the plain column does not hold a number: the numbers between the date and
// the Recfm column, where an Ext value too wide for its column is glued to the date
// ("2010/03/09123") or to Used, and an overflowed value carries a "+" ("123+99999"). The last
// number is Used; empty when the words there are not numbers.
QStringView UsedAfterDate(QStringView line, QStringView date, const ZosColumn& recfm) {
    if (!IsZosDate(date) || recfm.start < 1) {
        return {};
    }
    qsizetype from = date.data() - line.data() + date.size();
    // An overflowed Used value may run on into the Recfm column.
    qsizetype to = std::min<qsizetype>(line.size(), recfm.start - 1);
    while (to < line.size() && line[to] != u' ') {
        ++to;
    }
    QStringView used;
    while (from < to) {
        while (from < to && (line[from] == u' ' || line[from] == u'+')) {
            ++from;
        }
        qsizetype end = from;
        while (end < to && line[end] != u' ' && line[end] != u'+') {
            ++end;
        }
        if (end > from) {
            used = line.sliced(from, end - from);
            if (!IsDigits(used)) {
                return {};
            }
        }
        from = end;
    }
    return used;
}

}  // namespace

void SetUpZosColumns(ListingState& state, const QStringList& lines) {
    state.zosDirs.clear();
    state.zosColumns = ZosColumns{};
    if (lines.isEmpty()) {
        return;
    }
    const QString& header = lines[0];
    const QString padded = u' ' + header + QString(kPadding, u' ');
    ZosColumns& c = state.zosColumns;
    const QString& type = state.listingType;
    if (type == u"ZF") {
        c.name = ColumnBefore(WordPosition(padded, u"Dsname"), 1, 44);
        c.dsorg = ColumnAt(WordPosition(padded, u"Dsorg"), 5);
        c.recfm = ColumnAt(WordPosition(padded, u"Recfm"), 5);
        int referred = WordPosition(padded, u"Referred");
        if (referred == 0) {
            referred = WordPosition(padded, u"Date");
        }
        c.date = ColumnBefore(referred, 1, 10);
        c.size = ColumnBefore(WordPosition(padded, u"Used"), 1, 5);
        c.volume = ColumnAt(WordPosition(padded, u"Volume"), 8);
    } else if (type == u"ZL") {
        c.name = ColumnBefore(WordPosition(padded, u"Name"), 1, 8);
        c.amode = ColumnAt(WordPosition(padded, u"Amode"), 5);
        c.rmode = ColumnAt(WordPosition(padded, u"Rmode"), 5);
        const int size = WordPosition(padded, u"Size");
        c.size = ColumnBefore(size, 2, 6);
        if (c.amode.start > 0 && c.size.start > 0 && CharAt(header, c.size.start) == u' ') {
            c.size.start = size;
        }
    } else if (type == u"ZP") {
        c.name = ColumnBefore(WordPosition(padded, u"Name"), 1, 8);
        c.size = ColumnBefore(WordPosition(padded, u"Size"), 2, 6);
        c.date = ColumnAt(WordPosition(padded, u"Changed"), 16);
        c.userId = ColumnBefore(WordPosition(padded, u"Id"), 2, 8);
        AlignMemberColumns(state, lines, header);
        // A member without statistics is listed as its bare name.
        state.minLineLength = 1;
    }
}

namespace {

// Dataset lists: besides the dataset lines, "Migrated" lines (no date, no size) and "Pseudo
// Directory" lines (a prefix with datasets under it, shown as a directory). A line whose present
// columns hold the wrong kind of value (no volume serial, no date, no number) is error or
// connector text, not an entry.
bool ParseDatasetLine(ListingState& state, QStringView line, ParsedEntry& entry) {
    const ZosColumns& c = state.zosColumns;
    const QStringView lead = TrimControls(line);
    if (lead.startsWith(u"Pseudo Directory")) {
        QStringView name = Field(line, c.name);
        if (!IsListedName(name)) {
            name = TextWordView(lead, TextWords(lead));
        }
        if (name == u"Directory" || !IsListedName(name)) {
            return false;
        }
        entry.name = name.toString();
        entry.isDirectory = true;
        return true;
    }
    // Comment lines some sites add to the list.
    if (lead.startsWith(u'*') || lead.startsWith(u"/*")) {
        return false;
    }
    const bool migrated = lead.startsWith(u"Migrated");
    QStringView name = Field(line, c.name);
    if (migrated && !IsListedName(name)) {
        // Not aligned under the header: the last word is the dataset.
        name = TextWordView(lead, TextWords(lead));
        if (name == u"Migrated") {
            return false;
        }
    }
    if (!IsListedName(name)) {
        return false;
    }
    // A migrated dataset has no date; its line may not reach the date column at all.
    const QStringView date = migrated ? QStringView() : DatasetDate(line, c.date);
    QStringView size = Field(line, c.size);
    if (!IsDigits(size)) {
        size = migrated ? QStringView() : UsedAfterDate(line, date, c.recfm);
        if (size.isEmpty()) {
            return false;
        }
    }
    if (!migrated) {
        if (!date.isEmpty() && !IsZosDate(date)) {
            return false;
        }
        const QStringView volume = TextWordView(Field(line, c.volume), 1);
        if (!volume.isEmpty() && !IsVolumeSerial(volume)) {
            return false;
        }
    }
    entry.name = name.toString();
    if (!size.isEmpty()) {
        entry.sizeText = size.toString();
    }
    entry.rawDate = FullYearDate(date);
    if (entry.rawDate.isEmpty() && migrated) {
        entry.rawDate = QStringLiteral("Migrated");
    }
    const QStringView recfm = Field(line, c.recfm);
    const QStringView dsorg = Field(line, c.dsorg);
    entry.permissions = recfm.toString();
    if (!recfm.isEmpty() && !dsorg.isEmpty()) {
        entry.permissions += QStringView(u" - ");
    }
    entry.permissions += dsorg;
    return true;
}

}  // namespace

bool Parse_Dir_Entry_MVS(ListingState& state, QStringView line, ParsedEntry& entry) {
    entry.Clear();
    const ZosColumns& c = state.zosColumns;
    const QString& type = state.listingType;
    entry.sizeText = QStringLiteral("0");
    entry.isDirectory = false;

    bool ok = true;
    if (type == u"ZF") {
        ok = ParseDatasetLine(state, line, entry);
    } else {
        // Member names have no blanks; sizes are numbers (hexadecimal in load libraries) and a
        // member's date starts with a digit.
        const QStringView name = Field(line, c.name);
        const QStringView size = Field(line, c.size);
        ok = IsListedName(name) && (type == u"ZL" ? IsHexDigits(size) : IsDigits(size));
        if (ok) {
            entry.name = name.toString();
            if (!size.isEmpty()) {
                entry.sizeText = size.toString();
            }
        }
        if (ok && type == u"ZL") {
            entry.permissions = Field(line, c.amode).toString();
            entry.permissions += u' ';
            entry.permissions += Field(line, c.rmode);
            entry.sizeText =
                QString::number(scrambling::GetDecimalFromHex(entry.sizeText.toLatin1()));
        } else if (ok && type == u"ZP") {
            const QStringView date = Field(line, c.date);
            ok = date.isEmpty() || (date[0] >= u'0' && date[0] <= u'9');
            entry.permissions = Field(line, c.userId).toString();
            entry.rawDate = date.toString();
        }
    }
    if (!ok) {
        entry.Clear();
        return false;
    }

    if (entry.name.indexOf(u'.', 1) > 0) {
        AddMVSDirs(state, entry.name);
    }
    return !entry.name.isEmpty();
}

void AddMVSDirs(ListingState& state, const QString& name) {
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0) {
        AddMVSDir(state, name.left(dot + 1));
    }
}

void AddMVSDir(ListingState& state, const QString& prefix) {
    if (!state.zosDirs.contains(prefix)) {
        state.zosDirs.append(prefix);
    }
}

bool InPDS(const ListingState& state) {
    return state.listingType == u"ZP" || state.listingType == u"ZL";
}

ZosListingLook ZosListingLookFor(const QString& listingType) {
    if (listingType == u"ZF") {
        return {QStringLiteral("Dsorg"), QStringLiteral("Tracks"), 1};
    }
    if (listingType == u"ZL") {
        return {QStringLiteral("Mode"), QStringLiteral("Size"), 2};
    }
    if (listingType == u"ZP") {
        return {QStringLiteral("Userid"), QStringLiteral("Size"), 1};
    }
    return {QStringLiteral("Permissions"), QStringLiteral("Size"), -1};
}

QString ZosComboText(const QString& text) {
    if (text.size() > 2 && text.startsWith(u'\'') && text.endsWith(u'\'')) {
        return text.mid(1, text.size() - 2);
    }
    return text;
}

QString NormaliseZosCurrentDir(const ListingState& state, const QString& dir) {
    QString result = JoinRemotePath(true, NoMVSQuotes(true, dir), QString());
    if (InPDS(state) && result.endsWith(u'.')) {
        result.chop(1);
    }
    return result;
}

qint64 ZosSizeEstimate(qint64 tracks, bool migrated) {
    if (migrated || tracks == 0) {
        return 2147483647;
    }
    return tracks * 56664;
}
