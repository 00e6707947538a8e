#include <gtest/gtest.h>

#include "app/scripted_user_interface.h"
#include "listing/listing_parser.h"
#include "listing/zos_listing.h"
#include "listing/zos_names.h"

namespace {

struct Expected {
    const char* name;
    const char* sizeText;
    const char* permissions;
    const char* rawDate;
};

// Parses a listing the way the remote pane does: examine, then every long enough line from line 1.
std::vector<ParsedEntry> ParseListing(ListingState& state, const QStringList& lines) {
    ExamineFirstDirEntRec(state, lines);
    std::vector<ParsedEntry> entries;
    for (qsizetype i = state.zosMode ? 1 : 0; i < lines.size(); ++i) {
        ParsedEntry entry;
        if (lines[i].size() >= state.minLineLength && Parse_Dir_Entry(state, lines[i], entry)) {
            entries.push_back(entry);
        }
    }
    return entries;
}

void ExpectEntries(const std::vector<ParsedEntry>& entries, const std::vector<Expected>& rows) {
    ASSERT_EQ(entries.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(entries[i].name, rows[i].name);
        EXPECT_FALSE(entries[i].isDirectory);
        EXPECT_EQ(entries[i].sizeText, rows[i].sizeText);
        EXPECT_EQ(entries[i].permissions, rows[i].permissions);
        EXPECT_EQ(entries[i].rawDate, rows[i].rawDate);
    }
}

const QStringList kDatasetList = {
    "Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname",
    "USR001 3390   2023/05/10  1   15  FB      80 27920  PO  PROJ.SRC",
    "USR002 3390   2023/04/02  1    2  VB   27994 27998  PS  PROJ.LOAD",
    "Migrated                                                TEST.DATA",
    "USR003 3390   2022/12/01  1    1  U        0  6144  PO  LOADLIB",
    "USR003 3390   2022/12/01  1    1           0  6144      PROJ.ODD",
};

const QStringList kLoadLibrary = {
    " Name     Size     TTR   Alias-of AC --------- Attributes --------- Amode Rmode",
    "IEFBR14   000008   00000F          00 FO            RN RU            31    ANY",
    "MYPROG    0001A0   000012          00 FO            RN RU            31    24",
    "ALIAS1    000008   00000F IEFBR14  00 FO            RN RU            31    ANY",
};

const QStringList kMemberList = {
    " Name     VV.MM   Created       Changed      Size  Init   Mod   Id",
    "ADDR      01.00 2007/03/01 2007/03/01 10:13    22    22     0 USER1",
    "MEMBER12  01.02 2007/03/01 2008/11/30 09:05   120   100     5 IBMUSER",
    "NOSTATS",
};

void Answer(ScriptedUserInterface& ui, std::initializer_list<std::optional<QString>> answers) {
    ui.inputAnswers.clear();
    for (const auto& answer : answers) {
        ui.inputAnswers.enqueue(answer);
    }
}

}  // namespace

TEST(ZosListing, DatasetListWithPartitionedSequentialAndMigrated) {
    ListingState state;
    const auto entries = ParseListing(state, kDatasetList);
    EXPECT_EQ(state.listingType, "ZF");
    ExpectEntries(entries, {
                               {"PROJ.SRC", "15", "FB - PO", "2023/05/10"},
                               {"PROJ.LOAD", "2", "VB - PS", "2023/04/02"},
                               {"TEST.DATA", "0", "", "Migrated"},
                               {"LOADLIB", "1", "U - PO", "2022/12/01"},
                               {"PROJ.ODD", "1", "", "2022/12/01"},
                           });
    EXPECT_EQ(state.zosDirs, QStringList({"PROJ.", "TEST."}));
    // A z/OS date has no time: the modified text is the listed date.
    SetDateOrderAndToday(state, QStringLiteral("dd/MM/yyyy"), QDate(2026, 6, 1));
    EXPECT_EQ(RemoteModifiedText(state, entries[0].rawDate), "2023/05/10   ");
}

TEST(ZosListing, LoadLibraryMembersHaveHexadecimalSizes) {
    ListingState state;
    const auto entries = ParseListing(state, kLoadLibrary);
    EXPECT_EQ(state.listingType, "ZL");
    EXPECT_TRUE(InPDS(state));
    ExpectEntries(entries, {
                               {"IEFBR14", "8", "31 ANY", ""},
                               {"MYPROG", "416", "31 24", ""},
                               {"ALIAS1", "8", "31 ANY", ""},
                           });
    EXPECT_TRUE(state.zosDirs.isEmpty());
}

