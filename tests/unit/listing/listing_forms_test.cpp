// Lines in the forms real servers write beyond the plain tables: each row gives the expected
// name, directory flag, size text and modified text (with today fixed), or no entry.
#include <gtest/gtest.h>

#include "listing/listing_parser.h"

namespace {

struct FormRow {
    const char* line;
    const char* name;  // nullptr: the line is no entry
    bool isDirectory;
    const char* sizeText;
    const char* modified;
};

ListingState Today(const char* type) {
    ListingState state;
    SetDateOrderAndToday(state, QStringLiteral("dd/MM/yyyy"), QDate(2026, 6, 1));
    state.listingType = QString::fromLatin1(type);
    return state;
}

void ExpectForms(const char* type, const std::vector<FormRow>& rows) {
    ListingState state = Today(type);
    for (const FormRow& row : rows) {
        SCOPED_TRACE(std::string(type) + ": " + row.line);
        ParsedEntry entry;
        const bool parsed = Parse_Dir_Entry(state, QString::fromUtf8(row.line), entry);
        if (row.name == nullptr) {
            EXPECT_FALSE(parsed);
            EXPECT_TRUE(entry.name.isEmpty());
            continue;
        }
        ASSERT_TRUE(parsed);
        EXPECT_EQ(entry.name, QString::fromUtf8(row.name));
        EXPECT_EQ(entry.isDirectory, row.isDirectory);
        EXPECT_EQ(entry.sizeText, QString::fromUtf8(row.sizeText));
        EXPECT_EQ(RemoteModifiedText(state, entry.rawDate), QString::fromUtf8(row.modified));
    }
}

struct Listed {
    const char* name;
    bool isDirectory;
    const char* sizeText;
    const char* modified;
};

// Examines a whole listing and parses every long enough line, as the remote pane does.
void ExpectListing(const QStringList& lines, const char* type, const std::vector<Listed>& rows) {
    SCOPED_TRACE(lines.join(" | ").toStdString());
    ListingState state = Today("ZP");
    ExamineFirstDirEntRec(state, lines);
    EXPECT_EQ(state.listingType, type);
    std::vector<ParsedEntry> entries;
    for (const QString& line : lines) {
        ParsedEntry entry;
        if (line.size() >= state.minLineLength && Parse_Dir_Entry(state, line, entry)) {
            entries.push_back(entry);
        }
    }
    ASSERT_EQ(entries.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(entries[i].name, QString::fromUtf8(rows[i].name));
        EXPECT_EQ(entries[i].isDirectory, rows[i].isDirectory);
        EXPECT_EQ(entries[i].sizeText, QString::fromUtf8(rows[i].sizeText));
        EXPECT_EQ(RemoteModifiedText(state, entries[i].rawDate),
                  QString::fromUtf8(rows[i].modified));
    }
}

const char* const kBin = "drwxr-xr-x 1 500 244 660 Jan  1 00:00 bin";
const char* const kReadme = "-rw-r--r-- 1 500 244 1234 Mar 10  2019 README";

}  // namespace

TEST(ListingDetection, BlankFirstLine) {
    ExpectListing(
        {"", kBin, kReadme}, "U1",
        {{"bin", true, "0660", "2026-01-01   00:00"}, {"README", false, "01234", "2019-03-10   "}});
}

TEST(ListingDetection, DirectoryHeaderAndTotalBeforeTheEntries) {
    ExpectListing(
        {".:", "total 12", kBin, kReadme}, "U1",
        {{"bin", true, "0660", "2026-01-01   00:00"}, {"README", false, "01234", "2019-03-10   "}});
    ExpectListing({"/pub/incoming:", "total 4", "-rw-r--r-- 1 ftp 77 Dec 31  1999 old file"}, "U2",
                  {{"old file", false, "077", "1999-12-31   "}});
}

TEST(ListingDetection, ErrorTextFirst) {
    ExpectListing({"ftpd: .: Permission denied", kBin}, "U1",
                  {{"bin", true, "0660", "2026-01-01   00:00"}});
    ExpectListing({"ls: cannot access 'x': No such file or directory",
                   "01-05-04  01:30PM       <DIR>          My Docs"},
                  "M1", {{"My Docs", true, "0", "2004-01-05   13:30"}});
}

