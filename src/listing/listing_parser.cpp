#include "listing/listing_parser.h"

#include <cmath>

#include <QLocale>
#include <algorithm>
#include <string_view>

#include "listing/machine_listing.h"
#include "listing/text_words.h"
#include "listing/zos_listing.h"

namespace {

const char16_t* const kWindowsMonths[12] = {u"Jan ", u"Feb ", u"Mar ", u"Apr ", u"May ", u"Jun ",
                                            u"Jul ", u"Aug ", u"Sep ", u"Oct ", u"Nov ", u"Dec "};

inline bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// 1-12 for "jan" ... "dec" in any case, 0 otherwise. Runs for every listed line, so the three
// letters are folded and matched at once rather than compared twelve times.
int MonthNumber(QStringView word) {
    if (word.size() != 3) {
        return 0;
    }
    char32_t key = 0;
    for (const QChar c : word) {
        const char16_t u = c.unicode();
        if (u >= u'A' && u <= u'Z') {
            key = key << 8 | char32_t(u - u'A' + u'a');
        } else if (u >= u'a' && u <= u'z') {
            key = key << 8 | char32_t(u);
        } else {
            return 0;
        }
    }
    constexpr auto k = [](char a, char b, char c) {
        return char32_t(a) << 16 | char32_t(b) << 8 | char32_t(c);
    };
    switch (key) {
        case k('j', 'a', 'n'):
            return 1;
        case k('f', 'e', 'b'):
            return 2;
        case k('m', 'a', 'r'):
            return 3;
        case k('a', 'p', 'r'):
            return 4;
        case k('m', 'a', 'y'):
            return 5;
        case k('j', 'u', 'n'):
            return 6;
        case k('j', 'u', 'l'):
            return 7;
        case k('a', 'u', 'g'):
            return 8;
        case k('s', 'e', 'p'):
            return 9;
        case k('o', 'c', 't'):
            return 10;
        case k('n', 'o', 'v'):
            return 11;
        case k('d', 'e', 'c'):
            return 12;
        default:
            return 0;
    }
}

QString PadTwo(QStringView text) {
    return text.size() == 1 ? u'0' + text.toString() : text.toString();
}

QString TwoDigits(int value) {
    return QString(QChar(u'0' + value / 10)) + QChar(u'0' + value % 10);
}

constexpr std::u16string_view kEnglishMonths[12] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                                    u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};

