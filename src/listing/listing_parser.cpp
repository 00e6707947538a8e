#include "listing/listing_parser.h"

#include <QLocale>
#include <algorithm>

#include "config/words.h"
#include "listing/text_words.h"
#include "listing/zos_listing.h"

namespace {

const char16_t* const kMonthAbbrevs[12] = {u"jan", u"feb", u"mar", u"apr", u"may", u"jun",
                                           u"jul", u"aug", u"sep", u"oct", u"nov", u"dec"};
const char16_t* const kWindowsMonths[12] = {u"Jan ", u"Feb ", u"Mar ", u"Apr ", u"May ", u"Jun ",
                                            u"Jul ", u"Aug ", u"Sep ", u"Oct ", u"Nov ", u"Dec "};

inline bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool AllDigits(QStringView text) {
    if (text.isEmpty()) {
        return false;
    }
    for (const QChar c : text) {
        if (!IsDigit(c)) {
            return false;
        }
    }
    return true;
}

// 1-12 for "jan" ... "dec" in any case, 0 otherwise.
int MonthNumber(QStringView word) {
    if (word.size() != 3) {
        return 0;
    }
    for (int i = 0; i < 12; ++i) {
        if (word.compare(QStringView(kMonthAbbrevs[i]), Qt::CaseInsensitive) == 0) {
            return i + 1;
        }
    }
    return 0;
}

QString PadTwo(QStringView text) {
    return text.size() == 1 ? u'0' + text.toString() : text.toString();
}

QString TwoDigits(int value) {
    return QString(QChar(u'0' + value / 10)) + QChar(u'0' + value % 10);
}

// Windows form: "01-05-04  01:30PM       <DIR>          My Docs".
bool ParseWindowsLine(QStringView line, ParsedEntry& entry) {
    QStringView words[4];
    SplitWords(line, words, 4);
    const QStringView sizeWord = words[2];
    if (sizeWord == u"<DIR>") {
        entry.isDirectory = true;
        entry.sizeText = QStringLiteral("0");
    } else {
        entry.sizeText = sizeWord.toString();
    }
    entry.permissions = QStringLiteral(" ");

    QStringView dateWord = words[0];
    if (dateWord.size() < 7) {
        return false;
    }
    // A one-digit month gets its "0" in front of the whole word, so a four-digit year survives.
    QString paddedDate;
    if (dateWord[1] == u'-') {
        paddedDate = u'0' + dateWord.toString();
        dateWord = paddedDate;
    }

    QString rawDate;
    rawDate.reserve(18);
    if (IsDigit(dateWord[0]) && IsDigit(dateWord[1])) {
        const int month = (dateWord[0].unicode() - u'0') * 10 + (dateWord[1].unicode() - u'0');
        if (month >= 1 && month <= 12) {
            rawDate += QStringView(kWindowsMonths[month - 1]);
            rawDate += dateWord.sliced(3, 2);
        }
    }
    rawDate += u' ';
    if (dateWord.size() > 9) {
        rawDate += dateWord.sliced(6, 4);
    } else {
        const QStringView year = dateWord.mid(6, 2);
        rawDate += (year[0] == u'8' || year[0] == u'9') ? u"19" : u"20";
        rawDate += year;
    }

    QStringView timeWord = words[1];
    QString paddedTime;
    if (timeWord.size() > 3 && timeWord[1] == u':') {
        paddedTime = u'0' + timeWord.toString();
        timeWord = paddedTime;
    }
    if (timeWord.size() == 7) {
        const QStringView hour = timeWord.first(2);
        const bool am = timeWord.sliced(5).compare(u"AM", Qt::CaseInsensitive) == 0;
        rawDate += u' ';
        if (am) {
            rawDate += hour == u"12" ? QStringView(u"00") : hour;
        } else {
            const int h = AllDigits(hour) ? hour.toInt() : 0;
            if (h >= 1 && h <= 11) {
                rawDate += TwoDigits(h + 12);
            } else {
                rawDate += hour;
            }
        }
        rawDate += timeWord.sliced(2, 3);
    } else if (timeWord.size() == 5) {
        rawDate += u' ';
        rawDate += timeWord;
    }
    entry.rawDate = std::move(rawDate);

    // The name starts at the fourth word counted at single blanks, so inner blanks survive.
    int blankWords = 0;
    for (qsizetype p = 0; p < line.size(); ++p) {
        if (line[p] != u' ' && (p == 0 || line[p - 1] == u' ') && ++blankWords == 4) {
            entry.name = TrimControls(line.sliced(p)).toString();
            return !entry.name.isEmpty();
        }
    }
    entry.name = words[3].toString();
    return !entry.name.isEmpty();
}

// Unix forms: "drwxr-xr-x   2 user group 4096 Jan 05 12:34 cgi-bin" ("U1"), or without the
// group column ("U2"). Only blanks separate fields here.
bool ParseUnixLine(const ListingState& state, QStringView line, ParsedEntry& entry) {
    const qsizetype size = line.size();
    if (size == 0) {
        return false;
    }
    const QChar kind = line[0].toLower();
    entry.isDirectory = kind == u'd';

    qsizetype p = 0;
    auto skipBlanks = [&] {
        while (p < size && line[p] == u' ') {
            ++p;
        }
    };
    auto takeWord = [&] {
        const qsizetype start = p;
        while (p < size && line[p] != u' ') {
            ++p;
        }
        return line.sliced(start, p - start);
    };

    entry.permissions = takeWord().toString();
    skipBlanks();
    takeWord();  // link count
    skipBlanks();
    takeWord();  // owner
    if (state.listingType == u"U1") {
        skipBlanks();
        takeWord();  // group
    }
    skipBlanks();
    const QStringView sizeWord = takeWord();
    QString sizeText;
    sizeText.reserve(sizeWord.size() + 1);
    sizeText += u'0';
    for (const QChar c : sizeWord) {
        if (IsDigit(c)) {
            sizeText += c;
        }
    }
    entry.sizeText = std::move(sizeText);

    skipBlanks();
    const QStringView month = takeWord();
    skipBlanks();
    const QStringView day = takeWord();
    skipBlanks();
    const QStringView timeOrYear = takeWord();
    QString rawDate;
    rawDate.reserve(month.size() + day.size() + timeOrYear.size() + 2);
    rawDate += month;
    rawDate += u' ';
    rawDate += day;
    rawDate += u' ';
    rawDate += timeOrYear;
    entry.rawDate = std::move(rawDate);

    skipBlanks();
    QStringView name = line.sliced(p);
    if (name.size() >= 5) {
        const qsizetype arrow = name.indexOf(u" ->", 1);
        if (arrow > 0) {
            name = name.first(arrow);
        }
    }
    entry.name = name.toString();
    if (kind == u'l') {
        switch (state.linkTreatment) {
            case 0:
                entry.isDirectory = true;
                break;
            case 1:
                entry.isDirectory = false;
                break;
            default:
                entry.isDirectory = !name.contains(u'.');
                break;
        }
    }
    return !entry.name.isEmpty();
}

}  // namespace

