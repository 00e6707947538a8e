#include <gtest/gtest.h>

#include <QDateTime>

#include "app/scripted_user_interface.h"
#include "procmail/procmail_extract.h"
#include "procmail/procmail_lock.h"
#include "support/test_support.h"

namespace {

const QDateTime kAt(QDate(2026, 12, 9), QTime(7, 5, 3, 42));

TEST(ProcmailLock, NameTimeAndMessage) {
    const QString name = LockFileName(kAt);
    EXPECT_EQ(name, "zprocmail.20261209070503042");
    EXPECT_EQ(name.size(), 27);
    EXPECT_TRUE(IsLockFileName(name));
    EXPECT_TRUE(IsLockFileName("xzprocmail.2026120907050304"));  // the prefix anywhere
    EXPECT_FALSE(IsLockFileName("zprocmail.2026120907050304"));  // 26 characters
    EXPECT_FALSE(IsLockFileName("zprocmail.202612090705030421"));
    EXPECT_FALSE(IsLockFileName("procmail.20261209070503042x"));
    EXPECT_EQ(LockTimeText(name), "07:05 on  2026-12-09");
    EXPECT_EQ(LockMessage(name),
              "Procmail recipe has been locked since 07:05 on  2026-12-09\r\nIf you think it is "
              "locked in error you should delete the following file from the home directory:"
              "\r\n\r\nzprocmail.20261209070503042\r\n");
}

TEST(ProcmailLock, ContentSurvivesAnyIdentity) {
    const QList<LockOwner> owners = {
        {"joe", "workstation"},
        {"Joe Smith", "host with blanks"},  // blanks inside a scrambled word
        {"", ""},                           // still two words
        {"j\xc3\xb6rg", QString(200, 'x')},
    };
    for (const LockOwner& owner : owners) {
        const QString line = LockContent(owner);
        EXPECT_EQ(line.count(' '), 1) << line.toStdString();
        EXPECT_FALSE(line.contains('\n') || line.contains('\r'));
        const auto read = ParseLockContent(line);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, owner);
    }
    EXPECT_NE(LockContent({"joe", "pc"}), "joe pc");  // not readable as it stands
    EXPECT_FALSE(ParseLockContent("oneword").has_value());
    EXPECT_FALSE(ParseLockContent("   ").has_value());
}

TEST(ProcmailRevision, ParsedAndWritten) {
    struct Case {
        QString line;
        int revision;
        QString previous;
    };
    const QList<Case> cases = {
        {"# Last revision 7 generated 2026-01-02 03:04:05 by Vorlen FTP version 1.2.3, "
         "Previously x",
         7, "generated 2026-01-02 03:04:05 by Vorlen FTP"},
        {"# Last revision 001 generated 2026-01-02 03:04:05 by Vorlen FTP", 1,
         "generated 2026-01-02 03:04:05 by Vorlen FTP"},
        {"# last REVISION r12x a b c d e f, g", 12, "a b c d e f"},
        {"# Last revision 3 generated then,", 3, "generated then"},  // trailing comma goes
        {"# Last revision", 0, ""},
        {"# Last revision 99999999999999", 0, ""},
        {"DOMAIN example.com", -1, ""},
    };
    for (const Case& c : cases) {
        const RevisionInfo info = ParseRevisionLine(c.line);
        EXPECT_EQ(info.revision, c.revision) << c.line.toStdString();
        if (c.revision >= 0) {
            EXPECT_EQ(info.previous, c.previous) << c.line.toStdString();
        }
    }
    EXPECT_EQ(NewRevisionLine(4, kAt, "2.0.1", "generated before"),
              "# Last revision 4 generated 2026-12-09 07:05:03 by Vorlen FTP version 2.0.1, "
              "Previously generated before");
}

TEST(ProcmailRules, RegenerationFilesAndUploadSizes) {
    for (const char* yes : {".procmailrc", "procmail5.txt", "procmail123.txt"}) {
        EXPECT_TRUE(IsRegenerationFile(yes)) << yes;
    }
    for (const char* no : {"procmail.txt", "procmailx.txt", "Procmail5.txt", "procmail5.txt.bak",
                           "~procmail5.txt1", ".procmailrcPrev"}) {
        EXPECT_FALSE(IsRegenerationFile(no)) << no;
    }
    EXPECT_TRUE(IsRegenerationSelection("My-Procmail-notes.TXT"));
    EXPECT_TRUE(IsRegenerationSelection("old.procmailrcPrev"));
    EXPECT_FALSE(IsRegenerationSelection("procmail.log"));

    EXPECT_TRUE(UploadSizeMatches(100, 100, 5, 0));
    EXPECT_TRUE(UploadSizeMatches(100, 105, 5, 0));  // LF sent as CR LF and kept
    EXPECT_TRUE(UploadSizeMatches(105, 100, 5, 5));  // CR LF stored as LF
    EXPECT_FALSE(UploadSizeMatches(100, 60, 5, 0));  // cut short
    EXPECT_FALSE(UploadSizeMatches(100, 0, 5, 0));
}

TEST(ProcmailExtract, FromRecipesAndFromLocalDescriptions) {
    TestFolder folder;
    ScriptedUserInterface ui;
    // A recipe without a revision line: the described first line is kept, rules are dropped.
    const QString recipe = folder.Write(".procmailrc",
                                        "#..DOMAIN example.com\n"
                                        "#..bob -> POP\n"
                                        ":0\n"
                                        "* ^To:.*bob\n"
                                        "#..\n"
                                        "#..DOMAIN END\n");
    EXPECT_EQ(CreateProcmailExtract(ui, recipe, kAt, "1.0.0"), 1);
    EXPECT_EQ(folder.Read("procmail1.txt"),
              "# Last revision 1 generated 2026-12-09 07:05:03 by Vorlen FTP version 1.0.0, "
              "Previously \nDOMAIN example.com\nbob -> POP\nDOMAIN END\n");

    // The next revision of a generated recipe leaves the earlier extract in place.
    folder.Write(".procmailrc",
                 "#..# Last revision 1 generated 2026-12-09 07:05:03 by Vorlen FTP version "
                 "1.0.0, Previously \n#..UNRESOLVED -> POP\n:0\n");
    EXPECT_EQ(CreateProcmailExtract(ui, recipe, kAt, "1.0.1"), 2);
    EXPECT_TRUE(folder.Read("procmail2.txt")
                    .startsWith("# Last revision 2 generated 2026-12-09 07:05:03 by Vorlen FTP "
                                "version 1.0.1, Previously generated 2026-12-09 07:05:03 by "
                                "Vorlen FTP\nUNRESOLVED -> POP\n"));
    EXPECT_FALSE(folder.Read("procmail1.txt").isEmpty());

    // A local description is only read for its revision.
    const QString mdl =
        folder.Write("procmail5.txt", "# Last revision 5 generated x\nUNRESOLVED -> POP\n");
    EXPECT_EQ(CreateProcmailExtract(ui, mdl, kAt, "1.0.0"), 5);
    EXPECT_FALSE(QFileInfo::exists(folder.File("procmail6.txt")));
    EXPECT_TRUE(ui.messages.isEmpty());

    EXPECT_EQ(CreateProcmailExtract(ui, folder.File("missing/.procmailrc"), kAt, "1"), -1);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].text.startsWith("Error - Could not open for read the file "));
}

}  // namespace