TEST(ZosListing, MemberListWithAndWithoutStatistics) {
    ListingState state;
    const auto entries = ParseListing(state, kMemberList);
    EXPECT_EQ(state.listingType, "ZP");
    EXPECT_TRUE(InPDS(state));
    // The date and user-id captions stand right of their data; the columns follow the data.
    EXPECT_EQ(state.zosColumns.date.start, 28);
    EXPECT_EQ(state.zosColumns.userId.start, 63);
    ExpectEntries(entries, {
                               {"ADDR", "22", "USER1", "2007/03/01 10:13"},
                               {"MEMBER12", "120", "IBMUSER", "2008/11/30 09:05"},
                               {"NOSTATS", "0", "", ""},
                           });
}

TEST(ZosListing, MemberListOfBareNamesIsNotAligned) {
    ListingState state;
    const auto entries =
        ParseListing(state, {kMemberList[0], QStringLiteral("ALPHA"), QStringLiteral("BETA")});
    EXPECT_EQ(state.zosColumns.date.start, 33);
    EXPECT_EQ(state.zosColumns.userId.start, 63);
    ExpectEntries(entries, {{"ALPHA", "0", "", ""}, {"BETA", "0", "", ""}});
}

TEST(ZosListing, MissingHeaderWordsLeaveColumnsAbsent) {
    ListingState state;
    const auto entries = ParseListing(state, {QStringLiteral("Volume Unit Dsname"),
                                              QStringLiteral("USR001 3390 A.B                ")});
    EXPECT_EQ(state.zosColumns.date.start, 0);
    EXPECT_EQ(state.zosColumns.size.start, 0);
    ExpectEntries(entries, {{"A.B", "0", "", ""}});
}

TEST(ZosListing, ExaminingAnotherListingClearsThePseudoDirectories) {
    ListingState state;
    ParseListing(state, kDatasetList);
    ASSERT_FALSE(state.zosDirs.isEmpty());
    ParseListing(state, kMemberList);
    EXPECT_TRUE(state.zosDirs.isEmpty());
    AddMVSDirs(state, QStringLiteral("PROJ.SRC.COBOL"));
    AddMVSDirs(state, QStringLiteral("PROJ.X"));
    AddMVSDirs(state, QStringLiteral("NODOT"));
    AddMVSDir(state, QStringLiteral("proj."));
    EXPECT_EQ(state.zosDirs, QStringList({"PROJ.", "proj."}));
}

TEST(ZosListing, LookAndCurrentDirectory) {
    EXPECT_EQ(ZosListingLookFor("ZF").column1Caption, "Dsorg");
    EXPECT_EQ(ZosListingLookFor("ZF").column2Caption, "Tracks");
    EXPECT_EQ(ZosListingLookFor("ZL").column1Caption, "Mode");
    EXPECT_EQ(ZosListingLookFor("ZL").transferModeIndex, 2);
    EXPECT_EQ(ZosListingLookFor("ZP").column1Caption, "Userid");
    EXPECT_EQ(ZosListingLookFor("U1").column1Caption, "Permissions");
    EXPECT_EQ(ZosListingLookFor("U1").column2Caption, "Size");

    EXPECT_EQ(ZosComboText("'USER.DATA'"), "USER.DATA");
    EXPECT_EQ(ZosComboText("''"), "''");
    EXPECT_EQ(ZosComboText("'USER"), "'USER");

    ListingState datasets;
    datasets.listingType = QStringLiteral("ZF");
    EXPECT_EQ(NormaliseZosCurrentDir(datasets, "'USER.DATA'"), "USER.DATA.");
    EXPECT_EQ(NormaliseZosCurrentDir(datasets, "USER."), "USER.");
    ListingState members;
    members.listingType = QStringLiteral("ZP");
    EXPECT_EQ(NormaliseZosCurrentDir(members, "'USER.PDS'"), "USER.PDS");
}