void ExamineFirstDirEntRec(ListingState& state, const QStringList& lines) {
    if (lines.isEmpty()) {
        return;
    }
    const QString& header = lines[0];
    const QString& sample = lines.size() > 1 ? lines[1] : lines[0];
    const QStringView header1 = TextWordView(header, 1);
    const QStringView header2 = TextWordView(header, 2);
    const QStringView sample1 = TextWordView(sample, 1);
    const QStringView sample6 = TextWordView(sample, 6);

    QString type = QStringLiteral("M1");
    if (header1 == u"Volume" || header1 == u"Volid") {
        type = QStringLiteral("ZF");
    } else if (header1 == u"Name" && header2 == u"VV.MM") {
        type = QStringLiteral("ZP");
    } else if (header1 == u"Name" && header2 == u"Size") {
        type = QStringLiteral("ZL");
    } else if (!sample6.isEmpty() && sample1.size() == 10) {
        if (!IsWholeNumber(sample6.toString())) {
            type = QStringLiteral("U1");  // word 6 is the month: a group column is present
        } else if (std::none_of(sample1.begin(), sample1.end(), IsDigit)) {
            type = QStringLiteral("U2");  // word 6 is the day
        }
    }
    state.listingType = type;
    state.minLineLength = type == u"M1" ? 18 : 20;
    state.zosMode = type.startsWith(u'Z');
    if (state.zosMode) {
        SetUpZosColumns(state, lines);
    }
}

bool Parse_Dir_Entry(ListingState& state, QStringView line, ParsedEntry& entry) {
    if (state.zosMode) {
        return Parse_Dir_Entry_MVS(state, line, entry);
    }
    return Parse_Dir_Entry_Non_MVS(state, line, entry);
}

