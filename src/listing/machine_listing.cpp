#include "listing/machine_listing.h"

#include <algorithm>
#include <climits>

#include "listing/listing_parser.h"
#include "listing/text_words.h"

namespace {

// How far Text matches Lower (lower-case ASCII) from its start in any case: the length of Lower
// when all of it matched, -1 otherwise.
qsizetype MatchNoCase(QStringView text, const char* lower) {
    qsizetype i = 0;
    for (; lower[i] != 0; ++i) {
        if (i == text.size()) {
            return -1;
        }
        char16_t c = text[i].unicode();
        if (c >= u'A' && c <= u'Z') {
            c = char16_t(c + (u'a' - u'A'));
        }
        if (c != char16_t(lower[i])) {
            return -1;
        }
    }
    return i;
}

bool EqualsNoCase(QStringView text, const char* lower) {
    return MatchNoCase(text, lower) == text.size();
}

bool StartsWithNoCase(QStringView text, const char* lower) {
    return MatchNoCase(text, lower) >= 0;
}

// A machine time as its UTC day and the seconds into it; an invalid day when unreadable.
struct UtcTime {
    QDate day;
    int seconds = 0;
};

UtcTime ReadMachineTime(QStringView text) {
    if (text.size() > 14 && text[14] == u'.' && AllAsciiDigits(text.sliced(15))) {
        text = text.first(14);
    }
    if (text.size() != 14 || !AllAsciiDigits(text)) {
        return {};
    }
    const auto number = [&](qsizetype at, qsizetype length) {
        int value = 0;
        for (qsizetype i = at; i < at + length; ++i) {
            value = value * 10 + (text[i].unicode() - u'0');
        }
        return value;
    };
    const QDate day(number(0, 4), number(4, 2), number(6, 2));
    const int hour = number(8, 2);
    const int minute = number(10, 2);
    // Some servers write second 60 for a leap second; the minute is what is shown.
    const int second = std::min(number(12, 2), 59);
    if (!day.isValid() || hour > 23 || minute > 59) {
        return {};
    }
    return {day, (hour * 60 + minute) * 60 + second};
}

// The wall-clock day and seconds of a UTC time in State's zone. A day whose offset is the same
// at its start and its end keeps it for every time of that day; a day with a change is
// converted time by time.
UtcTime ShownTime(ListingState& state, const UtcTime& utc) {
    const auto convert = [&state](const QDateTime& time) {
        return state.timeZone.isValid() ? time.toTimeZone(state.timeZone) : time.toLocalTime();
    };
    const qint64 julian = utc.day.toJulianDay();
    auto known = state.utcDayOffsets.constFind(julian);
    if (known == state.utcDayOffsets.cend()) {
        const QDateTime start(utc.day, QTime(0, 0), Qt::UTC);
        const int first = convert(start).offsetFromUtc();
        const int last = convert(start.addSecs(86399)).offsetFromUtc();
        known = state.utcDayOffsets.insert(julian, first == last ? first : INT_MIN);
    }
    if (*known == INT_MIN) {
        const QDateTime shown =
            convert(QDateTime(utc.day, QTime(0, 0).addSecs(utc.seconds), Qt::UTC));
        return {shown.date(), shown.time().msecsSinceStartOfDay() / 1000};
    }
    int seconds = utc.seconds + *known;
    qint64 day = julian;
    if (seconds < 0) {
        seconds += 86400;
        --day;
    } else if (seconds >= 86400) {
        seconds -= 86400;
        ++day;
    }
    return {QDate::fromJulianDay(day), seconds};
}

char16_t* PutTwoDigits(int value, char16_t* out) {
    *out++ = char16_t(u'0' + value / 10);
    *out++ = char16_t(u'0' + value % 10);
    return out;
}

}  // namespace

QDateTime ParseMachineTime(QStringView text) {
    const UtcTime time = ReadMachineTime(text);
    if (!time.day.isValid()) {
        return {};
    }
    return QDateTime(time.day, QTime(0, 0).addSecs(time.seconds), Qt::UTC);
}

