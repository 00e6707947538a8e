#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>

#include "panes/local_pane.h"
#include "widget_test_support.h"

namespace {

QStringList ShownNames(TfrmMain& m) {
    QStringList names;
    QAbstractItemModel* model = m.lvLocalFiles->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        names << model->index(r, 0).data().toString();
    }
    return names;
}

}  // namespace

TEST(LocalPaneWidgets, ListNavigateSortAndDirectoryBox) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    TestFolder files;
    QDir(files.Path()).mkdir("sub");
    files.Write("big.txt", QByteArray(1500, 'x'));
    files.Write("small.txt", "x");
    files.Write(".hidden", "x");
    LocalPane& pane = *m.Core().localPane;
    ASSERT_TRUE(pane.SelectDirectory(files.Path()));

    EXPECT_EQ(ShownNames(m), QStringList({"..", "sub", "big.txt", "small.txt"}));
    EXPECT_EQ(m.lblLocalFileInfo->text(), "2 files    1,501 bytes");
    EXPECT_EQ(m.lvLocalFiles->model()->index(2, 1).data().toString(), "1,500");
    EXPECT_EQ(m.cmbxLocalDir->currentText(), files.Path());

    // The Size heading sorts by size; clicking it again flips the sequence.
    emit m.lvLocalFiles->header()->sectionClicked(1);
    emit m.lvLocalFiles->header()->sectionClicked(1);
    EXPECT_EQ(ShownNames(m), QStringList({"..", "sub", "big.txt", "small.txt"}));
    EXPECT_EQ(m.rgrpLocalSort->ItemIndex(), 2);
    EXPECT_EQ(m.rgrpLocalSeq->ItemIndex(), 1);
    m.rgrpLocalSeq->Button(0)->click();  // the radio group re-sorts at once
    EXPECT_EQ(ShownNames(m), QStringList({"..", "sub", "small.txt", "big.txt"}));

    // A double click on a directory moves into it; on ".." back up.
    emit m.lvLocalFiles->doubleClicked(m.lvLocalFiles->model()->index(1, 0));
    EXPECT_EQ(pane.CurrentDir(), files.File("sub"));
    emit m.lvLocalFiles->doubleClicked(m.lvLocalFiles->model()->index(0, 0));
    EXPECT_EQ(pane.CurrentDir(), files.Path());

    // A typed directory that does not exist puts the current one back.
    m.cmbxLocalDir->setEditText(files.File("nowhere"));
    emit m.cmbxLocalDir->lineEdit()->returnPressed();
    EXPECT_EQ(m.cmbxLocalDir->currentText(), files.Path());
    m.cmbxLocalDir->setEditText(files.File("sub"));
    emit m.cmbxLocalDir->lineEdit()->returnPressed();
    EXPECT_EQ(pane.CurrentDir(), files.File("sub"));
    EXPECT_LE(m.cmbxLocalDir->count(), 8);
}

TEST(LocalPaneWidgets, SelectionFeedsTheCommands) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    TestFolder files;
    files.Write("a.txt", "x");
    files.Write("b.txt", "x");
    LocalPane& pane = *m.Core().localPane;
    ASSERT_TRUE(pane.SelectDirectory(files.Path()));
    m.lvLocalFiles->selectAll();
    EXPECT_EQ(m.SelectedLocalNames(), QStringList({"a.txt", "b.txt"}));  // ".." is never a name

    WhenModal([](QWidget* box) { static_cast<QDialog*>(box)->done(QMessageBox::YesToAll); });
    m.btnDeleteLoc->click();
    EXPECT_FALSE(QFile::exists(files.File("a.txt")));
    EXPECT_FALSE(QFile::exists(files.File("b.txt")));
    EXPECT_EQ(ShownNames(m), QStringList({".."}));
}

TEST(LocalPaneWidgets, FilterAndHiddenToggleNarrowTheListAndTheCommandsFollow) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    TestFolder files;
    QDir(files.Path()).mkdir("site");
    files.Write("index.html", QByteArray(100, 'x'));
    files.Write("about.HTML", QByteArray(20, 'x'));
    files.Write("notes.txt", "x");
    files.Write(".htaccess", "x");
    LocalPane& pane = *m.Core().localPane;
    ASSERT_TRUE(pane.SelectDirectory(files.Path()));
    ASSERT_EQ(ShownNames(m), QStringList({"..", "site", "about.HTML", "index.html", "notes.txt"}));
    EXPECT_FALSE(m.chkLocalHidden->isChecked());  // hidden entries left out, as described

    m.edtLocalFilter->setText("*.html");
    EXPECT_EQ(ShownNames(m), QStringList({"..", "about.HTML", "index.html"}));
    EXPECT_EQ(m.lblLocalFileInfo->text(), "2 of 3 files    120 bytes (filtered)");
    // What the list shows is what the commands act on.
    m.lvLocalFiles->selectionModel()->select(
        m.lvLocalFiles->model()->index(2, 0),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(m.SelectedLocalNames(), QStringList({"index.html"}));
    // A refresh keeps the filter.
    pane.RefreshClick();
    EXPECT_EQ(ShownNames(m), QStringList({"..", "about.HTML", "index.html"}));

    m.edtLocalFilter->setText("hta");
    EXPECT_EQ(ShownNames(m), QStringList({".."}));
    m.chkLocalHidden->setChecked(true);
    EXPECT_EQ(ShownNames(m), QStringList({"..", ".htaccess"}));
    m.edtLocalFilter->clear();
    EXPECT_EQ(ShownNames(m).size(), 6);
    EXPECT_EQ(m.lblLocalFileInfo->text(), "4 files    122 bytes");
}
