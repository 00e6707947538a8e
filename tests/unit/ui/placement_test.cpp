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

TEST(Placement, FrameFitsTheAvailableArea) {
    const QRect area(0, 0, 1024, 700);
    const QMargins frame(4, 30, 4, 4);
    const QSize least(640, 480);
    // A 1024 x 700 client with a title bar does not fit: it shrinks and moves so the whole frame
    // shows.
    const QRect fitted = FitFrameInto(QRect(0, 0, 1024, 700), frame, area, least);
    EXPECT_EQ(fitted, QRect(4, 30, 1016, 666));
    EXPECT_TRUE(area.contains(fitted.marginsAdded(frame)));
    // One that fits stays where it is.
    EXPECT_EQ(FitFrameInto(QRect(100, 100, 800, 500), frame, area, least),
              QRect(100, 100, 800, 500));
    // One hanging over the bottom right moves in.
    EXPECT_EQ(FitFrameInto(QRect(400, 300, 800, 500), frame, area, least),
              QRect(220, 196, 800, 500));
    // A screen smaller than the least size keeps the title bar on the screen.
    const QRect tiny = FitFrameInto(QRect(50, 50, 700, 500), frame, QRect(0, 0, 600, 400), least);
    EXPECT_EQ(tiny.size(), least);
    EXPECT_EQ(tiny.topLeft(), QPoint(4, 30));
    // Screens need not start at the origin.
    EXPECT_EQ(FitFrameInto(QRect(0, 0, 1024, 700), frame, QRect(1920, 24, 1024, 700), least),
              QRect(1924, 54, 1016, 666));
}
