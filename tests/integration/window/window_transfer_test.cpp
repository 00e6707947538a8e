// Transfers from the real window against vsftpd: rows selected and the buttons pressed, as a
// person does it; then the remote pane's file commands.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTreeWidget>
#include <QUuid>

#include "app/app_core.h"
#include "app/remote_edits.h"
#include "panes/local_pane.h"
#include "session/session.h"
#include "support/server_env.h"
#include "transfer/widgets/frm_synchronise.h"
#include "ui/frm_login.h"
#include "widget_test_support.h"
#include "window_login.h"

namespace {

void SelectRows(QTreeView* list, const QStringList& names) {
    list->clearSelection();
    QAbstractItemModel* model = list->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        if (names.contains(model->index(r, 0).data().toString())) {
            list->selectionModel()->select(model->index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(WindowTransfers, ButtonsMoveTheSelectionBothWaysAndTheListFollows) {
    REQUIRE_SERVER("VSFTPD_PORT");
    const QString remote = ServerEnv::Get().Value("FTP_ROOT") + "/t" +
                           QUuid::createUuid().toString(QUuid::Id128).left(10);
    QDir().mkpath(remote);
    QProcess::execute("chown", {"-R", ServerEnv::Get().Value("FTP_USER"), remote});
    TestFolder local;
    local.Write("page.html", "<p>hello</p>\n");
    local.Write("photo.jpg", QByteArray(200000, '\xff'));
    QDir(local.Path()).mkpath("docs/old");
    local.Write("docs/old/notes.txt", "old notes\n");

    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.show();
    StartWithLogin(m, remote, FillVsftpd);
    ASSERT_EQ(m.CurrentConnectionLight(), ConnectionLight::Green);
    ASSERT_TRUE(m.Core().localPane->SelectDirectory(local.Path()));

    SelectRows(m.lvLocalFiles, {"page.html", "photo.jpg", "docs"});
    m.btnUpload->click();
    EXPECT_EQ(Read(remote + "/page.html"), "<p>hello</p>\r\n");  // text: CR LF on the wire
    EXPECT_EQ(Read(remote + "/photo.jpg"), local.Read("photo.jpg"));
    EXPECT_EQ(Read(remote + "/docs/old/notes.txt"), "old notes\r\n");
    EXPECT_EQ(RemoteShownNames(m), QStringList({"..", "docs", "page.html", "photo.jpg"}));
    EXPECT_TRUE(m.btnUpload->isEnabled());  // the window is usable again

    TestFolder back;
    ASSERT_TRUE(m.Core().localPane->SelectDirectory(back.Path()));
    SelectRows(m.lvRemote, {"docs", "photo.jpg", "page.html"});
    m.btnDownload->click();
    EXPECT_EQ(back.Read("page.html"), local.Read("page.html"));
    EXPECT_EQ(back.Read("photo.jpg"), local.Read("photo.jpg"));
    EXPECT_EQ(back.Read("docs/old/notes.txt"), "old notes\n");
    EXPECT_EQ(m.lblRemFileInfo->text(), "2 files    200,014 bytes");

    // Sent again, a file that is on the server brings the question first; Skip keeps it.
    ASSERT_TRUE(m.Core().localPane->SelectDirectory(local.Path()));
    local.Write("page.html", "<p>changed</p>\n");
    SelectRows(m.lvLocalFiles, {"page.html"});
    QString asked;
    WhenModal([&asked](QWidget* box) {
        auto* question = static_cast<QMessageBox*>(box);
        asked = question->text();
        EXPECT_TRUE(question->grab().save(ScreenshotFolder() + "/file-exists.png"));
        for (QAbstractButton* button : question->buttons()) {
            if (button->text() == "Skip") {
                button->click();
            }
        }
    });
    m.btnUpload->click();
    EXPECT_EQ(asked, "page.html already exists on the server.");
    EXPECT_EQ(Read(remote + "/page.html"), "<p>hello</p>\r\n");
    EXPECT_TRUE(m.memMsgs->toPlainText().contains("Skipped page.html: it exists on the server"));

    // F4 on a remote file opens it in the editor; a save is offered for upload.
    m.Core().settings.common.favoredEditor = "/bin/true";  // an editor that returns at once
    SelectRows(m.lvRemote, {"page.html"});
    m.lvRemote->setCurrentIndex(m.lvRemote->selectionModel()->selectedRows().first());
    QKeyEvent f4(QEvent::KeyPress, Qt::Key_F4, Qt::NoModifier);
    QApplication::sendEvent(m.lvRemote, &f4);
    const QString copy = m.Core().remoteEdits->LocalCopy(remote, "page.html");
    ASSERT_EQ(Read(copy), "<p>hello</p>\n");
    WhenModal([&asked](QWidget* box) {
        auto* question = static_cast<QMessageBox*>(box);
        asked = question->text();
        EXPECT_TRUE(question->grab().save(ScreenshotFolder() + "/edit-upload.png"));
        question->button(QMessageBox::Yes)->click();
    });
    QFile::remove(copy);  // saved as many editors do: a new file in its place
    local.Write("edited", "<p>edited</p>\n");
    QFile::copy(local.File("edited"), copy);
    EXPECT_TRUE(WaitFor([&] { return Read(remote + "/page.html") == "<p>edited</p>\r\n"; }));
    EXPECT_EQ(asked, "Upload the changed file page.html to the server?");

    // The filter box narrows the remote list, and the summary says so.
    m.edtRemoteFilter->setText("*.JPG");
    EXPECT_EQ(RemoteShownNames(m), QStringList({"..", "photo.jpg"}));
    EXPECT_EQ(m.lblRemFileInfo->text(), "1 of 2 files    200,000 bytes (filtered)");
    EXPECT_TRUE(m.grab().save(ScreenshotFolder() + "/filter.png"));
    m.edtRemoteFilter->clear();

    // The remote pane's Delete, after its question.
    SelectRows(m.lvRemote, {"photo.jpg"});
    WhenModal(
        [](QWidget* box) { static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click(); });
    m.btnDeleteRem->click();
    EXPECT_FALSE(QFile::exists(remote + "/photo.jpg"));
    EXPECT_EQ(RemoteShownNames(m), QStringList({"..", "docs", "page.html"}));

    // A folder that is not empty: a second question says what it holds, then it goes whole.
    SelectRows(m.lvRemote, {"docs"});
    QString second;
    WhenModal([&second](QWidget* box) {
        WhenModal([&second](QWidget* next) {
            auto* question = static_cast<QMessageBox*>(next);
            second = question->text();
            const QImage shot = question->grab().toImage();
            EXPECT_FALSE(shot.isNull());
            EXPECT_TRUE(shot.save(ScreenshotFolder() + "/delete-folder.png"));
            question->button(QMessageBox::Yes)->click();
        });
        static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
    });
    m.btnDeleteRem->click();
    EXPECT_EQ(second, "The folder docs is not empty: delete it with its 1 file and 1 folder?");
    EXPECT_FALSE(QFile::exists(remote + "/docs"));
    EXPECT_EQ(RemoteShownNames(m), QStringList({"..", "page.html"}));

    // Sync shows the comparison first; with deletion chosen it asks once more, then publishes.
    local.Write("docs/old/notes.txt", "notes again\n");
    QFile stale(remote + "/stale.html");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    QStringList shown;
    QString confirm;
    WhenModal([&](QWidget* box) {
        auto* dialog = qobject_cast<TfrmSynchronise*>(box);
        ASSERT_NE(dialog, nullptr);
        for (int r = 0; r < dialog->lvDifferences->topLevelItemCount(); ++r) {
            shown << dialog->lvDifferences->topLevelItem(r)->text(1);
        }
        dialog->chkDelete->setChecked(true);
        EXPECT_EQ(dialog->lblPlan->text(),
                  "3 files to upload (200,026 bytes), 1 to delete on the server");
        EXPECT_TRUE(dialog->grab().save(ScreenshotFolder() + "/synchronise.png"));
        WhenModal([&confirm](QWidget* next) {
            confirm = static_cast<QMessageBox*>(next)->text();
            static_cast<QMessageBox*>(next)->button(QMessageBox::Yes)->click();
        });
        dialog->btnRun->click();
    });
    m.btnSync->click();
    EXPECT_TRUE(shown.contains("docs/old/notes.txt") && shown.contains("stale.html"));
    EXPECT_EQ(confirm, "Delete 1 item that exists only on the server?");
    EXPECT_FALSE(QFile::exists(remote + "/stale.html"));
    EXPECT_EQ(Read(remote + "/docs/old/notes.txt"), "notes again\n");  // byte for byte
    EXPECT_EQ(Read(remote + "/photo.jpg"), local.Read("photo.jpg"));
    m.close();
}