TEST(ListingDetection, OddSecondLineDoesNotDecideTheForm) {
    // The line a fixed sample would have read is of no form at all.
    ExpectListing({"total 3", "-- listing produced by a proxy --", kBin}, "U1",
                  {{"bin", true, "0660", "2026-01-01   00:00"}});
}

TEST(ListingDetection, MixedFormsEachLineByTheFormItFits) {
    ExpectListing({"01-05-04  01:30PM       <DIR>          My Docs", kReadme,
                   "12-31-1999  12:15AM             1024 report.txt"},
                  "M1",
                  {{"My Docs", true, "0", "2004-01-05   13:30"},
                   {"README", false, "01234", "2019-03-10   "},
                   {"report.txt", false, "1024", "1999-12-31   00:15"}});
    ExpectListing(
        {kBin, "2002-09-02  18:48       <DIR>          winsub"}, "U1",
        {{"bin", true, "0660", "2026-01-01   00:00"}, {"winsub", true, "0", "2002-09-02   18:48"}});
}

TEST(ListingDetection, NothingEntryLikeFallsBackToTheWindowsForm) {
    ExpectListing({"550 No files found", "", "total 0"}, "M1", {});
}

TEST(ListingAnchoring, OwnersAndGroupsWithBlanks) {
    ExpectForms(
        "U1", {
                  {"drwx------ 4 max Domain Users 512 Oct 2 10:59 .config", ".config", true, "0512",
                   "2025-10-02   10:59"},
                  {"-rw-r--r-- 1 Jo Ann Smith Domain Users 1234 Mar 3  2019 a b.txt", "a b.txt",
                   false, "01234", "2019-03-03   "},
                  {"-rw-r--r-- 1 owner Domain Users Group Two 123456789012 Jan 1 2003 big", "big",
                   false, "0123456789012", "2003-01-01   "},
                  // An owner spelt like a month is not the date.
                  {"-rw-r--r-- 1 may staff 12 Jan 5  2019 x", "x", false, "012", "2019-01-05   "},
              });
}

TEST(ListingAnchoring, SizesWithUnitsOrGluedToTheGroup) {
    ExpectForms(
        "U1", {
                  {"-rw-r--r-- 1 u g 33.5k Jan 1 2003 a", "a", false, "034304", "2003-01-01   "},
                  {"-rw-r--r-- 1 u g 1.2M Jan 1 2003 b", "b", false, "01258291", "2003-01-01   "},
                  {"-rw-r--r-- 1 u g 4G Jan 1 2003 c", "c", false, "04294967296", "2003-01-01   "},
                  {"-rw-r--r-- 1 user ftpgroup125435904 Jan 1 2003 d", "d", false, "0125435904",
                   "2003-01-01   "},
                  // Not a size: letters after the digits that are no unit.
                  {"-rw-r--r-- 1 u g 12x Jan 1 2003 e", "e", false, "0", "2003-01-01   "},
              });
}

TEST(ListingAnchoring, PaddingAfterALeftAlignedYearAndShortMinutes) {
    ExpectForms(
        "U1",
        {
            // The year written left-aligned: the second blank is padding.
            {"-rw-r--r--   1 u g  531 Mar  1 2003  .welcome", ".welcome", false, "0531",
             "2003-03-01   "},
            // Right-aligned: the name begins after one blank and keeps its own.
            {"-rw-r--r--   1 u g  531 Mar 18  2007  x", " x", false, "0531", "2007-03-18   "},
            {"drwxr-xr-x   1 u g  531 Mar 18  2007  ", " ", true, "0531", "2007-03-18   "},
            {"drwxr-xr-x   1 u g  531 Mar  1 2007  ", nullptr, false, "", ""},
            // An embedded server's one-digit minute.
            {"-rw-r--r--   1 u g  531 Jan  1 00:0 m", "m", false, "0531", "2026-01-01   00:00"},
            {"-rw-r--r--   1 u g  531 Jan  1 9:5 n", "n", false, "0531", "2026-01-01   09:05"},
        });
}

