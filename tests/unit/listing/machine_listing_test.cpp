// Machine listings (MLSD): facts in any order and case, the entries they give, and lines that
// give none.
#include <gtest/gtest.h>

#include "listing/listing_parser.h"
#include "listing/machine_listing.h"

namespace {

struct MachineRow {
    const char* line;
    const char* name;  // nullptr: no entry
    bool isDirectory;
    const char* sizeText;
    const char* permissions;
    const char* modified;
};

void ExpectMachine(const std::vector<MachineRow>& rows, int linkTreatment = 0) {
    ListingState state;
    SetDateOrderAndToday(state, QStringLiteral("dd/MM/yyyy"), QDate(2026, 6, 1));
    UseMachineListing(state);
    state.timeZone = QTimeZone(3600);  // one hour east of UTC
    state.linkTreatment = linkTreatment;
    for (const MachineRow& row : rows) {
        SCOPED_TRACE(row.line);
        ParsedEntry entry;
        const bool parsed = Parse_Dir_Entry(state, QString::fromUtf8(row.line), entry);
        if (row.name == nullptr) {
            EXPECT_FALSE(parsed);
            continue;
        }
        ASSERT_TRUE(parsed);
        EXPECT_EQ(entry.name, QString::fromUtf8(row.name));
        EXPECT_EQ(entry.isDirectory, row.isDirectory);
        EXPECT_EQ(entry.sizeText, row.sizeText);
        EXPECT_EQ(entry.permissions, row.permissions);
        // Without a time the column stays blank.
        EXPECT_EQ(RemoteModifiedText(state, entry.rawDate).trimmed(),
                  QString::fromUtf8(row.modified));
    }
}

}  // namespace

TEST(MachineListing, FactsInAnyOrderAndCase) {
    ExpectMachine({
        {"type=file;size=1234;modify=20240131233000;UNIX.mode=0644; a.txt", "a.txt", false, "01234",
         "-rw-r--r--", "2024-02-01   00:30"},
        {"Modify=20240101120000.123;UNIX.MODE=0755;Type=Dir;Size=4096; www", "www", true, "04096",
         "drwxr-xr-x", "2024-01-01   13:00"},
        {"perm=adfrw;type=file;size=0;modify=20231231230000; empty", "empty", false, "00", "-adfrw",
         "2024-01-01   00:00"},
        {"type=file;UNIX.mode=4755;size=5; suid", "suid", false, "05", "-rwsr-xr-x", ""},
        {"type=dir;sizd=512;UNIX.mode=1777; tmp", "tmp", true, "0512", "drwxrwxrwt", ""},
    });
}

TEST(MachineListing, NamesAreEverythingAfterTheFirstBlank) {
    ExpectMachine({
        {"type=file;size=1; name with  blanks ", "name with  blanks ", false, "01", "-", ""},
        {"type=file;size=1; semi;colon=x; y", "semi;colon=x; y", false, "01", "-", ""},
        {"type=file;size=1; -> arrow", "-> arrow", false, "01", "-", ""},
        {"type=file;size=1;  lead\r", " lead", false, "01", "-", ""},
    });
}

TEST(MachineListing, LinksFollowTheSiteLinkTreatment) {
    ExpectMachine(
        {{"type=OS.unix=slink:/etc;UNIX.mode=0777; etc", "etc", true, "0", "lrwxrwxrwx", ""}}, 0);
    ExpectMachine({{"type=OS.unix=symlink; a.b", "a.b", false, "0", "l", ""}}, 2);
}

TEST(MachineListing, LinesThatGiveNoEntry) {
    ExpectMachine({
        {"type=cdir;modify=20240101120000; /home/u", nullptr, false, "", "", ""},
        {"type=pdir;modify=20240101120000; ..", nullptr, false, "", "", ""},
        {"size=12;modify=20240101120000; untyped", nullptr, false, "", "", ""},
        {"type=unknown; odd", nullptr, false, "", "", ""},
        {"type=file;size=1;", nullptr, false, "", "", ""},
        {"type=file;size=1 ", nullptr, false, "", "", ""},
        {"type=file;noequals; x", nullptr, false, "", "", ""},
        {"-rw-r--r-- 1 u g 5 Jan 05 12:34 text form", nullptr, false, "", "", ""},
        {"", nullptr, false, "", "", ""},
    });
}

TEST(MachineListing, BadFactValuesAreLeftOut) {
    ExpectMachine({
        {"type=file;size=12a;modify=2024013125;UNIX.mode=0999; x", "x", false, "0", "-", ""},
        {"type=file;modify=20240231120000; feb31", "feb31", false, "0", "-", ""},
    });
    EXPECT_FALSE(ParseMachineTime(u"20241301000000").isValid());
    EXPECT_EQ(ParseMachineTime(u"20240630235960"),
              QDateTime(QDate(2024, 6, 30), QTime(23, 59, 59), Qt::UTC));
}

// Times on the day a zone moves its clocks are converted one by one, the others by their day.
TEST(MachineListing, TimesAcrossADaylightSavingChange) {
    const QTimeZone berlin("Europe/Berlin");
    if (!berlin.isValid()) {
        GTEST_SKIP() << "no time zone data";
    }
    ListingState state;
    SetDateOrderAndToday(state, QStringLiteral("dd/MM/yyyy"), QDate(2026, 6, 1));
    UseMachineListing(state);
    state.timeZone = berlin;
    const std::pair<const char*, const char*> rows[] = {
        {"type=file;modify=20240331003000; a", "2024-03-31   01:30"},
        {"type=file;modify=20240331013000; b", "2024-03-31   03:30"},
        {"type=file;modify=20240701120000; c", "2024-07-01   14:00"},
        {"type=file;modify=20240701235900; d", "2024-07-02   01:59"},
        {"type=file;modify=20241231230000; e", "2025-01-01   00:00"},
    };
    for (const auto& [line, shown] : rows) {
        SCOPED_TRACE(line);
        ParsedEntry entry;
        ASSERT_TRUE(Parse_Dir_Entry(state, QString::fromLatin1(line), entry));
        EXPECT_EQ(RemoteModifiedText(state, entry.rawDate), shown);
    }
}