// Month names and abbreviations as servers in the common European locales write them, lower-case
// and without a trailing dot. English three-letter names are matched before this table is read.
struct MonthName {
    std::u16string_view text;
    int month;
};
constexpr MonthName kMonthNames[] = {
    {u"january", 1},       {u"januar", 1},    {u"jänner", 1},     {u"jän", 1},
    {u"janv", 1},          {u"janvier", 1},   {u"ene", 1},        {u"enero", 1},
    {u"gen", 1},           {u"gennaio", 1},   {u"janeiro", 1},    {u"januari", 1},
    {u"sty", 1},           {u"styczeń", 1},   {u"stycznia", 1},   {u"led", 1},
    {u"leden", 1},         {u"ledna", 1},     {u"tammi", 1},      {u"tammikuu", 1},
    {u"oca", 1},           {u"ocak", 1},      {u"янв", 1},        {u"январь", 1},
    {u"января", 1},        {u"february", 2},  {u"februar", 2},    {u"févr", 2},
    {u"fevr", 2},          {u"février", 2},   {u"fevrier", 2},    {u"febrero", 2},
    {u"febbraio", 2},      {u"fev", 2},       {u"fevereiro", 2},  {u"februari", 2},
    {u"lut", 2},           {u"luty", 2},      {u"lutego", 2},     {u"úno", 2},
    {u"únor", 2},          {u"února", 2},     {u"febr", 2},       {u"február", 2},
    {u"helmi", 2},         {u"helmikuu", 2},  {u"şub", 2},        {u"şubat", 2},
    {u"фев", 2},           {u"февр", 2},      {u"февраль", 2},    {u"февраля", 2},
    {u"march", 3},         {u"märz", 3},      {u"mär", 3},        {u"mrz", 3},
    {u"mars", 3},          {u"marzo", 3},     {u"março", 3},      {u"marco", 3},
    {u"mrt", 3},           {u"maart", 3},     {u"marca", 3},      {u"bře", 3},
    {u"březen", 3},        {u"března", 3},    {u"márc", 3},       {u"március", 3},
    {u"maalis", 3},        {u"maaliskuu", 3}, {u"мар", 3},        {u"март", 3},
    {u"марта", 3},         {u"april", 4},     {u"avr", 4},        {u"avril", 4},
    {u"abr", 4},           {u"abril", 4},     {u"aprile", 4},     {u"kwi", 4},
    {u"kwiecień", 4},      {u"kwietnia", 4},  {u"dub", 4},        {u"duben", 4},
    {u"dubna", 4},         {u"ápr", 4},       {u"április", 4},    {u"huhti", 4},
    {u"huhtikuu", 4},      {u"nis", 4},       {u"nisan", 4},      {u"апр", 4},
    {u"апрель", 4},        {u"апреля", 4},    {u"mai", 5},        {u"maj", 5},
    {u"mayo", 5},          {u"maggio", 5},    {u"mag", 5},        {u"maio", 5},
    {u"mei", 5},           {u"kvě", 5},       {u"květen", 5},     {u"května", 5},
    {u"máj", 5},           {u"május", 5},     {u"touko", 5},      {u"toukokuu", 5},
    {u"мая", 5},           {u"май", 5},       {u"june", 6},       {u"juni", 6},
    {u"juin", 6},          {u"giu", 6},       {u"giugno", 6},     {u"junio", 6},
    {u"junho", 6},         {u"cze", 6},       {u"czerwiec", 6},   {u"czerwca", 6},
    {u"čen", 6},           {u"červen", 6},    {u"června", 6},     {u"jún", 6},
    {u"június", 6},        {u"kesä", 6},      {u"kesäkuu", 6},    {u"haz", 6},
    {u"haziran", 6},       {u"июн", 6},       {u"июнь", 6},       {u"июня", 6},
    {u"july", 7},          {u"juli", 7},      {u"juil", 7},       {u"juillet", 7},
    {u"lug", 7},           {u"luglio", 7},    {u"julio", 7},      {u"julho", 7},
    {u"lip", 7},           {u"lipiec", 7},    {u"lipca", 7},      {u"čec", 7},
    {u"červenec", 7},      {u"července", 7},  {u"júl", 7},        {u"július", 7},
    {u"heinä", 7},         {u"heinäkuu", 7},  {u"tem", 7},        {u"temmuz", 7},
    {u"июл", 7},           {u"июль", 7},      {u"июля", 7},       {u"august", 8},
    {u"août", 8},          {u"aout", 8},      {u"ago", 8},        {u"agosto", 8},
    {u"augustus", 8},      {u"sie", 8},       {u"sierpień", 8},   {u"sierpnia", 8},
    {u"srp", 8},           {u"srpen", 8},     {u"srpna", 8},      {u"augusztus", 8},
    {u"elo", 8},           {u"elokuu", 8},    {u"ağu", 8},        {u"ağustos", 8},
    {u"авг", 8},           {u"август", 8},    {u"августа", 8},    {u"sept", 9},
    {u"september", 9},     {u"septembre", 9}, {u"septiembre", 9}, {u"set", 9},
    {u"settembre", 9},     {u"setembro", 9},  {u"wrz", 9},        {u"wrzesień", 9},
    {u"września", 9},      {u"zář", 9},       {u"září", 9},       {u"szept", 9},
    {u"szeptember", 9},    {u"syys", 9},      {u"syyskuu", 9},    {u"eyl", 9},
    {u"eylül", 9},         {u"сен", 9},       {u"сент", 9},       {u"сентябрь", 9},
    {u"сентября", 9},      {u"october", 10},  {u"okt", 10},       {u"oktober", 10},
    {u"octobre", 10},      {u"octubre", 10},  {u"ott", 10},       {u"ottobre", 10},
    {u"out", 10},          {u"outubro", 10},  {u"paź", 10},       {u"październik", 10},
    {u"października", 10}, {u"říj", 10},      {u"říjen", 10},     {u"října", 10},
    {u"október", 10},      {u"loka", 10},     {u"lokakuu", 10},   {u"eki", 10},
    {u"ekim", 10},         {u"окт", 10},      {u"октябрь", 10},   {u"октября", 10},
    {u"november", 11},     {u"novembre", 11}, {u"noviembre", 11}, {u"novembro", 11},
    {u"lis", 11},          {u"listopad", 11}, {u"listopada", 11}, {u"marras", 11},
    {u"marraskuu", 11},    {u"kas", 11},      {u"kasım", 11},     {u"ноя", 11},
    {u"нояб", 11},         {u"ноябрь", 11},   {u"ноября", 11},    {u"december", 12},
    {u"dez", 12},          {u"dezember", 12}, {u"déc", 12},       {u"decembre", 12},
    {u"décembre", 12},     {u"dic", 12},      {u"diciembre", 12}, {u"dicembre", 12},
    {u"dezembro", 12},     {u"gru", 12},      {u"grudzień", 12},  {u"grudnia", 12},
    {u"pro", 12},          {u"prosinec", 12}, {u"prosince", 12},  {u"joulu", 12},
    {u"joulukuu", 12},     {u"ara", 12},      {u"aralık", 12},    {u"дек", 12},
    {u"декабрь", 12},      {u"декабря", 12},
};
constexpr qsizetype kLongestMonthName = 14;

inline bool IsEastAsianMonthMark(QChar c) {
    return c == u'月' || c == u'월';
}
inline bool IsEastAsianDayMark(QChar c) {
    return c == u'日' || c == u'일';
}
inline bool IsEastAsianYearMark(QChar c) {
    return c == u'年' || c == u'년';
}

