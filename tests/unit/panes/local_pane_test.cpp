#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/scripted_user_interface.h"
#include "config/settings.h"
#include "config/words.h"
#include "panes/local_pane.h"
#include "support/test_support.h"

namespace {

void Touch(const QString& path, qint64 size = 0, const QDateTime& when = {}) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(QByteArray(size, 'x'));
    f.close();
    if (when.isValid()) {
        f.open(QIODevice::ReadWrite);
        f.setFileTime(when, QFileDevice::FileModificationTime);
    }
}

void Inputs(ScriptedUserInterface& ui, std::initializer_list<std::optional<QString>> answers) {
    for (const auto& a : answers) {
        ui.inputAnswers.enqueue(a);
    }
}

void Dialogs(ScriptedUserInterface& ui, std::initializer_list<ModalResult> answers) {
    for (ModalResult a : answers) {
        ui.dialogAnswers.enqueue(a);
    }
}

struct Pane {
    TestFolder dir;
    ScriptedUserInterface ui;
    CfgFile cfg;
    Settings settings{cfg};
    SiteProfile& site = settings.site;
    LocalPane pane{ui, settings};
    int saves = 0;
    QStringList started;

    Pane() {
        pane.longTimeFormat = "HH:mm:ss";
        settings.common.favoredEditor = "editor";
        pane.updateSettings = [this] { ++saves; };
        pane.startProgram = [this](const QString& p, const QStringList& a) {
            started << p + " " + a.join(' ');
            return true;
        };
        pane.openDocument = [this](const QString& p) {
            started << "open " + p;
            return true;
        };
        pane.SetDefaultLocalDir(dir.Path());
    }
    void Go(const QString& path) { ASSERT_TRUE(pane.SelectDirectory(path)); }
    QStringList RowNames() const {
        QStringList names;
        for (int i = 0; i < pane.RowCount(); ++i) {
            names << pane.Row(i).name;
        }
        return names;
    }
};

}  // namespace

TEST(LocalPaneHelpers, Extensions) {
    EXPECT_EQ(LocalExtension("archive.tar.gz"), "GZ");
    EXPECT_EQ(LocalExtension("README"), "README");
    EXPECT_EQ(LocalExtension("x.Py"), "PY");
    EXPECT_EQ(LocalExtension("trailing."), "");
}

TEST(LocalPaneHelpers, ModifiedTextAndTimeFormats) {
    const QDateTime t(QDate(2024, 3, 9), QTime(14, 7, 33));
    // A 24-hour form with seconds loses them; 12-hour forms with AM/PM keep them.
    EXPECT_EQ(LocalModifiedText(t, "HH:mm:ss"), "2024-03-09   14:07:00");
    EXPECT_EQ(LocalModifiedText(t, "h:mm:ss AP"), "2024-03-09   14:07:33");
    EXPECT_EQ(LocalModifiedText(QDateTime(QDate(2024, 3, 9), QTime(0, 5, 1)), "h:mm:ss AP"),
              "2024-03-09   00:05:01");
    EXPECT_EQ(LocalModifiedText(QDateTime(QDate(2024, 3, 9), QTime(9, 5, 1)), "H:mm:ss"),
              "2024-03-09   09:05:00");
    EXPECT_EQ(LocalModifiedText(t, "HH:mm"), "2024-03-09   14:07:00");
}

TEST(LocalPaneHelpers, GroupThousands) {
    EXPECT_EQ(GroupThousands(0), "0");
    EXPECT_EQ(GroupThousands(999), "999");
    EXPECT_EQ(GroupThousands(1000), "1,000");
    EXPECT_EQ(GroupThousands(1234567), "1,234,567");
    EXPECT_EQ(GroupThousands(-1234), "-1,234");
}

TEST(LocalPaneHelpers, RememberedDirectories) {
    const QStringList none;
    EXPECT_EQ(RememberLocalDir(none, " /a/ ", false), QStringList({"/a"}));
    const QStringList list = {"/def", "/b", "/c"};
    EXPECT_EQ(RememberLocalDir(list, "/c", false), QStringList({"/def", "/c", "/b"}));
    EXPECT_EQ(RememberLocalDir(list, "/def/", false), QStringList({"/def", "/b", "/c"}));
    EXPECT_EQ(RememberLocalDir(list, "/c", true), QStringList({"/c", "/def", "/b"}));
    QStringList full;
    for (int i = 0; i < 8; ++i) {
        full << "/d" + QString::number(i);
    }
    const QStringList added = RememberLocalDir(full, "/new", false);
    EXPECT_EQ(added.size(), 8);
    EXPECT_EQ(added[0], "/d0");
    EXPECT_EQ(added[1], "/new");
    QStringList unique = added;
    EXPECT_EQ(unique.removeDuplicates(), 0);
}