TEST(ListingAnchoring, NetWareLinesAndLinkCountsGluedToTheMode) {
    ExpectForms("U1",
                {
                    {"d [R----F--] supervisor 512 Jan 16 18:53 pub", "pub", true, "0512",
                     "2026-01-16   18:53"},
                    {"- [R----F--] supervisor 3120 Jan 16 18:53 a.txt", "a.txt", false, "03120",
                     "2026-01-16   18:53"},
                    {"drwxr-x---+1464 user group 41472 Feb 25 13:17 many", "many", true, "041472",
                     "2026-02-25   13:17"},
                    // Brackets that are no rights, and digits glued without an ACL mark.
                    {"d R----F-- supervisor 512 Jan 16 18:53 x", nullptr, false, "", ""},
                    {"drwxr-x---1464 user group 41472 Feb 25 13:17 y", nullptr, false, "", ""},
                });
}

TEST(ListingAnchoring, NumericAndDayFirstDates) {
    ExpectForms(
        "U1",
        {
            // Month and day as numbers, no year: the year-less rule applies.
            {"-rw-r--r-- 1 u g 531 3 29 03:26 a", "a", false, "0531", "2026-03-29   03:26"},
            {"-rw-r--r-- 1 u g 531 03-29 2003 b", "b", false, "0531", "2003-03-29   "},
            {"-rw-r--r-- 1 u g 531 12-24 23:59 c", "c", false, "0531", "2025-12-24   23:59"},
            {"-rw-r--r-- 1 u g 531 2003/03/29 03:26 d", "d", false, "0531", "2003-03-29   03:26"},
            {"-rw-r--r-- 1 u g 531 26.09.2003 e", "e", false, "0531", "2003-09-26   "},
            {"-rw-r--r-- 1 u g 531 26. Juli, 20:10 f", "f", false, "0531", "2025-07-26   20:10"},
            {"-rw-r--r-- 1 u g 531 2. Okt. 2003 g", "g", false, "0531", "2003-10-02   "},
            // Not dates: a thirteenth month, a day 32, no size before them.
            {"-rw-r--r-- 1 u g 531 13 29 03:26 x", nullptr, false, "", ""},
            {"-rw-r--r-- 1 u g 531 03-32 2003 y", nullptr, false, "", ""},
            {"-rw-r--r-- 1 u 3 29 03:26 z", nullptr, false, "", ""},
        });
}

TEST(ListingAnchoring, DeviceFilesHaveNoSize) {
    ExpectForms("U1", {
                          {"crw-rw-rw- 1 root root 1, 3 Jan  1  2020 null", "null", false, "0",
                           "2020-01-01   "},
                          {"brw-rw---- 1 root disk 8,   0 Feb 12 09:00 sda", "sda", false, "0",
                           "2026-02-12   09:00"},
                      });
}

TEST(ListingAnchoring, ModeWordsOfOtherLengths) {
    ExpectForms("U1", {
                          {"drwxr-xr-x+ 3 u g 4096 Jan 05 12:34 acl", "acl", true, "04096",
                           "2026-01-05   12:34"},
                          {"-rw-r--r--. 1 u g 10 Jan 05 12:34 labelled", "labelled", false, "010",
                           "2026-01-05   12:34"},
                          {"-rw-r--r--@ 1 u staff 10 Jan 05 12:34 mac", "mac", false, "010",
                           "2026-01-05   12:34"},
                      });
}

TEST(ListingAnchoring, MissingColumnsOnSomeLines) {
    // Lines without a group, or without a link count, in a listing detected with a group column.
    ExpectForms("U1",
                {
                    {"-rw-r--r-- 1 user 77 Dec 31  1999 old file", "old file", false, "077",
                     "1999-12-31   "},
                    {"-rw-r--r-- user group 5 Mar 3  2019 x", "x", false, "05", "2019-03-03   "},
                });
    ExpectForms("U2", {
                          {kBin, "bin", true, "0660", "2026-01-01   00:00"},
                      });
}

TEST(ListingAnchoring, DateLikeWordsAfterTheDateBelongToTheName) {
    ExpectForms("U1", {
                          {"-rw-r--r-- 1 u g 12 Jan 12  2019 Feb 3 10:00 notes",
                           "Feb 3 10:00 notes", false, "012", "2019-01-12   "},
                          {"-rw-r--r-- 1 u g 2019 Jan 12 10:00 2019", "2019", false, "02019",
                           "2026-01-12   10:00"},
                      });
}