// The value of Text when it is 1 to Max digits, -1 otherwise.
int SmallNumber(QStringView text, qsizetype max) {
    if (text.isEmpty() || text.size() > max) {
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

// 1-12 for a month word of any of the listed languages ("Jan", "Okt", "déc.", "szept", "Juli",
// "апр") or an East Asian "3月"/"3월"; 0 otherwise.
int MonthOfWord(QStringView word) {
    qsizetype size = word.size();
    if (size == 3) {
        if (const int month = MonthNumber(word)) {
            return month;
        }
    }
    if (size >= 2 && size <= 3 && IsEastAsianMonthMark(word[size - 1])) {
        const int month = SmallNumber(word.first(size - 1), 2);
        return month >= 1 && month <= 12 ? month : 0;
    }
    // "Okt." and "Juli," ("26. Juli, 20:10").
    if (size > 1 && (word[size - 1] == u'.' || word[size - 1] == u',')) {
        --size;
    }
    if (size < 3 || size > kLongestMonthName) {
        return 0;
    }
    char16_t lower[kLongestMonthName];
    for (qsizetype i = 0; i < size; ++i) {
        lower[i] = word[i].toLower().unicode();
    }
    const std::u16string_view key(lower, size_t(size));
    for (const MonthName& name : kMonthNames) {
        if (name.text == key) {
            return name.month;
        }
    }
    return 0;
}

// The digits of a day of the month ("5", "05", "26.", "15日", "15일"), empty when it is none.
QStringView DayDigits(QStringView word) {
    qsizetype size = word.size();
    if (size > 1 && (word[size - 1] == u'.' || IsEastAsianDayMark(word[size - 1]))) {
        --size;
    }
    const int day = SmallNumber(word.first(std::min(size, word.size())), 2);
    return day >= 1 && day <= 31 ? word.first(size) : QStringView();
}

// "12:34", "9:05", "12:34:56", "12:34:56.123456789"; also "00:0" and "9:5", as some embedded
// servers print a minute below ten.
bool IsClockTime(QStringView word) {
    const qsizetype size = word.size();
    qsizetype colon = -1;
    if (size >= 3 && word[1] == u':') {
        colon = 1;
    } else if (size >= 4 && word[2] == u':') {
        colon = 2;
    }
    if (colon < 0 || size < colon + 2) {
        return false;
    }
    const bool shortMinute = size == colon + 2;
    const int hour = SmallNumber(word.first(colon), 2);
    const int minute = SmallNumber(word.sliced(colon + 1, shortMinute ? 1 : 2), 2);
    if (hour < 0 || hour > 24 || minute < 0 || minute > 59) {
        return false;
    }
    for (qsizetype i = colon + 3; i < size; ++i) {
        if (!IsDigit(word[i]) && word[i] != u':' && word[i] != u'.') {
            return false;
        }
    }
    return true;
}

// The digits of a four-digit year ("2009", "2009年", "2009년"), empty when it is none.
QStringView YearDigits(QStringView word) {
    const QStringView digits =
        word.size() == 5 && IsEastAsianYearMark(word[4]) ? word.first(4) : word;
    return SmallNumber(digits, 4) >= 1000 && digits.size() == 4 ? digits : QStringView();
}

// A time cut to "HH:MM" (a one-digit hour or minute padded).
void AppendHourMinute(QStringView time, QString& out) {
    const qsizetype colon = time.indexOf(u':');
    if (colon == 1) {
        out += u'0';
    }
    out += time.first(colon + 1);
    const QStringView minute = time.sliced(colon + 1);
    if (minute.size() == 1) {
        out += u'0';
        out += minute;
    } else {
        out += minute.first(2);
    }
}

// "2005-06-20": the year, month and day digits.
bool ReadIsoDate(QStringView word, QStringView& year, int& month, QStringView& day) {
    if (word.size() != 10 || word[4] != u'-' || word[7] != u'-' ||
        SmallNumber(word.first(4), 4) < 0) {
        return false;
    }
    month = SmallNumber(word.sliced(5, 2), 2);
    const int dayValue = SmallNumber(word.sliced(8, 2), 2);
    if (month < 1 || month > 12 || dayValue < 1 || dayValue > 31) {
        return false;
    }
    year = word.first(4);
    day = word.sliced(8, 2);
    return true;
}

// A numeric date of three groups, Year Month Day or Day Month Year by where the four digits
// stand: "2003/03/29", "26.09.2003". False for anything else.
bool ReadNumericDate(QStringView word, QStringView& year, int& month, QStringView& day) {
    if (word.size() != 10) {
        return false;
    }
    QStringView dayText;
    QStringView monthText;
    if (word[4] == u'/' && word[7] == u'/') {
        year = word.first(4);
        monthText = word.sliced(5, 2);
        dayText = word.sliced(8, 2);
    } else if (word[2] == u'.' && word[5] == u'.') {
        dayText = word.first(2);
        monthText = word.sliced(3, 2);
        year = word.sliced(6, 4);
    } else {
        return false;
    }
    month = SmallNumber(monthText, 2);
    const int dayValue = SmallNumber(dayText, 2);
    if (SmallNumber(year, 4) < 1000 || month < 1 || month > 12 || dayValue < 1 || dayValue > 31) {
        return false;
    }
    day = dayText;
    return true;
}

// A month and a day without a year: "03-29", "3-29". False for anything else.
bool ReadMonthDay(QStringView word, int& month, QStringView& day) {
    const qsizetype dash = word.indexOf(u'-');
    if (dash < 1 || dash > 2 || word.size() - dash - 1 < 1 || word.size() - dash - 1 > 2) {
        return false;
    }
    month = SmallNumber(word.first(dash), 2);
    const int dayValue = SmallNumber(word.sliced(dash + 1), 2);
    if (month < 1 || month > 12 || dayValue < 1 || dayValue > 31) {
        return false;
    }
    day = word.sliced(dash + 1);
    return true;
}

// "+0200" after a full ISO time.
bool IsZoneOffset(QStringView word) {
    return word.size() == 5 && (word[0] == u'+' || word[0] == u'-') &&
           SmallNumber(word.sliced(1), 4) >= 0;
}

// A size word: digits, with "," or "." between groups.
bool IsSizeWord(QStringView word) {
    bool digit = false;
    for (const QChar c : word) {
        if (IsDigit(c)) {
            digit = true;
        } else if (c != u',' && c != u'.') {
            return false;
        }
    }
    return digit;
}

// Appends the size a Unix line's size word gives, as digits (nothing when it gives none): digits
// with "," or "." between groups; a size with a unit ("33.5k", "1.2M", "4G": binary multiples,
// rounded); or a size glued to a long group name ("ftpgroup125435904": the digits at its end).
void AppendUnixSizeDigits(QStringView word, QString& out) {
    if (std::all_of(word.begin(), word.end(), IsDigit) && !word.isEmpty()) {
        out += word;  // the usual case, in one piece
        return;
    }
    if (IsSizeWord(word)) {
        for (const QChar c : word) {
            if (IsDigit(c)) {
                out += c;
            }
        }
        return;
    }
    static constexpr char16_t kUnits[] = u"kmgt";
    const qsizetype unitAt = word.size() - 1;
    const qsizetype unit =
        unitAt >= 1 ? QStringView(kUnits).indexOf(word[unitAt].toLower()) : qsizetype(-1);
    if (unit >= 0 && IsDigit(word[0]) && IsSizeWord(word.first(unitAt)) &&
        word.first(unitAt).count(u'.') <= 1 && !word.first(unitAt).contains(u',')) {
        bool ok = false;
        const double value = word.first(unitAt).toDouble(&ok);
        const double bytes = value * std::pow(1024.0, double(unit + 1));
        if (ok && bytes < 9.0e18) {
            out += QString::number(qint64(std::llround(bytes)));
        }
        return;
    }
    qsizetype digitsFrom = word.size();
    while (digitsFrom > 0 && IsDigit(word[digitsFrom - 1])) {
        --digitsFrom;
    }
    if (digitsFrom > 0 && digitsFrom < word.size() && word[digitsFrom - 1].isLetter()) {
        out += word.sliced(digitsFrom);
    }
}

// A word that stands where a month would and may be one in a language not known here.
bool IsMonthShaped(QStringView word) {
    if (word.size() < 2 || word.size() > kLongestMonthName) {
        return false;
    }
    bool letter = false;
    for (const QChar c : word) {
        if (c.isLetter()) {
            letter = true;
        } else if (c != u'.') {
            return false;
        }
    }
    return letter;
}

// Words of a Unix line: fields are separated by runs of blanks only.
struct Span {
    qsizetype start = 0;
    qsizetype end = 0;
};
// Mode, links, owner and group of up to three words each, size, four date words: the date is
// always found among the first sixteen words.
constexpr int kMaxUnixWords = 16;

int SplitAtBlanks(QStringView line, Span* spans, int max) {
    const qsizetype size = line.size();
    qsizetype p = 0;
    int count = 0;
    while (count < max) {
        while (p < size && line[p] == u' ') {
            ++p;
        }
        if (p == size) {
            break;
        }
        const qsizetype start = p;
        while (p < size && line[p] != u' ') {
            ++p;
        }
        spans[count++] = {start, p};
    }
    return count;
}

QStringView FirstBlankWord(QStringView line) {
    Span span;
    return SplitAtBlanks(line, &span, 1) == 1 ? line.sliced(span.start, span.end - span.start)
                                              : QStringView();
}

// Mode, with the digits of a link count glued to its ACL mark left out ("drwxr-x---+1464").
QStringView WithoutGluedLinkCount(QStringView word) {
    qsizetype end = word.size();
    while (end > 0 && IsDigit(word[end - 1])) {
        --end;
    }
    return end < word.size() && end >= 8 && word[end - 1] == u'+' ? word.first(end) : word;
}

// A NetWare line: "d [R----F--] supervisor 512 Jan 16 18:53 name" (type, then the rights in
// brackets, where other servers write the mode word).
bool IsNetWareStart(QStringView line) {
    const QStringView type = FirstBlankWord(line);
    if (type != u"d" && type != u"-") {
        return false;
    }
    const QStringView rights = FirstBlankWord(line.sliced(line.indexOf(type) + 1));
    return rights.size() >= 3 && rights.front() == u'[' && rights.back() == u']';
}

// The mode word of a Unix line: a type letter and permission letters, with an ACL or security
// context mark after them ("drwxr-xr-x", "-rw-r--r--+", "drwxr-xr-x.", "-rw-r--r--@").
// A link count may follow an ACL mark without a blank ("drwxr-x---+1464").
bool IsModeWord(QStringView word) {
    word = WithoutGluedLinkCount(word);
    if (word.size() < 7 || word.size() > 16) {
        return false;
    }
    switch (word[0].unicode()) {
        case u'-':
        case u'd':
        case u'l':
        case u'b':
        case u'c':
        case u'p':
        case u's':
        case u'D':
        case u'L':
        case u'B':
        case u'C':
        case u'P':
        case u'S':
        case u'n':
        case u'w':
        case u'?':
            break;
        default:
            return false;
    }
    for (qsizetype i = 1; i < word.size(); ++i) {
        switch (word[i].unicode()) {
            case u'r':
            case u'w':
            case u'x':
            case u's':
            case u'S':
            case u't':
            case u'T':
            case u'l':
            case u'L':
            case u'-':
            case u'+':
            case u'.':
            case u'@':
            case u'*':
            case u'?':
                break;
            default:
                return false;
        }
    }
    return true;
}

// Where the date of a Unix line stands and what it says.
struct UnixDate {
    int first = 0;  // index of its first word
    int last = 0;   // index of its last word
    int month = 0;  // 1-12; 0 for a month word not known here, kept as listed
    QStringView day;
    QStringView timeOrYear;  // the third word of a "month day time-or-year" date
    QStringView year;        // a numeric date's year, with its time (if any) in Time
    QStringView time;
};

// Finds the date that every Unix form has between the size and the name. The month-first and
// numeric forms are looked for before the day-first ones, so that a link count or a size is not
// taken for a day.
bool FindUnixDate(QStringView line, const Span* spans, int count, UnixDate& date) {
    auto word = [&](int i) { return line.sliced(spans[i].start, spans[i].end - spans[i].start); };
    auto isTimeOrYear = [](QStringView w) { return IsClockTime(w) || !YearDigits(w).isEmpty(); };
    auto takeTime = [&](int i) {
        date.last = i;
        if (i + 1 < count && IsClockTime(word(i + 1))) {
            date.time = word(++date.last);
            if (date.last + 1 < count && IsZoneOffset(word(date.last + 1))) {
                ++date.last;
            }
        }
    };
    for (int i = 1; i < count; ++i) {
        const QStringView w = word(i);
        if (ReadIsoDate(w, date.year, date.month, date.day)) {
            date.first = i;
            takeTime(i);
            return true;
        }
        if (i + 2 >= count) {
            continue;
        }
        const QStringView second = word(i + 1);
        const QStringView third = word(i + 2);
        // "2009年 3月 15日", with or without a time after it.
        if (w.size() == 5 && IsEastAsianYearMark(w[4]) && !YearDigits(w).isEmpty() &&
            third.size() > 1 && IsEastAsianDayMark(third.back())) {
            const QStringView day = DayDigits(third);
            const int month = MonthOfWord(second);
            if (!day.isEmpty() && month > 0) {
                date.first = i;
                date.year = w.first(4);
                date.month = month;
                date.day = day;
                takeTime(i + 2);
                return true;
            }
        }
        const QStringView day = DayDigits(second);
        if (!day.isEmpty() && isTimeOrYear(third)) {
            if (const int month = MonthOfWord(w)) {
                date = {i, i + 2, month, day, third, {}, {}};
                return true;
            }
        }
    }
    // "26. Juli 12:00", "15 апр 2009".
    for (int i = 1; i + 2 < count; ++i) {
        const QStringView day = DayDigits(word(i));
        if (!day.isEmpty() && isTimeOrYear(word(i + 2))) {
            if (const int month = MonthOfWord(word(i + 1))) {
                date = {i, i + 2, month, day, word(i + 2), {}, {}};
                return true;
            }
        }
    }
    // Numeric dates right after the size: "2003/03/29 03:26", "26.09.2003", "03-29 2003",
    // "03-29 03:26", and month and day as two numbers, "3 29 03:26" (a year-less date).
    for (int i = 2; i < count; ++i) {
        if (!IsSizeWord(word(i - 1))) {
            continue;
        }
        const QStringView w = word(i);
        if (ReadNumericDate(w, date.year, date.month, date.day)) {
            date.first = i;
            takeTime(i);
            return true;
        }
        int month = 0;
        QStringView day;
        if (i + 1 < count && isTimeOrYear(word(i + 1)) && ReadMonthDay(w, month, day)) {
            date = {i, i + 1, month, day, word(i + 1), {}, {}};
            return true;
        }
        month = SmallNumber(w, 2);
        day = i + 2 < count ? DayDigits(word(i + 1)) : QStringView();
        if (month >= 1 && month <= 12 && !day.isEmpty() && day.size() == word(i + 1).size() &&
            isTimeOrYear(word(i + 2))) {
            date = {i, i + 2, month, day, word(i + 2), {}, {}};
            return true;
        }
    }
    // A month word of a language not known here, between the size and the day.
    for (int i = 2; i + 2 < count; ++i) {
        const QStringView day = DayDigits(word(i + 1));
        if (!day.isEmpty() && IsSizeWord(word(i - 1)) && IsMonthShaped(word(i)) &&
            isTimeOrYear(word(i + 2))) {
            date = {i, i + 2, 0, day, word(i + 2), {}, {}};
            return true;
        }
    }
    return false;
}

// The raw date of a found date in the form DateRemote reads: "Mon DD time-or-year", or
// "Mon DD YYYY HH:MM" for a numeric date; an unknown month keeps the words as listed.
QString UnixRawDate(QStringView line, const Span* spans, const UnixDate& date) {
    QString raw;
    if (date.month == 0) {
        raw.reserve(spans[date.last].end - spans[date.first].start);
        for (int i = date.first; i <= date.last; ++i) {
            if (i > date.first) {
                raw += u' ';
            }
            raw += line.sliced(spans[i].start, spans[i].end - spans[i].start);
        }
        return raw;
    }
    raw.reserve(date.year.isEmpty() ? 5 + date.day.size() + date.timeOrYear.size() : 18);
    raw += kEnglishMonths[date.month - 1];
    raw += u' ';
    raw += date.day;
    raw += u' ';
    if (!date.year.isEmpty()) {
        raw += date.year;
        if (!date.time.isEmpty()) {
            raw += u' ';
            AppendHourMinute(date.time, raw);
        }
    } else {
        const QStringView year = YearDigits(date.timeOrYear);
        if (!year.isEmpty()) {
            raw += year;
        } else if (IsClockTime(date.timeOrYear) && date.timeOrYear.size() < 5) {
            AppendHourMinute(date.timeOrYear, raw);  // "00:0" reads as "00:00"
        } else {
            raw += date.timeOrYear;
        }
    }
    return raw;
}

bool HasVisibleCharacter(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 32; });
}

