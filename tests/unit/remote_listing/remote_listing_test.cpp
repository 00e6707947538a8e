#include <gtest/gtest.h>

#include "listing/listing_parser.h"
#include "listing/remote_listing.h"
#include "support/test_support.h"

namespace {

ListingState UnixState() {
    ListingState state;
    SetDateOrderAndToday(state, QStringLiteral("dd/MM/yyyy"), QDate(2024, 6, 15));
    return state;
}

const QStringList kUnixListing = {
    "total 24",
    "drwxr-xr-x   2 web  users     4096 Jan 05 12:34 .",
    "drwxr-xr-x   9 web  users     4096 Jan 05 12:34 ..",
    "drwxr-xr-x   2 web  users     4096 Jan 05 12:34 cgi-bin",
    "lrwxrwxrwx   1 web  users       11 Feb 10  2023 www -> public_html",
    "-rw-r--r--   1 web  users     1234 Mar 03 14:07 index.html",
    "-rw-r--r--   1 web  users 12345678901 Mar 03 14:07 disk.iso",
    "-rw-------   1 web  users      310 May 30 08:00 .procmailrc",
};

// Parses Lines as the remote pane does after a DIR request.
RemoteListing Parse(const QStringList& lines, const ParseContext& context = {},
                    ParseExtras* extras = nullptr, ListingState state = UnixState()) {
    ExamineFirstDirEntRec(state, lines);
    RemoteListing listing;
    const ParseExtras found = PopulateRemArraysFromRemDirStringlist(state, lines, context, listing);
    if (extras != nullptr) {
        *extras = found;
    }
    return listing;
}

QStringList Names(const std::vector<RemoteEntry>& entries) {
    QStringList names;
    for (const RemoteEntry& e : entries) {
        names << e.name;
    }
    return names;
}

RemoteEntry File(const char* name, qint64 size = 0, const char* modified = "",
                 const char* permissions = "-rw-r--r--") {
    return {name, RemoteExtension(name), permissions, size, modified};
}

QStringList DisplayedNames(const RemoteListing& listing, bool descending) {
    QStringList names;
    for (int row = 0; row < RemoteRowCount(listing); ++row) {
        const RemoteRow r = RemoteRowAt(listing, descending, row);
        names << (r.entry == nullptr ? QStringLiteral("..") : r.entry->name);
    }
    return names;
}

}  // namespace

TEST(RemoteEntryRules, Extension) {
    const struct {
        const char* name;
        const char* extension;
    } rows[] = {{"README", "README"}, {"archive.tar.gz", "GZ"}, {"", ""},
                {"trailing.", ""},    {".bashrc", "BASHRC"},    {"photo.JpEg", "JPEG"}};
    for (const auto& row : rows) {
        EXPECT_EQ(RemoteExtension(row.name), row.extension) << row.name;
    }
}

TEST(RemoteEntryRules, Images) {
    EXPECT_EQ(DirectoryImage("drwxr-xr-x"), RemoteImage::Directory);
    EXPECT_EQ(DirectoryImage("lrwxrwxrwx"), RemoteImage::DirectoryLink);
    EXPECT_EQ(FileImage("FB - PO"), RemoteImage::PartitionedDataset);
    EXPECT_EQ(FileImage("lrwxrwxrwx"), RemoteImage::FileLink);
    EXPECT_EQ(FileImage("-rw-r--r--"), RemoteImage::File);
    EXPECT_EQ(FileImage(""), RemoteImage::File);
}

TEST(RemoteParse, UnixListing) {
    ParseExtras extras;
    const RemoteListing listing = Parse(kUnixListing, {}, &extras);

    EXPECT_EQ(Names(listing.dirs), QStringList({"cgi-bin", "www"}));
    EXPECT_EQ(Names(listing.files), QStringList({"index.html", "disk.iso", ".procmailrc"}));
    EXPECT_EQ(listing.fileCount, 3);
    EXPECT_EQ(listing.totalBytes, 1234 + 12345678901LL + 310);

    const RemoteEntry& index = listing.files[0];
    EXPECT_EQ(index.extension, "HTML");
    EXPECT_EQ(index.permissions, "-rw-r--r--");
    EXPECT_EQ(index.size, 1234);
    EXPECT_EQ(index.modified, "2024-03-03   14:07");
    EXPECT_EQ(listing.dirs[1].permissions, "lrwxrwxrwx");
    EXPECT_EQ(listing.dirs[1].modified, "2023-02-10   ");

    EXPECT_EQ(extras.logLines, QStringList({"Big file:" + kUnixListing[6]}));
    EXPECT_FALSE(extras.procmailrcSeen);
    EXPECT_FALSE(extras.watchedSeen);
}

