#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTextBrowser>

#include "session/session.h"
#include "ui/frm_colour.h"
#include "ui/frm_help.h"
#include "ui/frm_options.h"
#include "widget_test_support.h"

TEST(OptionsDialog, SaveStoresAndCancelDiscards) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    {
        TfrmOptions options(m);
        EXPECT_EQ(options.windowTitle(), "Vorlen FTP Settings");
        options.edtEditor->setText("discarded-editor");
        options.chkLogsEnabled->setChecked(true);
        options.btnCancel->click();
    }
    EXPECT_NE(m.Core().settings.common.favoredEditor, "discarded-editor");
    EXPECT_FALSE(m.Core().settings.common.logsEnabled);
    {
        TfrmOptions options(m);
        options.edtEditor->setText("my-editor");
        options.chkLogsEnabled->setChecked(true);
        options.edtRemLogdir->setText("logs");
        options.edtFavCaption->setText("Web");
        options.btnSave->click();
    }
    EXPECT_EQ(m.Core().settings.common.favoredEditor, "my-editor");
    EXPECT_TRUE(m.Core().settings.common.logsEnabled);
    EXPECT_TRUE(m.mnuRunScript->isEnabled());
    EXPECT_EQ(m.btnFavorite->text(), "Web");
    CfgFile cfg(f.dir.File("VorlenFTP.cfg"));
    ASSERT_TRUE(cfg.Load());
    EXPECT_EQ(cfg.GetCfgFileSetting("Common", "FavoredEditor", ""), "my-editor");
    EXPECT_EQ(cfg.GetCfgFileSetting("Site0", "RemLogdir", ""), "logs");
}

TEST(OptionsDialog, LogFieldsShownOnlyWhileEnabled) {
    MainWindowFixture f;
    TfrmOptions options(f.Create());
    EXPECT_FALSE(options.grpLogs->isVisibleTo(&options));
    options.chkLogsEnabled->setChecked(true);
    EXPECT_TRUE(options.grpLogs->isVisibleTo(&options));
    EXPECT_TRUE(options.edtLocalLogdir->isVisibleTo(&options));
    options.chkLogsEnabled->setChecked(false);

    // Shown, then enabled: the dialog grows so that no label or path field is cut.
    options.show();
    QApplication::processEvents();
    options.chkLogsEnabled->setChecked(true);
    QApplication::processEvents();
    for (const QLabel* label : options.grpLogs->findChildren<QLabel*>()) {
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    EXPECT_GE(options.edtLocalLogdir->width(),
              options.edtLocalLogdir->fontMetrics().horizontalAdvance("/home/joe/weblogs"));
    options.chkLogsEnabled->setChecked(false);
    EXPECT_FALSE(options.edtLocalLogdir->isVisibleTo(&options));
}

TEST(OptionsDialog, MissingLocalLogFolderIsReported) {
    MainWindowFixture f;
    TfrmOptions options(f.Create());
    options.edtLocalLogdir->setText(f.dir.File("nowhere"));
    QString text;
    WhenModal([&text](QWidget* w) {
        text = static_cast<QMessageBox*>(w)->text();
        static_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
    });
    options.LocalLogdirExit();
    EXPECT_EQ(text, "Error - directory " + f.dir.File("nowhere") + " does not exist.");
    options.edtLocalLogdir->setText(f.dir.Path());
    options.LocalLogdirExit();  // an existing folder: no message (a dialog would block here)
}

TEST(OptionsDialog, ListEditorsUseTheirPrompts) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    TfrmOptions options(m);
    QString title, prompt;
    WhenModal([&](QWidget* w) {
        auto* input = qobject_cast<QInputDialog*>(w);
        title = input->windowTitle();
        prompt = input->labelText();
        input->setTextValue(".XYZ");
        input->accept();
    });
    options.AddAsciiClick();
    EXPECT_EQ(title, "New Ascii filetype");
    EXPECT_EQ(prompt, "Please supply new ascii filetype :");
    EXPECT_TRUE(options.Values().asciiTypes.contains("xyz"));

    QString question;
    WhenModal([&](QWidget* w) {
        question = static_cast<QMessageBox*>(w)->text();
        static_cast<QMessageBox*>(w)->button(QMessageBox::Yes)->click();
    });
    options.ResetAsciiClick();
    EXPECT_EQ(question, "Reset to default list of filetypes transferred as text?");
    EXPECT_EQ(options.Values().asciiTypes.join('|'), kDefaultAsciiFiletypes);

    WhenModal([&](QWidget* w) {
        question = static_cast<QMessageBox*>(w)->text();
        static_cast<QMessageBox*>(w)->button(QMessageBox::Yes)->click();
    });
    m.Core().settings.site.infRemDirs = {"/a", "/b"};
    m.Core().session->currentRemoteDir = "/b";
    options.ResetDirsClick();
    EXPECT_EQ(question, "Reset directories remembered for local and remote dropdown lists?");
    EXPECT_EQ(m.Core().settings.site.infRemDirs, QStringList{"/b"});
}

TEST(ColourDialog, TitlesSlidersAndRestore) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    TfrmColour dialog(&m, ColourTheme::Olive, "10 20 30", false);
    EXPECT_EQ(dialog.windowTitle(), "Set default form colour for sites without distinct colour");
    dialog.chkThisSite->setChecked(true);
    EXPECT_EQ(dialog.windowTitle(), "Set distinct form colour for this site only");
    EXPECT_EQ(dialog.ChosenColour(), "10 20 30");
    dialog.sldGreen->setValue(255);
    EXPECT_EQ(dialog.lblGreen->text(), "255");
    EXPECT_EQ(dialog.ChosenColour(), "10 255 30");
    EXPECT_EQ(dialog.pnlPreview->palette().color(QPalette::Window), QColor(10, 255, 30));
    dialog.btnRestore->click();
    EXPECT_EQ(dialog.ChosenColour(), kDefaultOlive);
    EXPECT_EQ(dialog.btnSave->text(), "Save colours and close");
}

TEST(HelpWindows, TopicsTitlesAndTexts) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    EXPECT_EQ(TfrmHelp::TitleFor(""), "Help for Vorlen FTP");
    EXPECT_EQ(TfrmHelp::TitleFor("2.1.3"), "Help for Vorlen FTP version 2.1.3");
    EXPECT_EQ(m.HelpWindow()->windowTitle(),
              "Help for Vorlen FTP version " + AppCore::GetVersionNumber());
    EXPECT_EQ(TfrmHelp::Topics(), QStringList({"Login", "Advanced", "Main", "Procmail",
                                               "Log Download", "Log Processing", "Script"}));
    for (const QString& topic : TfrmHelp::Topics()) {
        QWidget* window = m.HelpWindow()->ShowTopic(topic);
        auto* text = window->findChild<QTextBrowser*>();
        ASSERT_NE(text, nullptr);
        EXPECT_GT(text->toPlainText().size(), 800) << topic.toStdString();
        window->close();
    }
}