// Unix forms: "drwxr-xr-x   2 user group 4096 Jan 05 12:34 cgi-bin", with or without the group
// column. The fields are anchored on the date: the size is the word before it and the name is
// everything after the one blank that follows it, so owners and groups with blanks, device
// numbers, missing columns and mode words of any length do not shift them. WordsBeforeDate, when
// given, receives the number of words between the mode word and the date.
bool ParseUnixLine(const ListingState& state, QStringView line, ParsedEntry& entry,
                   int* wordsBeforeDate = nullptr) {
    Span spans[kMaxUnixWords];
    const int count = SplitAtBlanks(line, spans, kMaxUnixWords);
    UnixDate date;
    if (count < 4 || !FindUnixDate(line, spans, count, date)) {
        return false;
    }
    qsizetype nameStart = spans[date.last].end + 1;
    // "Mar  1 2003  .welcome": a year written left-aligned in the five-character column a time
    // fills (one blank after the day, where a right-aligned year has two) leaves a padding
    // blank before the name. A right-aligned one does not: "Mar 18  2007  " names " ".
    if (date.year.isEmpty() && date.last == date.first + 2 && date.last >= 1 &&
        !YearDigits(date.timeOrYear).isEmpty() && date.timeOrYear.size() == 4 &&
        spans[date.last].start - spans[date.last - 1].end == 1 && nameStart < line.size() &&
        line[nameStart] == u' ') {
        ++nameStart;
    }
    if (nameStart >= line.size()) {
        return false;
    }
    QStringView name = line.sliced(nameStart);
    if (name.size() >= 5) {
        const qsizetype arrow = name.indexOf(u" ->", 1);
        if (arrow > 0) {
            name = name.first(arrow);
        }
    }
    // A name of one blank is a name ("Mar 18  2007  " names " "); a longer run of blanks after
    // the date is padding of a line without one.
    if (!HasVisibleCharacter(name) && name != u" ") {
        return false;
    }

    const QStringView mode =
        WithoutGluedLinkCount(line.sliced(spans[0].start, spans[0].end - spans[0].start));
    const QChar kind = mode[0].toLower();
    entry.permissions = mode.toString();
    // Older Macintosh servers write "folder" where the link count stands.
    entry.isDirectory =
        kind == u'd' || line.sliced(spans[1].start, spans[1].end - spans[1].start) == u"folder";

    // A device lists "major, minor" where the size stands; it has no size.
    QString sizeText;
    sizeText.reserve(16);
    sizeText += u'0';
    if (date.first >= 2 && kind != u'c' && kind != u'b') {
        const Span& s = spans[date.first - 1];
        AppendUnixSizeDigits(line.sliced(s.start, s.end - s.start), sizeText);
    }
    entry.sizeText = std::move(sizeText);
    entry.rawDate = UnixRawDate(line, spans, date);
    entry.name = name.toString();
    if (kind == u'l') {
        entry.isDirectory = LinkShownAsDirectory(state.linkTreatment, name);
    }
    if (wordsBeforeDate != nullptr) {
        *wordsBeforeDate = date.first - 1;
    }
    return true;
}

