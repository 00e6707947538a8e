#include <gtest/gtest.h>

#include "listing/listing_parser.h"
#include "listing/text_words.h"

namespace {

ListingState StateOfType(const char* type, int linkTreatment = 0) {
    ListingState state;
    state.listingType = QString::fromLatin1(type);
    state.linkTreatment = linkTreatment;
    return state;
}

ListingState StateWithToday(int year, int month, int day) {
    ListingState state;
    SetDateOrderAndToday(state, QStringLiteral("dd/MM/yyyy"), QDate(year, month, day));
    return state;
}

struct EntryRow {
    const char* line;
    bool isEntry;
    const char* name;
    bool isDirectory;
    const char* sizeText;
    const char* permissions;
    const char* rawDate;
};

void ExpectEntries(ListingState& state, const std::vector<EntryRow>& rows) {
    for (const EntryRow& row : rows) {
        SCOPED_TRACE(row.line);
        ParsedEntry entry;
        entry.name = QStringLiteral("previous line");
        const QString line = QString::fromUtf8(row.line);
        ASSERT_EQ(Parse_Dir_Entry(state, line, entry), row.isEntry);
        if (!row.isEntry) {
            EXPECT_TRUE(entry.name.isEmpty());
            continue;
        }
        EXPECT_EQ(entry.name, QString::fromUtf8(row.name));
        EXPECT_EQ(entry.isDirectory, row.isDirectory);
        EXPECT_EQ(entry.sizeText, QString::fromUtf8(row.sizeText));
        EXPECT_EQ(entry.permissions, QString::fromUtf8(row.permissions));
        EXPECT_EQ(entry.rawDate, QString::fromUtf8(row.rawDate));
    }
}

}  // namespace

TEST(TextWords, WordsAreSeparatedByBlankAndTabRuns) {
    const QString text = QStringLiteral("  one\t two  \t\tthree ");
    EXPECT_EQ(TextWords(text), 3);
    EXPECT_EQ(TextWord(text, 1), "one");
    EXPECT_EQ(TextWord(text, 2), "two");
    EXPECT_EQ(TextWord(text, 3), "three");
    EXPECT_EQ(TextWord(text, 4), "");
    EXPECT_EQ(TextWord(text, 0), "");
    EXPECT_EQ(TextWords(QString()), 0);
    EXPECT_EQ(TextWords(QStringLiteral(" \t ")), 0);
    EXPECT_EQ(SizeDeformat(QStringLiteral("1,234.5 67")), "1234567");
    EXPECT_EQ(SizeDeformat(QString()), "");
}

TEST(ListingType, DetectedFromHeaderAndSample) {
    struct Row {
        QStringList lines;
        const char* type;
        int minLength;
    };
    const std::vector<Row> rows = {
        {{"total 8", "drwxr-xr-x   2 user group 4096 Jan 05 12:34 cgi-bin"}, "U1", 20},
        {{"total 8", "drwxr-xr-x   2 user 4096 Jan 05 12:34 cgi-bin"}, "U2", 20},
        {{"drwxr-xr-x   2 user group 4096 Jan 05 12:34 cgi-bin"}, "U1", 20},
        {{"01-05-04  01:30PM       <DIR>          My Docs", "01-05-04  01:30PM  1234 a.txt"},
         "M1",
         18},
        {{"header", "01-05-2004  10:30AM  1234 a b 5"}, "M1", 18},
        {{"header", "too few words"}, "M1", 18},
        {{"header", "abcdefghi 2 user 4096 Jan 05 12:34 x"}, "M1", 18},
        {{"Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname"}, "ZF", 20},
        {{"Volid  Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname"}, "ZF", 20},
        {{" Name     Size     TTR   Alias-of AC Amode Rmode"}, "ZL", 20},
        // Members without statistics are bare names, so no member line is too short.
        {{" Name     VV.MM   Created       Changed      Size  Init   Mod   Id"}, "ZP", 1},
        {{"name     VV.MM", "x"}, "M1", 18},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.lines.join(" | ").toStdString());
        ListingState state;
        state.listingType = QStringLiteral("U1");
        ExamineFirstDirEntRec(state, row.lines);
        EXPECT_EQ(state.listingType, row.type);
        EXPECT_EQ(state.minLineLength, row.minLength);
        EXPECT_EQ(state.zosMode, state.listingType.startsWith('Z'));
    }
}