TEST(LocalPane, ListsWithoutHiddenAndDirectoriesFirst) {
    Pane p;
    QDir(p.dir.Path()).mkdir("zdir");
    QDir(p.dir.Path()).mkdir("Adir");
    QDir(p.dir.Path()).mkdir(".hiddendir");
    Touch(p.dir.File("b.txt"), 2000);
    Touch(p.dir.File("a.py"), 10);
    Touch(p.dir.File(".secret"), 5);
    p.Go(p.dir.Path());
    EXPECT_EQ(p.RowNames(), QStringList({"..", "Adir", "zdir", "a.py", "b.txt"}));
    EXPECT_EQ(p.pane.SummaryText(), "2 files    2,010 bytes");
    EXPECT_EQ(p.pane.Row(p.pane.RowCount() - 1).size, "2,000");
    EXPECT_EQ(p.ui.StatusBarGeneralText(), " Refresh of local directory list completed.");
    EXPECT_EQ(p.pane.FilesizeOfNamedLocalFile("B.TXT"), 2000);
    EXPECT_EQ(p.pane.FilesizeOfNamedLocalFile("zdir"), 0);
    EXPECT_EQ(p.pane.FilesizeOfNamedLocalFile("nope"), 0);
    EXPECT_TRUE(p.pane.TimestampOfNamedLocalFile("a.PY").endsWith(":00"));
    EXPECT_EQ(p.pane.TimestampOfNamedLocalFile("nope"), "");
}

TEST(LocalPane, EmptyDirectorySummary) {
    Pane p;
    p.Go(p.dir.Path());
    EXPECT_EQ(p.pane.SummaryText(), "0 files    0 bytes");
    EXPECT_EQ(p.RowNames(), QStringList({".."}));
}

TEST(LocalPane, EveryKeyKeepsDirectoriesAboveFiles) {
    Pane p;
    QDir(p.dir.Path()).mkdir("d1");
    QDir(p.dir.Path()).mkdir("d2");
    const QDateTime base(QDate(2023, 1, 1), QTime(10, 0));
    Touch(p.dir.File("c.sh"), 1, base.addDays(2));
    Touch(p.dir.File("README"), 3, base.addDays(1));
    Touch(p.dir.File("b.py"), 2, base.addDays(3));
    p.Go(p.dir.Path());
    struct Case {
        LocalSortKey key;
        bool descending;
        QStringList rows;
    };
    const Case cases[] = {
        {LocalSortKey::Name, false, {"..", "d1", "d2", "b.py", "c.sh", "README"}},
        {LocalSortKey::Name, true, {"..", "d2", "d1", "README", "c.sh", "b.py"}},
        {LocalSortKey::Extension, false, {"..", "d1", "d2", "b.py", "README", "c.sh"}},
        {LocalSortKey::Size, false, {"..", "d1", "d2", "c.sh", "b.py", "README"}},
        {LocalSortKey::Size, true, {"..", "d2", "d1", "README", "b.py", "c.sh"}},
        {LocalSortKey::Modified, false, {"..", "d1", "d2", "README", "c.sh", "b.py"}},
    };
    for (const Case& c : cases) {
        p.pane.SetSort(c.key, c.descending);
        QStringList rows = p.RowNames();
        // Directories with equal keys keep listing order, which the file system chooses.
        if (!(c.key == LocalSortKey::Name)) {
            std::sort(
                rows.begin() + 1, rows.begin() + 3,
                c.descending ? [](const QString& a, const QString& b) { return a > b; }
                             : [](const QString& a, const QString& b) { return a < b; });
        }
        EXPECT_EQ(rows, c.rows) << int(c.key) << c.descending;
    }
}

TEST(LocalPane, ColumnClicks) {
    Pane p;
    p.pane.SetSort(LocalSortKey::Size, false);
    p.pane.ColumnClick(1);  // same key: the sequence flips
    EXPECT_EQ(p.pane.SortKey(), LocalSortKey::Size);
    EXPECT_TRUE(p.pane.Descending());
    p.pane.SetSort(LocalSortKey::Extension, false);
    p.pane.ColumnClick(0);  // another key: the sequence stays
    EXPECT_EQ(p.pane.SortKey(), LocalSortKey::Name);
    EXPECT_FALSE(p.pane.Descending());
    p.pane.ColumnClick(2);
    EXPECT_EQ(p.pane.SortKey(), LocalSortKey::Modified);
    EXPECT_EQ(p.site.localSortIndex, 3);
}