// A Windows-form date word: three groups of digits with the same separator ("01-05-04",
// "1-05-2004", "2002-09-02", "05.01.2004"). The values are not checked here.
bool IsNumericDateWord(QStringView word, QChar& separator, qsizetype& firstGroup) {
    int groups = 0;
    qsizetype i = 0;
    const qsizetype size = word.size();
    separator = QChar();
    firstGroup = 0;
    while (i < size) {
        const qsizetype start = i;
        while (i < size && IsDigit(word[i])) {
            ++i;
        }
        const qsizetype digits = i - start;
        if (digits == 0 || digits > 4) {
            return false;
        }
        if (++groups == 1) {
            firstGroup = digits;
        }
        if (i == size) {
            break;
        }
        const QChar c = word[i];
        if (groups == 3 || (c != u'-' && c != u'/' && c != u'.') ||
            (!separator.isNull() && c != separator)) {
            return false;
        }
        separator = c;
        ++i;
        if (i == size) {
            return false;
        }
    }
    return groups == 3;
}

// A size word written with thousands separators ("9,730", "1.234.567") as plain digits; any
// other word as listed.
QString WithoutThousandsSeparators(QStringView word) {
    qsizetype firstSeparator = 0;
    while (firstSeparator < word.size() && IsDigit(word[firstSeparator])) {
        ++firstSeparator;
    }
    if (firstSeparator < 1 || firstSeparator > 3 || firstSeparator == word.size()) {
        return word.toString();
    }
    const QChar separator = word[firstSeparator];
    QString digits;
    digits.reserve(word.size());
    for (qsizetype i = 0; i < word.size(); ++i) {
        const bool groupStart = i > 0 && (word.size() - i) % 4 == 0;
        if (groupStart ? word[i] != separator : !IsDigit(word[i])) {
            return word.toString();
        }
        if (!groupStart) {
            digits += word[i];
        }
    }
    return digits;
}

