#include <gtest/gtest.h>

#include "ui/model/placement.h"

TEST(Placement, MessageBoxBottomAtTheVerticalCentre) {
    const QRect main(100, 50, 1000, 600);  // centre (600, 350)
    EXPECT_EQ(MessageBoxTopLeft(main, QSize(300, 120)), QPoint(450, 230));
    EXPECT_EQ(MessageBoxTopLeft(main, QSize(301, 1)), QPoint(450, 349));
}

TEST(Placement, LoginDialogLimits) {
    struct Case {
        QRect main;
        QSize dialog;
        QPoint expected;
    } const cases[] = {
        {QRect(100, 100, 1000, 800), QSize(400, 300), QPoint(400, 200)},
        // Taller than half the window: not above the window's top + 2 x frame + caption.
        {QRect(100, 100, 1000, 400), QSize(400, 350), QPoint(400, 100 + 8 + 30)},
        // Near the screen's corner: at least 10 from the left and the top.
        {QRect(-300, -200, 400, 300), QSize(400, 300), QPoint(10, 10)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoginDialogTopLeft(c.main, c.dialog, 4, 30), c.expected);
    }
}

TEST(Placement, DefaultDirectoryCaptionsSwitchAt381) {
    const DefaultDirButtons narrow = DefaultDirCaptions(380);
    EXPECT_EQ(narrow.localCaption, "Set as default dir for site");
    EXPECT_EQ(narrow.remoteCaption, "Set as default dir for site");
    EXPECT_EQ(narrow.width, 152);
    const DefaultDirButtons wide = DefaultDirCaptions(381);
    EXPECT_EQ(wide.localCaption, "Set as default local directory for this site");
    EXPECT_EQ(wide.remoteCaption, "Set as default remote directory for this site");
    EXPECT_EQ(wide.width, 240);
}