TEST(ListingType, EmptyListingChangesNothing) {
    ListingState state;
    state.listingType = QStringLiteral("ZP");
    state.zosMode = true;
    state.zosDirs = {QStringLiteral("A.")};
    ExamineFirstDirEntRec(state, {});
    EXPECT_EQ(state.listingType, "ZP");
    EXPECT_TRUE(state.zosMode);
    EXPECT_EQ(state.zosDirs.size(), 1);
}

TEST(UnixListing, WithGroupColumn) {
    ListingState state = StateOfType("U1", 2);
    ExpectEntries(
        state,
        {
            {"drwxr-xr-x   2 user group 4096 Jan 05 12:34 cgi-bin", true, "cgi-bin", true, "04096",
             "drwxr-xr-x", "Jan 05 12:34"},
            {"-rw-r--r--   1 web  web   1,234 Mar  3  2019 my  file.txt  ", true, "my  file.txt  ",
             false, "01234", "-rw-r--r--", "Mar 3 2019"},
            {"lrwxrwxrwx   1 web  web   9 Mar  3 14:07 www -> public_html", true, "www", true, "09",
             "lrwxrwxrwx", "Mar 3 14:07"},
            {"-rw-r--r--   1 web  web   5 Mar  3 14:07 a ->b", true, "a", false, "05", "-rw-r--r--",
             "Mar 3 14:07"},
            {"-rw-r--r--   1 web  web   5 Mar  3 14:07 ->abc", true, "->abc", false, "05",
             "-rw-r--r--", "Mar 3 14:07"},
            {"Drwxr-xr-x   1 web  web   5 Mar  3 14:07 tab\tname", true, "tab\tname", true, "05",
             "Drwxr-xr-x", "Mar 3 14:07"},
            {"-rw-r--r--   1 web  web   n/a Mar  3 14:07 nosize", true, "nosize", false, "0",
             "-rw-r--r--", "Mar 3 14:07"},
            // Missing fields: no name, never the previous line's.
            {"drwxr-xr-x   2 user group 4096 Jan 05 12:34", false, "", false, "", "", ""},
            {"drwxr-xr-x   2 user group 4096 Jan 05 12:34     ", false, "", false, "", "", ""},
            {"drwxr-xr-x", false, "", false, "", "", ""},
            {"", false, "", false, "", "", ""},
        });
}

TEST(UnixListing, WithoutGroupColumn) {
    ListingState state = StateOfType("U2");
    ExpectEntries(state, {
                             {"drwxr-xr-x   2 user 4096 Jan 05 12:34 cgi-bin", true, "cgi-bin",
                              true, "04096", "drwxr-xr-x", "Jan 05 12:34"},
                             {"-rw-------   1 user 77 Dec 31  1999 old file", true, "old file",
                              false, "077", "-rw-------", "Dec 31 1999"},
                         });
}

TEST(UnixListing, LinksFollowTheLinkTreatment) {
    struct Row {
        const char* name;
        int treatment;
        bool isDirectory;
    };
    const Row rows[] = {
        {"docs -> ../docs", 0, true},      {"docs -> ../docs", 1, false},
        {"docs -> ../docs", 2, true},      {"index.html -> x.html", 2, false},
        {"index.html -> x.html", 0, true}, {"my.d -> target", 1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name) + " " + std::to_string(row.treatment));
        ListingState state = StateOfType("U1", row.treatment);
        ParsedEntry entry;
        const QString line = QStringLiteral("lrwxrwxrwx   1 web  web   9 Mar  3 14:07 ") + row.name;
        ASSERT_TRUE(Parse_Dir_Entry(state, line, entry));
        EXPECT_EQ(entry.isDirectory, row.isDirectory);
        EXPECT_EQ(entry.name, QString::fromLatin1(row.name).section(" ->", 0, 0));
    }
}