bool Parse_Dir_Entry_Non_MVS(const ListingState& state, QStringView line, ParsedEntry& entry) {
    entry.Clear();
    if (state.listingType == u"M1") {
        return ParseWindowsLine(line, entry);
    }
    return ParseUnixLine(state, line, entry);
}

namespace {

// The value of a text of digits only; -1 for anything else (or a value too long to be a date).
int DigitsValue(QStringView text) {
    if (text.isEmpty() || text.size() > 9) {
        return -1;
    }
    int value = 0;
    for (const QChar c : text) {
        if (!IsDigit(c)) {
            return -1;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

void AppendNumber(int value, QString& out) {
    char16_t digits[12];
    int count = 0;
    const bool negative = value < 0;
    unsigned magnitude = negative ? 0u - unsigned(value) : unsigned(value);
    do {
        digits[count++] = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) {
        out += u'-';
    }
    while (count > 0) {
        out += QChar(digits[--count]);
    }
}

// The year of a listed date that shows a time instead: the entry is from the last months, or a
// little in the future when the server's clock runs ahead of ours.
void AppendYearOfTime(const ListingState& state, int month, int day, QString& out) {
    int year = DigitsValue(state.todayYear);
    if (year < 0) {
        out += state.todayYear;
        return;
    }
    bool movedForward = false;
    if (state.todayMonth == u"12" && month == 1) {
        ++year;
        movedForward = true;
    } else if (state.todayMonth == u"01" && month == 12) {
        --year;
    }
    // A date after today belongs to last year, unless it was just moved across the new year on
    // purpose (on 31 December a server ahead of us lists 1 January).
    const int todayMonth = DigitsValue(state.todayMonth);
    const int todayDay = DigitsValue(state.todayDay);
    if (!movedForward && month > 0 && day >= 0 && todayMonth >= 0 && todayDay >= 0) {
        const qint64 listed = qint64(year) * 10000 + month * 100 + day;
        const qint64 today =
            qint64(DigitsValue(state.todayYear)) * 10000 + todayMonth * 100 + todayDay;
        if (listed > today) {
            --year;
        }
    }
    AppendNumber(year, out);
}

void AppendDateRemote(const ListingState& state, const QStringView (&words)[3], QString& out) {
    const int month = MonthNumber(words[0]);
    int day = -1;
    if (month > 0 && words[1].size() <= 2) {
        day = DigitsValue(words[1]);
    }
    if (words[2].contains(u':')) {
        AppendYearOfTime(state, month, day, out);
    } else if (words[2].size() == 2) {
        const QChar first = words[2][0];
        out += (first == u'7' || first == u'8' || first == u'9') ? u"19" : u"20";
        out += words[2];
    } else {
        out += words[2];
    }
    out += u'-';
    if (month > 0) {
        out += QChar(u'0' + month / 10);
        out += QChar(u'0' + month % 10);
        out += u'-';
        if (words[1].size() == 1) {
            out += u'0';
        }
        out += words[1];
    } else {
        out += u"0?-0?";
    }
}

void AppendTimeRemote(QStringView rawDate, QString& out) {
    QStringView words[4];
    const int count = SplitWords(rawDate, words, 4);
    if (count <= 2) {
        return;
    }
    QStringView time = words[2];
    if (!time.contains(u':') && count >= 4) {
        time = words[3];
    }
    if (!time.contains(u':')) {
        return;
    }
    if (time[1] == u':') {
        out += u'0';
        time = time.first(std::min<qsizetype>(time.size(), 4));
    } else {
        time = time.first(std::min<qsizetype>(time.size(), 5));
    }
    out += time;
}

}  // namespace

QString DateRemote(const ListingState& state, QStringView rawDate) {
    QStringView words[3];
    if (!state.dateOrder.known || SplitWords(rawDate, words, 3) < 3) {
        return rawDate.toString();
    }
    QString result;
    result.reserve(10);
    AppendDateRemote(state, words, result);
    return result;
}

QString TimeRemote(QStringView rawDate) {
    QString result;
    AppendTimeRemote(rawDate, result);
    return result;
}

QString RemoteModifiedText(const ListingState& state, QStringView rawDate) {
    if (!state.dateOrder.known) {
        return rawDate.toString();
    }
    QString result;
    result.reserve(18);
    QStringView words[3];
    if (SplitWords(rawDate, words, 3) < 3) {
        // A date without a time (z/OS) keeps its text; the blanks keep the layout.
        result += rawDate;
        result += u"   ";
        return result;
    }
    AppendDateRemote(state, words, result);
    result += u"   ";
    AppendTimeRemote(rawDate, result);
    return result;
}

DateOrder DateOrderFromFormat(const QString& shortDateFormat) {
    DateOrder order;
    const QString format = shortDateFormat.toUpper();
    if (format.isEmpty()) {
        return order;
    }
    QChar letters[3] = {format[0], QChar(), QChar()};
    for (qsizetype i = 0; i + 1 < format.size(); ++i) {
        const QChar c = format[i];
        const QChar next = format[i + 1];
        if ((c == u'/' || c == u'-' || c == u'.' || c == u' ') &&
            (next == u'D' || next == u'M' || next == u'Y')) {
            (letters[1].isNull() ? letters[1] : letters[2]) = next;
        }
    }
    order.known = !letters[2].isNull();
    if (order.known) {
        order.letters = QString(letters, 3);
    }
    return order;
}

void SetDateOrderAndToday(ListingState& state, const QString& shortDateFormat, const QDate& today) {
    state.dateOrder = DateOrderFromFormat(shortDateFormat);
    if (state.dateOrder.known) {
        const QString local =
            DateLocal(state.dateOrder, QLocale::c().toString(today, shortDateFormat));
        state.todayYear = local.mid(0, 4);
        state.todayMonth = local.mid(5, 2);
        state.todayDay = local.mid(8, 2);
    } else {
        state.todayYear = today.toString(u"yyyy");
        state.todayMonth = today.toString(u"MM");
        state.todayDay = today.toString(u"dd");
    }
}

QString DateLocal(const DateOrder& order, const QString& localDate) {
    if (!order.known || order.letters.size() != 3) {
        return localDate;
    }
    QString text = localDate;
    for (QChar& c : text) {
        if (c == u'/' || c == u'-' || c == u'.') {
            c = u' ';
        }
    }
    QStringView words[3];
    SplitWords(text, words, 3);
    const QString& o = order.letters;

    QString day = (o[0] == u'D' ? words[0] : o[1] == u'D' ? words[1] : words[2]).toString();
    QString month = (o[1] == u'M' ? words[1] : o[0] == u'M' ? words[0] : words[2]).toString();
    QString year = (o[2] == u'Y' ? words[2] : o[0] == u'Y' ? words[0] : words[1]).toString();
    if (month.size() > 2) {
        month = month.left(3).toLower();
        const int number = MonthNumber(month);
        if (number > 0) {
            month = TwoDigits(number);
        }
    }
    day = PadTwo(day);
    month = PadTwo(month);
    switch (year.size()) {
        case 1:
            year.prepend(u"200");
            break;
        case 2:
            year.prepend((year[0] == u'7' || year[0] == u'8' || year[0] == u'9') ? u"19" : u"20");
            break;
        case 3:
            year.prepend(year[0] == u'9' ? u'1' : u'2');
            break;
        default:
            break;
    }
    return year + u'-' + month + u'-' + day;
}

QString TimeLocal(const QString& localTime) {
    QString text = localTime;
    for (QChar& c : text) {
        if (c == u':' || c == u'-' || c == u'.') {
            c = u' ';
        }
    }
    QStringView words[4];
    int count = SplitWords(text, words, 4);
    // "1:05 PM": the half-day marker stands where the seconds would be.
    auto isHalfDay = [](QStringView w) {
        return w.compare(u"AM", Qt::CaseInsensitive) == 0 ||
               w.compare(u"PM", Qt::CaseInsensitive) == 0;
    };
    if (count == 3 && isHalfDay(words[2])) {
        words[3] = words[2];
        words[2] = {};
        count = 4;
    }
    auto part = [&](int i) {
        return i < count && !words[i].isEmpty() ? PadTwo(words[i]) : QStringLiteral("00");
    };
    QString hour = part(0);
    const QString minute = part(1);
    const QString second = part(2);
    if (count >= 4) {
        if (words[3].compare(u"PM", Qt::CaseInsensitive) == 0) {
            const int h = AllDigits(hour) ? hour.toInt() : 0;
            if (h >= 1 && h <= 11) {
                hour = TwoDigits(h + 12);
            }
        } else if (words[3].compare(u"AM", Qt::CaseInsensitive) == 0 && hour == u"12") {
            hour = QStringLiteral("00");
        }
    }
    return hour + u':' + minute + u':' + second;
}