TEST(RemoteParse, SizeTextThatIsNoNumberCountsAsZero) {
    ListingState state = UnixState();
    state.listingType = "M1";
    // Thousands separators are read; a word that is no number at all counts as zero.
    const QStringList lines = {"01-05-24  01:30PM       1,234 commas.txt",
                               "01-05-24  01:30PM         1,2x4 odd.txt",
                               "01-05-24  01:30PM          77 plain.txt",
                               "01-05-24  01:30PM       <DIR>          My Docs"};
    RemoteListing listing;
    PopulateRemArraysFromRemDirStringlist(state, lines, {}, listing);
    ASSERT_EQ(listing.files.size(), 3u);
    EXPECT_EQ(listing.files[0].size, 1234);
    EXPECT_EQ(listing.files[1].size, 0);
    EXPECT_EQ(listing.files[2].size, 77);
    EXPECT_EQ(listing.totalBytes, 1311);
    EXPECT_EQ(Names(listing.dirs), QStringList({"My Docs"}));
    EXPECT_EQ(listing.dirs[0].permissions, " ");
}

TEST(RemoteParse, RememberedPermissionsReplaceTheListedOnes) {
    PermissionMemory memory;
    memory.Remember("index.html", " /home/web ", "Frw-------");
    memory.Remember("cgi-bin", "/home/web", "Drwx--x--x");
    memory.Remember("www", "/home/web", "F---------");  // a file row: the link is a directory
    memory.Remember("disk.iso", "/elsewhere", "F---------");
    memory.Remember("index.html", "/home/web", "Frwx------");  // replaces the first row
    EXPECT_EQ(memory.Count(), 4);

    ParseContext context;
    context.currentDir = "/home/web ";
    context.permissions = &memory;
    const RemoteListing listing = Parse(kUnixListing, context);
    EXPECT_EQ(listing.files[0].permissions, "-rwx------");
    EXPECT_EQ(listing.files[1].permissions, "-rw-r--r--");
    EXPECT_EQ(listing.dirs[0].permissions, "drwx--x--x");
    EXPECT_EQ(listing.dirs[1].permissions, "lrwxrwxrwx");
    EXPECT_EQ(memory.Apply("cgi-bin", "/home/web", u'D', "drwxr-xr-x"), "drwx--x--x");
}

TEST(RemoteParse, PermissionMemoryHoldsAThousandRows) {
    PermissionMemory memory;
    for (int i = 0; i < PermissionMemory::kMaxRows + 5; ++i) {
        memory.Remember(QString::number(i), "/", "Frwx------");
    }
    EXPECT_EQ(memory.Count(), PermissionMemory::kMaxRows);
    memory.Remember("0", "/", "Fr--------");
    EXPECT_EQ(memory.Apply("0", "/", u'F', "-rw-r--r--"), "-r--------");
}

TEST(RemoteParse, ProcmailrcDateOnlyInTheHomeDirectory) {
    const struct {
        const char* current;
        const char* home;
        bool seen;
    } rows[] = {{"/home/web", "/home/web", true},
                {"/home/web/", "/home/web", true},
                {"/home/web/mail", "/home/web", false},
                {"/home/web", "", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.current);
        ParseContext context;
        context.currentDir = row.current;
        context.homeDir = row.home;
        ParseExtras extras;
        Parse(kUnixListing, context, &extras);
        EXPECT_EQ(extras.procmailrcSeen, row.seen);
        EXPECT_EQ(extras.procmailrcModified, row.seen ? "2024-05-30   08:00" : "");
    }
}