TEST(ZosNames, QuotingAndJoining) {
    EXPECT_EQ(NoMVSQuotes(true, "'USER.DATA'"), "USER.DATA");
    EXPECT_EQ(NoMVSQuotes(true, "USER.DATA'"), "USER.DATA");
    EXPECT_EQ(NoMVSQuotes(true, "'"), "");
    EXPECT_EQ(NoMVSQuotes(false, "'USER.DATA'"), "'USER.DATA'");
    EXPECT_EQ(QuotedNameIfMVS(true, "USER.DATA"), "'USER.DATA'");
    EXPECT_EQ(QuotedNameIfMVS(true, "'USER.DATA'"), "'USER.DATA'");
    EXPECT_EQ(QuotedNameIfMVS(true, "'USER"), "'USER'");
    EXPECT_EQ(QuotedNameIfMVS(false, "USER.DATA"), "USER.DATA");
    EXPECT_EQ(QuotedNameIfMVS(true, "/u/user/file"), "/u/user/file");

    struct Row {
        bool zos;
        const char* dir;
        const char* name;
        const char* joined;
    };
    const Row rows[] = {
        {true, "'USER'", "DATA", "'USER.DATA'"},
        {true, "USER.", "DATA", "USER.DATA"},
        {true, "'USER.DATA'", "", "'USER.DATA.'"},
        {true, "", "DATA", "DATA"},
        {true, "'", "X", "'X"},
        {false, "/home", "x", "/home/x"},
        {false, "/home/", "x", "/home/x"},
        {false, "", "x", "x"},
        {false, "/", "", "/"},
        {false, "'a'", "b", "'a'/b"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.dir) + " + " + row.name);
        EXPECT_EQ(JoinRemotePath(row.zos, row.dir, row.name), row.joined);
    }
}

TEST(ZosNames, LegalFormat) {
    const std::pair<const char*, bool> rows[] = {
        {"PROJ.SRC", true},     {"proj.src", true},   {"", true},
        {"A.", true},           {"@#$.A1", true},     {"ABCDEFGH.ABCDEFGH", true},
        {"1PROJ.SRC", false},   {"PROJ..SRC", false}, {".PROJ", false},
        {"ABCDEFGHI.X", false}, {"A-B", false},       {"A B", false},
        {"A.1B", false},        {".", false},         {"ÄB", false},
    };
    for (const auto& [name, legal] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(LegalMVSFormat(QString::fromUtf8(name)), legal);
    }
}

TEST(ZosNames, GetLegalNameAsksUntilLegal) {
    ScriptedUserInterface ui;
    EXPECT_EQ(GetLegalMVSName(ui, false, "proj.src"), "PROJ.SRC");
    EXPECT_TRUE(ui.inputPrompts.isEmpty());

    Answer(ui, {QString("2BAD"), QString("good.name")});
    EXPECT_EQ(GetLegalMVSName(ui, false, "1PROJ.SRC"), "GOOD.NAME");
    EXPECT_EQ(
        ui.inputPrompts,
        QStringList(
            {"Get Legal z/OS Name|Please supply new z/OS legal name for transfer of 1PROJ.SRC :",
             "Get Legal z/OS Name|Please supply new z/OS legal name for transfer of 2BAD :"}));

    ui.inputPrompts.clear();
    Answer(ui, {std::nullopt});
    EXPECT_EQ(GetLegalMVSName(ui, false, "PROJ..SRC"), "?");
    EXPECT_EQ(ui.inputPrompts.size(), 1);

    // An emptied answer names nothing and is asked again.
    ui.inputPrompts.clear();
    Answer(ui, {QString(""), QString("X")});
    EXPECT_EQ(GetLegalMVSName(ui, false, ".X"), "X");
    EXPECT_EQ(ui.inputPrompts.size(), 2);
}

TEST(ZosNames, GetLegalMemberNameInsideAPartitionedDataset) {
    ScriptedUserInterface ui;
    EXPECT_EQ(GetLegalMVSName(ui, true, "MEMBER1"), "MEMBER1");
    EXPECT_TRUE(ui.inputPrompts.isEmpty());

    Answer(ui, {QString("A.B"), QString("mem2")});
    EXPECT_EQ(GetLegalMVSName(ui, true, "MEMBER12X"), "MEM2");
    EXPECT_EQ(ui.inputPrompts, QStringList({"Get Legal z/OS PDS member name|Please supply new z/OS "
                                            "legal PDS member name for transfer of MEMBER12X :",
                                            "Get Legal z/OS PDS member name|Please supply new z/OS "
                                            "legal PDS member name for transfer of A.B :"}));
    Answer(ui, {std::nullopt});
    EXPECT_EQ(GetLegalMVSName(ui, true, "x.y"), "?");
}