TEST(LocalPane, Navigation) {
    Pane p;
    QDir(p.dir.Path()).mkpath("sub/deeper");
    p.Go(p.dir.Path());
    p.pane.ChangeLocalDirectory("sub");
    EXPECT_EQ(p.pane.CurrentDir(), p.dir.File("sub"));
    p.pane.ChangeLocalDirectory(p.dir.File("sub/deeper/"));
    EXPECT_EQ(p.pane.CurrentDir(), p.dir.File("sub/deeper"));
    p.pane.ChangeLocalDirectory("..");
    EXPECT_EQ(p.pane.CurrentDir(), p.dir.File("sub"));
    p.pane.ChangeLocalDirectory("/");
    EXPECT_EQ(p.pane.CurrentDir(), "/");
    EXPECT_FALSE(p.RowNames().contains(".."));
    p.pane.ChangeLocalDirectory("..");
    EXPECT_EQ(p.pane.CurrentDir(), "/");

    p.pane.ChangeLocalDirectory(p.dir.File("missing"));
    EXPECT_EQ(p.pane.CurrentDir(), p.dir.Path());
    EXPECT_EQ(p.ui.logLines.mid(p.ui.logLines.size() - 2),
              QStringList({"Cannot change to directory " + p.dir.File("missing") +
                               " because it does not exist",
                           "Changing instead to directory " + p.dir.Path()}));
}

TEST(LocalPane, VanishedCurrentDirectoryFallsBackToDefault) {
    Pane p;
    QDir(p.dir.Path()).mkdir("gone");
    p.Go(p.dir.File("gone"));
    QDir(p.dir.File("gone")).removeRecursively();
    p.pane.RefreshLocal();
    EXPECT_EQ(p.pane.CurrentDir(), p.dir.Path());
    EXPECT_LE(p.site.infLocDirs.size(), 8);
}

TEST(LocalPane, CreateDirectoryRefusals) {
    Pane p;
    Touch(p.dir.File("taken"));
    QDir(p.dir.Path()).mkdir("Folder");
    p.Go(p.dir.Path());
    Inputs(p.ui, {QString("bad/name"), QString("TAKEN"), QString("folder"), QString(" new one "),
                  std::nullopt});
    for (int i = 0; i < 5; ++i) {
        p.pane.CreateNewDir();
    }
    EXPECT_EQ(p.ui.MessageTexts(),
              QStringList({"Directory name cannot contain any of the characters \\/:*\"?<>|",
                           "Cannot create folder TAKEN because a file with that name already "
                           "exists",
                           "Cannot create folder folder because a folder with that name already "
                           "exists"}));
    EXPECT_TRUE(QFileInfo(p.dir.File("new one")).isDir());
    EXPECT_TRUE(p.RowNames().contains("new one"));
    EXPECT_EQ(p.ui.busyDepth, 0);
}

TEST(LocalPane, RenameLastToFirstWithRefusals) {
    Pane p;
    Touch(p.dir.File("a.txt"));
    Touch(p.dir.File("b.txt"));
    Touch(p.dir.File("c.txt"));
    p.Go(p.dir.Path());
    // Taken last to first: c gets renamed, b is skipped (empty), a would overwrite c2.
    Inputs(p.ui, {QString("c2.txt"), QString(""), QString("c2.txt")});
    p.pane.RenameSelected({"a.txt", "b.txt", "c.txt"});
    EXPECT_TRUE(QFileInfo::exists(p.dir.File("c2.txt")));
    EXPECT_TRUE(QFileInfo::exists(p.dir.File("a.txt")));  // never replaces an existing file
    EXPECT_EQ(p.ui.inputPrompts.first(), "Local file rename|Please supply new name for c.txt :");
    EXPECT_TRUE(p.ui.logLines.contains("Ren " + p.dir.File("c.txt") + " " + p.dir.File("c2.txt")));
    EXPECT_EQ(p.ui.MessageTexts(), QStringList({"Rename failed."}));

    p.ui.messages.clear();
    Inputs(p.ui, {QString("a.txt")});
    p.pane.RenameSelected({"a.txt", "b.txt"});  // b is asked first... and cancelled
    Inputs(p.ui, {QString("a.txt")});
    p.pane.RenameSelected({"a.txt"});
    EXPECT_EQ(p.ui.MessageTexts().last(), "Cannot rename a file to the name it already has.");
    p.pane.RenameSelected({});
    EXPECT_EQ(p.ui.MessageTexts().last(), "No file has been selected for rename");
}

