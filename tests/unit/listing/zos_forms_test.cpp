// z/OS lines beyond the plain dataset and member tables: pseudo-directories, the "Date" header,
// and lines whose columns do not hold what the header says.
#include <gtest/gtest.h>

#include "listing/listing_parser.h"
#include "listing/zos_listing.h"

namespace {

const QString kHeader = "Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname";
const QString kSource = "USR001 3390   2023/05/10  1   15  FB      80 27920  PO  PROJ.SRC";

struct Row {
    const char* name;
    bool isDirectory;
    const char* sizeText;
    const char* rawDate;
};

void ExpectListing(const QStringList& lines, const std::vector<Row>& rows) {
    SCOPED_TRACE(lines.join(" | ").toStdString());
    ListingState state;
    ExamineFirstDirEntRec(state, lines);
    ASSERT_TRUE(state.zosMode);
    std::vector<ParsedEntry> entries;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        ParsedEntry entry;
        if (lines[i].size() >= state.minLineLength && Parse_Dir_Entry(state, lines[i], entry)) {
            entries.push_back(entry);
        } else {
            EXPECT_TRUE(entry.name.isEmpty());
        }
    }
    ASSERT_EQ(entries.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(entries[i].name, rows[i].name);
        EXPECT_EQ(entries[i].isDirectory, rows[i].isDirectory);
        EXPECT_EQ(entries[i].sizeText, rows[i].sizeText);
        EXPECT_EQ(entries[i].rawDate, rows[i].rawDate);
    }
}

}  // namespace

TEST(ZosDatasetForms, PseudoDirectoriesAreDirectoriesWithoutADate) {
    ExpectListing(
        {kHeader, kSource, "Pseudo Directory                                        PROJ.SUB",
         "Pseudo Directory                                        WORK"},
        {{"PROJ.SRC", false, "15", "2023/05/10"},
         {"PROJ.SUB", true, "0", ""},
         {"WORK", true, "0", ""}});
}

TEST(ZosDatasetForms, DateHeaderIsReadLikeReferred) {
    const QStringList lines = {kSource,
                               "USR002 3390   2023/04/02  1    2  VB   27994 27998  PS  PROJ.LOAD",
                               "Migrated                                                OLD.DATA"};
    const std::vector<Row> rows = {{"PROJ.SRC", false, "15", "2023/05/10"},
                                   {"PROJ.LOAD", false, "2", "2023/04/02"},
                                   {"OLD.DATA", false, "0", "Migrated"}};
    // In place of "Referred", and right-aligned over the same dates.
    ExpectListing(
        QStringList{"Volume Unit    Date     Ext Used Recfm Lrecl BlkSz Dsorg Dsname"} + lines,
        rows);
    ExpectListing(
        QStringList{"Volume Unit        Date Ext Used Recfm Lrecl BlkSz Dsorg Dsname"} + lines,
        rows);
}

TEST(ZosDatasetForms, LinesWithoutTheExpectedKindsOfValueAreNoEntries) {
    ExpectListing({kHeader, kSource,
                   // Error and connector text, a line of another form, bad values in the columns.
                   "IKJ56228I DATA SET PROJ.MISSING NOT IN CATALOG OR CATALOG CAN NOT BE ACCESSED",
                   "No data sets found",
                   "drwxr-xr-x   2 user group 4096 Jan 05 12:34 cgi-bin                    x",
                   "USR001 3390   xx/05/10  1   15  FB      80 27920  PO  PROJ.BADDATE",
                   "USR001 3390   2023/05/10  1   zz  FB      80 27920  PO  PROJ.BADSIZE",
                   "TOOLONGVOL0   2023/05/10  1   15  FB      80 27920  PO  PROJ.BADVOL",
                   "USR001 3390   2022/12/01  1    1  U        0  6144  PO  LOADLIB"},
                  {{"PROJ.SRC", false, "15", "2023/05/10"}, {"LOADLIB", false, "1", "2022/12/01"}});
}

TEST(ZosMemberForms, LinesWithoutTheExpectedKindsOfValueAreNoEntries) {
    ExpectListing({" Name     VV.MM   Created       Changed      Size  Init   Mod   Id",
                   "ADDR      01.00 2007/03/01 2007/03/01 10:13    22    22     0 USER1",
                   "IEC130I SYSIN DD STATEMENT MISSING",
                   "ADDR2     01.00 2007/03/01 2007/03/01 10:13    xx    22     0 USER1",
                   "two words", "NOSTATS"},
                  {{"ADDR", false, "22", "2007/03/01 10:13"}, {"NOSTATS", false, "0", ""}});
    ExpectListing(
        {" Name     Size     TTR   Alias-of AC --------- Attributes --------- Amode Rmode",
         "IEFBR14   000008   00000F          00 FO            RN RU            31    ANY",
         "MYPROG    0001G0   000012          00 FO            RN RU            31    24",
         "ftp: some error text that is long enough"},
        {{"IEFBR14", false, "8", ""}});
}

// Migrated datasets not aligned under the header, comment lines, an overflowed Used value, a
// date glued to the Ext column and a date with a two-digit year.
TEST(ZosDatasetForms, LinesOfTheOlderAndOverflowingForms) {
    ExpectListing({kHeader, kSource, "Migrated    OLD.DATA",
                   "Migrated                                                OLD.TWO",
                   "* This is a comment line 1 2 3 4 5 6 7 8 9 10 11 12 1234 FB",
                   "USR001 3390   2023/05/10 123+99999  FB      80 27920  PO  PROJ.OVER",
                   "USR001 3390   2010/03/09123   15  FB      80 27920  PS  PROJ.GLUED",
                   "USR001 3390   12/29/95    1   15  FB      80 27920  PS  PROJ.OLD"},
                  {{"PROJ.SRC", false, "15", "2023/05/10"},
                   {"OLD.DATA", false, "0", "Migrated"},
                   {"OLD.TWO", false, "0", "Migrated"},
                   {"PROJ.OVER", false, "99999", "2023/05/10"},
                   {"PROJ.GLUED", false, "15", "2010/03/09"},
                   {"PROJ.OLD", false, "15", "1995/12/29"}});
}
