#include <gtest/gtest.h>

#include "config/settings.h"
#include "listing/zos_listing.h"
#include "transfer/transfer_rules.h"

TEST(SeeIfAscii, ByTheWholeNameOrWhatFollowsEachFullStop) {
    struct Case {
        const char* name;
        bool ascii;
    } const cases[] = {
        {"index.HTML", true},
        {"archive.tar.gz", false},
        {"notes.", false},
        {"a.tar.txt", true},
        {"README", false},
        {"procmail.log", true},
        {"x.procmailrc", true},
        {".procmailrc", true},
        {"photo.JPG", false},
        {"data.csv.backup", false},
        {"", false},
        {"style.css", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SeeIfAscii(c.name, kDefaultAsciiFiletypes), c.ascii) << c.name;
    }
    EXPECT_TRUE(SeeIfAscii("README", "txt|readme"));  // a whole name may be listed
}

TEST(Allocation, SiteCommandsAndTheBlockSizeRules) {
    struct Case {
        const char* recfm;
        int lrecl, blksize, sent;
    } const cases[] = {
        {"FB", 80, 6160, 6160}, {"FB", 80, 6100, 0},      {"VB", 255, 200, 259},
        {"VBS", 255, 200, 200}, {"U", 80, 6100, 6100},    {"FB", 80, 0, 0},
        {"FB", 80, -5, -5},     {"V", 100, 27998, 27998},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AdjustedBlockSize(c.recfm, c.lrecl, c.blksize), c.sent)
            << c.recfm << " " << c.lrecl << " " << c.blksize;
    }
    AllocationAttributes a;
    a.primary = 3;
    a.secondary = 1;
    a.recordFormat = "FB";
    a.recordLength = 80;
    a.blockSize = 27920;
    EXPECT_EQ(AllocationCommands(a), QStringList({"SITE CYLINDER PRI=3 SEC=1", "SITE RECFM=FB",
                                                  "SITE LRECL=80", "SITE BLOCKSIZE=27920"}));
    a.primary = 0;  // no quantity and no length: only the format goes
    a.recordLength = 0;
    EXPECT_EQ(AllocationCommands(a), QStringList({"SITE RECFM=FB"}));
}

TEST(TransferProgress, TextsDurationRateAndPercent) {
    TransferProgressText t = DescribeTransferProgress("Up", "a.bin", 0, 0, 5000, false);
    EXPECT_EQ(t.status, " Uploading a.bin 0 of 0 (0%)");  // no total: 0% and no rate
    EXPECT_TRUE(t.duration.isEmpty());
    t = DescribeTransferProgress("Down", "b.bin", 2000000, 500000, 800, false);
    EXPECT_EQ(t.status, " Downloading b.bin 500,000 of 2,000,000 (25%)");
    EXPECT_EQ(t.duration, "00:00");
    t = DescribeTransferProgress("Down", "c", 1000, 1000, 125500, true);
    EXPECT_EQ(t.status, " Downloading c 1,000 of possibly 1,000 (100%), 8 bytes/second.");
    EXPECT_EQ(t.duration, "2:05");
    EXPECT_EQ(t.percent, 100);
    EXPECT_EQ(DescribeTransferProgress("Down", "d", 10, 40, 0, true).percent, 100);  // capped
    EXPECT_EQ(CompletedSizes(1234567, false), "1,234,567 of 1,234,567 bytes (100%)");
    EXPECT_EQ(ZosSizeEstimate(10, false), 566640);
    EXPECT_EQ(ZosSizeEstimate(0, false), 2147483647);
    EXPECT_EQ(ZosSizeEstimate(10, true), 2147483647);
}

TEST(TransferProgress, ABatchShowsFilesBytesRateAndTimeLeft) {
    // Before a second has passed: no rate, no time left.
    TransferProgressText t = DescribeBatchProgress(true, 0, 200, 0, 819200, 300);
    EXPECT_EQ(t.status, " Uploaded 0 of 200 files, 0 of 819,200 bytes (0%)");
    EXPECT_EQ(t.duration, "0:00");
    // 409,600 bytes in 4 s: 102,400 a second, 4 s for the rest.
    t = DescribeBatchProgress(false, 100, 200, 409600, 819200, 4000);
    EXPECT_EQ(t.status,
              " Downloaded 100 of 200 files, 409,600 of 819,200 bytes (50%), 102,400 "
              "bytes/second, 0:04 left");
    EXPECT_EQ(t.percent, 50);
    // Engines that count more than the batch's sizes (a text file's line ends) stay at 100%.
    t = DescribeBatchProgress(true, 3, 3, 5000, 4000, 61000);
    EXPECT_EQ(t.percent, 100);
    EXPECT_EQ(t.duration, "1:01");
    EXPECT_TRUE(t.status.endsWith(", 0:00 left"));
    // Empty files only: the count of files gives the share.
    EXPECT_EQ(DescribeBatchProgress(true, 1, 4, 0, 0, 2000).percent, 25);
}

TEST(Permissions, DialogStartResultsAndOctal) {
    // No full listing text: 705.
    EXPECT_EQ(OctalFromBoxes(InitialPermissionBoxes("")), "705");
    EXPECT_EQ(OctalFromBoxes(InitialPermissionBoxes("RWXR-XR-X")), "705");
    const PermissionBoxes listed = InitialPermissionBoxes("-RW-R-----");
    EXPECT_EQ(PermissionTextFromBoxes(listed), "rw-r-----");
    EXPECT_EQ(OctalFromBoxes(listed), "640");
    EXPECT_EQ(OctalFromBoxes(InitialPermissionBoxes("DRWXRWSR-T")), "764");  // s and t are not x
    for (const char* octal : {"000", "755", "640", "777", "123"}) {
        EXPECT_EQ(OctalFromBoxes(InitialPermissionBoxes("-" + PermissionTextFromOctal(octal))),
                  octal);
    }
    EXPECT_EQ(PermissionTriple('6'), "rw-");
    EXPECT_EQ(PermissionTriple('9'), "---");
    EXPECT_EQ(ModeFromOctal("755"), 0755);
    EXPECT_EQ(ModeFromOctal("640"), 0640);
}

TEST(RemoteDeletePath, JoinedOrQuotedForZos) {
    EXPECT_EQ(RemoteDeletePath(false, "/home/web", "a b.txt"), "/home/web/a b.txt");
    EXPECT_EQ(RemoteDeletePath(true, "'TESTER.PROJ'", "SRC"), "'TESTER.PROJ.SRC'");
    EXPECT_EQ(RemoteDeletePath(true, "''", "OLD.DATA"), "'OLD.DATA'");
}