TEST(ListingDates, LocalisedMonthNames) {
    ExpectForms(
        "U1",
        {
            {"-rw-r--r-- 1 u g 100 Okt  5  2019 de", "de", false, "0100", "2019-10-05   "},
            {"-rw-r--r-- 1 u g 100 déc.  5  2019 fr", "fr", false, "0100", "2019-12-05   "},
            {"-rw-r--r-- 1 u g 100 szept  5 12:00 hu", "hu", false, "0100", "2025-09-05   12:00"},
            {"-rw-r--r-- 1 u g 100 dic 24  2018 es", "es", false, "0100", "2018-12-24   "},
            {"-rw-r--r-- 1 u g 100 Mai  9 08:15 de2", "de2", false, "0100", "2026-05-09   08:15"},
            {"-rw-r--r-- 1 u g 100 Juli  9  2011 de3", "de3", false, "0100", "2011-07-09   "},
            {"-rw-r--r-- 1 u g 100 MÄRZ  9  2011 upper", "upper", false, "0100", "2011-03-09   "},
        });
}

TEST(ListingDates, DayBeforeMonth) {
    ExpectForms(
        "U1",
        {
            {"-rw-r--r-- 1 u g 100 26. Juli 12:00 de", "de", false, "0100", "2025-07-26   12:00"},
            {"-rw-r--r-- 1 u g 100 15 апр  2009 ru", "ru", false, "0100", "2009-04-15   "},
            {"-rw-r--r-- 1 u g 3 4 mars 2010 fr", "fr", false, "03", "2010-03-04   "},
        });
}

TEST(ListingDates, EastAsianMarks) {
    ExpectForms(
        "U1",
        {
            {"-rw-r--r-- 1 u g 100  3月 15 12:00 ja", "ja", false, "0100", "2026-03-15   12:00"},
            {"-rw-r--r-- 1 u g 100 12月 1日 2019年 zh", "zh", false, "0100", "2019-12-01   "},
            {"-rw-r--r-- 1 u g 100 10월 3일 09:30 ko", "ko", false, "0100", "2025-10-03   09:30"},
            {"-rw-r--r-- 1 u g 100 2009年 3月 15日 year first", "year first", false, "0100",
             "2009-03-15   "},
        });
}

TEST(ListingDates, NumericIsoDates) {
    ExpectForms("U1", {
                          {"-rw-r--r-- 1 u g 5 2005-06-20 14:22 long iso", "long iso", false, "05",
                           "2005-06-20   14:22"},
                          {"-rw-r--r-- 1 u g 5 2005-06-20 14:22:33 seconds", "seconds", false, "05",
                           "2005-06-20   14:22"},
                          {"-rw-r--r-- 1 u g 5 2005-06-20 14:22:33.123456789 +0200 full", "full",
                           false, "05", "2005-06-20   14:22"},
                          {"-rw-r--r-- 1 u g 5 2005-06-20 dateonly", "dateonly", false, "05",
                           "2005-06-20   "},
                      });
}

TEST(ListingDates, UnknownMonthKeepsTheListedText) {
    ExpectForms("U1", {
                          {"-rw-r--r-- 1 u g 5 Xyzzy 3 10:00 f", "f", false, "05", "Xyzzy 3 10:00"},
                      });
}

TEST(ListingDates, WindowsIsoDottedAndTwentyFourHour) {
    ExpectForms(
        "M1",
        {
            {"2002-09-02  18:48       <DIR>          name", "name", true, "0",
             "2002-09-02   18:48"},
            {"2002-09-02  18:48:10  1234 f.txt", "f.txt", false, "1234", "2002-09-02   18:48"},
            {"01-05-04  18:48  5 x", "x", false, "5", "2004-01-05   18:48"},
            {"02.09.2002  18:48  12 dotted", "dotted", false, "12", "2002-09-02   18:48"},
            {"2002/9/2  6:05PM  12 slash", "slash", false, "12", "2002-09-02   18:05"},
        });
}