std::optional<MachineFacts> ParseMachineFacts(QStringView line) {
    // The facts end at the first blank (fact values hold none); the name is all that follows.
    const qsizetype blank = line.indexOf(u' ');
    if (blank < 0 || blank + 1 >= line.size()) {
        return std::nullopt;
    }
    const QStringView facts = line.first(blank);
    MachineFacts result;
    result.name = line.sliced(blank + 1);
    while (result.name.endsWith(u'\r')) {
        result.name.chop(1);
    }
    if (result.name.isEmpty() || (!facts.isEmpty() && !facts.endsWith(u';'))) {
        return std::nullopt;
    }
    QStringView sizd;
    // Each fact's name runs to its first "=", its value to the ";" (the facts end with one).
    const char16_t* chars = facts.utf16();
    const qsizetype count = facts.size();
    qsizetype start = 0;
    while (start < count) {
        qsizetype equals = start;
        while (chars[equals] != u'=' && chars[equals] != u';') {
            ++equals;
        }
        if (equals == start || chars[equals] == u';') {
            return std::nullopt;
        }
        qsizetype end = equals + 1;
        while (chars[end] != u';') {
            ++end;
        }
        const QStringView key(chars + start, equals - start);
        const QStringView value(chars + equals + 1, end - equals - 1);
        start = end + 1;
        // The wanted facts by their first letter: most facts are others and stop there.
        QStringView* slot = nullptr;
        switch (key[0].unicode() | 0x20) {
            case u't':
                slot = EqualsNoCase(key, "type") ? &result.type : nullptr;
                break;
            case u's':
                slot = EqualsNoCase(key, "size")   ? &result.size
                       : EqualsNoCase(key, "sizd") ? &sizd
                                                   : nullptr;
                break;
            case u'm':
                slot = EqualsNoCase(key, "modify") ? &result.modify : nullptr;
                break;
            case u'u':
                slot = EqualsNoCase(key, "unix.mode") ? &result.unixMode : nullptr;
                break;
            case u'p':
                slot = EqualsNoCase(key, "perm") ? &result.perm : nullptr;
                break;
            default:
                break;
        }
        if (slot != nullptr) {
            *slot = value;
        }
    }
    // A size that is no number is as good as none.
    if (!AllAsciiDigits(result.size)) {
        result.size = {};
    }
    if (result.size.isEmpty() && AllAsciiDigits(sizd)) {
        result.size = sizd;
    }
    return result;
}

QString ModeWordFromOctal(QChar kind, QStringView octal) {
    if (octal.isEmpty() || octal.size() > 5) {
        return {};
    }
    int mode = 0;
    for (const QChar c : octal) {
        if (c < u'0' || c > u'7') {
            return {};
        }
        mode = mode * 8 + (c.unicode() - u'0');
    }
    char16_t word[10] = {kind.unicode(), u'-', u'-', u'-', u'-', u'-', u'-', u'-', u'-', u'-'};
    static const char16_t letters[3] = {u'r', u'w', u'x'};
    for (int bit = 0; bit < 9; ++bit) {
        if (mode & (0400 >> bit)) {
            word[1 + bit] = letters[bit % 3];
        }
    }
    // Set-id and sticky bits, as ls shows them.
    const auto special = [&](int flag, int at, char16_t withX, char16_t withoutX) {
        if (mode & flag) {
            word[at] = word[at] == u'x' ? withX : withoutX;
        }
    };
    special(04000, 3, u's', u'S');
    special(02000, 6, u's', u'S');
    special(01000, 9, u't', u'T');
    return QString(reinterpret_cast<const QChar*>(word), 10);
}

bool ParseMachineListingLine(ListingState& state, QStringView line, ParsedEntry& entry) {
    entry.Clear();
    const std::optional<MachineFacts> facts = ParseMachineFacts(line);
    if (!facts || facts->type.isEmpty() || EqualsNoCase(facts->type, "cdir") ||
        EqualsNoCase(facts->type, "pdir")) {
        return false;
    }
    const QStringView type = facts->type;
    const bool link =
        StartsWithNoCase(type, "os.unix=slink") || StartsWithNoCase(type, "os.unix=symlink");
    const bool directory = EqualsNoCase(type, "dir");
    if (!link && !directory && !EqualsNoCase(type, "file") && !StartsWithNoCase(type, "os.")) {
        return false;
    }
    const QChar kind = link ? u'l' : directory ? u'd' : u'-';
    entry.name = facts->name.toString();
    entry.isDirectory = link ? LinkShownAsDirectory(state.linkTreatment, entry.name) : directory;
    entry.permissions = ModeWordFromOctal(kind, facts->unixMode);
    if (entry.permissions.isEmpty()) {
        entry.permissions = kind;
        entry.permissions += facts->perm;
    }
    entry.sizeText = QString(facts->size.size() + 1, u'0');
    std::copy(facts->size.begin(), facts->size.end(), entry.sizeText.begin() + 1);
    const UtcTime modify = ReadMachineTime(facts->modify);
    if (modify.day.isValid()) {
        // "Mon DD YYYY HH:MM", the numeric raw date the listing's date rules read (a year before
        // 1000, which no file has, is left without a date).
        const UtcTime shown = ShownTime(state, modify);
        int year = 0;
        int month = 0;
        int day = 0;
        shown.day.getDate(&year, &month, &day);
        if (year >= 1000 && year <= 9999) {
            char16_t raw[17];
            char16_t* out = std::copy_n(EnglishMonth(month).utf16(), 3, raw);
            *out++ = u' ';
            out = PutTwoDigits(day, out);
            *out++ = u' ';
            out = PutTwoDigits(year / 100, out);
            out = PutTwoDigits(year % 100, out);
            *out++ = u' ';
            out = PutTwoDigits(shown.seconds / 3600, out);
            *out++ = u':';
            out = PutTwoDigits(shown.seconds / 60 % 60, out);
            entry.rawDate = QString(reinterpret_cast<const QChar*>(raw), out - raw);
        }
    }
    return true;
}