TEST(LocalPane, DeleteWithYesToAllAndFolderRefusal) {
    Pane p;
    for (const char* n : {"1.txt", "2.txt", "3.txt", "4.txt"}) {
        Touch(p.dir.File(n));
    }
    QDir(p.dir.Path()).mkdir("dir");
    p.Go(p.dir.Path());
    Dialogs(p.ui, {ModalResult::No, ModalResult::OK, ModalResult::YesToAll});
    p.pane.DeleteSelected({"1.txt", "dir", "2.txt", "3.txt", "4.txt"});
    EXPECT_TRUE(QFileInfo::exists(p.dir.File("1.txt")));
    EXPECT_FALSE(QFileInfo::exists(p.dir.File("2.txt")));
    EXPECT_FALSE(QFileInfo::exists(p.dir.File("3.txt")));
    EXPECT_FALSE(QFileInfo::exists(p.dir.File("4.txt")));
    EXPECT_TRUE(QFileInfo(p.dir.File("dir")).isDir());
    EXPECT_EQ(p.ui.MessageTexts(), QStringList({"Delete local file named 1.txt?",
                                                "Cannot delete dir - folder deletion not supported",
                                                "Delete local file named 2.txt?"}));

    p.ui.messages.clear();
    Dialogs(p.ui, {ModalResult::Cancel});
    Touch(p.dir.File("5.txt"));
    p.pane.RefreshLocal();
    p.pane.DeleteSelected({"5.txt", "1.txt"});
    EXPECT_TRUE(QFileInfo::exists(p.dir.File("5.txt")));
    EXPECT_EQ(p.ui.messages.size(), 1);  // closing the box ends the command
}

TEST(LocalPane, OpenCommands) {
    Pane p;
    Touch(p.dir.File("page.html"));
    QDir(p.dir.Path()).mkdir("dir");
    p.Go(p.dir.Path());
    p.pane.OpenAsText({"page.html"});
    p.pane.OpenSelected({"page.html"});
    p.pane.OpenInBrowser({"dir"});
    p.pane.OpenSelected({"dir"});
    p.pane.OpenSelected({});
    p.pane.OpenInBrowser({});
    EXPECT_EQ(p.started,
              QStringList({"editor " + p.dir.File("page.html"), "open " + p.dir.File("page.html"),
                           "open " + p.dir.File("dir")}));
    EXPECT_EQ(p.ui.MessageTexts(), QStringList({"Cannot edit dir because it is a folder.",
                                                "No file has been selected for edit",
                                                "No file has been selected to open"}));
    EXPECT_EQ(p.saves, 3);
}

TEST(LocalPane, SetAsDefault) {
    Pane p;
    QDir(p.dir.Path()).mkdir("web");
    p.site.infLocDirs = {"/tmp"};
    p.Go(p.dir.File("web"));
    p.pane.SetAsDefaultLocalDir("MySite");
    EXPECT_EQ(p.site.infLocDirs.first(), p.dir.File("web"));
    EXPECT_EQ(p.ui.logLines.last(), "Default local dir for MySite is " + p.dir.File("web"));
    EXPECT_EQ(p.saves, 1);
}

TEST(LocalPane, OpenFallsBackToTheDesktopAndNamesWhatIsMissing) {
    Pane p;
    Touch(p.dir.File("photo.png"));
    p.Go(p.dir.Path());
    const QString path = p.dir.File("photo.png");
    QStringList tried;
    p.pane.openDocument = [&tried](const QString& f) {
        tried << "xdg-open " + f;
        return false;
    };
    bool desktopOpens = true;
    p.pane.openWithDesktop = [&](const QString& f) {
        tried << "desktop " + f;
        return desktopOpens;
    };
    bool xdgOpen = false;
    p.pane.xdgOpenFound = [&xdgOpen] { return xdgOpen; };

    p.pane.OpenSelected({"photo.png"});
    EXPECT_EQ(tried, QStringList({"xdg-open " + path, "desktop " + path}));
    EXPECT_TRUE(p.ui.logLines.isEmpty());  // the desktop opened it

    desktopOpens = false;
    p.pane.OpenSelected({"photo.png"});
    ASSERT_EQ(p.ui.logLines.size(), 1);
    EXPECT_EQ(p.ui.logLines.last(), "Unable to open " + path +
                                        ": xdg-open was not found (package xdg-utils) and the "
                                        "desktop has no program for it");
    xdgOpen = true;
    p.pane.OpenInBrowser({"photo.png"});
    EXPECT_EQ(p.ui.logLines.last(),
              "Unable to open " + path + ": xdg-open failed and the desktop has no program for it");
}
