#include <gtest/gtest.h>

#include "listing/remote_listing.h"
#include "support/test_support.h"

TEST(RemoteNavigation, ContainingDirectory) {
    const struct {
        bool zos;
        const char* dir;
        const char* parent;
    } rows[] = {
        {false, "/home/web/public_html", "/home/web/"},
        {false, "/home/web/", "/home/"},
        {false, "/home", "/"},
        {false, "/", "/"},
        {false, "  /home/web  ", "/home/"},
        {false, "relative", "/"},
        {false, "   ", ""},
        {true, "USER.DATA.", "USER."},
        {true, "USER.DATA", "USER."},
        {true, "DATA.", "JOE."},
        {true, "'USER.DATA.'", "'USER.'"},
        {true, "'USER.SRC.COBOL'", "'USER.SRC.'"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ContainingRemoteDirectory(row.zos, "JOE", row.dir), row.parent) << row.dir;
    }
}

TEST(RemoteNavigation, NamesAndSeparators) {
    EXPECT_EQ(ValidRemoteName(false, "a\\b\\c.txt"), "a/b/c.txt");
    EXPECT_EQ(ValidRemoteName(true, "USER\\DATA"), "USER.DATA");
    EXPECT_EQ(DirWithTrailingSeparator(false, "/pub"), "/pub/");
    EXPECT_EQ(DirWithTrailingSeparator(false, "/"), "/");
    EXPECT_EQ(DirWithTrailingSeparator(true, "'USER.DATA'"), "USER.DATA.");
}

TEST(RemoteNavigation, RememberedDirectories) {
    const QStringList eight = {"/def", "/1", "/2", "/3", "/4", "/5", "/6", "/7"};
    const struct {
        const char* what;
        QStringList old;
        const char* dir;
        bool asDefault;
        QStringList expected;
    } rows[] = {
        {"first ever", {}, "/pub/", false, {"/pub"}},
        {"ninth drops the oldest",
         eight,
         "/new",
         false,
         {"/def", "/new", "/1", "/2", "/3", "/4", "/5", "/6"}},
        {"known moves up", eight, "/5/", false, {"/def", "/5", "/1", "/2", "/3", "/4", "/6", "/7"}},
        {"default again",
         eight,
         " /def/ ",
         false,
         {"/def", "/1", "/2", "/3", "/4", "/5", "/6", "/7"}},
        {"new default", {"/def", "/1"}, "/other", true, {"/other", "/def", "/1"}},
        {"duplicates with separators",
         {"/def/", "/a/", "/a", "/b"},
         "/a",
         false,
         {"/def/", "/a", "/b"}},
        {"root stays", {"/def"}, "/", false, {"/def", "/"}},
        {"ignored", eight, " ? ", false, eight},
        {"ignored", eight, "unknown", false, eight},
        {"ignored", eight, "  ", true, eight},
        {"a step is not a place", eight, "..", false, eight},
        // Grows the result past its first allocation while the first entry is still compared
        // with: a reference into the list would dangle (caught by AddressSanitizer).
        {"grows from two", eight, "/x", false, {"/def", "/x", "/1", "/2", "/3", "/4", "/5", "/6"}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(RememberRemoteDir(row.old, row.dir, row.asDefault, false, false), row.expected)
            << row.what;
    }
}

TEST(RemoteNavigation, RememberedZosDirectories) {
    EXPECT_EQ(RememberRemoteDir({"USER."}, "'USER.DATA'", false, true, false),
              QStringList({"USER.", "USER.DATA."}));
    EXPECT_EQ(RememberRemoteDir({"USER."}, "'USER.PDS.'", false, true, true),
              QStringList({"USER.", "USER.PDS"}));
    EXPECT_EQ(RememberRemoteDir({"USER.", "USER.DATA."}, "USER.DATA", false, true, false),
              QStringList({"USER.", "USER.DATA."}));
}

TEST(RemoteNavigation, AliasTableIsLimited) {
    AliasTable table;
    for (int i = 0; i < AliasTable::kMaxPairs; ++i) {
        ASSERT_TRUE(table.Add("/www" + QString::number(i), "/srv/" + QString::number(i)));
    }
    EXPECT_FALSE(table.Add("/one/more", "/srv/x"));
    EXPECT_EQ(table.Count(), AliasTable::kMaxPairs);
    EXPECT_EQ(table.LearnedRemoteLinkTranslated("/www7"), "/srv/7");
    EXPECT_EQ(table.LearnedRemoteLinkTranslated("/one/more"), "");
    // A link that now leads elsewhere is learned again without taking a new place.
    EXPECT_TRUE(table.Add("/www7", "/srv/moved"));
    EXPECT_EQ(table.LearnedRemoteLinkTranslated("/www7"), "/srv/moved");
}