// A Windows-form time word: "01:30PM", "1:15pm", "18:48", "10:00:00".
bool IsWindowsTimeWord(QStringView word) {
    if (word.size() > 2) {
        const QStringView half = word.last(2);
        if (half.compare(u"AM", Qt::CaseInsensitive) == 0 ||
            half.compare(u"PM", Qt::CaseInsensitive) == 0) {
            word.chop(2);
        }
    }
    return IsClockTime(word);
}

// Windows form: "01-05-04  01:30PM       <DIR>          My Docs", also with an ISO date
// ("2002-09-02  18:48  <DIR>  name") or a day-first dotted one ("02.09.2002  18:48  12 name").
// The first word must be a date and the second a time, so that error text and lines of other
// forms give no entry.
bool ParseWindowsLine(QStringView line, ParsedEntry& entry) {
    QStringView words[4];
    SplitWords(line, words, 4);
    QChar separator;
    qsizetype firstGroup = 0;
    if (!IsNumericDateWord(words[0], separator, firstGroup) || !IsWindowsTimeWord(words[1])) {
        return false;
    }
    const QStringView sizeWord = words[2];
    const bool isDirectory = sizeWord == u"<DIR>";
    QStringView dateWord = words[0];
    if (dateWord.size() < 7) {
        return false;
    }
    entry.isDirectory = isDirectory;
    entry.sizeText = isDirectory ? QStringLiteral("0") : WithoutThousandsSeparators(sizeWord);
    entry.permissions = QStringLiteral(" ");
    QString rawDate;
    rawDate.reserve(18);
    // The forms with the year first or the day first were not written by the servers the
    // month-first rules below were made for; they may list seconds, which are dropped.
    bool secondsListed = false;
    if (firstGroup == 4 || (separator == u'.' && firstGroup <= 2)) {
        secondsListed = true;
        QStringView groups[3];
        int g = 0;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= dateWord.size(); ++i) {
            if (i == dateWord.size() || dateWord[i] == separator) {
                groups[g++] = dateWord.sliced(start, i - start);
                start = i + 1;
            }
        }
        const bool yearFirst = firstGroup == 4;
        const QStringView year = yearFirst ? groups[0] : groups[2];
        const int month = SmallNumber(groups[1], 2);
        const QStringView day = yearFirst ? groups[2] : groups[0];
        if (month >= 1 && month <= 12) {
            rawDate += QStringView(kWindowsMonths[month - 1]);
            if (day.size() == 1) {
                rawDate += u'0';
            }
            rawDate += day;
        }
        rawDate += u' ';
        if (year.size() == 2) {
            rawDate += (year[0] == u'8' || year[0] == u'9') ? u"19" : u"20";
        }
        rawDate += year;
    } else {
        // A one-digit month gets its "0" in front of the whole word, so a four-digit year
        // survives.
        QString paddedDate;
        if (dateWord[1] == u'-') {
            paddedDate = u'0' + dateWord.toString();
            dateWord = paddedDate;
        }
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
            const int h = AllAsciiDigits(hour) ? hour.toInt() : 0;
            if (h >= 1 && h <= 11) {
                rawDate += TwoDigits(h + 12);
            } else {
                rawDate += hour;
            }
        }
        rawDate += timeWord.sliced(2, 3);
    } else if (timeWord.size() == 5 || (secondsListed && timeWord.size() > 5)) {
        rawDate += u' ';
        rawDate += timeWord.first(5);
    }

    // The name column: one blank after a size, the ten-character gap after "<DIR>"; blanks
    // beyond it belong to the name. Trailing blanks and control characters are dropped (a
    // carriage return of the line end, padding some servers add).
    QStringView name;
    Span spans[4];
    if (SplitAtBlanks(line, spans, 4) == 4) {
        const qsizetype sizeEnd = spans[2].end;
        qsizetype gap = isDirectory ? 10 : 1;
        // The twelve-hour layout puts every name in the column after "<DIR>" and its gap: a size
        // narrower than its column leaves padding, not part of the name, before that column.
        if (!isDirectory && spans[0].start == 0 && timeWord.size() == 7) {
            gap = std::max(gap, spans[1].end + 22 - sizeEnd);
        }
        gap = std::min(spans[3].start - sizeEnd, gap);
        const QStringView rest = line.sliced(sizeEnd + gap);
        qsizetype last = rest.size();
        while (last > 0 && rest[last - 1].unicode() < 33) {
            --last;
        }
        name = rest.first(last);
    } else {
        // Tabs between the fields: the fourth word.
        name = words[3];
    }
    if (!HasVisibleCharacter(name)) {
        entry.Clear();
        return false;
    }
    entry.rawDate = std::move(rawDate);
    entry.name = name.toString();
    return true;
}

}  // namespace