TEST(WindowsListing, FieldsDatesAndNames) {
    ListingState state = StateOfType("M1");
    ExpectEntries(state,
                  {
                      {"01-05-04  01:30PM       <DIR>          My Docs", true, "My Docs", true, "0",
                       " ", "Jan 05 2004 13:30"},
                      {"12-31-1999  12:15AM             1024 report 2024.txt \t", true,
                       "report 2024.txt", false, "1024", " ", "Dec 31 1999 00:15"},
                      {"06-15-05  12:15PM  77 a", true, "a", false, "77", " ", "Jun 15 2005 12:15"},
                      {"06-15-05  01:15PM  77 a", true, "a", false, "77", " ", "Jun 15 2005 13:15"},
                      {"06-15-05  1:15pm  77 a", true, "a", false, "77", " ", "Jun 15 2005 13:15"},
                      {"06-15-05  11:59AM  77 a", true, "a", false, "77", " ", "Jun 15 2005 11:59"},
                      {"01-05-79  10:00  5 x", true, "x", false, "5", " ", "Jan 05 2079 10:00"},
                      {"01-05-85  10:00AM  5 x", true, "x", false, "5", " ", "Jan 05 1985 10:00"},
                      {"01-05-99  10:00AM  5 x", true, "x", false, "5", " ", "Jan 05 1999 10:00"},
                      // A one-digit month keeps a four-digit year.
                      {"1-05-2004  10:00AM  5 x", true, "x", false, "5", " ", "Jan 05 2004 10:00"},
                      {"1-05-04  10:00AM  5 x", true, "x", false, "5", " ", "Jan 05 2004 10:00"},
                      {"13-05-04  10:00AM  5 x", true, "x", false, "5", " ", " 2004 10:00"},
                      {"01-05-04  10:00:00  5 x", true, "x", false, "5", " ", "Jan 05 2004"},
                      // A short date word or a missing name: no entry.
                      {"1-5-04  10:00AM  5 x", false, "", false, "", "", ""},
                      {"01-05-04  10:00AM  <DIR>", false, "", false, "", "", ""},
                      {"01-05-04  10:00AM  <DIR>     \t ", false, "", false, "", "", ""},
                  });
}

TEST(WindowsListing, TabsBetweenFieldsFallBackToTheFourthWord) {
    ListingState state = StateOfType("M1");
    ParsedEntry entry;
    ASSERT_TRUE(Parse_Dir_Entry(state, QStringLiteral("01-05-04\t01:30PM\t<DIR>\tMy Docs"), entry));
    EXPECT_EQ(entry.name, "My");
    EXPECT_TRUE(entry.isDirectory);
}

TEST(RemoteDates, NormalisedAgainstAFixedToday) {
    struct Row {
        int year, month, day;
        const char* raw;
        const char* date;
        const char* time;
    };
    const Row rows[] = {
        {2026, 1, 3, "Dec 28 10:00", "2025-12-28", "10:00"},
        {2026, 6, 1, "Jun 02 10:00", "2025-06-02", "10:00"},
        {2026, 6, 1, "Jun 01 10:00", "2026-06-01", "10:00"},
        {2026, 6, 1, "mar 3 9:05", "2026-03-03", "09:05"},
        {2026, 6, 1, "Mar 3 2019", "2019-03-03", ""},
        {2026, 6, 1, "Mar 3 79", "1979-03-03", ""},
        {2026, 6, 1, "Mar 3 69", "2069-03-03", ""},
        {2026, 6, 1, "Jan 05 2004 13:30", "2004-01-05", "13:30"},
        {2026, 6, 1, "Foo 3 10:00", "2026-0?-0?", "10:00"},
        {2026, 6, 1, "Mar 3", "Mar 3", ""},
        {2026, 6, 1, "", "", ""},
        {2026, 6, 1, "Migrated", "Migrated", ""},
        {2026, 6, 1, "a b 12:345678", "2026-0?-0?", "12:34"},
        // Across the new year: a server clock ahead of ours lists next year's January.
        {2025, 12, 31, "Jan 01 00:30", "2026-01-01", "00:30"},
        {2025, 12, 31, "Dec 31 10:00", "2025-12-31", "10:00"},
        {2026, 1, 1, "Dec 31 23:59", "2025-12-31", "23:59"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.raw);
        const ListingState state = StateWithToday(row.year, row.month, row.day);
        EXPECT_EQ(DateRemote(state, QString::fromLatin1(row.raw)), row.date);
        EXPECT_EQ(TimeRemote(QString::fromLatin1(row.raw)), row.time);
    }
}