TEST(RemoteParse, WatchedSizeOnlyWhileResumeIsTicked) {
    const struct {
        const char* watched;
        bool resume;
        bool seen;
        const char* size;
    } rows[] = {{"index.html", true, true, "01234"},
                {"index.html", false, false, ""},
                {"INDEX.HTML", true, false, ""},
                {"cgi-bin", true, false, ""},  // directories are not watched
                {"", true, false, ""}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.watched);
        ParseContext context;
        context.watchedName = row.watched;
        context.resumeTicked = row.resume;
        ParseExtras extras;
        Parse(kUnixListing, context, &extras);
        EXPECT_EQ(extras.watchedSeen, row.seen);
        EXPECT_EQ(extras.watchedSizeText, row.size);
    }
}

TEST(RemoteParse, ZosPrefixesAreAppendedAsDirectories) {
    const QStringList lines = {
        "Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname",
        "USR001 3390   2023/05/10  1   15  FB      80 27920  PO  PROJ.SRC",
        "USR002 3390   2023/04/02  1    2  VB   27994 27998  PS  PROJ.LOAD",
        "Migrated                                                TEST.DATA",
    };
    ListingState state;
    const RemoteListing listing = Parse(lines, {}, nullptr, state);
    EXPECT_EQ(Names(listing.files), QStringList({"PROJ.SRC", "PROJ.LOAD", "TEST.DATA"}));
    EXPECT_EQ(FileImage(listing.files[0].permissions), RemoteImage::PartitionedDataset);
    ASSERT_EQ(Names(listing.dirs), QStringList({"PROJ.", "TEST."}));
    for (const RemoteEntry& dir : listing.dirs) {
        EXPECT_EQ(dir.extension, "");
        EXPECT_EQ(dir.permissions, " ");
        EXPECT_EQ(dir.modified, " ");
    }
}

TEST(RemoteParse, ShortLinesAreSkippedAndAReparseStartsAfresh) {
    RemoteListing listing = Parse(kUnixListing);
    ListingState state = UnixState();
    const QStringList lines = {"x", "-rw-r--r--   1 web  users 5 Mar 03 14:07 a", ""};
    ExamineFirstDirEntRec(state, lines);
    PopulateRemArraysFromRemDirStringlist(state, lines, {}, listing);
    EXPECT_EQ(Names(listing.files), QStringList({"a"}));
    EXPECT_TRUE(listing.dirs.empty());
    EXPECT_EQ(listing.fileCount, 1);
    EXPECT_EQ(listing.totalBytes, 5);
}

// ---- Sorting and rows ------------------------------------------------------------------------

TEST(RemoteSort, EachKey) {
    const struct {
        RemoteSortKey key;
        QStringList files;
    } rows[] = {
        {RemoteSortKey::Name, {"a.txt", "B.dat", "c.TXT", "d"}},
        {RemoteSortKey::Extension, {"d", "B.dat", "c.TXT", "a.txt"}},
        {RemoteSortKey::Permissions, {"d", "c.TXT", "a.txt", "B.dat"}},
        {RemoteSortKey::Size, {"d", "a.txt", "B.dat", "c.TXT"}},
        {RemoteSortKey::Modified, {"c.TXT", "B.dat", "a.txt", "d"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.key));
        RemoteListing listing;
        listing.files = {File("c.TXT", 1000, "2020-01-01   00:00", "-rw-r-----"),
                         File("a.txt", 20, "2024-01-01   00:00", "-rw-r--r--"),
                         File("d", 3, "2024-02-01   00:00", "-r--------"),
                         File("B.dat", 900, "2023-01-01   00:00", "-rwxr-xr-x")};
        SortRemoteArrays(listing, row.key);
        EXPECT_EQ(Names(listing.files), row.files);
    }
}

TEST(RemoteSort, OrdinalOrderOfLowerCasedNamesBeyondAsciiAndLongPrefixes) {
    const QStringList listed = {"shared-prefix-of-the-names-b",
                                "shared-prefix-of-the-names-A",
                                "shared-prefix-of-the-nam",
                                "Zürich",
                                "zebra",
                                "\u00FFend",
                                "\u0416uk",
                                "\u0436al",
                                "\u4E2D.txt",
                                "abc d",
                                "ABC",
                                "abc",
                                "\u00E9t\u00E9",
                                "e",
                                "shared-prefix-of-the-names-b"};
    QStringList expected = listed;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const QString& a, const QString& b) { return a.toLower() < b.toLower(); });
    for (const RemoteSortKey key : {RemoteSortKey::Name, RemoteSortKey::Modified}) {
        RemoteListing listing;
        for (const QString& name : listed) {
            listing.files.push_back({name, RemoteExtension(name), "-", 0, name.toLower()});
        }
        SortRemoteArrays(listing, key);
        EXPECT_EQ(Names(listing.files), expected) << int(key);
    }
    EXPECT_EQ(expected.mid(0, 3), QStringList({"ABC", "abc", "abc d"}));
    EXPECT_EQ(expected.last(), "\u4E2D.txt");
}