void ExamineFirstDirEntRec(ListingState& state, const QStringList& lines) {
    if (lines.isEmpty()) {
        return;
    }
    const QString& header = lines[0];
    const QStringView header1 = TextWordView(header, 1);
    const QStringView header2 = TextWordView(header, 2);

    QString type = QStringLiteral("M1");
    if (header1 == u"Volume" || header1 == u"Volid") {
        type = QStringLiteral("ZF");
    } else if (header1 == u"Name" && header2 == u"VV.MM") {
        type = QStringLiteral("ZP");
    } else if (header1 == u"Name" && header2 == u"Size") {
        type = QStringLiteral("ZL");
    } else {
        // The form of the first line that parses as an entry: blank lines, "total", ".:" and
        // "/path:" headers and error text before it say nothing about the form.
        ParsedEntry scratch;
        for (const QString& line : lines) {
            int wordsBeforeDate = 0;
            if (IsModeWord(FirstBlankWord(line))) {
                if (ParseUnixLine(state, line, scratch, &wordsBeforeDate)) {
                    // Links, owner, group and size: a group column is present.
                    type = wordsBeforeDate >= 4 ? QStringLiteral("U1") : QStringLiteral("U2");
                    break;
                }
            } else if (ParseWindowsLine(line, scratch)) {
                break;
            }
        }
    }
    state.listingType = type;
    state.minLineLength = type == u"M1" ? 18 : 20;
    state.zosMode = type.startsWith(u'Z');
    if (state.zosMode) {
        SetUpZosColumns(state, lines);
    }
}

