#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/scripted_user_interface.h"
#include "listing/widgets/frm_alloc_zos.h"

namespace {

class AllocZosTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "frm_alloc_zos_test";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
    }

    void FillValid() {
        dialog.edtPrimary->setText("3");
        dialog.edtSecondary->setText("4");
        dialog.edtRecfm->setText("fb");
        dialog.edtLrecl->setText("80");
        dialog.edtBlksize->setText("");
    }

    ScriptedUserInterface ui;
    AllocationAttributes attributes;
    TfrmAllocZOS dialog{ui, attributes};
};

void Wait(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

TEST_F(AllocZosTest, StartValues) {
    EXPECT_EQ(dialog.windowTitle(), "File Allocation Attributes");
    EXPECT_EQ(dialog.cboUnit->count(), 2);
    EXPECT_EQ(dialog.cboUnit->currentText(), "CYL");
    EXPECT_EQ(dialog.cboUnit->itemText(1), "TRK");
    EXPECT_EQ(dialog.edtPrimary->text(), "1");
    EXPECT_EQ(dialog.edtSecondary->text(), "1");
    EXPECT_EQ(dialog.edtRecfm->text(), "");
    EXPECT_EQ(dialog.edtLrecl->text(), "");
    EXPECT_EQ(dialog.edtBlksize->text(), "");
}

TEST_F(AllocZosTest, NumberFieldsEmptyAtOnceAndRecordFormatIsUpperCased) {
    for (QLineEdit* edit :
         {dialog.edtPrimary, dialog.edtSecondary, dialog.edtLrecl, dialog.edtBlksize}) {
        edit->setText("12");
        EXPECT_EQ(edit->text(), "12");
        edit->setText("12x");
        EXPECT_EQ(edit->text(), "");
        edit->setText("-7");
        EXPECT_EQ(edit->text(), "-7");
    }
    dialog.edtRecfm->setText("vb");
    emit dialog.edtRecfm->editingFinished();
    EXPECT_EQ(dialog.edtRecfm->text(), "VB");
}

TEST_F(AllocZosTest, OkChecksInOrderAndStopsAtTheFirstFailure) {
    struct Row {
        const char* primary;
        const char* secondary;
        const char* lrecl;
        const char* blksize;
        const char* recfm;
        const char* message;
    };
    const Row rows[] = {
        {"", "", "", "x", "", "No numeric value supplied for primary allocation"},
        {"1", "", "", "", "", "No numeric value supplied for secondary allocation"},
        {"1", "1", "", "", "", "No numeric value supplied for record length"},
        {"1", "1", "80", "99999999999", "FB", "Non numeric value supplied for block size"},
        {"1", "1", "80", "", "  ", "No value supplied for record format"},
        {"99999999999", "1", "80", "", "FB", "No numeric value supplied for primary allocation"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        ui.messages.clear();
        dialog.edtPrimary->setText(row.primary);
        dialog.edtSecondary->setText(row.secondary);
        dialog.edtLrecl->setText(row.lrecl);
        dialog.edtBlksize->setText(row.blksize);
        dialog.edtRecfm->setText(row.recfm);
        dialog.open();
        dialog.btnOK->click();
        ASSERT_EQ(ui.MessageTexts(), QStringList({row.message}));
        EXPECT_EQ(ui.messages[0].type, MsgDlgType::Warning);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(attributes.accepted);
    }
    dialog.close();
}

TEST_F(AllocZosTest, OkWritesTheAttributes) {
    FillValid();
    dialog.cboUnit->setCurrentIndex(1);
    dialog.open();
    dialog.btnOK->click();
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(attributes.accepted);
    EXPECT_EQ(attributes.unitIndex, 1);
    EXPECT_EQ(attributes.primary, 3);
    EXPECT_EQ(attributes.secondary, 4);
    EXPECT_EQ(attributes.recordLength, 80);
    EXPECT_EQ(attributes.blockSize, 0);
    EXPECT_EQ(attributes.recordFormat, "FB");
}

TEST_F(AllocZosTest, CancelClearsTheAcceptedFlagAndStillWritesTheAttributes) {
    attributes.accepted = true;
    FillValid();
    dialog.edtRecfm->setText(" u ");
    dialog.open();
    dialog.btnCancel->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(attributes.accepted);
    EXPECT_EQ(attributes.primary, 3);
    EXPECT_EQ(attributes.recordFormat, "U");
}

TEST_F(AllocZosTest, ProbablyWorkFillsSampleValuesThenRests) {
    dialog.SetProbablyWorkPause(100);
    dialog.cboUnit->setCurrentIndex(1);
    dialog.btnProbablyWork->click();
    EXPECT_EQ(dialog.cboUnit->currentText(), "CYL");
    EXPECT_EQ(dialog.edtPrimary->text(), "2");
    EXPECT_EQ(dialog.edtSecondary->text(), "25");
    EXPECT_EQ(dialog.edtRecfm->text(), "VB");
    EXPECT_EQ(dialog.edtLrecl->text(), "27994");
    EXPECT_EQ(dialog.edtBlksize->text(), "27998");
    EXPECT_FALSE(dialog.btnOK->isEnabled());
    Wait(300);
    EXPECT_TRUE(dialog.btnOK->isEnabled());
    dialog.open();
    dialog.btnOK->click();
    EXPECT_TRUE(attributes.accepted);
    EXPECT_EQ(attributes.blockSize, 27998);
}