TEST(RemoteSort, SizeIsNumericAndLeavesDirectoriesInListingOrder) {
    RemoteListing listing;
    listing.files = {File("ten", 10), File("huge", 10000000000LL), File("nine", 9)};
    listing.dirs = {File("zeta", 5), File("alpha", 1), File("mid", 3)};
    SortRemoteArrays(listing, RemoteSortKey::Size);
    EXPECT_EQ(Names(listing.files), QStringList({"nine", "ten", "huge"}));
    EXPECT_EQ(Names(listing.dirs), QStringList({"zeta", "alpha", "mid"}));
    SortRemoteArrays(listing, RemoteSortKey::Name);
    EXPECT_EQ(Names(listing.dirs), QStringList({"alpha", "mid", "zeta"}));
}

TEST(RemoteSort, EqualKeysKeepListingOrderAndDescendingReversesEachGroup) {
    RemoteListing listing;
    listing.files = {File("second", 7), File("first", 7), File("small", 1)};
    listing.dirs = {File("d2"), File("d1")};
    SortRemoteArrays(listing, RemoteSortKey::Size);
    EXPECT_EQ(DisplayedNames(listing, false),
              QStringList({"..", "d2", "d1", "small", "second", "first"}));
    EXPECT_EQ(DisplayedNames(listing, true),
              QStringList({"..", "d1", "d2", "first", "second", "small"}));

    const RemoteRow parent = RemoteRowAt(listing, true, 0);
    EXPECT_EQ(parent.kind, RemoteRow::Kind::Parent);
    EXPECT_EQ(parent.image, RemoteImage::Directory);
    EXPECT_EQ(RemoteRowAt(listing, false, 1).kind, RemoteRow::Kind::Directory);
    EXPECT_EQ(RemoteRowAt(listing, false, 3).kind, RemoteRow::Kind::File);
    EXPECT_EQ(RemoteRowAt(listing, false, 99).entry, nullptr);
}

TEST(RemoteSort, EmptyListingShowsOnlyTheParentRow) {
    const RemoteListing listing;
    EXPECT_EQ(DisplayedNames(listing, true), QStringList({".."}));
    EXPECT_EQ(RemoteSummaryText(listing), "0 files    0 bytes");
    EXPECT_EQ(RemoteSortMessage(listing), "Sorting of 1 file and directory names complete");
}

TEST(RemoteSort, SummaryAndMessage) {
    RemoteListing listing;
    for (int i = 0; i < 1200; ++i) {
        listing.files.push_back(File("f", 1000000));
    }
    listing.dirs = {File("d")};
    EXPECT_EQ(RemoteSummaryText(listing), "1,200 files    1,200,000,000 bytes");
    EXPECT_EQ(RemoteSortMessage(listing), "Sorting of 1202 file and directory names complete");
}

TEST(RemoteSort, ColumnClicks) {
    using K = RemoteSortKey;
    const struct {
        K key;
        bool descending;
        int column;
        K newKey;
        bool newDescending;
    } rows[] = {
        {K::Name, false, 0, K::Name, true},         {K::Name, true, 0, K::Name, false},
        {K::Name, true, 1, K::Permissions, true},   {K::Extension, false, 0, K::Name, false},
        {K::Size, false, 2, K::Size, true},         {K::Size, false, 3, K::Modified, false},
        {K::Modified, false, 4, K::Modified, false}};
    for (const auto& row : rows) {
        const auto [key, descending] = RemoteColumnClick(row.key, row.descending, row.column);
        EXPECT_EQ(key, row.newKey) << row.column;
        EXPECT_EQ(descending, row.newDescending) << row.column;
    }
}