TEST(ListingNames, LeadingAndTrailingBlanksBelongToTheName) {
    ExpectForms("U1", {
                          {"-rw-r--r-- 1 u g 5 Dec 02  2009  foo bar ", " foo bar ", false, "05",
                           "2009-12-02   "},
                          {"-rw-r--r-- 1 u g 5 Dec 02 10:00  lead", " lead", false, "05",
                           "2025-12-02   10:00"},
                          {"-rw-r--r-- 1 u g 5 Dec 02 10:00      ", nullptr, false, "", ""},
                      });
    ExpectForms("M1", {
                          {"01-05-04  01:30PM       <DIR>            Two lead", "  Two lead", true,
                           "0", "2004-01-05   13:30"},
                          {"01-05-04  01:30PM                 1234  lead.txt", " lead.txt", false,
                           "1234", "2004-01-05   13:30"},
                      });
}

TEST(ListingNames, LinkNameIsThePartBeforeTheArrow) {
    ExpectForms(
        "U1",
        {
            {"lrwxrwxrwx 1 u g 9 Mar 3 14:07 my link -> target dir", "my link", true, "09",
             "2026-03-03   14:07"},
            {"lrwxrwxrwx 1 u g 9 Mar 3 14:07  sp -> x", " sp", true, "09", "2026-03-03   14:07"},
            {"lrwxrwxrwx 1 u g 9 Mar 3 14:07 a -> b -> c", "a", true, "09", "2026-03-03   14:07"},
        });
}

TEST(ListingNonEntries, ErrorTextGarbageAndOtherFormsGiveNoEntry) {
    const std::vector<FormRow> rows = {
        {"ftpd: .: Permission denied", nullptr, false, "", ""},
        {"ls: cannot open directory .: Permission denied", nullptr, false, "", ""},
        {"total 12", nullptr, false, "", ""},
        {"/pub/incoming:", nullptr, false, "", ""},
        {"550 No files found in this directory", nullptr, false, "", ""},
        {"\x01\x7f\x1b[0m garbage 12 34 56 78 90 zz", nullptr, false, "", ""},
        {"USR001 3390   2023/05/10  1   15  FB      80 27920  PO  PROJ.SRC", nullptr, false, "",
         ""},
        {"Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname", nullptr, false, "", ""},
        // The Windows fall-back wants a date word and then a time word.
        {"12 files and 3 folders, 1234 bytes", nullptr, false, "", ""},
        {"01-05-04  not-a-time  5 x", nullptr, false, "", ""},
        {"01-05-04  99:99PM  5 x", nullptr, false, "", ""},
        {"hello world this is a line", nullptr, false, "", ""},
        // A mode word with no date after it.
        {"drwxr-xr-x 2 user group 4096 somewhere over there", nullptr, false, "", ""},
    };
    ExpectForms("U1", rows);
    ExpectForms("U2", rows);
    ExpectForms("M1", rows);
}

TEST(ListingOlderServers, NetPresenzFolderLinesAreDirectories) {
    ExpectForms(
        "U2",
        {
            {"drwxr-xr-x  folder  0 Jul 17  2006 online", "online", true, "00", "2006-07-17   "},
            {"-rwxrwxrwx  folder  2 May 10  1996 network", "network", true, "02", "1996-05-10   "},
        });
    ExpectListing({"drwxr-xr-x  folder  0 Jul 17  2006 online"}, "U2",
                  {{"online", true, "00", "2006-07-17   "}});
}

TEST(ListingAnchoring, WindowsSizesWithSeparatorsOrNarrowerThanTheirColumn) {
    ExpectListing(
        {"01-05-04  01:30PM                    12 narrow.txt",
         "01-05-04  01:30PM                   123  lead.txt",
         // Left-aligned in the column: the blanks up to the name column are padding.
         "01-05-04  01:30PM  12                  left.txt", "01-05-04  01:30PM  1,234,567 x",
         // The 24-hour layout has no fixed name column.
         "2002-09-02  18:48  12   iso", "01-05-04  01:30PM  12,34 y"},
        "M1",
        {{"narrow.txt", false, "12", "2004-01-05   13:30"},
         {" lead.txt", false, "123", "2004-01-05   13:30"},
         {"left.txt", false, "12", "2004-01-05   13:30"},
         {"x", false, "1234567", "2004-01-05   13:30"},
         {"  iso", false, "12", "2002-09-02   18:48"},
         {"y", false, "12,34", "2004-01-05   13:30"}});
}
