#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDropEvent>
#include <QMessageBox>
#include <QPushButton>

#include "app/app_core.h"
#include "transfer/widgets/frm_chmod.h"
#include "ui/list_drag.h"
#include "ui/transfer_view.h"
#include "widget_test_support.h"

TEST(ChmodDialog, BoxesGiveTheTextAndTheOctalValue) {
    App();
    TfrmChmod dialog;
    dialog.SetBoxes(InitialPermissionBoxes(""));  // no listing text: 705
    EXPECT_TRUE(dialog.chkbxUR->isChecked() && dialog.ChkbxUW->isChecked() &&
                dialog.chkbxUX->isChecked());
    EXPECT_FALSE(dialog.chkbxGR->isChecked() || dialog.chkbxGW->isChecked() ||
                 dialog.chkbxGX->isChecked());
    EXPECT_TRUE(dialog.chkbxWR->isChecked() && !dialog.chkbxWW->isChecked() &&
                dialog.chkbxWX->isChecked());
    dialog.chkbxGR->click();
    dialog.btnSetAndExit->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.permissionText, "rwxr--r-x");
    EXPECT_EQ(dialog.octal, "745");
    dialog.SetBoxes(InitialPermissionBoxes("-rw-r--r--"));
    dialog.btnCancel->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(dialog.octal.isEmpty());
}

TEST(ChmodDialog, AskedThroughTheWindowWithItsTitle) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    QString title;
    WhenModal([&title](QWidget* modal) {
        title = modal->windowTitle();
        auto* dialog = static_cast<TfrmChmod*>(modal);
        dialog->chkbxWX->click();
        dialog->btnSetAndExit->click();
    });
    const auto boxes = m.AskPermissions("Set permissions for a.cgi", InitialPermissionBoxes(""));
    EXPECT_EQ(title, "Set permissions for a.cgi");
    ASSERT_TRUE(boxes.has_value());
    EXPECT_EQ(OctalFromBoxes(*boxes), "704");
    WhenModal([](QWidget* modal) { static_cast<TfrmChmod*>(modal)->btnCancel->click(); });
    EXPECT_FALSE(m.AskPermissions("Set permissions for b", InitialPermissionBoxes("")));
}

// Drops between the lists: the data a drag brings, sent to the list as the mouse would.
TEST(DragAndDrop, OnlyFromTheOtherListAwayFromTheEdgeAndNotDuringABatch) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.Core().firstActivation = false;
    m.show();
    // Hands the drop handler what a drag brings; returns the text of the message the drop led
    // to ("" when none) and whether the drop was taken.
    auto drop = [&m](QTreeView* target, const QString& source, int x) {
        std::unique_ptr<QMimeData> data(ListDragData(source));
        QString shown;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->reject();
            }
        });
        watch.start(5);
        const bool taken = m.TransferViewOfWindow().Drop(target, data.get(), x);
        return std::make_pair(shown, taken);
    };
    ASSERT_TRUE(m.lvLocalFiles->viewport()->acceptDrops() && m.lvRemote->viewport()->acceptDrops());
    // Nothing is selected: the commands a drop runs say so.
    EXPECT_EQ(drop(m.lvLocalFiles, "lvRemote", 40),
              std::make_pair(QString("No files have been selected for download"), true));
    EXPECT_EQ(drop(m.lvRemote, "lvLocalFiles", 17),
              std::make_pair(QString("No files have been selected for upload"), true));
    EXPECT_EQ(drop(m.lvLocalFiles, "lvRemote", 16), std::make_pair(QString(), false));
    EXPECT_EQ(drop(m.lvLocalFiles, "lvLocalFiles", 40), std::make_pair(QString(), false));
    EXPECT_EQ(drop(m.lvRemote, "", 40), std::make_pair(QString(), false));
    m.Core().run.batchTransferRunning = true;
    EXPECT_EQ(drop(m.lvLocalFiles, "lvRemote", 40).first, QString());
    m.Core().run.batchTransferRunning = false;

    // What a drag out of a list carries.
    m.lvRemote->selectAll();
    std::unique_ptr<QMimeData> carried(
        m.lvRemote->model()->mimeData(m.lvRemote->selectionModel()->selectedIndexes()));
    EXPECT_EQ(ListDragSource(carried.get()), "lvRemote");
}
