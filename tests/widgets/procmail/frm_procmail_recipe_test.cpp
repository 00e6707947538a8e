#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include "procmail/recipe_generator.h"
#include "procmail/widgets/frm_procmail_recipe.h"
#include "support/test_support.h"

namespace {

struct SeenBox {
    QString text;
    QMessageBox::Icon icon;
    QRect geometry;
    bool parentIsWindow;
};

class ProcmailRecipeWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "widgets_procmail";
            static char* argv[] = {name, nullptr};
            static QApplication app(argc, argv);
        }
    }

    // Answers every message box that opens with OK, recording what it showed.
    void AnswerBoxes() {
        auto* timer = new QTimer(&m_window);
        QObject::connect(timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) {
                return;
            }
            m_seen.append(
                {box->text(), box->icon(), box->frameGeometry(), box->parentWidget() == &m_window});
            box->button(QMessageBox::Ok)->click();
        });
        timer->start(10);
    }

    TfrmProcmailRecipe m_window;
    QList<SeenBox> m_seen;
    TestFolder m_folder;
};

TEST_F(ProcmailRecipeWindow, CaptionAndLabel) {
    EXPECT_EQ(m_window.windowTitle(), "Procmail generation");
    auto* label = m_window.findChild<QLabel*>("lblProgress");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "procmail recipe generation in progress ...");
}

TEST_F(ProcmailRecipeWindow, MessagePositionBottomEdgeAtScreenCentre) {
    EXPECT_EQ(TfrmProcmailRecipe::MessagePosition(QRect(0, 0, 1920, 1080), QSize(400, 150)),
              QPoint(760, 390));
    EXPECT_EQ(TfrmProcmailRecipe::MessagePosition(QRect(1920, 0, 1280, 1024), QSize(300, 100)),
              QPoint(2410, 412));
}

TEST_F(ProcmailRecipeWindow, ErrorShownOnScreenAndRecipeMarked) {
    const QString mdl = m_folder.Write("procmail1.txt", "LOGFILE LOUD\r\nUNRESOLVED -> POP\r\n");
    AnswerBoxes();
    bool completed = true;
    EXPECT_TRUE(m_window.GenerateRecipe(mdl, &completed));
    EXPECT_FALSE(completed);
    EXPECT_FALSE(m_window.isVisible());
    ASSERT_EQ(m_seen.size(), 1);
    EXPECT_EQ(m_seen[0].text,
              "LOGFILE keyword should be followed by ON OFF or VERBOSE, instead have:\r\n"
              "LOGFILE LOUD");
    EXPECT_EQ(m_seen[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(m_seen[0].parentIsWindow);
    const QRect screen = m_window.screen()->geometry();
    EXPECT_NEAR(m_seen[0].geometry.center().x(), screen.center().x(), 2);
    EXPECT_NEAR(m_seen[0].geometry.bottom(), screen.center().y(), 2);
    EXPECT_TRUE(m_folder.Read(".procmailrc").startsWith(kRecipeErrorMarker.toLatin1() + "\n"));
}

TEST_F(ProcmailRecipeWindow, SymbolWarningShowsSingleAmpersands) {
    const QString mdl = m_folder.Write(
        "procmail1.txt", "DOMAIN a.com\nj -> POP,x&&y@b.com\nDOMAIN END\nUNRESOLVED -> POP\n");
    AnswerBoxes();
    bool completed = false;
    EXPECT_TRUE(m_window.GenerateRecipe(mdl, &completed));
    EXPECT_TRUE(completed);
    ASSERT_EQ(m_seen.size(), 1);
    EXPECT_EQ(m_seen[0].icon, QMessageBox::Warning);
    EXPECT_EQ(m_seen[0].text,
              "Note presence of & in this line which remains after symbol substitution:\r\n"
              "j -> POP,x&&y@b.com");
}

TEST_F(ProcmailRecipeWindow, MissingFileWritesNothing) {
    EXPECT_FALSE(m_window.GenerateRecipe(m_folder.File("absent.txt")));
    EXPECT_FALSE(m_window.GenerateRecipe("procmail1.txt"));
    EXPECT_TRUE(m_folder.Read(".procmailrc").isEmpty());
    EXPECT_TRUE(m_seen.isEmpty());
}

}  // namespace
