#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPainter>

#include "ui/frm_login.h"
#include "widget_test_support.h"

namespace {

// build/screenshots: the test programs live in build/tests.
QString ScreenshotFolder() {
    QString folder = qEnvironmentVariable("VORLEN_SCREENSHOT_DIR");
    if (folder.isEmpty()) {
        folder = QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../screenshots");
    }
    QDir().mkpath(folder);
    return folder;
}

// Every visible button, check box and label gets at least the width its text needs and lies
// inside the window.
void ExpectNothingClipped(QWidget* window) {
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || w->window() != window) {
            continue;
        }
        if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w)) {
            continue;
        }
        const QString name =
            w->objectName().isEmpty() ? w->property("text").toString() : w->objectName();
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << name.toStdString();
        const QRect inWindow(w->mapTo(window, QPoint(0, 0)), w->size());
        EXPECT_TRUE(window->rect().contains(inWindow)) << name.toStdString();
    }
}

}  // namespace

TEST(Screenshots, MainWindowAndLoginDialogAtTwoSizes) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.Core().firstActivation = false;  // the login dialog is rendered on its own below
    m.show();
    m.SetFormColour();
    m.LogText("Startup script: none");
    m.SetStatusPanel(StatusPanel::General, "Finished");
    const QString folder = ScreenshotFolder();
    for (const QSize size : {QSize(1024, 700), QSize(1600, 1000)}) {
        m.resize(size);
        QApplication::processEvents();
        EXPECT_EQ(m.size(), size);
        ExpectNothingClipped(&m);
        const QString suffix = QString("%1x%2").arg(size.width()).arg(size.height());
        EXPECT_TRUE(m.grab().save(folder + "/main_" + suffix + ".png"));

        TfrmLogin* login = m.LoginDialog();
        login->PlaceLogin();
        login->show();
        QApplication::processEvents();
        ExpectNothingClipped(login);
        EXPECT_TRUE(login->grab().save(folder + "/login_" + suffix + ".png"));
        // The dialog over the window, as the person sees it at start.
        QPixmap both = m.grab();
        {
            QPainter painter(&both);
            const QPoint at = login->frameGeometry().topLeft() - m.frameGeometry().topLeft();
            painter.drawPixmap(at, login->grab());
        }
        EXPECT_TRUE(both.save(folder + "/start_" + suffix + ".png"));
        login->hide();
    }
}