TEST(RemoteSort, FoundFileIsExactAndIgnoresDirectories) {
    RemoteListing listing;
    listing.files = {File("Report.txt")};
    listing.dirs = {File("docs")};
    EXPECT_TRUE(FoundFileInCurrentRemoteDirectory(listing, "Report.txt"));
    EXPECT_FALSE(FoundFileInCurrentRemoteDirectory(listing, "report.txt"));
    EXPECT_FALSE(FoundFileInCurrentRemoteDirectory(listing, "docs"));
}

// ---- Cache -----------------------------------------------------------------------------------

namespace {

struct Cached {
    double now = 1000;
    RemoteCache cache{[this] { return now; }};

    // What the remote pane does for a navigation that may use the cache: true when it was a hit.
    bool Visit(const QString& dir, const RemoteListing& fetched, RemoteListing& shown) {
        cache.NotePopulate();
        const int slot = cache.GetCacheIndex(false, dir);
        if (slot != -1) {
            cache.Restore(slot, shown);
            return true;
        }
        shown = fetched;
        cache.StoreAfterFetch(false, dir, shown);
        return false;
    }
};

RemoteListing Files(int count, const char* prefix = "f") {
    RemoteListing listing;
    for (int i = 0; i < count; ++i) {
        listing.files.push_back(File(qPrintable(prefix + QString::number(i)), i));
    }
    listing.fileCount = count;
    return listing;
}

}  // namespace

TEST(RemoteCacheRules, KeysAreNormalised) {
    EXPECT_EQ(RemoteCache::Key(false, "/home/web"), "/home/web/");
    EXPECT_EQ(RemoteCache::Key(false, "/home/web/"), "/home/web/");
    EXPECT_EQ(RemoteCache::Key(true, "'user.data'"), "USER.DATA.");
    EXPECT_EQ(RemoteCache::Key(true, "USER.DATA."), "USER.DATA.");
}

TEST(RemoteCacheRules, SameDirectoryWithinTheExpiryIsAHit) {
    Cached c;
    RemoteListing shown;
    EXPECT_FALSE(c.Visit("/home/web", Files(3), shown));
    c.now += RemoteCache::kExpiryMs;
    EXPECT_TRUE(c.Visit("/home/web/", Files(9), shown));
    EXPECT_EQ(shown.files.size(), 3u);
    EXPECT_EQ(c.cache.GetCacheIndex(false, "/home/web"), 1);
}

TEST(RemoteCacheRules, ExpiryIsMeasuredBetweenPopulates) {
    Cached c;
    RemoteListing shown;
    c.Visit("/a", Files(1), shown);
    c.Visit("/b", Files(1), shown);
    for (int i = 0; i < 5; ++i) {  // keeps visiting: nothing expires
        c.now += 100000;
        EXPECT_TRUE(c.Visit("/b", Files(1), shown));
    }
    EXPECT_TRUE(c.Visit("/a", Files(1), shown));
    c.now += RemoteCache::kExpiryMs + 1;
    EXPECT_FALSE(c.Visit("/b", Files(2), shown));
    EXPECT_EQ(c.cache.GetCacheIndex(false, "/a"), -1);
    EXPECT_EQ(c.cache.GetCacheIndex(false, "/b"), 1);
}

TEST(RemoteCacheRules, NinthDirectoryReplacesTheSlotStoredLongestAgo) {
    Cached c;
    RemoteListing shown;
    for (int i = 1; i <= 8; ++i) {
        c.now += 10;
        c.Visit("/d" + QString::number(i), Files(i), shown);
        EXPECT_EQ(c.cache.GetCacheIndex(false, "/d" + QString::number(i)), i);
    }
    // Reading a slot does not renew it; writing it again (a delete) does.
    c.now += 10;
    c.Visit("/d1", Files(1), shown);
    c.now += 10;
    RemoteListing d2 = Files(2);
    RemoteArrayDel(d2, 0, c.cache, false, "/d2");
    EXPECT_EQ(c.cache.GetNextCacheIndexToUse(), 1);

    c.now += 10;
    EXPECT_FALSE(c.Visit("/d9", Files(9), shown));
    EXPECT_EQ(c.cache.GetCacheIndex(false, "/d9"), 1);
    EXPECT_EQ(c.cache.GetCacheIndex(false, "/d1"), -1);
    EXPECT_EQ(c.cache.GetNextCacheIndexToUse(), 3);
}