TEST(RemoteDates, ModifiedTextSortsAndUnknownOrderKeepsTheRawDate) {
    const ListingState known = StateWithToday(2026, 6, 1);
    EXPECT_EQ(RemoteModifiedText(known, u"Mar 3 2019"), "2019-03-03   ");
    EXPECT_EQ(RemoteModifiedText(known, u"Mar 3 10:07"), "2026-03-03   10:07");
    EXPECT_LT(RemoteModifiedText(known, u"Mar 3 2026"), RemoteModifiedText(known, u"Mar 3 00:00"));

    ListingState unknown;
    SetDateOrderAndToday(unknown, QStringLiteral("ddMMyyyy"), QDate(2026, 6, 1));
    EXPECT_FALSE(unknown.dateOrder.known);
    EXPECT_EQ(DateRemote(unknown, u"Jun 02 10:00"), "Jun 02 10:00");
    EXPECT_EQ(RemoteModifiedText(unknown, u"Jun 02 10:00"), "Jun 02 10:00");
}

TEST(LocalDates, DateOrderFromShortDateFormat) {
    const std::pair<const char*, const char*> rows[] = {
        {"dd/MM/yyyy", "DMY"},
        {"M/d/yy", "MDY"},
        {"yyyy-MM-dd", "YMD"},
        {"d. M. yyyy", "DMY"},
        {"dd.MM.yy", "DMY"},
        {"ddMMyyyy", ""},
        {"", ""},
        {"dd/MM", ""},
    };
    for (const auto& [format, letters] : rows) {
        SCOPED_TRACE(format);
        const DateOrder order = DateOrderFromFormat(QString::fromLatin1(format));
        EXPECT_EQ(order.known, *letters != 0);
        EXPECT_EQ(order.letters, letters);
    }
}

TEST(LocalDates, TodayIsCapturedThroughTheShortDateFormat) {
    ListingState state;
    SetDateOrderAndToday(state, QStringLiteral("M/d/yy"), QDate(2026, 3, 4));
    EXPECT_EQ(state.dateOrder.letters, "MDY");
    EXPECT_EQ(state.todayYear + state.todayMonth + state.todayDay, "20260304");
    SetDateOrderAndToday(state, QStringLiteral("dd-MMM-yyyy"), QDate(2026, 11, 9));
    EXPECT_EQ(state.todayYear + state.todayMonth + state.todayDay, "20261109");
}

TEST(LocalDates, DateLocalFollowsTheOrder) {
    struct Row {
        const char* order;
        const char* input;
        const char* output;
    };
    const Row rows[] = {
        {"DMY", "05/01/2004", "2004-01-05"},  {"DMY", "5/1/04", "2004-01-05"},
        {"DMY", "5.1.98", "1998-01-05"},      {"DMY", "5/1/4", "2004-01-05"},
        {"DMY", "5/1/998", "1998-01-05"},     {"DMY", "5/1/004", "2004-01-05"},
        {"DMY", "05-Jan-2004", "2004-01-05"}, {"DMY", "05-JANUARY-2004", "2004-01-05"},
        {"MDY", "1/5/2004", "2004-01-05"},    {"YMD", "2004-01-05", "2004-01-05"},
        {"YMD", "2004.1.5", "2004-01-05"},    {"", "05/01/2004", "05/01/2004"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.order) + " " + row.input);
        DateOrder order;
        order.letters = QString::fromLatin1(row.order);
        order.known = !order.letters.isEmpty();
        EXPECT_EQ(DateLocal(order, QString::fromLatin1(row.input)), row.output);
    }
}

TEST(LocalDates, TimeLocalGivesTheTwentyFourHourClock) {
    const std::pair<const char*, const char*> rows[] = {
        {"13:05:09", "13:05:09"},    {"1:05:09 PM", "13:05:09"},
        {"12:00:00 AM", "00:00:00"}, {"12:30:00 PM", "12:30:00"},
        {"11:30:00 pm", "23:30:00"}, {"9:5", "09:05:00"},
        {"1:05 PM", "13:05:00"},     {"12:05 am", "00:05:00"},
        {"11.30.15", "11:30:15"},    {"", "00:00:00"},
    };
    for (const auto& [input, output] : rows) {
        SCOPED_TRACE(input);
        EXPECT_EQ(TimeLocal(QString::fromLatin1(input)), output);
    }
}
