#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>

#include "procmail/widgets/frm_ask_procmail.h"
#include "procmail/widgets/frm_help_procmail.h"

namespace {

class AskProcmailDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "widgets_procmail";
            static char* argv[] = {name, nullptr};
            static QApplication app(argc, argv);
        }
    }
    // Runs Action once the dialog is showing.
    static void WhenShown(TfrmAskProcmail& dialog, std::function<void()> action) {
        QTimer::singleShot(0, &dialog, [&dialog, action] {
            ASSERT_TRUE(dialog.isVisible());
            action();
        });
    }
};

TEST_F(AskProcmailDialog, ShowsTheQueryAndReportsEachButton) {
    TfrmAskProcmail dialog;
    ProcmailQuery query;
    query.directory = "/home/joe/procmail";
    WhenShown(dialog, [&] { dialog.btnNo->click(); });
    ProcmailAnswer answer = dialog.Ask(query);
    EXPECT_EQ(answer.choice, ProcmailChoice::No);
    EXPECT_TRUE(dialog.btnRegenerate->isHidden());
    EXPECT_TRUE(dialog.lblAlternative->isHidden());

    query.regenerateVisible = true;
    query.regenerateCaption = "Regenerate from procmail5.txt";
    query.alternativeText = "(Alternatively you can regenerate from local file procmail5.txt)";
    query.localTimestamp = "Timestamp for local procmail5.txt: 09/12/2026 10:00:00";
    WhenShown(dialog, [&] {
        EXPECT_EQ(dialog.btnRegenerate->text(), "Regenerate from procmail5.txt");
        EXPECT_FALSE(dialog.lblAlternative->isHidden());
        EXPECT_TRUE(dialog.lblRemoteTimestamp->isHidden());
        dialog.btnRegenerate->click();
    });
    EXPECT_EQ(dialog.Ask(query).choice, ProcmailChoice::Regenerate);

    // Browse: the folder chosen replaces the field, without a trailing separator.
    dialog.browseForFolder = [](const QString&) { return QString("/srv/mail/"); };
    WhenShown(dialog, [&] {
        dialog.btnBrowse->click();
        dialog.btnYes->click();
    });
    answer = dialog.Ask(query);
    EXPECT_EQ(answer.choice, ProcmailChoice::Yes);
    EXPECT_EQ(answer.directory, "/srv/mail");
}

TEST_F(AskProcmailDialog, HelpShowsTheLanguageReadOnly) {
    TfrmHelpProcmail help;
    EXPECT_TRUE(help.memHelp->isReadOnly());
    EXPECT_TRUE(help.memHelp->toPlainText().contains("UNRESOLVED"));
}

}  // namespace
