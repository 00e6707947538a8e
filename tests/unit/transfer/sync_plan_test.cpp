#include <gtest/gtest.h>

#include "transfer/sync_plan.h"

namespace {

const QDateTime kT(QDate(2026, 5, 6), QTime(10, 20, 30));

SyncEntry File(const QString& path, qint64 size, const QDateTime& time, int resolution = 0) {
    return {path, false, size, time, resolution};
}
SyncEntry Dir(const QString& path) {
    return {path, true, 0, {}, 0};
}

SyncKind KindOf(const std::vector<SyncItem>& items, const QString& path) {
    for (const SyncItem& i : items) {
        if (i.path == path) {
            return i.kind;
        }
    }
    ADD_FAILURE() << "no item " << path.toStdString();
    return SyncKind::Same;
}

QStringList Steps(const std::vector<SyncStep>& steps) {
    QStringList out;
    for (const SyncStep& s : steps) {
        out << QString(s.action == SyncAction::MakeFolder ? "mkdir "
                       : s.action == SyncAction::Send     ? "send "
                                                          : "delete ") +
                   s.path;
    }
    return out;
}

}  // namespace

TEST(CompareTrees, TimesWithinWhatTheListingCanTellAreEqual) {
    struct Case {
        const char* what;
        SyncEntry local;
        SyncEntry remote;
        SyncKind kind;
    } const cases[] = {
        {"exact, 1 s apart", File("f", 5, kT), File("f", 5, kT.addSecs(1)), SyncKind::Same},
        {"exact, 3 s apart", File("f", 5, kT.addSecs(3)), File("f", 5, kT),
         SyncKind::SameSizeDifferentTime},
        {"listing minutes", File("f", 5, kT), File("f", 5, kT.addSecs(-30), 60), SyncKind::Same},
        {"listing minutes, later here", File("f", 5, kT.addSecs(120)), File("f", 5, kT, 60),
         SyncKind::SameSizeDifferentTime},
        {"date only", File("f", 5, kT), File("f", 5, QDateTime(kT.date(), QTime(0, 0)), 86400),
         SyncKind::Same},
        {"sizes differ, same time", File("f", 5, kT), File("f", 6, kT), SyncKind::NewerHere},
        {"sizes differ, server later", File("f", 5, kT), File("f", 6, kT.addSecs(600)),
         SyncKind::NewerThere},
        {"sizes differ, no time", File("f", 5, {}), File("f", 6, {}), SyncKind::NewerHere},
        {"no times, same size", File("f", 5, {}), File("f", 5, kT), SyncKind::Same},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareTrees({c.local}, {c.remote}).at(0).kind, c.kind) << c.what;
    }
}

TEST(CompareTrees, MissingSidesConflictsAndCaseAreKeptApart) {
    const std::vector<SyncItem> items = CompareTrees(
        {Dir("a"), File("a/x", 1, kT), File("b", 1, kT), Dir("c"), File("c/in", 1, kT), Dir("Img"),
         File("Img/p.png", 1, kT), File("Index.html", 1, kT)},
        {Dir("a"), File("a/y", 2, kT), Dir("b"), File("b/z", 1, kT), File("c", 3, kT), Dir("img"),
         File("img/p.png", 1, kT), File("index.html", 1, kT), File("only", 1, kT)});
    EXPECT_EQ(KindOf(items, "a"), SyncKind::Same);
    EXPECT_EQ(KindOf(items, "a/x"), SyncKind::OnlyHere);
    EXPECT_EQ(KindOf(items, "a/y"), SyncKind::OnlyThere);
    // A file against a folder, and everything in the folder, is left alone.
    EXPECT_EQ(KindOf(items, "b"), SyncKind::FileAndFolder);
    EXPECT_EQ(KindOf(items, "b/z"), SyncKind::FileAndFolder);
    EXPECT_EQ(KindOf(items, "c/in"), SyncKind::FileAndFolder);
    // Names that differ only in case are reported, never merged, with what they hold.
    EXPECT_EQ(KindOf(items, "Img"), SyncKind::CaseOnly);
    EXPECT_EQ(KindOf(items, "img/p.png"), SyncKind::CaseOnly);
    EXPECT_EQ(KindOf(items, "Index.html"), SyncKind::CaseOnly);
    EXPECT_EQ(KindOf(items, "only"), SyncKind::OnlyThere);

    const SyncCounts counts = CountSync(items);
    EXPECT_EQ(counts.onlyHere, 1);
    EXPECT_EQ(counts.onlyThere, 2);
    EXPECT_EQ(counts.onlyThereBytes, 3);
    EXPECT_EQ(DescribeSync(counts),
              "1 only here (1 bytes), 2 only on the server (3 bytes), 10 left alone (a file "
              "against a folder, or names that differ only in case)");
    EXPECT_EQ(Steps(PlanSync(items, true, true)),
              QStringList({"send a/x", "delete a/y", "delete only"}));
    EXPECT_EQ(DescribeSync(CountSync(CompareTrees({File("f", 1, kT)}, {File("f", 1, kT)}))),
              "Nothing differs");
}

TEST(PlanSync, SourceWinsExceptASameSizeFileNewerOnTheTarget) {
    const std::vector<SyncItem> items =
        CompareTrees({Dir("new"), Dir("new/deeper"), File("new/deeper/f", 4, kT),
                      File("changed", 5, kT), File("touched-here", 5, kT.addSecs(600)),
                      File("touched-there", 5, kT), File("local-only", 1, kT)},
                     {File("changed", 9, kT.addSecs(600)), File("touched-here", 5, kT),
                      File("touched-there", 5, kT.addSecs(600)), Dir("old"), Dir("old/sub"),
                      File("old/sub/g", 1, kT), File("old/h", 1, kT)});
    // Up: folders first (parents before children), then files; a same-size file newer on the
    // server stays; without deletion the server's extras stay.
    EXPECT_EQ(Steps(PlanSync(items, true, false)),
              QStringList({"mkdir new", "mkdir new/deeper", "send changed", "send local-only",
                           "send new/deeper/f", "send touched-here"}));
    // With deletion, files go before folders and deeper folders first.
    const std::vector<SyncStep> withDelete = PlanSync(items, true, true);
    EXPECT_EQ(Steps(withDelete).mid(6),
              QStringList({"delete old/h", "delete old/sub/g", "delete old/sub", "delete old"}));
    // Down: the mirror image, carrying the server's times.
    const std::vector<SyncStep> down = PlanSync(items, false, true);
    EXPECT_EQ(Steps(down), QStringList({"mkdir old", "mkdir old/sub", "send changed", "send old/h",
                                        "send old/sub/g", "send touched-there", "delete local-only",
                                        "delete new/deeper/f", "delete new/deeper", "delete new"}));
    EXPECT_EQ(down[2].time, kT.addSecs(600));
    EXPECT_EQ(down[2].size, 9);
}

TEST(ListingOffset, ZonesInQuarterHoursAndNothingElse) {
    struct Case {
        qint64 exactMinusListed;
        std::optional<qint64> offset;
    } cases[] = {
        {0, 0},
        {59, 0},                             // the listing's minutes
        {3600 + 30, 3600},                   // one hour east of the listing
        {-5 * 3600 - 45, -5 * 3600},         // five hours west
        {5 * 3600 + 1800, 5 * 3600 + 1800},  // half-hour zones
        {20700, 20700},                      // 5:45
        {900 + 400, std::nullopt},           // not a zone: the file changed meanwhile
        {15 * 3600, std::nullopt},           // beyond any zone
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ListingOffset(c.exactMinusListed), c.offset) << c.exactMinusListed;
    }
}