TEST(RemoteCacheRules, EqualStoreTimesPickTheLowerSlot) {
    Cached c;
    for (int i = 1; i <= 8; ++i) {
        c.cache.CacheCurrentRemoteArrays(9 - i, false, "/d" + QString::number(i), Files(1));
    }
    EXPECT_EQ(c.cache.GetNextCacheIndexToUse(), 1);
    c.cache.RemoveRemDirFromCache(false, "/d3/");
    EXPECT_EQ(c.cache.GetNextCacheIndexToUse(), 6);
}

TEST(RemoteCacheRules, TooLargeListingsAreNotCachedAndDropTheirOldSlot) {
    const struct {
        int files;
        int dirs;
        bool cached;
    } rows[] = {{3000, 0, true}, {3001, 0, false}, {0, 1000, true}, {0, 1001, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.files + row.dirs);
        Cached c;
        RemoteListing shown;
        c.Visit("/pub", Files(2), shown);
        RemoteListing big = Files(row.files);
        for (int i = 0; i < row.dirs; ++i) {
            big.dirs.push_back(File("d"));
        }
        c.now += 10;
        c.cache.StoreAfterFetch(false, "/pub", big);
        EXPECT_EQ(c.cache.GetCacheIndex(false, "/pub") != -1, row.cached);
        // Storing a too large listing straight into a slot empties it rather than cutting it.
        c.cache.CacheCurrentRemoteArrays(5, false, "/direct", big);
        EXPECT_EQ(c.cache.GetCacheIndex(false, "/direct") == 5, row.cached);
    }
}

TEST(RemoteCacheRules, DeletingAFileUpdatesTheSlot) {
    Cached c;
    RemoteListing shown;
    c.Visit("/pub", Files(5), shown);
    shown.totalBytes = 0 + 1 + 2 + 3 + 4;
    RemoteArrayDel(shown, 2, c.cache, false, "/pub/");
    EXPECT_EQ(Names(shown.files), QStringList({"f0", "f1", "f3", "f4"}));
    EXPECT_EQ(shown.fileCount, 4);
    EXPECT_EQ(shown.totalBytes, 8);

    RemoteListing restored;
    c.cache.Restore(c.cache.GetCacheIndex(false, "/pub"), restored);
    EXPECT_EQ(Names(restored.files), QStringList({"f0", "f1", "f3", "f4"}));

    RemoteArrayDel(shown, 4, c.cache, false, "/pub");   // out of range
    RemoteArrayDel(shown, -1, c.cache, false, "/pub");  // out of range
    EXPECT_EQ(shown.files.size(), 4u);
}

TEST(RemoteCacheRules, DeletingADirectoryUpdatesTheSlot) {
    Cached c;
    RemoteListing listing = Files(1);
    listing.dirs = {File("a"), File("b"), File("c")};
    c.cache.StoreAfterFetch(false, "/pub", listing);
    RemoteArrayDirDel(listing, 0, c.cache, false, "/pub");
    RemoteArrayDirDel(listing, 2, c.cache, false, "/pub");
    EXPECT_EQ(Names(listing.dirs), QStringList({"b", "c"}));
    RemoteListing restored;
    c.cache.Restore(1, restored);
    EXPECT_EQ(Names(restored.dirs), QStringList({"b", "c"}));
    EXPECT_EQ(restored.files.size(), 1u);
}

TEST(RemoteCacheRules, BadSlotsAndEmptyDirectoriesAreIgnored) {
    Cached c;
    c.cache.CacheCurrentRemoteArrays(0, false, "/a", Files(1));
    c.cache.CacheCurrentRemoteArrays(9, false, "/a", Files(1));
    EXPECT_EQ(c.cache.GetCacheIndex(false, "/a"), -1);
    EXPECT_EQ(c.cache.GetCacheIndex(false, ""), -1);  // a free slot is no directory
    // Storing a directory into a second slot leaves no stale copy in the first.
    c.cache.CacheCurrentRemoteArrays(1, false, "/a", Files(1));
    c.cache.CacheCurrentRemoteArrays(2, false, "/a/", Files(2));
    EXPECT_EQ(c.cache.GetCacheIndex(false, "/a"), 2);
    c.cache.ClearRemoteCache();
    EXPECT_EQ(c.cache.GetCacheIndex(false, "/a"), -1);
    EXPECT_EQ(c.cache.GetNextCacheIndexToUse(), 1);
}