QStringView EnglishMonth(int month) {
    return kEnglishMonths[month - 1];
}

void UseMachineListing(ListingState& state) {
    state.listingType = kMachineListingType;
    state.zosMode = false;
    state.zosDirs.clear();
    state.minLineLength = 3;  // "type=dir; a" is short, and no total line comes
    state.utcDayOffsets.clear();
}

bool LinkShownAsDirectory(int linkTreatment, QStringView name) {
    switch (linkTreatment) {
        case 0:
            return true;
        case 1:
            return false;
        default:
            return !name.contains(u'.');
    }
}

bool Parse_Dir_Entry(ListingState& state, QStringView line, ParsedEntry& entry) {
    if (state.zosMode) {
        return Parse_Dir_Entry_MVS(state, line, entry);
    }
    if (state.listingType == kMachineListingType) {
        return ParseMachineListingLine(state, line, entry);
    }
    return Parse_Dir_Entry_Non_MVS(state, line, entry);
}

// The two forms cannot be mistaken for each other (a mode word never reads as a date), so each
// line is read by the form it fits, whatever the listing type: listings that mix the forms, or
// whose first lines misled the detection, still read right.
bool Parse_Dir_Entry_Non_MVS(const ListingState& state, QStringView line, ParsedEntry& entry) {
    entry.Clear();
    if (IsModeWord(FirstBlankWord(line)) || IsNetWareStart(line)) {
        return ParseUnixLine(state, line, entry);
    }
    return ParseWindowsLine(line, entry);
}

namespace {

// The value of a text of digits only; -1 for anything else (or a value too long to be a date).
int DigitsValue(QStringView text) {
    return SmallNumber(text, 9);
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
    // A month word not known here: the listed text says more than a made-up date would.
    if (MonthNumber(words[0]) == 0) {
        return rawDate.toString();
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
            const int h = AllAsciiDigits(hour) ? hour.toInt() : 0;
            if (h >= 1 && h <= 11) {
                hour = TwoDigits(h + 12);
            }
        } else if (words[3].compare(u"AM", Qt::CaseInsensitive) == 0 && hour == u"12") {
            hour = QStringLiteral("00");
        }
    }
    return hour + u':' + minute + u':' + second;
}
